// The catalogue job: fills the book list with the books the user asked for,
// by name through the site's search service, by id, or by walking the first
// listing pages of a category, one row per book.
#pragma once

#include "site/job_control.h"

void CatalogueJob(JobContext& job);

// The one record that the two jobs and the window share: the counters the
// progress timers read, the row and folder of the book being downloaded, the
// job thread, and the working values of the catalogue and download jobs.
//
// The window owns the record and hands it to the jobs. There are no locks: the
// two counters are atomic; every other field belongs to the running job, except
// WorkerThread, which only the window thread touches. A new job touches the
// record only after the job it replaces has stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "text/text.h"

// A job thread; job control defines it.
class JobThread;

struct JobState {
    // Items finished by the current job: rows added, chapters saved.
    std::atomic<std::int32_t> DoneCount{0};
    // Items the current job expects.
    std::atomic<std::int32_t> TotalCount{0};
    // ProgramDirectory + "\" + BookName of the book being downloaded.
    Text BookFolder;
    // 0-based BookList row of the book being downloaded.
    std::int32_t CurrentRow = 0;
    // The job thread started last; none before the first job.
    std::shared_ptr<JobThread> WorkerThread;
    // "《" + title + "》"; in a search by name, first the name the user typed.
    Text BookName;
    // Hit count cut from the last search result page.
    Text HitCountText;
    Text BookId;
    Text Author;
    // Chapter ids of the current book in the order of its index page.
    TextList ChapterIds;
    // Number of ChapterIds in decimal, as it was when the last row was added.
    Text ChapterCountText;
    // Caption, page count, URL slug and author id of a category walk.
    Text CategoryName;
    std::int32_t PageCount = 0;
    Text CategorySlug;
    Text AuthorId;
};

// Start-up: every integer 0, every text empty, ChapterIds an empty list, no
// job thread.
void InitialiseJobState(JobState& state);

// Exit: frees every text and ChapterIds; the integers and the job thread are
// left as they are. Call it only once no job runs.
void ReleaseJobState(JobState& state);

// The download job: saves the book of the selected row chapter by chapter
// into a folder in the program's folder, one GBK text file per chapter.
#pragma once

#include "site/job_control.h"

void DownloadJob(JobContext& job);

// Downloads and saves chapter i (1-based) of the current book; true when its
// file was written.
bool DownloadChapter(JobContext& job, int i);

// Input is never waiting on a job thread: nothing to do.
void PumpEventsIfInput();

// Opens the folder in the desktop's file manager; a failure is silent.
void OpenFolderInShell(std::string_view path);

// Start-up and exit of the shared job record.
#include "site/job_state.h"

namespace {

// Gives the memory back, not only the length.
void Free(Text& text) {
    Text().swap(text);
}

void FreeTexts(JobState& state) {
    for (Text* text :
         {&state.BookFolder, &state.BookName, &state.HitCountText, &state.BookId, &state.Author,
          &state.ChapterCountText, &state.CategoryName, &state.CategorySlug, &state.AuthorId}) {
        Free(*text);
    }
    state.ChapterIds = TextList();
}

}  // namespace

void InitialiseJobState(JobState& state) {
    state.DoneCount = 0;
    state.TotalCount = 0;
    state.CurrentRow = 0;
    state.PageCount = 0;
    state.WorkerThread.reset();
    FreeTexts(state);
}

void ReleaseJobState(JobState& state) {
    FreeTexts(state);
}

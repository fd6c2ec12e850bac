// Start-up and exit of the shared job record.
#include <gtest/gtest.h>

#include "site/job_state.h"

namespace {

// Every field holding a value, as after a download.
void FillEveryField(JobState& s) {
    s.DoneCount = 7;
    s.TotalCount = 9;
    s.BookFolder = "/books/\xA1\xB6x\xA1\xB7";
    s.CurrentRow = 3;
    // JobThread is opaque here: a handle that shares a stand-in's ownership.
    static const auto standIn = std::make_shared<int>(1);
    s.WorkerThread =
        std::shared_ptr<JobThread>(standIn, reinterpret_cast<JobThread*>(standIn.get()));
    s.BookName = "\xA1\xB6x\xA1\xB7";
    s.HitCountText = "12";
    s.BookId = "16112";
    s.Author = "a";
    s.ChapterIds = TextList{"1", "2"};
    s.ChapterCountText = "2";
    s.CategoryName = "c";
    s.PageCount = 4;
    s.CategorySlug = "xuanhuan";
    s.AuthorId = "77";
}

void ExpectTextsEmpty(const JobState& s) {
    for (const Text* t : {&s.BookFolder, &s.BookName, &s.HitCountText, &s.BookId, &s.Author,
                          &s.ChapterCountText, &s.CategoryName, &s.CategorySlug, &s.AuthorId}) {
        EXPECT_EQ(*t, "");
    }
    EXPECT_EQ(s.ChapterIds.Count(), 0);
}

TEST(JobState, InitialiseEmptiesEveryField) {
    JobState s;
    FillEveryField(s);
    InitialiseJobState(s);
    ExpectTextsEmpty(s);
    EXPECT_EQ(s.DoneCount, 0);
    EXPECT_EQ(s.TotalCount, 0);
    EXPECT_EQ(s.CurrentRow, 0);
    EXPECT_EQ(s.PageCount, 0);
    EXPECT_EQ(s.WorkerThread, nullptr);
}

TEST(JobState, ReleaseFreesTextsAndKeepsIntegersAndThread) {
    JobState s;
    FillEveryField(s);
    const auto thread = s.WorkerThread;
    ReleaseJobState(s);
    ExpectTextsEmpty(s);
    EXPECT_EQ(s.DoneCount, 7);
    EXPECT_EQ(s.TotalCount, 9);
    EXPECT_EQ(s.CurrentRow, 3);
    EXPECT_EQ(s.PageCount, 4);
    EXPECT_EQ(s.WorkerThread, thread);
}

}  // namespace

// The download job. Names from the site pass through SafeName before they
// touch the disk, so the book folder lies directly in the program's folder
// and every chapter file directly in the book folder. A book the user has is
// replaced only once the site has given the new one's chapter list, and a
// chapter that could not be fetched or written leaves no file.
#include "site/download_job.h"

#include <spawn.h>
#include <sys/wait.h>

#include "site/page_parsers.h"
#include "site/site_profile.h"
#include "text/codec.h"
#include "text/files.h"

extern char** environ;

namespace {

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

void EnableMenuItems(WindowOperations& window) {
    window.SetMenuItemEnabled(MenuItem::DownloadSelected, true);
    window.SetMenuItemEnabled(MenuItem::DeleteSelected, true);
}

// The site gave no chapter list, or the folder could not be made: nothing on
// disk has changed.
void FailureEnd(JobContext& job) {
    WindowOperations& window = job.Window();
    window.SetTimerPeriod(JobTimer::Download, 0);
    window.ListSetCell(job.State().CurrentRow, 6, G("下载失败"));
    window.SetStatusText(G("状态：下载失败"));
    EnableMenuItems(window);
}

// Room kept in a chapter file name for "_" + milliseconds + "_" + counter + ".txt".
constexpr int ChapterSuffixRoom = 1 + 13 + 1 + 10 + 4;

// A name for the chapter's file that no file in the folder has yet.
Text FreeChapterPath(const Text& folder, const Text& title) {
    const Text stem = JoinTexts({folder, "\\", SafeName(title, ChapterSuffixRoom)});
    Text path = JoinTexts({stem, ".txt"});
    if (!FileExists(path)) {
        return path;
    }
    const Text stamped = JoinTexts({stem, "_", NowMillisText()});
    path = JoinTexts({stamped, ".txt"});
    // Two chapters of one title within one millisecond: count on.
    for (int n = 2; FileExists(path); ++n) {
        path = JoinTexts({stamped, "_", NumberToText(n), ".txt"});
    }
    return path;
}

}  // namespace

bool DownloadChapter(JobContext& job, int i) {
    JobState& state = job.State();
    const Text chapterId = state.ChapterIds.Item(i);
    const Text page = job.Fetch(ChapterUrl(state.BookId, chapterId));
    const ChapterPage chapter = ParseChapterPage(page);
    if (page.empty() || !chapter.contentFound) {
        return false;
    }
    const ByteBuffer bytes = TextToBytes(CleanChapterText(chapter.content));
    job.Checkpoint();
    // The file gets its name only when it is whole, and never over another.
    if (!WriteNewFileWhole(FreeChapterPath(state.BookFolder, chapter.title), bytes)) {
        return false;
    }
    ++state.DoneCount;
    job.Window().ListSetCell(state.CurrentRow, 5, NumberToText(state.DoneCount.load()));
    return true;
}

void DownloadJob(JobContext& job) {
    JobState& state = job.State();
    WindowOperations& window = job.Window();

    state.CurrentRow = window.ListSelectedRow();
    if (state.CurrentRow == -1) {
        EnableMenuItems(window);
        return;
    }
    state.BookId = window.ListGetCell(state.CurrentRow, 1);
    state.BookName = window.ListGetCell(state.CurrentRow, 2);
    if (state.BookName.empty()) {
        EnableMenuItems(window);
        return;
    }
    state.BookFolder = JoinTexts({job.ProgramDirectory(), "\\", SafeName(state.BookName)});

    bool replace = false;
    if (FolderExists(state.BookFolder)) {
        if (!window.AskYesNo(JoinTexts({state.BookName, G(" 已存在，是否重新下载？")}))) {
            window.SetProgress(100);
            window.SetTimerPeriod(JobTimer::Download, 0);
            window.ListSetCell(state.CurrentRow, 5, G("已下载"));
            window.ListSetCell(state.CurrentRow, 6, G("已下载"));
            EnableMenuItems(window);
            return;
        }
        replace = true;
    }

    window.ListSetCell(state.CurrentRow, 6, G("正在下载..."));
    window.SetProgress(0);
    window.SetTimerPeriod(JobTimer::Download, 100);

    const Text indexPage = job.Fetch(BookIndexUrl(state.BookId));
    ChapterIdsOf(indexPage, state.BookId, state.ChapterIds);
    if (state.ChapterIds.Count() == 0) {
        FailureEnd(job);
        return;
    }
    job.Checkpoint();
    if (replace) {
        DeleteFolderTree(state.BookFolder);
    }
    if (!CreateFolder(state.BookFolder)) {
        FailureEnd(job);
        return;
    }

    state.TotalCount = state.ChapterIds.Count();
    const int total = state.TotalCount;
    int missing = 0;
    for (int i = 1; i <= total; ++i) {
        if (!DownloadChapter(job, i)) {
            ++missing;
        }
        PumpEventsIfInput();
    }

    window.SetTimerPeriod(JobTimer::Download, 0);
    if (missing == 0) {
        window.SetProgress(100);
        window.ListSetCell(state.CurrentRow, 6, G("下载完成"));
        if (window.AskYesNo(JoinTexts({state.BookName, G(" 下载完成，是否查看？")}))) {
            OpenFolderInShell(state.BookFolder);
        }
        window.SetStatusText(G("状态：下载完成"));
    } else {
        const double share = static_cast<double>(state.DoneCount) / total * 100.0;
        window.SetProgress(static_cast<int>(share));
        window.ListSetCell(state.CurrentRow, 6, G("下载未完成"));
        const Text question = JoinTexts(
            {state.BookName, G(" 下载未完成（缺"), NumberToText(missing), G("章），是否查看？")});
        if (window.AskYesNo(question)) {
            OpenFolderInShell(state.BookFolder);
        }
        window.SetStatusText(G("状态：下载未完成"));
    }
    EnableMenuItems(window);
}

void PumpEventsIfInput() {}

void OpenFolderInShell(std::string_view path) {
    // A shell puts xdg-open in the background and exits at once, so the file
    // manager outlives nothing of ours and leaves no child to reap. The path
    // goes in as an argument, never as shell text.
    const std::string native = NativePath(path);
    const char* argv[] = {"/bin/sh", "-c",           "xdg-open \"$1\" >/dev/null 2>&1 &",
                          "sh",      native.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) == 0) {
        ::waitpid(pid, nullptr, 0);
    }
}

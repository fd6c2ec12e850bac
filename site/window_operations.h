// The one road from the jobs to the window. The jobs see only this interface;
// the Qt window implements it (and tests use a recording fake). Texts cross it
// as GBK; rows and columns of the book list are 0-based.
//
// Every operation may be called from the window thread or from a job thread.
// Called from a job thread it takes effect on the window thread, in order, and
// returns once it has; when the calling job has been asked to stop, it has no
// effect and returns at once (reads then give -1, 0, false or the empty text).
#pragma once

#include "text/text.h"

enum class JobTimer { Fetch, Download };

enum class MenuItem { DeleteSelected, DownloadSelected, Pause, Continue };

// What a job reads from the controls when it starts.
struct JobInputs {
    bool byName = false;
    bool byId = false;
    bool byCategory = false;
    Text name;      // NameBox
    Text id;        // IdBox
    Text pages;     // PageBox
    Text category;  // caption of CategoryCombo's current item; empty when none
};

class WindowOperations {
  public:
    virtual ~WindowOperations() = default;

    virtual void SetStatusText(const Text& text) = 0;
    // Stores v clamped to 0..32767; the bar shows it clamped to 0..100.
    virtual void SetProgress(int v) = 0;
    virtual int GetProgress() = 0;
    // A negative period counts as 0 (stopped); the current period changes nothing.
    virtual void SetTimerPeriod(JobTimer timer, int ms) = 0;

    // Appends an empty row and returns its index; -1 when none could be added.
    virtual int ListAddRow() = 0;
    virtual void ListSetCell(int row, int column, const Text& text) = 0;
    virtual Text ListGetCell(int row, int column) = 0;
    virtual int ListSelectedRow() = 0;
    // row >= 0: the only selected row, and the current one; row < 0: no selection.
    virtual void ListSelectRow(int row) = 0;
    virtual void ListDeleteRow(int row) = 0;
    virtual void ListClear() = 0;
    virtual void ListEnsureVisible(int row) = 0;

    virtual void SetMenuItemEnabled(MenuItem item, bool enabled) = 0;

    // Message boxes captioned "信息：". From a job thread they block only that job.
    virtual void ShowMessage(const Text& text) = 0;
    virtual void ShowInfo(const Text& text) = 0;
    virtual bool AskYesNo(const Text& text) = 0;

    virtual JobInputs ReadJobInputs() = 0;
};

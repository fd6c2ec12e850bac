// Each operation converts its texts on the calling thread, then reads or
// changes the controls on the window thread.
#include "ui/window_operations_qt.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>

#include "text/codec.h"
#include "ui/book_list.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/progress_bar.h"
#include "ui/window_thread.h"

namespace {

QString ToQString(const Text& text) {
    return QString::fromStdString(GbkToUtf8(text));
}

Text ToText(const QString& text) {
    return Utf8ToGbk(text.toStdString());
}

}  // namespace

QtWindowOperations::QtWindowOperations(MainWindow& window)
    : window_(window), calls_(new JobCalls(&window)) {}

void QtWindowOperations::SetStatusText(const Text& text) {
    RunOnWindowThread(calls_, [w = &window_, s = ToQString(text)] { w->SetStatusText(s); });
}

void QtWindowOperations::SetProgress(int v) {
    RunOnWindowThread(calls_, [w = &window_, v] { w->ProgressBar()->SetStoredPosition(v); });
}

int QtWindowOperations::GetProgress() {
    return ReadOnWindowThread(calls_, 0,
                              [w = &window_] { return w->ProgressBar()->StoredPosition(); });
}

void QtWindowOperations::SetTimerPeriod(JobTimer timer, int ms) {
    RunOnWindowThread(calls_, [w = &window_, timer, ms = std::max(ms, 0)] {
        QTimer* t = w->Timer(timer);
        const int current = t->isActive() ? t->interval() : 0;
        // The same period again leaves a running timer in its rhythm.
        if (ms == current) {
            return;
        }
        t->stop();
        if (ms > 0) {
            t->start(ms);
        }
    });
}

int QtWindowOperations::ListAddRow() {
    return ReadOnWindowThread(calls_, -1, [w = &window_] { return w->BookList()->AddRow(); });
}

void QtWindowOperations::ListSetCell(int row, int column, const Text& text) {
    RunOnWindowThread(calls_, [w = &window_, row, column, s = ToQString(text)] {
        w->BookList()->SetCell(row, column, s);
    });
}

Text QtWindowOperations::ListGetCell(int row, int column) {
    return ToText(ReadOnWindowThread(calls_, QString(), [w = &window_, row, column] {
        return w->BookList()->Cell(row, column);
    }));
}

int QtWindowOperations::ListSelectedRow() {
    return ReadOnWindowThread(calls_, -1, [w = &window_] { return w->BookList()->SelectedRow(); });
}

void QtWindowOperations::ListSelectRow(int row) {
    RunOnWindowThread(calls_, [w = &window_, row] { w->BookList()->SelectRow(row); });
}

void QtWindowOperations::ListDeleteRow(int row) {
    RunOnWindowThread(calls_, [w = &window_, row] { w->BookList()->DeleteRow(row); });
}

void QtWindowOperations::ListClear() {
    RunOnWindowThread(calls_, [w = &window_] { w->BookList()->Clear(); });
}

void QtWindowOperations::ListEnsureVisible(int row) {
    RunOnWindowThread(calls_, [w = &window_, row] { w->BookList()->EnsureVisible(row); });
}

void QtWindowOperations::SetMenuItemEnabled(MenuItem item, bool enabled) {
    RunOnWindowThread(calls_,
                      [w = &window_, item, enabled] { w->MenuAction(item)->setEnabled(enabled); });
}

void QtWindowOperations::ShowMessage(const Text& text) {
    ShowBox(&window_, BoxKind::Message, ToQString(text));
}

void QtWindowOperations::ShowInfo(const Text& text) {
    ShowBox(&window_, BoxKind::Info, ToQString(text));
}

bool QtWindowOperations::AskYesNo(const Text& text) {
    return ShowBox(&window_, BoxKind::Question, ToQString(text));
}

JobInputs QtWindowOperations::ReadJobInputs() {
    struct Read {
        bool byName = false, byId = false, byCategory = false;
        QString name, id, pages, category;
    };
    const Read read = ReadOnWindowThread(calls_, Read{}, [w = &window_] {
        return Read{w->ByNameRadio()->isChecked(),
                    w->ByIdRadio()->isChecked(),
                    w->ByCategoryRadio()->isChecked(),
                    w->NameBox()->text(),
                    w->IdBox()->text(),
                    w->PageBox()->text(),
                    w->CategoryCombo()->currentText()};
    });
    return JobInputs{read.byName,     read.byId,          read.byCategory,      ToText(read.name),
                     ToText(read.id), ToText(read.pages), ToText(read.category)};
}

// The three message boxes, all captioned "信息：" and without an owner window.
//
// Asked on the window thread, a box is application-modal: it blocks input to
// the window until answered, while timers and the operations of a running job
// go on. Asked on a job thread, the box is shown without modality on the window
// thread and only the job waits, for the answer or for its stop; a stop closes
// the box.
#pragma once

#include <QString>
#include <Qt>

class QMessageBox;
class QObject;

enum class BoxKind {
    Message,   // OK, no icon
    Info,      // OK, information icon
    Question,  // Yes and No, question icon; neither a close button nor Escape answers it
};

// Shows a box for the calling thread (see above). True when Yes was chosen.
// window is the object whose thread shows the box.
bool ShowBox(QObject* window, BoxKind kind, const QString& text);

// A new box of the kind, not shown yet; the caller owns it.
QMessageBox* MakeBox(BoxKind kind, const QString& text, Qt::WindowModality modality);

// Building and showing the message boxes, on the window thread or for a job.
#include "ui/message_boxes.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <memory>
#include <utility>

#include "ui/window_thread.h"
#include "web/job_stop.h"

namespace {

// A Yes/No question that only Yes or No closes: it has no close button, and
// Escape or a close request from the window system does nothing.
class QuestionBox : public QMessageBox {
  public:
    static constexpr Qt::WindowFlags Flags =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

bool ChoseYes(const QMessageBox* box) {
    return box->clickedButton() != nullptr && box->clickedButton() == box->button(QMessageBox::Yes);
}

bool ShowForJob(QObject* window, BoxKind kind, const QString& text) {
    using namespace window_thread_detail;
    const std::stop_token stop = CurrentJobStop();
    if (stop.stop_requested()) {
        return false;
    }
    auto waiter = std::make_shared<Waiter>();
    auto yes = std::make_shared<bool>(false);
    // Touched on the window thread only.
    auto shown = std::make_shared<QPointer<QMessageBox>>();

    // The box lives on the window thread, so a stop posts its closing there.
    std::stop_callback closeOnStop(stop, [window, shown] {
        Post(window, [shown] {
            if (*shown) {
                (*shown)->done(QDialog::Rejected);
            }
        });
    });
    Post(window, [ticket = std::make_shared<Ticket>(waiter), stop, yes, shown, kind, text] {
        if (stop.stop_requested()) {
            return;
        }
        // Without modality: only the job waits for the answer.
        QMessageBox* box = MakeBox(kind, text, Qt::NonModal);
        *shown = box;
        // The connection keeps the ticket, and with it the job's wait, until
        // the box is answered or closed.
        QObject::connect(box, &QDialog::finished, box, [ticket, yes, box] {
            *yes = ChoseYes(box);
            ticket->MarkRan();
            box->deleteLater();
        });
        box->show();
    });
    return waiter->Wait(stop) && *yes;
}

}  // namespace

QMessageBox* MakeBox(BoxKind kind, const QString& text, Qt::WindowModality modality) {
    QMessageBox* box = kind == BoxKind::Question ? new QuestionBox : new QMessageBox;
    box->setWindowModality(modality);
    if (kind == BoxKind::Question) {
        // After the modality, which puts the close button back.
        box->setWindowFlags(QuestionBox::Flags);
    }
    box->setWindowTitle(QStringLiteral("信息："));
    // Book names and titles come from the site: never read them as markup, and
    // cut a huge one short rather than lay out megabytes in a dialog.
    constexpr int MaxShownLength = 2000;
    box->setTextFormat(Qt::PlainText);
    box->setText(text.size() <= MaxShownLength ? text
                                               : text.left(MaxShownLength) + QStringLiteral("…"));
    switch (kind) {
        case BoxKind::Message:
            box->setIcon(QMessageBox::NoIcon);
            box->setStandardButtons(QMessageBox::Ok);
            break;
        case BoxKind::Info:
            box->setIcon(QMessageBox::Information);
            box->setStandardButtons(QMessageBox::Ok);
            break;
        case BoxKind::Question:
            box->setIcon(QMessageBox::Question);
            box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box->setDefaultButton(QMessageBox::Yes);
            break;
    }
    // The buttons speak the interface's language whatever the system's is.
    for (const auto& [button, caption] :
         {std::pair{QMessageBox::Ok, "确定"}, std::pair{QMessageBox::Yes, "是(&Y)"},
          std::pair{QMessageBox::No, "否(&N)"}}) {
        if (QAbstractButton* shown = box->button(button); shown != nullptr) {
            shown->setText(QString::fromUtf8(caption));
        }
    }
    return box;
}

bool ShowBox(QObject* window, BoxKind kind, const QString& text) {
    if (!window_thread_detail::OnWindowThreadNow(window)) {
        return ShowForJob(window, kind, text);
    }
    const std::unique_ptr<QMessageBox> box(MakeBox(kind, text, Qt::ApplicationModal));
    box->exec();
    return ChoseYes(box.get());
}

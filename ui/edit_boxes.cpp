// Key filter and line-framed edit box.
#include "ui/edit_boxes.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>

namespace {

class DigitsAndDashFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // Shortcuts such as Ctrl+V carry a letter as their text on some platforms.
            const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
            if (!shortcut && !Allowed(key->text())) {
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    // A key without printable text (backspace, arrows, Ctrl+V) always passes.
    static bool Allowed(const QString& typed) {
        for (const QChar c : typed) {
            const bool printable = c.unicode() >= 0x20 && c.unicode() != 0x7F;
            if (printable && !(c >= u'0' && c <= u'9') && c != u'-') {
                return false;
            }
        }
        return true;
    }
};

}  // namespace

void AcceptOnlyDigitsAndDashTyped(QLineEdit* box) {
    box->installEventFilter(new DigitsAndDashFilter(box));
    // An input method would commit text past the key filter.
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
}

LineBorderEdit::LineBorderEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
}

void LineBorderEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SetEditTextColour(QLineEdit* box, const QColor& colour) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, colour);
    box->setPalette(palette);
}

QColor EditTextColour(const QLineEdit* box) {
    return box->palette().color(QPalette::Active, QPalette::Text);
}

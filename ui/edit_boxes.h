// The two kinds of edit box the window needs beyond a plain QLineEdit: a key
// filter that lets only digits and "-" be typed, and a box drawn with a
// one-pixel line instead of a sunken edge.
#pragma once

#include <QColor>
#include <QLineEdit>

// Refuses typed characters other than 0-9 and "-". Control keys (backspace,
// the arrows, Ctrl+V) still work; pasted text and text the program sets are
// not filtered, so this is a key filter and not a validator.
void AcceptOnlyDigitsAndDashTyped(QLineEdit* box);

// A single-line edit box framed by a one-pixel line.
class LineBorderEdit : public QLineEdit {
  public:
    explicit LineBorderEdit(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Text colour of an edit box, in every colour group, so a disabled box keeps it.
void SetEditTextColour(QLineEdit* box, const QColor& colour);
QColor EditTextColour(const QLineEdit* box);

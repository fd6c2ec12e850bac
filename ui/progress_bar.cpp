// Stored position and block drawing of the progress bar.
#include "ui/progress_bar.h"

#include <qdrawutil.h>
#include <QPainter>

#include <algorithm>

BlockProgressBar::BlockProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
    setOrientation(Qt::Horizontal);
}

void BlockProgressBar::SetStoredPosition(int v) {
    stored_ = std::clamp(v, 0, MaxStored);
    // QProgressBar ignores a value outside its range instead of clamping it.
    setValue(std::clamp(stored_, minimum(), maximum()));
}

void BlockProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    qDrawShadePanel(&painter, rect(), palette(), true, 1, &palette().brush(QPalette::Base));

    const QRect inside = rect().adjusted(2, 2, -2, -2);
    const int span = maximum() - minimum();
    if (span <= 0 || inside.width() <= 0) {
        return;
    }
    const int filled =
        static_cast<int>(static_cast<long long>(inside.width()) * (value() - minimum()) / span);
    const int blockWidth = std::max(2, inside.height() * 2 / 3);
    constexpr int Gap = 2;
    painter.setClipRect(inside);
    for (int x = 0; x < filled; x += blockWidth + Gap) {
        painter.fillRect(QRect(inside.left() + x, inside.top(), std::min(blockWidth, filled - x),
                               inside.height()),
                         palette().color(QPalette::Highlight));
    }
}

// The two panes of the status bar.
#include "ui/status_bar.h"

namespace {

// Space above the panes and between two panes.
constexpr int TopMargin = 2;
constexpr int PaneGap = 2;

}  // namespace

PanedStatusBar::PanedStatusBar(QWidget* parent) : QWidget(parent) {
    for (QLabel*& pane : panes_) {
        pane = new QLabel(this);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setLineWidth(1);
        pane->setTextFormat(Qt::PlainText);
        pane->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        pane->setIndent(2);
    }
}

void PanedStatusBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    int left = 0;
    for (int i = 0; i < PaneCount; ++i) {
        panes_[i]->setGeometry(left, TopMargin, PaneRightEdges[i] - left, height() - TopMargin);
        left = PaneRightEdges[i] + PaneGap;
    }
}

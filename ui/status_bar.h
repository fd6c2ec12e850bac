// StatusBar: a bar docked at the bottom of the window with two sunken panes
// of fixed widths. Pane 1 shows the status text; ProgressBar covers pane 0.
#pragma once

#include <QLabel>
#include <QWidget>

#include <array>

class PanedStatusBar : public QWidget {
  public:
    static constexpr int PaneCount = 2;
    // Right edge of each pane, as x in the bar.
    static constexpr std::array<int, PaneCount> PaneRightEdges = {430, 630};

    explicit PanedStatusBar(QWidget* parent = nullptr);

    QLabel* Pane(int index) const { return panes_[index]; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::array<QLabel*, PaneCount> panes_{};
};

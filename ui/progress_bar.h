// ProgressBar: keeps the position the program stores (0..32767) apart from
// what it shows (that position clamped to 0..100), and draws it in blocks.
#pragma once

#include <QProgressBar>

class BlockProgressBar : public QProgressBar {
  public:
    static constexpr int MaxStored = 32767;

    explicit BlockProgressBar(QWidget* parent = nullptr);

    // Stores v clamped to 0..MaxStored and shows it clamped to the bar's range.
    void SetStoredPosition(int v);
    int StoredPosition() const { return stored_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int stored_ = 0;
};

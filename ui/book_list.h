// BookList: the report list of found books. Seven columns, whole-row single
// selection that stays highlighted without the focus, grid lines, headings
// that can be dragged into another order (cells keep their column index), no
// sorting and no editing.
#pragma once

#include <QTimer>
#include <QTreeWidget>

class BookListView : public QTreeWidget {
    Q_OBJECT

  public:
    static constexpr int ColumnCount = 7;

    explicit BookListView(QWidget* parent = nullptr);

    // Appends a row of empty cells and returns its index.
    int AddRow();
    // The item of a row; nullptr when the row does not exist.
    QTreeWidgetItem* Row(int row) const;
    // Index of the selected row; -1 when none is selected.
    int SelectedRow() const;

    // Sets one cell; a row or column that does not exist is ignored. The cell
    // keeps the whole text but shows at most MaxShownLength characters, so a
    // huge text from the site cannot stall every repaint of the list.
    void SetCell(int row, int column, const QString& text);
    // The whole text of a cell; empty for a row or column that does not exist.
    QString Cell(int row, int column) const;

    static constexpr int MaxShownLength = 259;

    // A job changes the list hundreds of times a second (a row for every book
    // found, a count for every chapter saved), far faster than anyone can
    // see, and painting the rows after each change would cost more than the
    // job itself. So the list is painted at most once per frame while changes
    // keep coming: the first change after a quiet frame shows at once, later
    // ones at the end of the frame, together. Called before each change the
    // window operations make; changing a cell calls it by itself.
    void PaceRepaints();
    static constexpr int FrameMs = 40;

  signals:
    // The right mouse button was released over the rows or the empty space
    // below them, after the list selected the row under the pointer.
    void RightClicked(const QPoint& globalPos);
    // The current row (the one with the focus mark) became another row.
    void CurrentRowMoved(int row);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

  private:
    void EndFrame();

    QTimer frame_;
    bool held_ = false;  // painting waits for the end of the frame
};

// BookList: the report list of found books. Seven columns, whole-row single
// selection that stays highlighted without the focus, grid lines, headings
// that can be dragged into another order (cells keep their column index), no
// sorting and no editing.
//
// A table view, not a tree view: a tree view lays out all its rows again
// after every row added, so a category walk that adds a row per book and
// scrolls to it slowed down with every row; a table adds a row in constant time.
#pragma once

#include <QTableWidget>
#include <QTimer>

class BookListView : public QTableWidget {
    Q_OBJECT

  public:
    static constexpr int ColumnCount = 7;

    explicit BookListView(QWidget* parent = nullptr);

    // Appends a row of empty cells and returns its index.
    int AddRow();
    bool HasRow(int row) const { return row >= 0 && row < rowCount(); }
    // Index of the selected row; -1 when none is selected.
    int SelectedRow() const;
    // row >= 0: the only selected row and the current one, scrolled into
    // view; row < 0: no row selected. A row that does not exist changes nothing.
    void SelectRow(int row);
    // Scrolls so that the whole row is visible; a row that does not exist is ignored.
    void EnsureVisible(int row);
    // Removes the row; the rows after it move up. A row that does not exist is ignored.
    void DeleteRow(int row);
    // Removes every row; the headings stay.
    void Clear();

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
    // ones at the end of the frame, together. The list's own changes above
    // call it; changing a cell any other way does too.
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
    void changeEvent(QEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

  private:
    // Every row is as high as one line of the list's font in a cell.
    void FitRowHeight();
    void EndFrame();

    QTimer frame_;
    bool held_ = false;  // painting waits for the end of the frame
};

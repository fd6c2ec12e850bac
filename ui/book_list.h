// BookList: the report list of found books. Seven columns, whole-row single
// selection that stays highlighted without the focus, grid lines, headings
// that can be dragged into another order (cells keep their column index), no
// sorting and no editing.
#pragma once

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

  signals:
    // The right mouse button was released over the rows or the empty space
    // below them, after the list selected the row under the pointer.
    void RightClicked(const QPoint& globalPos);
    // The current row (the one with the focus mark) became another row.
    void CurrentRowMoved(int row);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Columns, styles and events of the book list.
#include "ui/book_list.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <array>

namespace {

struct Column {
    const char* heading;
    int width;
    Qt::Alignment alignment;
};

// Where a cell keeps its whole text; the display role holds the shown part.
constexpr int WholeTextRole = Qt::UserRole;

constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment Centred = Qt::AlignHCenter | Qt::AlignVCenter;

const std::array<Column, BookListView::ColumnCount> Columns = {{
    {"No.", 50, Left},
    {"图书ID", 80, Centred},
    {"图书名", 130, Centred},
    {"作者", 70, Centred},
    {"章节数", 80, Centred},
    {"已下载", 80, Centred},
    {"下载状态", 100, Centred},
}};

// Draws each cell with a grid line on its right and bottom edge, without the
// hover highlight some styles add, and without a focus frame around one cell
// of the row: the whole row is the list's unit.
class GridDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        plain.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
        QStyledItemDelegate::paint(painter, plain, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

// The headings. Their texts, font and style hardly ever change, but the table
// asks for their size again after every row added (the tree did the same),
// and measuring seven CJK headings each time was the largest part of adding a
// row. So the size is measured once and again only when font or style change.
class Headings : public QHeaderView {
  public:
    explicit Headings(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

    // A heading's text changed.
    void Remeasure() { size_ = QSize(); }

    QSize sizeHint() const override {
        if (!size_.isValid()) {
            size_ = QHeaderView::sizeHint();
        }
        return size_;
    }

  protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
            size_ = QSize();
        }
        return QHeaderView::event(event);
    }

  private:
    mutable QSize size_;
};

}  // namespace

BookListView::BookListView(QWidget* parent) : QTableWidget(0, ColumnCount, parent) {
    auto* headings = new Headings(this);
    setHorizontalHeader(headings);
    connect(model(), &QAbstractItemModel::headerDataChanged, headings, &Headings::Remeasure);
    for (int c = 0; c < ColumnCount; ++c) {
        auto* heading = new QTableWidgetItem(QString::fromUtf8(Columns[c].heading));
        heading->setTextAlignment(Columns[c].alignment);
        setHorizontalHeaderItem(c, heading);
    }

    QHeaderView* head = horizontalHeader();
    head->setStretchLastSection(false);
    head->setSectionsMovable(true);
    head->setFirstSectionMovable(true);
    head->setSectionsClickable(false);
    head->setSortIndicatorShown(false);
    head->setHighlightSections(false);
    for (int c = 0; c < ColumnCount; ++c) {
        head->resizeSection(c, Columns[c].width);
    }
    // No row headings; rows are one line high.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    FitRowHeight();

    setShowGrid(false);  // the delegate draws the grid lines
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(ScrollPerPixel);
    setSortingEnabled(false);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setMouseTracking(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setItemDelegate(new GridDelegate(this));

    // The selected row stays highlighted when the focus is elsewhere.
    QPalette colours = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    }
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);

    frame_.setSingleShot(true);
    frame_.setInterval(FrameMs);
    connect(&frame_, &QTimer::timeout, this, &BookListView::EndFrame);

    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow, int) {
                if (row >= 0 && row != previousRow) {
                    emit CurrentRowMoved(row);
                }
            });
}

void BookListView::FitRowHeight() {
    QStyleOptionViewItem cell;
    initViewItemOption(&cell);
    cell.features |= QStyleOptionViewItem::HasDisplay;
    cell.text = QStringLiteral("Ag测");
    const QSize line = style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), this);
    verticalHeader()->setDefaultSectionSize(line.height());
}

int BookListView::AddRow() {
    PaceRepaints();
    const int row = rowCount();
    insertRow(row);
    for (int c = 0; c < ColumnCount; ++c) {
        auto* cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        cell->setTextAlignment(Columns[c].alignment);
        setItem(row, c, cell);
    }
    return row;
}

int BookListView::SelectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void BookListView::SelectRow(int row) {
    PaceRepaints();
    if (row < 0) {
        clearSelection();
        return;
    }
    if (!HasRow(row)) {
        return;
    }
    // Moving the current row raises CurrentRowMoved, whose handler scrolls;
    // scrolling here as well covers a row that was current already.
    setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollToItem(item(row, 0));
}

void BookListView::EnsureVisible(int row) {
    if (HasRow(row)) {
        PaceRepaints();
        scrollToItem(item(row, 0), QAbstractItemView::EnsureVisible);
    }
}

void BookListView::DeleteRow(int row) {
    if (HasRow(row)) {
        PaceRepaints();
        removeRow(row);
    }
}

void BookListView::Clear() {
    PaceRepaints();
    setRowCount(0);
}

void BookListView::SetCell(int row, int column, const QString& text) {
    QTableWidgetItem* cell = item(row, column);
    if (cell == nullptr) {
        return;
    }
    cell->setData(WholeTextRole, text);
    cell->setText(text.left(MaxShownLength));
}

QString BookListView::Cell(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell == nullptr ? QString() : cell->data(WholeTextRole).toString();
}

void BookListView::PaceRepaints() {
    if (!frame_.isActive()) {
        frame_.start();
        return;
    }
    if (!held_) {
        // Painting skips a widget whose updates are off and leaves its old
        // pixels; turning them on again repaints the whole list once.
        held_ = true;
        setUpdatesEnabled(false);
    }
}

void BookListView::EndFrame() {
    if (held_) {
        held_ = false;
        setUpdatesEnabled(true);
        // What changed during this frame is painted now; a change during the
        // next one waits for its end.
        frame_.start();
    }
}

void BookListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                               const QList<int>& roles) {
    PaceRepaints();
    QTableWidget::dataChanged(topLeft, bottomRight, roles);
}

void BookListView::changeEvent(QEvent* event) {
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        FitRowHeight();
    }
}

void BookListView::mousePressEvent(QMouseEvent* event) {
    // A right press on empty space keeps the selected row; the view would clear it.
    if (event->button() == Qt::RightButton && itemAt(event->position().toPoint()) == nullptr) {
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void BookListView::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        emit RightClicked(event->globalPosition().toPoint());
    }
}

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

// Draws each cell with a grid line on its right and bottom edge, and without
// the hover highlight some styles add.
class GridDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_MouseOver;
        QStyledItemDelegate::paint(painter, plain, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

}  // namespace

BookListView::BookListView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(ColumnCount);
    auto* headings = new QTreeWidgetItem;
    for (int c = 0; c < ColumnCount; ++c) {
        headings->setText(c, QString::fromUtf8(Columns[c].heading));
        headings->setTextAlignment(c, Columns[c].alignment);
    }
    setHeaderItem(headings);

    QHeaderView* head = header();
    head->setStretchLastSection(false);
    head->setSectionsMovable(true);
    head->setFirstSectionMovable(true);
    head->setSectionsClickable(false);
    head->setSortIndicatorShown(false);
    for (int c = 0; c < ColumnCount; ++c) {
        head->resizeSection(c, Columns[c].width);
    }

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setAllColumnsShowFocus(true);
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

    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current != nullptr) {
            emit CurrentRowMoved(indexOfTopLevelItem(current));
        }
    });
}

int BookListView::AddRow() {
    PaceRepaints();
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    for (int c = 0; c < ColumnCount; ++c) {
        item->setTextAlignment(c, Columns[c].alignment);
    }
    addTopLevelItem(item);
    return indexOfTopLevelItem(item);
}

QTreeWidgetItem* BookListView::Row(int row) const {
    return row >= 0 && row < topLevelItemCount() ? topLevelItem(row) : nullptr;
}

int BookListView::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.first());
}

void BookListView::SetCell(int row, int column, const QString& text) {
    QTreeWidgetItem* item = Row(row);
    if (item == nullptr || column < 0 || column >= ColumnCount) {
        return;
    }
    item->setData(column, WholeTextRole, text);
    item->setText(column, text.left(MaxShownLength));
}

QString BookListView::Cell(int row, int column) const {
    const QTreeWidgetItem* item = Row(row);
    if (item == nullptr || column < 0 || column >= ColumnCount) {
        return {};
    }
    return item->data(column, WholeTextRole).toString();
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
    // Rows have one height, the font's (uniform row heights): a new text
    // never changes it, so the tree view's measuring of the first row's
    // cells, which it does on every change of that row, is left out.
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

void BookListView::mousePressEvent(QMouseEvent* event) {
    // A right press on empty space keeps the selected row; the view would clear it.
    if (event->button() == Qt::RightButton && itemAt(event->position().toPoint()) == nullptr) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void BookListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        emit RightClicked(event->globalPosition().toPoint());
    }
}

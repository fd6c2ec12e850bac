// The window as it opens, and the events its controls raise.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "ui/book_list.h"
#include "ui/main_window.h"
#include "ui/progress_bar.h"
#include "ui/status_bar.h"

namespace {

QString ShownText(const QWidget* w) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        return button->text();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        return edit->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        return label->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        return combo->currentText();
    }
    return {};
}

// Counts the paint events of one widget.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { window_ = std::make_unique<MainWindow>(); }
    void cleanup() { window_.reset(); }

    void controlsOpenInPlace_data();
    void controlsOpenInPlace();
    void windowIsFixedCentredAndTitled();
    void opensWithItsColoursAndChoices();
    void bookListColumnsAndStyles();
    void progressBarLiesOverStatusPaneZero();
    void listMenuItemsAndPopup();
    void idBoxFiltersTypingButNotPasting();
    void editBoxLosesFocusBeforeTheButtonClick();
    void radiosRaiseClickAlsoWhenChecked();
    void rightClickSelectsTheRowUnderThePointer();
    void rowFocusEventOnlyWhenTheCurrentRowMoves();
    void fastListChangesArePaintedOncePerFrame();
    void listRowsAndHeadingsFollowTheFont();
    void closingRaisesClosed();

  private:
    void ShowAndActivate() {
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    std::unique_ptr<MainWindow> window_;
};

void MainWindowTest::controlsOpenInPlace_data() {
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("tabStop");
    // Empty family: the default interface font, not set on the control.
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixelSize");

    const QString yaHei = QStringLiteral("微软雅黑");
    QTest::newRow("按钮1") << QRect(8, 8, 104, 48) << "获取" << true << true << yaHei << 16;
    QTest::newRow("单选框1") << QRect(136, 8, 133, 24) << "根据图书名搜索：" << true << true
                             << yaHei << 14;
    QTest::newRow("单选框2") << QRect(136, 32, 136, 24) << "根据图书ID搜索：" << true << true
                             << yaHei << 14;
    QTest::newRow("编辑框2") << QRect(272, 10, 104, 20) << "例：鬼吹灯" << true << true << yaHei
                             << 12;
    QTest::newRow("编辑框1") << QRect(272, 34, 104, 20) << "例：16112" << true << true << "Verdana"
                             << 12;
    QTest::newRow("单选框3") << QRect(384, 8, 120, 24) << "根据类别搜索：" << true << true << yaHei
                             << 14;
    QTest::newRow("组合框1") << QRect(512, 8, 96, 20) << "最新更新" << true << true << yaHei << 12;
    QTest::newRow("标签2") << QRect(391, 35, 56, 24) << "-------→" << true << false << "" << 0;
    QTest::newRow("标签1") << QRect(453, 34, 123, 24) << "搜索：           页" << true << false
                           << yaHei << 14;
    QTest::newRow("编辑框3") << QRect(499, 37, 32, 20) << "1" << false << true << yaHei << 12;
    QTest::newRow("标签3") << QRect(560, 35, 56, 24) << "←-------" << true << false << "" << 0;
    QTest::newRow("超级列表框1") << QRect(8, 64, 616, 232) << "" << true << true << yaHei << 16;
    QTest::newRow("进度条1") << QRect(0, 302, 430, 18) << "" << true << false << "" << 0;
    QTest::newRow("状态条1") << QRect(0, 298, 630, 22) << "" << true << false << "" << 0;
}

void MainWindowTest::controlsOpenInPlace() {
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, tabStop);
    QFETCH(QString, family);
    QFETCH(int, pixelSize);

    const auto* control = window_->findChild<QWidget*>(QString::fromUtf8(QTest::currentDataTag()));
    QVERIFY(control != nullptr);
    QCOMPARE(control->parentWidget(), window_.get());
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(ShownText(control), text);
    QCOMPARE(control->isEnabled(), enabled);
    QVERIFY(!control->isHidden());
    QCOMPARE(bool(control->focusPolicy() & Qt::TabFocus), tabStop);
    if (family.isEmpty()) {
        QVERIFY(!control->testAttribute(Qt::WA_SetFont));
    } else {
        QCOMPARE(control->font().families().value(0), family);
        QCOMPARE(control->font().pixelSize(), pixelSize);
        QCOMPARE(control->font().weight(), QFont::Normal);
        QVERIFY(!control->font().italic() && !control->font().underline());
    }
}

void MainWindowTest::windowIsFixedCentredAndTitled() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(window_->windowTitle(), QStringLiteral("小说下载器【Vellori】"));
    QCOMPARE(window_->size(), QSize(630, 320));
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    const Qt::WindowFlags flags = window_->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);

    const QRect screen = window_->screen()->geometry();
    const QRect frame = window_->frameGeometry();
    QCOMPARE(frame.left(), screen.left() + (screen.width() - frame.width()) / 2);
    QCOMPARE(frame.top(), screen.top() + (screen.height() - frame.height()) / 2);
}

void MainWindowTest::opensWithItsColoursAndChoices() {
    MainWindow& w = *window_;
    QVERIFY(w.ByNameRadio()->isChecked());
    QVERIFY(!w.ByIdRadio()->isChecked());
    QVERIFY(!w.ByCategoryRadio()->isChecked());

    QCOMPARE(MainWindow::BoxTextColour(w.NameBox()), QColor(192, 192, 192));
    QCOMPARE(MainWindow::BoxTextColour(w.IdBox()), QColor(192, 192, 192));
    // Disabled, the page box still shows its magenta.
    QCOMPARE(w.PageBox()->palette().color(QPalette::Disabled, QPalette::Text), QColor(255, 0, 255));
    QCOMPARE(w.PageBox()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(w.NameBox()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

    MainWindow::SetBoxTextColour(w.NameBox(), QColor(0, 136, 255));
    QCOMPARE(MainWindow::BoxTextColour(w.NameBox()), QColor(0, 136, 255));
    w.SetPageBoxEnabled(true);
    QVERIFY(w.PageBox()->isEnabled());

    QComboBox* combo = w.CategoryCombo();
    QVERIFY(!combo->isEditable());
    const QStringList captions = {"最新更新", "玄幻奇幻", "都市情感", "悬疑小说", "科幻小说",
                                  "网游小说", "武侠仙侠", "惊悚小说", "历史小说", "军事小说"};
    QCOMPARE(combo->count(), captions.size());
    for (int i = 0; i < combo->count(); ++i) {
        QCOMPARE(combo->itemText(i), captions[i]);
    }
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(combo->palette().color(QPalette::ButtonText), QColor(0, 0, 255));
    QVERIFY(combo->maxVisibleItems() >= combo->count());

    QCOMPARE(w.StatusText(), QStringLiteral("状态：准备就绪"));
    QCOMPARE(w.StatusBar()->Pane(0)->text(), QString());
    QCOMPARE(w.ProgressBar()->minimum(), 0);
    QCOMPARE(w.ProgressBar()->maximum(), 100);
    QCOMPARE(w.ProgressBar()->value(), 0);

    QCOMPARE(w.FetchTimer()->objectName(), QStringLiteral("时钟1"));
    QCOMPARE(w.DownloadTimer()->objectName(), QStringLiteral("时钟2"));
    QVERIFY(!w.FetchTimer()->isActive());
    QVERIFY(!w.DownloadTimer()->isActive());
    QVERIFY(!w.FetchButton()->isDefault() && !w.FetchButton()->autoDefault());
}

void MainWindowTest::bookListColumnsAndStyles() {
    BookListView* list = window_->BookList();
    struct Column {
        const char* heading;
        int width;
        Qt::Alignment alignment;
    };
    const Column columns[] = {{"No.", 50, Qt::AlignLeft},         {"图书ID", 80, Qt::AlignHCenter},
                              {"图书名", 130, Qt::AlignHCenter},  {"作者", 70, Qt::AlignHCenter},
                              {"章节数", 80, Qt::AlignHCenter},   {"已下载", 80, Qt::AlignHCenter},
                              {"下载状态", 100, Qt::AlignHCenter}};
    QCOMPARE(list->columnCount(), 7);
    QCOMPARE(list->rowCount(), 0);
    for (int c = 0; c < 7; ++c) {
        QCOMPARE(list->horizontalHeaderItem(c)->text(), QString::fromUtf8(columns[c].heading));
        QCOMPARE(list->horizontalHeader()->sectionSize(c), columns[c].width);
        QCOMPARE(Qt::Alignment(list->horizontalHeaderItem(c)->textAlignment()) &
                     Qt::AlignHorizontal_Mask,
                 columns[c].alignment);
    }
    // A new row's cells line up under their headings and cannot be edited.
    const int row = list->AddRow();
    for (int c = 0; c < 7; ++c) {
        QCOMPARE(Qt::Alignment(list->item(row, c)->textAlignment()) & Qt::AlignHorizontal_Mask,
                 columns[c].alignment);
        QVERIFY(!(list->item(row, c)->flags() & Qt::ItemIsEditable));
    }

    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!list->isSortingEnabled());
    QVERIFY(list->verticalHeader()->isHidden());  // nothing before the first column
    QHeaderView* head = list->horizontalHeader();
    QVERIFY(head->sectionsMovable() && head->isFirstSectionMovable());
    QVERIFY(!head->sectionsClickable());
    QVERIFY(!head->stretchLastSection());
    const QPalette colours = list->palette();
    QCOMPARE(colours.color(QPalette::Inactive, QPalette::Highlight),
             colours.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(colours.color(QPalette::Inactive, QPalette::HighlightedText),
             colours.color(QPalette::Active, QPalette::HighlightedText));
}

void MainWindowTest::progressBarLiesOverStatusPaneZero() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    PanedStatusBar* bar = window_->StatusBar();
    // Docked at the bottom over the whole width, panes ending at 430 and 630.
    QCOMPARE(bar->geometry().bottom(), MainWindow::ClientHeight - 1);
    QCOMPARE(bar->width(), MainWindow::ClientWidth);
    QCOMPARE(bar->Pane(0)->geometry().right() + 1, 430);
    QCOMPARE(bar->Pane(1)->geometry().right() + 1, 630);
    QCOMPARE(bar->Pane(1)->geometry().bottom(), bar->height() - 1);

    const QRect pane0(bar->mapTo(window_.get(), bar->Pane(0)->geometry().topLeft()),
                      bar->Pane(0)->size());
    const QRect progress = window_->ProgressBar()->geometry();
    QVERIFY(pane0.contains(progress.center()));
    QCOMPARE(window_->childAt(progress.center()), window_->ProgressBar());
    QCOMPARE(window_->childAt(bar->mapTo(window_.get(), bar->Pane(1)->geometry().center())),
             bar->Pane(1));
}

void MainWindowTest::listMenuItemsAndPopup() {
    QMenu* menu = window_->ListMenu();
    QCOMPARE(menu->objectName(), QStringLiteral("菜单"));
    QVERIFY(menu->isHidden());
    const QList<QAction*> actions = menu->actions();
    const QStringList captions = {"删除选中", "下载选中", "", "暂停", "继续"};
    QCOMPARE(actions.size(), captions.size());
    for (int i = 0; i < actions.size(); ++i) {
        QCOMPARE(actions[i]->isSeparator(), i == 2);
        QCOMPARE(actions[i]->text(), captions[i]);
        QVERIFY(actions[i]->isEnabled());
        QVERIFY(!actions[i]->isCheckable());
        QVERIFY(actions[i]->shortcut().isEmpty());
    }

    const MenuItem items[] = {MenuItem::DeleteSelected, MenuItem::DownloadSelected, MenuItem::Pause,
                              MenuItem::Continue};
    const int positions[] = {0, 1, 3, 4};
    QSignalSpy chosen(window_.get(), &MainWindow::MenuItemChosen);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(window_->MenuAction(items[i]), actions[positions[i]]);
        actions[positions[i]]->trigger();
        QCOMPARE(chosen.size(), i + 1);
        QCOMPARE(chosen.last().at(0).value<MenuItem>(), items[i]);
    }

    ShowAndActivate();
    const QPoint pointer = window_->mapToGlobal(QPoint(200, 150));
    window_->PopupListMenu(pointer);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), pointer + QPoint(3, 3));
    // Either mouse button chooses an item.
    QTest::mouseClick(menu, Qt::RightButton, {}, menu->actionGeometry(actions[1]).center());
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(chosen.size(), 5);
    QCOMPARE(chosen.last().at(0).value<MenuItem>(), MenuItem::DownloadSelected);
}

void MainWindowTest::idBoxFiltersTypingButNotPasting() {
    QLineEdit* box = window_->IdBox();
    box->clear();
    QTest::keyClicks(box, "1a-2.");
    QCOMPARE(box->text(), QStringLiteral("1-2"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("1-"));

    QApplication::clipboard()->setText(QStringLiteral("x.9"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("1-x.9"));

    box->setText(QStringLiteral("例：16112"));
    QCOMPARE(box->text(), QStringLiteral("例：16112"));

    // The name box takes anything.
    window_->NameBox()->clear();
    QTest::keyClicks(window_->NameBox(), "a.1");
    QCOMPARE(window_->NameBox()->text(), QStringLiteral("a.1"));
}

void MainWindowTest::editBoxLosesFocusBeforeTheButtonClick() {
    ShowAndActivate();
    QStringList events;
    const auto record = [&](const char* name, auto signal) {
        connect(window_.get(), signal, this, [&events, name] { events << name; });
    };
    record("name in", &MainWindow::NameBoxFocusIn);
    record("name out", &MainWindow::NameBoxFocusOut);
    record("id in", &MainWindow::IdBoxFocusIn);
    record("id out", &MainWindow::IdBoxFocusOut);
    record("fetch", &MainWindow::FetchButtonClicked);

    QTest::mouseClick(window_->NameBox(), Qt::LeftButton);
    QTest::mouseClick(window_->FetchButton(), Qt::LeftButton);
    QTest::mouseClick(window_->IdBox(), Qt::LeftButton);
    QTest::mouseClick(window_->BookList()->viewport(), Qt::LeftButton);
    QCOMPARE(events, QStringList({"name in", "name out", "fetch", "id in", "id out"}));
}

void MainWindowTest::radiosRaiseClickAlsoWhenChecked() {
    QSignalSpy byName(window_.get(), &MainWindow::ByNameRadioClicked);
    QSignalSpy byId(window_.get(), &MainWindow::ByIdRadioClicked);
    QSignalSpy byCategory(window_.get(), &MainWindow::ByCategoryRadioClicked);

    QTest::mouseClick(window_->ByNameRadio(), Qt::LeftButton);
    QCOMPARE(byName.size(), 1);
    QVERIFY(window_->ByNameRadio()->isChecked());

    QTest::mouseClick(window_->ByCategoryRadio(), Qt::LeftButton);
    QTest::mouseClick(window_->ByIdRadio(), Qt::LeftButton);
    QCOMPARE(byCategory.size(), 1);
    QCOMPARE(byId.size(), 1);
    QVERIFY(window_->ByIdRadio()->isChecked());
    QVERIFY(!window_->ByNameRadio()->isChecked() && !window_->ByCategoryRadio()->isChecked());
}

void MainWindowTest::rightClickSelectsTheRowUnderThePointer() {
    BookListView* list = window_->BookList();
    for (int i = 0; i < 3; ++i) {
        list->SetCell(list->AddRow(), 2, QString::number(i));
    }
    ShowAndActivate();
    QSignalSpy rightClicks(window_.get(), &MainWindow::BookListRightClicked);

    const QPoint onRow1 = list->visualItemRect(list->item(1, 2)).center();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, onRow1);
    QCOMPARE(list->SelectedRow(), 1);
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(rightClicks.size(), 1);
    QCOMPARE(rightClicks.last().at(0).toPoint(), list->viewport()->mapToGlobal(onRow1));

    // Below the last row: the event still comes, the selection stays.
    const QPoint empty(20, list->viewport()->height() - 5);
    QVERIFY(list->itemAt(empty) == nullptr);
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, empty);
    QCOMPARE(rightClicks.size(), 2);
    QCOMPARE(list->SelectedRow(), 1);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onRow1);
    QCOMPARE(rightClicks.size(), 2);
}

void MainWindowTest::rowFocusEventOnlyWhenTheCurrentRowMoves() {
    BookListView* list = window_->BookList();
    for (int i = 0; i < 3; ++i) {
        list->AddRow();
    }
    ShowAndActivate();
    QSignalSpy focused(window_.get(), &MainWindow::BookListRowFocused);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0, 2)).center());
    QCOMPARE(focused.size(), 1);
    QCOMPARE(focused.last().at(0).toInt(), 0);

    // The same row again, or a selection change that leaves the current row: nothing.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0, 2)).center());
    list->clearSelection();
    QCOMPARE(focused.size(), 1);

    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(focused.size(), 2);
    QCOMPARE(focused.last().at(0).toInt(), 1);
}

void MainWindowTest::fastListChangesArePaintedOncePerFrame() {
    BookListView* list = window_->BookList();
    ShowAndActivate();
    PaintCounter paints(list->viewport());
    QTest::qWait(3 * BookListView::FrameMs);

    // Changes as a job makes them, the event loop running between two calls.
    paints.count = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 200; ++i) {
        list->PaceRepaints();
        list->SetCell(list->AddRow(), 5, QString::number(i));
        QCoreApplication::processEvents();
    }
    const qint64 busyMs = clock.elapsed();
    // The first change is painted at once, later ones at most once a frame.
    QVERIFY2(paints.count <= busyMs / BookListView::FrameMs + 2,
             qPrintable(QStringLiteral("%1 paints in %2 ms").arg(paints.count).arg(busyMs)));

    // A change is always painted in the end, and the list paints again.
    const int before = paints.count;
    list->SetCell(0, 6, QStringLiteral("last"));
    QTRY_VERIFY(paints.count > before);
    QTRY_VERIFY(list->updatesEnabled());
    QCOMPARE(list->Cell(199, 5), QStringLiteral("199"));
}

void MainWindowTest::listRowsAndHeadingsFollowTheFont() {
    BookListView* list = window_->BookList();
    list->SetCell(list->AddRow(), 2, QStringLiteral("《鬼吹灯》"));
    ShowAndActivate();
    const int rowHeight = list->rowHeight(0);
    const int headingHeight = list->horizontalHeader()->height();
    // A row holds one line of the list's font.
    QVERIFY(rowHeight >= list->fontMetrics().height());

    QFont larger = list->font();
    larger.setPixelSize(larger.pixelSize() * 2);
    list->setFont(larger);
    QTRY_VERIFY(list->horizontalHeader()->height() > headingHeight);
    QVERIFY(list->rowHeight(0) > rowHeight);
    QVERIFY(list->rowHeight(0) >= QFontMetrics(larger).height());
    QCOMPARE(list->rowHeight(list->AddRow()), list->rowHeight(0));
}

void MainWindowTest::closingRaisesClosed() {
    window_->show();
    QSignalSpy closed(window_.get(), &MainWindow::Closed);
    QVERIFY(window_->close());
    QCOMPARE(closed.size(), 1);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"

// The window's controls in their opening state, and their events.
#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "site/site_categories.h"
#include "ui/book_list.h"
#include "ui/edit_boxes.h"
#include "ui/progress_bar.h"
#include "ui/status_bar.h"

namespace {

const QColor ExampleGrey(192, 192, 192);
const QColor CategoryBlue(0, 0, 255);
const QColor PageMagenta(255, 0, 255);

// Where 微软雅黑 or Verdana is missing, the next family that is installed
// stands in for it.
QFont UiFont(const QStringList& families, int pixelSize) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

QFont YaHei(int pixelSize) {
    return UiFont({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")},
                  pixelSize);
}

QFont Verdana(int pixelSize) {
    return UiFont({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")}, pixelSize);
}

template <class Widget>
Widget* Place(Widget* widget, const char* formName, QRect geometry) {
    widget->setObjectName(QString::fromUtf8(formName));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* formName, const char* text, QRect geometry) {
    auto* label = Place(new QLabel(QString::fromUtf8(text), parent), formName, geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QRadioButton* MakeRadio(QWidget* parent, const char* formName, const char* text, QRect geometry) {
    auto* radio = Place(new QRadioButton(QString::fromUtf8(text), parent), formName, geometry);
    radio->setFont(YaHei(14));
    radio->setFocusPolicy(Qt::StrongFocus);
    return radio;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    InitialiseJobState(jobState_);
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("小说下载器【Vellori】"));
    // A fixed frame that can be moved and minimised but neither maximised nor resized.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);

    BuildControls();
    BuildListMenu();
    ConnectEvents();
    CentreOnScreen();
}

MainWindow::~MainWindow() {
    ReleaseJobState(jobState_);
}

void MainWindow::BuildControls() {
    fetchButton_ = Place(new QPushButton(QStringLiteral("获取"), this), "按钮1", {8, 8, 104, 48});
    fetchButton_->setFont(YaHei(16));
    fetchButton_->setAutoDefault(false);
    fetchButton_->setDefault(false);
    // The button takes the focus on a click, so an edit box loses it first.
    fetchButton_->setFocusPolicy(Qt::StrongFocus);

    byNameRadio_ = MakeRadio(this, "单选框1", "根据图书名搜索：", {136, 8, 133, 24});
    byIdRadio_ = MakeRadio(this, "单选框2", "根据图书ID搜索：", {136, 32, 136, 24});
    byNameRadio_->setChecked(true);

    nameBox_ =
        Place(new QLineEdit(QStringLiteral("例：鬼吹灯"), this), "编辑框2", {272, 10, 104, 20});
    nameBox_->setFont(YaHei(12));
    SetEditTextColour(nameBox_, ExampleGrey);

    idBox_ = Place(new QLineEdit(QStringLiteral("例：16112"), this), "编辑框1", {272, 34, 104, 20});
    idBox_->setFont(Verdana(12));
    SetEditTextColour(idBox_, ExampleGrey);
    AcceptOnlyDigitsAndDashTyped(idBox_);

    byCategoryRadio_ = MakeRadio(this, "单选框3", "根据类别搜索：", {384, 8, 120, 24});

    categoryCombo_ = Place(new QComboBox(this), "组合框1", {512, 8, 96, 20});
    categoryCombo_->setEditable(false);
    categoryCombo_->setFont(YaHei(12));
    // The captions are the keys the catalogue job looks the category up by.
    for (const Category& category : CategoryTable) {
        categoryCombo_->addItem(QString::fromUtf8(category.caption.data(),
                                                  static_cast<qsizetype>(category.caption.size())));
    }
    categoryCombo_->setCurrentIndex(0);
    categoryCombo_->setMaxVisibleItems(categoryCombo_->count());
    QPalette comboColours = categoryCombo_->palette();
    for (auto role : {QPalette::Text, QPalette::ButtonText}) {
        comboColours.setColor(role, CategoryBlue);
    }
    for (auto role : {QPalette::Base, QPalette::Button}) {
        comboColours.setColor(role, Qt::white);
    }
    categoryCombo_->setPalette(comboColours);

    MakeLabel(this, "标签2", "-------→", {391, 35, 56, 24});
    MakeLabel(this, "标签1", "搜索：           页", {453, 34, 123, 24})->setFont(YaHei(14));

    // Created after 标签1 so that it lies over the gap in that label's text.
    pageBox_ = Place(new LineBorderEdit(this), "编辑框3", {499, 37, 32, 20});
    pageBox_->setText(QStringLiteral("1"));
    pageBox_->setFont(YaHei(12));
    pageBox_->setAlignment(Qt::AlignCenter);
    SetEditTextColour(pageBox_, PageMagenta);
    pageBox_->setEnabled(false);

    MakeLabel(this, "标签3", "←-------", {560, 35, 56, 24});

    bookList_ = Place(new BookListView(this), "超级列表框1", {8, 64, 616, 232});
    bookList_->setFont(YaHei(16));

    // Docked at the bottom over the whole width; the progress bar lies over pane 0.
    constexpr int StatusBarHeight = 22;
    statusBar_ = Place(new PanedStatusBar(this), "状态条1",
                       {0, ClientHeight - StatusBarHeight, ClientWidth, StatusBarHeight});
    statusBar_->Pane(1)->setText(QStringLiteral("状态：准备就绪"));

    progressBar_ = Place(new BlockProgressBar(this), "进度条1", {0, 302, 430, 18});
    progressBar_->raise();

    fetchTimer_.setObjectName(QStringLiteral("时钟1"));
    downloadTimer_.setObjectName(QStringLiteral("时钟2"));
    for (QTimer* timer : {&fetchTimer_, &downloadTimer_}) {
        timer->setTimerType(Qt::PreciseTimer);
    }
}

void MainWindow::BuildListMenu() {
    listMenu_ = new QMenu(this);
    listMenu_->setObjectName(QStringLiteral("菜单"));
    const auto add = [this](MenuItem item, const char* caption) {
        QAction* action = listMenu_->addAction(QString::fromUtf8(caption));
        menuActions_[static_cast<size_t>(item)] = action;
        connect(action, &QAction::triggered, this, [this, item] { emit MenuItemChosen(item); });
    };
    add(MenuItem::DeleteSelected, "删除选中");
    add(MenuItem::DownloadSelected, "下载选中");
    listMenu_->addSeparator();
    add(MenuItem::Pause, "暂停");
    add(MenuItem::Continue, "继续");
}

void MainWindow::ConnectEvents() {
    connect(fetchButton_, &QPushButton::clicked, this, &MainWindow::FetchButtonClicked);
    connect(byNameRadio_, &QRadioButton::clicked, this, &MainWindow::ByNameRadioClicked);
    connect(byIdRadio_, &QRadioButton::clicked, this, &MainWindow::ByIdRadioClicked);
    connect(byCategoryRadio_, &QRadioButton::clicked, this, &MainWindow::ByCategoryRadioClicked);
    nameBox_->installEventFilter(this);
    idBox_->installEventFilter(this);
    connect(bookList_, &BookListView::RightClicked, this, &MainWindow::BookListRightClicked);
    connect(bookList_, &BookListView::CurrentRowMoved, this, &MainWindow::BookListRowFocused);
    connect(&fetchTimer_, &QTimer::timeout, this, &MainWindow::FetchTimerTicked);
    connect(&downloadTimer_, &QTimer::timeout, this, &MainWindow::DownloadTimerTicked);
}

QAction* MainWindow::MenuAction(MenuItem item) const {
    return menuActions_[static_cast<size_t>(item)];
}

void MainWindow::SetBoxTextColour(QLineEdit* box, const QColor& colour) {
    SetEditTextColour(box, colour);
}

QColor MainWindow::BoxTextColour(const QLineEdit* box) {
    return EditTextColour(box);
}

void MainWindow::SetPageBoxEnabled(bool enabled) {
    pageBox_->setEnabled(enabled);
}

void MainWindow::SetStatusText(const QString& text) {
    // A status may carry a name from the site; a huge one would stall each repaint.
    constexpr int MaxShownLength = 259;
    statusBar_->Pane(1)->setText(text.left(MaxShownLength));
}

QString MainWindow::StatusText() const {
    return statusBar_->Pane(1)->text();
}

void MainWindow::PopupListMenu(const QPoint& pointer) {
    listMenu_->popup(pointer + PopupOffset);
}

void MainWindow::CentreOnScreen() {
    const QScreen* shown = screen();
    if (shown == nullptr) {
        return;
    }
    // The frame, where the window system has drawn one already, is centred too.
    const QRect area = shown->geometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Centred again once the window system has put its frame around the window.
    if (!centred_) {
        centred_ = true;
        CentreOnScreen();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        emit Closed();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool in = event->type() == QEvent::FocusIn;
    if ((in || event->type() == QEvent::FocusOut) && (watched == nameBox_ || watched == idBox_)) {
        // A popup (the box's own context menu) takes no focus from the box.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            if (watched == nameBox_ && in) {
                emit NameBoxFocusIn();
            } else if (watched == nameBox_) {
                emit NameBoxFocusOut();
            } else if (in) {
                emit IdBoxFocusIn();
            } else {
                emit IdBoxFocusOut();
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

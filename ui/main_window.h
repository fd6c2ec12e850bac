// MainWindow: the program's one window. It builds every control in its
// opening state and turns the controls' events into signals for the
// handlers. It keeps no state beyond what the controls hold.
//
// Controls are reached by their role names (FetchButton(), NameBox(), ...);
// each widget's objectName is its form name (按钮1, 编辑框2, ...).
#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <array>

#include "site/job_state.h"
#include "site/window_operations.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class BookListView;
class BlockProgressBar;
class PanedStatusBar;

class MainWindow : public QWidget {
    Q_OBJECT

  public:
    // Size of the client area; a Windows frame around it measures 636 x 348.
    static constexpr int ClientWidth = 630;
    static constexpr int ClientHeight = 320;
    // Offset of the book list's popup from the mouse pointer.
    static constexpr QPoint PopupOffset{3, 3};

    explicit MainWindow(QWidget* parent = nullptr);
    // Releases the job record; job control has stopped the job by then.
    ~MainWindow() override;

    // The record shared with the jobs, initialised when the window is made.
    JobState& Jobs() { return jobState_; }

    QPushButton* FetchButton() const { return fetchButton_; }
    QRadioButton* ByNameRadio() const { return byNameRadio_; }
    QRadioButton* ByIdRadio() const { return byIdRadio_; }
    QRadioButton* ByCategoryRadio() const { return byCategoryRadio_; }
    QLineEdit* NameBox() const { return nameBox_; }
    QLineEdit* IdBox() const { return idBox_; }
    QLineEdit* PageBox() const { return pageBox_; }
    QComboBox* CategoryCombo() const { return categoryCombo_; }
    BookListView* BookList() const { return bookList_; }
    PanedStatusBar* StatusBar() const { return statusBar_; }
    BlockProgressBar* ProgressBar() const { return progressBar_; }
    QTimer* FetchTimer() { return &fetchTimer_; }
    QTimer* DownloadTimer() { return &downloadTimer_; }
    QTimer* Timer(JobTimer timer) {
        return timer == JobTimer::Fetch ? FetchTimer() : DownloadTimer();
    }
    QMenu* ListMenu() const { return listMenu_; }
    QAction* MenuAction(MenuItem item) const;

    // Text colour of NameBox or IdBox (grey while a box shows its example).
    static void SetBoxTextColour(QLineEdit* box, const QColor& colour);
    static QColor BoxTextColour(const QLineEdit* box);

    void SetPageBoxEnabled(bool enabled);

    // Text of the status pane (pane 1), as shown: at most 259 characters.
    void SetStatusText(const QString& text);
    QString StatusText() const;

    // Opens ListMenu as a popup PopupOffset right of and below the pointer,
    // given in screen coordinates, and returns at once.
    void PopupListMenu(const QPoint& pointer);

    // Places the window in the middle of its screen.
    void CentreOnScreen();

  signals:
    void FetchButtonClicked();
    // Raised on every click, also of the radio that is already checked.
    void ByNameRadioClicked();
    void ByIdRadioClicked();
    void ByCategoryRadioClicked();
    void NameBoxFocusIn();
    void NameBoxFocusOut();
    void IdBoxFocusIn();
    void IdBoxFocusOut();
    // Right button released over BookList, on a row or on empty space; a row
    // under the pointer is already selected.
    void BookListRightClicked(const QPoint& globalPos);
    // BookList's current row became another row (click, arrow keys, ListSelectRow).
    void BookListRowFocused(int row);
    void MenuItemChosen(MenuItem item);
    void FetchTimerTicked();
    void DownloadTimerTicked();
    void Closed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void BuildListMenu();
    void ConnectEvents();

    QPushButton* fetchButton_ = nullptr;
    QRadioButton* byNameRadio_ = nullptr;
    QRadioButton* byIdRadio_ = nullptr;
    QRadioButton* byCategoryRadio_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QLineEdit* idBox_ = nullptr;
    QLineEdit* pageBox_ = nullptr;
    QComboBox* categoryCombo_ = nullptr;
    BookListView* bookList_ = nullptr;
    BlockProgressBar* progressBar_ = nullptr;
    PanedStatusBar* statusBar_ = nullptr;
    QMenu* listMenu_ = nullptr;
    // Indexed by MenuItem.
    std::array<QAction*, 4> menuActions_{};
    JobState jobState_;
    QTimer fetchTimer_;
    QTimer downloadTimer_;
    bool centred_ = false;
};

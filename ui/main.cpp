// Starts the program: shows the main window and runs its event loop until the
// window is closed.
#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    MainWindow window;
    // Closing the window ends the program, even while a question box is open.
    QObject::connect(&window, &MainWindow::Closed, &app, &QApplication::quit);
    window.show();
    return app.exec();
}

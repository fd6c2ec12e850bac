// Starts the program: shows the main window, wires its behaviour and runs the
// event loop until the window is closed.
#include <QApplication>

#include "text/files.h"
#include "ui/main_window.h"
#include "ui/window_controller.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    MainWindow window;
    // Made after the window and so destroyed before it: the job stops while
    // the window it reports to still stands.
    WindowController controller(window, ProgramDirectory());
    // Closing the window ends the program, even while a question box is open;
    // the controller has stopped the job by then.
    QObject::connect(&window, &MainWindow::Closed, &app, &QApplication::quit);
    window.show();
    return app.exec();
}

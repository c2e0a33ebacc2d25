// Karvath: wires the real parts together — the Qt windows, the POSIX
// platform, the ODBC session — and runs the program until the main window
// is destroyed. It takes no command-line arguments of its own.
#include <QApplication>

#include "app/QtView.h"
#include "core/AppState.h"
#include "core/Karvath.h"
#include "core/Paths.h"
#include "platform/PosixPlatform.h"
#include "shell/Dispatcher.h"
#include "sql/OdbcSession.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PosixPlatform os;
    const Paths paths = Paths::current(os);
    AppState state;
    OdbcSession db(os);  // 外部数据库1
    QtView view(app);
    Karvath k{state, view, os, db, paths.runDirectory, paths.executableName};
    Dispatcher dispatcher(k);
    view.setEventSink(&dispatcher);

    view.loadWindow(Window::Main, false);
    const int result = view.runEventLoop();

    // Exit clean-up: the session goes with the main window, then the record.
    db.closeConnection();
    state.release();
    return result;
}

// The yardstick for Karvath's start-up: the smallest Qt Widgets program that
// shows a main window, built with the same compiler, options and Qt.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("minimal");
    window.resize(640, 480);
    window.show();
    return app.exec();
}

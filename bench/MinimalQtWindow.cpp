// The yardstick for Karvath's start-up: the smallest Qt Widgets program that
// shows a main window, built with the same compiler, options and Qt. With
// --chinese-label the window also shows one label of Chinese text, which makes
// Qt load a CJK font as Karvath's window does.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("minimal");
    window.resize(640, 480);
    if (argc > 1 && std::strcmp(argv[1], "--chinese-label") == 0) {
        window.setCentralWidget(
            new QLabel(QString::fromUtf8(reinterpret_cast<const char*>(u8"连接成功"))));
    }
    window.show();
    return app.exec();
}

// Shows the main window as a first start without settings shows it, with a
// few rows, a log line and the schedule fields of the monthly mode, so that a
// screenshot can be compared with the layout.

#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "app/QtView.h"
#include "platform/Gbk.h"

namespace {

class ShowSink : public EventSink {
public:
    QtView* view = nullptr;
    void created() override {
        View& v = *view;
        v.setVisible(Window::Main, true);
        v.setText(编辑框_IP, "127.0.0.1");
        v.setText(编辑框_用户名, "sa");
        v.setText(编辑框_密码, "secret");
        const char* rows[][2] = {
            {"master_log", "2.25MB"}, {"model_log", "0.75MB"}, {"销售库_log", "1.02GB"}};
        for (auto& r : rows) {
            const int row = v.insertRow(超级列表框1);
            v.setCellText(超级列表框1, row, 0, utf8ToGbk(r[0]));
            v.setCellText(超级列表框1, row, 1, utf8ToGbk(r[1]));
        }
        v.addItem(组合框_库名, "master");
        v.selectByText(组合框_库名, "master");
        v.setPosition(进度条1, 60);
        v.appendText(编辑框_log, utf8ToGbk("2020-09-06 03:00:00 销售库 日志大小：1.02GB\r\n"));
        v.setChecked(选择框_每月, true);
        for (Control c : {标签_日, 编辑框_日, 标签_时, 编辑框_时, 标签_分, 编辑框_分, 标签_秒,
                          编辑框_秒, 按钮_确定, 透明标签_loading})
            v.setVisible(c, true);
        v.setText(编辑框_日, "6");
        v.setText(编辑框_时, "03");
    }
    bool closeRequested() override { return true; }
    void trayEvent(int) override {}
    void menuSelected(Control) override {}
    void clicked(Control) override {}
    void itemSelected(Control) override {}
    void mousePressed(Control) override {}
    void tick(Control) override {}
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtView view(app);
    ShowSink sink;
    sink.view = &view;
    view.setEventSink(&sink);
    view.loadWindow(Window::Main, false);
    // KARVATH_SHOW_CHOOSER=1 opens the chooser over it as 按钮_获取本机ip does.
    if (std::getenv("KARVATH_SHOW_CHOOSER")) {
        QTimer::singleShot(300, [&] { view.loadWindow(Window::Chooser, true); });
    }
    // Ends by itself after the given milliseconds (default 5000).
    const char* env = std::getenv("KARVATH_SHOW_MS");
    QTimer::singleShot(env ? std::atoi(env) : 5000, [&] {
        view.destroyWindow(Window::Chooser);
        view.destroyWindow(Window::Main);
    });
    return view.runEventLoop();
}

#include "shell/Start.h"

#include "app/View.h"
#include "core/AppState.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "platform/Platform.h"
#include "schedule/ScheduleEditor.h"
#include "sql/LogStatus.h"
#include "sql/SqlSession.h"

int countRunningCopies(Karvath& k) { return k.os.countProcesses(k.executableName); }

void onMainWindowCreated(Karvath& k) {
    if (countRunningCopies(k) >= 2) {
        k.view.destroyWindow(Window::Main);
        k.view.showMessage("程序已经启动");
        return;
    }
    // A program that has saved settings starts in the tray only.
    if (!k.os.exists(settingsPath(k.runDirectory))) k.view.setVisible(Window::Main, true);
    k.view.setTrayIcon(Window::Main, k.view.windowIcon(Window::Main), "Karvath");
    restoreSavedState(k);
}

namespace {

std::string setting(Karvath& k, const std::string& section, const std::string& key) {
    return readSetting(k.os, settingsPath(k.runDirectory), section, key);
}

// Connects to the saved server without asking; silent when that fails.
void reconnect(Karvath& k, const std::string& ip, const std::string& user, const std::string& password) {
    k.state.serverAddress = ip;
    k.state.userName = user;
    k.state.password = password;
    if (!k.db.openConnection(k.state.serverAddress, k.state.userName, k.state.password, "master")) return;

    View& v = k.view;
    v.setText(按钮_连接, "正在连接");
    v.setEnabled(按钮_连接, false);
    v.setEnabled(按钮_一键清理, true);
    v.setEnabled(选择框1, true);
    v.setEnabled(按钮_获取本机ip, false);
    v.setEnabled(编辑框_IP, false);
    v.setEnabled(编辑框_用户名, false);
    v.setEnabled(编辑框_密码, false);
    v.setEnabled(透明标签_log状态, true);
    // An unattended start measures the logs on this machine's disk whatever the address.
    listLogStatusLocal(k);
    fillDatabaseList(k);
    v.selectByText(组合框_库名, k.state.selectedDatabase);
    v.setText(按钮_连接, "已连接");
}

}  // namespace

void restoreSavedState(Karvath& k) {
    View& v = k.view;
    const std::string ip = setting(k, "配置", "ip");
    const std::string user = setting(k, "配置", "用户名");
    const std::string password = setting(k, "配置", "密码");
    v.setText(编辑框_IP, ip);
    v.setText(编辑框_用户名, user);
    v.setText(编辑框_密码, password);
    const std::string hour = setting(k, "定时配置", "时");
    const std::string minute = setting(k, "定时配置", "分");
    const std::string second = setting(k, "定时配置", "秒");

    k.state.selectedDatabase = setting(k, "配置", "指定库");
    const std::string unattendedSetting = setting(k, "配置", "是否挂机");
    v.setChecked(选择框_开机自启, setting(k, "配置", "开机自启") == "true");

    restoreSchedule(k, hour, minute, second);

    const bool unattended = unattendedSetting == "是";
    v.setChecked(选择框1, unattended);
    v.setPeriod(时钟1, unattended ? 1000 : 0);
    if (unattended) reconnect(k, ip, user, password);
}

#include "sql/Connect.h"

#include "app/View.h"
#include "core/AppState.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "sql/GbkText.h"
#include "sql/LogStatus.h"
#include "sql/SqlSession.h"

namespace {

// The first empty box, checked on the raw texts, is named in a message.
bool loginBoxesFilled(Karvath& k) {
    const std::pair<Control, const char*> required[] = {
        {编辑框_IP, "数据库IP不能为空！"},
        {编辑框_用户名, "用户名不能为空！"},
        {编辑框_密码, "密码不能为空！"},
    };
    for (const auto& [box, message] : required) {
        if (k.view.getText(box).empty()) {
            k.view.showMessage(message, MB_OK, "温馨提示");
            return false;
        }
    }
    return true;
}

// One to three dots on the caption while the result is about to be shown.
void animateConnecting(Karvath& k) {
    for (int i = 0; i < 3; ++i) {
        if (k.view.getText(按钮_连接).find("正在连接") == std::string::npos) return;
        k.view.waitProcessingEvents(500);
        k.view.setText(按钮_连接, k.view.getText(按钮_连接) + ".");
    }
}

void unlockAfterConnect(Karvath& k) {
    k.view.setText(按钮_连接, "已连接");
    k.view.setEnabled(按钮_一键清理, true);
    k.view.setEnabled(选择框1, true);
    k.view.setEnabled(按钮_获取本机ip, false);
    k.view.setEnabled(编辑框_IP, false);
    k.view.setEnabled(编辑框_用户名, false);
    k.view.setEnabled(编辑框_密码, false);
    k.view.setEnabled(组合框_库名, true);
    k.view.setEnabled(透明标签_log状态, true);
}

void saveLogin(Karvath& k) {
    const std::string path = settingsPath(k.runDirectory);
    writeSetting(k.os, path, "配置", "ip", k.state.serverAddress);
    writeSetting(k.os, path, "配置", "用户名", k.state.userName);
    writeSetting(k.os, path, "配置", "密码", k.state.password);
    writeSetting(k.os, path, "配置", "是否挂机", "否");
    hideSettingsFile(k.os, path);
}

}  // namespace

void onConnectClicked(Karvath& k) {
    k.view.setText(按钮_连接, "正在连接");
    k.view.setEnabled(按钮_连接, false);
    if (!loginBoxesFilled(k)) {
        // Nothing was tried, so there is no result to report: the user fills
        // in the box and tries again.
        k.view.setText(按钮_连接, "连接");
        k.view.setEnabled(按钮_连接, true);
        return;
    }
    k.state.serverAddress = trimSpaces(k.view.getText(编辑框_IP));
    k.state.userName = trimSpaces(k.view.getText(编辑框_用户名));
    k.state.password = trimSpaces(k.view.getText(编辑框_密码));
    const bool connected =
        k.db.openConnection(k.state.serverAddress, k.state.userName, k.state.password, "master");
    k.state.connectResult = connected ? "连接成功" : "连接失败";
    animateConnecting(k);
    if (k.state.connectResult == "连接成功") {
        unlockAfterConnect(k);
        refreshLogStatus(k);
        fillDatabaseList(k);
        saveLogin(k);
        k.view.showMessage("连接成功");
    } else if (k.state.connectResult == "连接失败") {
        k.view.setText(按钮_连接, "连接");
        k.view.showMessage("连接失败");
        k.view.setEnabled(按钮_连接, true);
    }
}

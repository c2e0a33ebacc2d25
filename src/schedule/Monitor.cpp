#include "schedule/Monitor.h"

#include "app/View.h"
#include "core/AppState.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "platform/Platform.h"
#include "sql/Cleanup.h"
#include "sql/CleanupText.h"
#include "sql/LogStatus.h"
#include "sql/LogText.h"
#include "sql/SqlSession.h"

namespace {

// The clock is read anew for each line.
void appendSizeLines(Karvath& k, const std::vector<std::string>& amounts) {
    for (const std::string& amount : amounts)
        k.view.appendText(编辑框_log, timeText(currentTime(k.os)) + "  " + k.state.selectedDatabase +
                                          "检测到日志大小" + amount);
}

}  // namespace

void reportLocalLogSize(Karvath& k, float v) {
    appendSizeLines(k, localSizeAmounts(v));
    if (atLeast(v, 1048576)) runCleanup(k);
}

void reportRemoteLogSize(Karvath& k, float v) {
    appendSizeLines(k, remoteSizeAmounts(v));
    if (atLeast(v, 1024)) runCleanup(k);
}

void monitorCheck(Karvath& k) {
    if (isLocalServer(k))
        reportLocalLogSize(k, measureLocalLogSize(k, k.state.selectedDatabase));
    else
        reportRemoteLogSize(k, measureRemoteLogSize(k, k.state.selectedDatabase));
    appendActivityLog(k);
}

void appendActivityLog(Karvath& k) {
    const std::string path = activityLogPath(k.runDirectory);
    std::string bytes;
    // A log.txt that is there but cannot be read is left alone: writing the box
    // alone over it would lose its history. The next check tries again.
    if (!k.os.readFile(path, bytes) && k.os.exists(path)) return;
    bytes += k.view.getText(编辑框_log);
    k.os.writeFileExclusive(path, bytes);
}

void setUnattendedMode(Karvath& k) {
    View& v = k.view;
    const std::string settings = settingsPath(k.runDirectory);
    if (v.isChecked(选择框1)) {
        writeSetting(k.os, settings, "配置", "是否挂机", "是");
        v.setPeriod(时钟1, 1000);
        return;
    }
    writeSetting(k.os, settings, "配置", "是否挂机", "否");
    v.clearRows(超级列表框1);
    for (Control c : {按钮_获取本机ip, 编辑框_IP, 编辑框_用户名, 编辑框_密码})
        v.setEnabled(c, true);
    k.db.closeConnection();
    v.setText(按钮_连接, "连接");
    v.setEnabled(按钮_连接, true);
    v.setEnabled(按钮_一键清理, false);
    v.setEnabled(组合框_库名, false);
    v.setPeriod(时钟1, 0);
    v.setEnabled(选择框1, false);
    v.setEnabled(透明标签_log状态, false);
}

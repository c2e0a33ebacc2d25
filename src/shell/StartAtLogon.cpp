#include "shell/StartAtLogon.h"

#include "app/View.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "platform/Platform.h"

void onStartAtLogonClicked(Karvath& k) {
    const std::string settings = settingsPath(k.runDirectory);
    if (k.view.isChecked(选择框_开机自启)) {
        const std::string executable = k.runDirectory + "/" + k.executableName;
        if (k.os.registerAtLogon(executable)) {
            writeSetting(k.os, settings, "配置", "开机自启", "true");
            k.view.showMessage("设置开机自启动成功！");
        } else {
            k.view.showMessage("设置开机自启动失败！");
        }
    } else {
        k.os.unregisterAtLogon();
        writeSetting(k.os, settings, "配置", "开机自启", "false");
    }
}

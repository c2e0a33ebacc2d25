#include "shell/Dispatcher.h"

#include "schedule/Monitor.h"
#include "schedule/ScheduleEditor.h"
#include "schedule/SchedulerTick.h"
#include "shell/AddressChooser.h"
#include "shell/Start.h"
#include "shell/StartAtLogon.h"
#include "shell/Tray.h"
#include "sql/Cleanup.h"
#include "sql/Connect.h"
#include "sql/LogStatus.h"

void Dispatcher::created() { onMainWindowCreated(k_); }

bool Dispatcher::closeRequested() { return onCloseRequested(k_); }

void Dispatcher::trayEvent(int action) { onTrayEvent(k_, action); }

void Dispatcher::menuSelected(Control item) { onTrayMenuSelected(k_, item); }

void Dispatcher::clicked(Control c) {
    switch (c) {
        case 按钮_连接: onConnectClicked(k_); break;
        case 按钮_一键清理: runCleanup(k_); break;
        case 选择框_每月:
        case 选择框_每周:
        case 选择框_每天: onModeBoxClicked(k_, c); break;
        case 按钮_确定: onConfirmClicked(k_); break;
        case 选择框1: setUnattendedMode(k_); break;
        case 选择框_开机自启: onStartAtLogonClicked(k_); break;
        case 按钮_获取本机ip: onLocalAddressClicked(k_); break;
        case 按钮_主机名: onHostNameChosen(k_); break;
        case 按钮_IP: onLocalIpChosen(k_); break;
        default: break;
    }
}

void Dispatcher::itemSelected(Control c) {
    if (c == 组合框_库名) onDatabaseChosen(k_);
}

void Dispatcher::mousePressed(Control c) {
    if (c == 透明标签_log状态) onLogStatusLabelPressed(k_);
}

void Dispatcher::tick(Control timer) {
    if (timer == 时钟1) scheduleTick(k_);
}

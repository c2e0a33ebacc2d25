#pragma once

// Names of the program's windows, controls and menu entries. The logic names
// controls only through these; the toolkit side maps them onto widgets.

enum Control {
    // Main window, outside the group boxes.
    标签1,
    编辑框_IP,
    按钮_获取本机ip,
    标签2,
    编辑框_用户名,
    标签3,
    编辑框_密码,
    选择框1,
    按钮_连接,
    标签4,
    组合框_库名,
    按钮_一键清理,
    时钟1,
    进度条1,
    分组框2,
    分组框1,
    透明标签_log状态,
    编辑框_log,
    透明标签2,
    选择框_开机自启,
    // Inside 分组框2, the schedule editor.
    选择框_每月,
    选择框_每周,
    选择框_每天,
    组合框_星期,
    编辑框_日,
    标签_日,
    编辑框_时,
    标签_时,
    编辑框_分,
    标签_分,
    编辑框_秒,
    标签_秒,
    按钮_确定,
    // Inside 分组框1.
    超级列表框1,
    透明标签_loading,
    // The chooser window "请选择".
    按钮_主机名,
    按钮_IP,
    // The tray menu and its entries.
    托盘菜单,
    显示主菜单,
    退出,
    ControlCount
};

enum class Window { Main, Chooser };

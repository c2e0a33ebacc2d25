#include "app/ControlTable.h"

#include <cstddef>
#include <tuple>

namespace {

constexpr const char* kWeekdays[] = {"星期一", "星期二", "星期三", "星期四",
                                     "星期五", "星期六", "星期日"};

struct Builder {
    std::array<ControlSpec, ControlCount> rows{};
    int next = 0;

    // Adds the next row; rows must come in the order of the Control enumeration.
    ControlSpec& add(Control id, const char* name, Kind kind, Window window, Control parent, int x,
                     int y, int w, int h, const char* text, bool visible, bool enabled) {
        ControlSpec& r = rows[static_cast<std::size_t>(next++)];
        r = ControlSpec{};
        r.id = id;
        r.name = name;
        r.kind = kind;
        r.window = window;
        r.parent = parent;
        r.x = x;
        r.y = y;
        r.w = w;
        r.h = h;
        r.text = text;
        r.visible = visible;
        r.enabled = enabled;
        return r;
    }
};

Builder build() {
    using enum Kind;
    constexpr Window M = Window::Main;
    constexpr Window C = Window::Chooser;
    constexpr Control top = NoParent;
    Builder b;

    // Main window, outside the group boxes.
    b.add(标签1, "标签1", Label, M, top, 8, 16, 64, 32, "数据库IP：", true, true).align =
        Align::Right;
    b.add(编辑框_IP, "编辑框_IP", Edit, M, top, 72, 16, 160, 32, "", true, true);
    b.add(按钮_获取本机ip, "按钮_获取本机ip", Button, M, top, 240, 16, 48, 32, "本机", true, true)
        .defaultButton = true;
    b.add(标签2, "标签2", Label, M, top, 16, 56, 56, 32, "用户名：", true, true).align =
        Align::Right;
    b.add(编辑框_用户名, "编辑框_用户名", Edit, M, top, 72, 56, 160, 32, "", true, true);
    b.add(标签3, "标签3", Label, M, top, 24, 96, 48, 32, "密码：", true, true).align = Align::Right;
    b.add(编辑框_密码, "编辑框_密码", Edit, M, top, 72, 96, 160, 32, "", true, true).rule =
        InputRule::Password;
    b.add(选择框1, "选择框1", CheckBox, M, top, 243, 93, 50, 40, "挂机", true, false);
    b.add(按钮_连接, "按钮_连接", Button, M, top, 104, 133, 80, 32, "连接", true, true);
    b.add(标签4, "标签4", Label, M, top, -8, 168, 80, 32, "指定库：", true, true).align =
        Align::Right;
    b.add(组合框_库名, "组合框_库名", ComboBox, M, top, 72, 176, 160, 50, "", true, false)
        .fontPixels = 16;
    b.add(按钮_一键清理, "按钮_一键清理", Button, M, top, 104, 211, 80, 32, "一键清理", true,
          false);
    b.add(时钟1, "时钟1", Timer, M, top, 0, 0, 0, 0, "", true, true);
    b.add(进度条1, "进度条1", ProgressBar, M, top, 6, 256, 282, 16, "", true, true);
    b.add(分组框2, "分组框2", GroupBox, M, top, 7, 278, 281, 80, "定时设置", true, true);
    b.add(分组框1, "分组框1", GroupBox, M, top, 296, 8, 336, 352, "日志状态", true, true);
    b.add(透明标签_log状态, "透明标签_log状态", ClickArea, M, top, 296, 24, 312, 160, "", true,
          false);
    b.add(编辑框_log, "编辑框_log", LogBox, M, top, 304, 208, 320, 144, "", true, true);
    b.add(透明标签2, "透明标签2", ClickArea, M, top, 296, 208, 312, 152, "", true, true);
    b.add(选择框_开机自启, "选择框_开机自启", CheckBox, M, top, 560, 360, 72, 24, "开机自启", true,
          true);

    // Inside 分组框2, the schedule editor.
    b.add(选择框_每月, "选择框_每月", CheckBox, M, 分组框2, 8, 21, 72, 16, "每月一次", true, true);
    b.add(选择框_每周, "选择框_每周", CheckBox, M, 分组框2, 8, 37, 72, 16, "每周一次", true, true);
    b.add(选择框_每天, "选择框_每天", CheckBox, M, 分组框2, 8, 53, 72, 16, "每天一次", true, true);
    {
        ControlSpec& r = b.add(组合框_星期, "组合框_星期", ComboBox, M, 分组框2, 82, 21, 64, 20, "",
                               false, true);
        r.editableField = true;
        r.items = kWeekdays;
    }
    {
        ControlSpec& r =
            b.add(编辑框_日, "编辑框_日", Edit, M, 分组框2, 82, 21, 20, 20, "", false, true);
        r.rule = InputRule::Integer;
        r.maxLength = 2;
        r.align = Align::Center;
    }
    b.add(标签_日, "标签_日", Label, M, 分组框2, 102, 19, 16, 24, "日", false, true).align =
        Align::Center;
    for (auto [edit, editName, label, labelName, x, text] :
         {std::tuple{编辑框_时, "编辑框_时", 标签_时, "标签_时", 82, "时"},
          std::tuple{编辑框_分, "编辑框_分", 标签_分, "标签_分", 120, "分"},
          std::tuple{编辑框_秒, "编辑框_秒", 标签_秒, "标签_秒", 159, "秒"}}) {
        ControlSpec& e = b.add(edit, editName, Edit, M, 分组框2, x, 47, 20, 20, "", false, true);
        e.rule = InputRule::Digits;
        e.maxLength = 2;
        e.align = Align::Center;
        b.add(label, labelName, Label, M, 分组框2, x + 21, 46, 16, 24, text, false, true).align =
            Align::Center;
    }
    {
        ControlSpec& r =
            b.add(按钮_确定, "按钮_确定", Button, M, 分组框2, 201, 45, 40, 22, "确定", false, true);
        r.fontPixels = 12;
    }

    // Inside 分组框1.
    b.add(超级列表框1, "超级列表框1", ListView, M, 分组框1, 8, 24, 320, 168, "", true, true);
    {
        ControlSpec& r = b.add(透明标签_loading, "透明标签_loading", ClickArea, M, 分组框1, 102, 93,
                               136, 32, "Loading", false, true);
        r.fontPixels = 21;
        r.align = Align::Center;
    }

    // The chooser window.
    b.add(按钮_主机名, "按钮_主机名", Button, C, top, 8, 8, 88, 56, "主机名", true, true);
    b.add(按钮_IP, "按钮_IP", Button, C, top, 104, 8, 88, 56, "本机IP", true, true);

    // The tray menu, owned by the main window.
    b.add(托盘菜单, "托盘菜单", Menu, M, top, 0, 0, 0, 0, "托盘菜单", false, true);
    b.add(显示主菜单, "显示主菜单", MenuItem, M, 托盘菜单, 0, 0, 0, 0, "显示主菜单", true, true);
    b.add(退出, "退出", MenuItem, M, 托盘菜单, 0, 0, 0, 0, "退出", true, true);

    // The events the program handles: every button and check box, the database
    // chooser, the click area over the list, the timer and the menu entries.
    for (ControlSpec& r : b.rows) {
        r.wired = r.kind == Button || r.kind == CheckBox || r.kind == MenuItem ||
                  r.id == 组合框_库名 || r.id == 透明标签_log状态 || r.id == 时钟1;
    }
    return b;
}

}  // namespace

const std::array<ControlSpec, ControlCount>& controlTable() {
    static const std::array<ControlSpec, ControlCount> table = build().rows;
    return table;
}

const ControlSpec& spec(Control c) { return controlTable()[static_cast<std::size_t>(c)]; }

const WindowSpec& windowSpec(Window w) {
    static const WindowSpec main{
        Window::Main, "Karvath v1.74   编译日期：2020.9.6", 639, 411, 633, 384, true, false, true,
        false};
    static const WindowSpec chooser{Window::Chooser, "请选择", 207,   102, 201, 72,
                                    false,           true,     false, true};
    return w == Window::Main ? main : chooser;
}

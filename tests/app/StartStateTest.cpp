// The main window and the chooser as they come up, before any handler ran.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "AppFixture.h"
#include "app/Widgets.h"

namespace {

struct StartState {
    Control control;
    const char* text;  // caption or content, UTF-8
    bool visible;
    bool enabled;
};

// The start states of the main window's controls, as the program must show them.
const StartState kMainStart[] = {
    {标签1, "数据库IP：", true, true},
    {编辑框_IP, "", true, true},
    {按钮_获取本机ip, "本机", true, true},
    {标签2, "用户名：", true, true},
    {编辑框_用户名, "", true, true},
    {标签3, "密码：", true, true},
    {编辑框_密码, "", true, true},
    {选择框1, "挂机", true, false},
    {按钮_连接, "连接", true, true},
    {标签4, "指定库：", true, true},
    {组合框_库名, "", true, false},
    {按钮_一键清理, "一键清理", true, false},
    {进度条1, "", true, true},
    {分组框2, "定时设置", true, true},
    {分组框1, "日志状态", true, true},
    {透明标签_log状态, "", true, false},
    {编辑框_log, "", true, true},
    {透明标签2, "", true, true},
    {选择框_开机自启, "开机自启", true, true},
    {选择框_每月, "每月一次", true, true},
    {选择框_每周, "每周一次", true, true},
    {选择框_每天, "每天一次", true, true},
    {组合框_星期, "", false, true},
    {编辑框_日, "", false, true},
    {标签_日, "日", false, true},
    {编辑框_时, "", false, true},
    {标签_时, "时", false, true},
    {编辑框_分, "", false, true},
    {标签_分, "分", false, true},
    {编辑框_秒, "", false, true},
    {标签_秒, "秒", false, true},
    {按钮_确定, "确定", false, true},
    {超级列表框1, "", true, true},
    {透明标签_loading, "Loading", false, true},
};

using StartStateTest = AppTest;

TEST(ControlTable, RowsComeInTheOrderOfTheControlNames) {
    for (int i = 0; i < ControlCount; ++i) {
        EXPECT_EQ(controlTable()[static_cast<std::size_t>(i)].id, i);
        EXPECT_EQ(&spec(static_cast<Control>(i)), &controlTable()[static_cast<std::size_t>(i)]);
    }
}

TEST_F(StartStateTest, MainWindowIsCreatedHiddenWithItsCaptionAndFixedFrame) {
    QWidget* win = mainWindow();
    ASSERT_NE(win, nullptr);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(win->windowTitle(), QStringLiteral("Karvath v1.74   编译日期：2020.9.6"));
    EXPECT_EQ(win->minimumSize(), win->maximumSize()) << "not resizable";
    const Qt::WindowFlags flags = win->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(win->palette().color(QPalette::Window), QColor(Qt::white));
    // The created event ran once, after the controls existed.
    EXPECT_EQ(sink.events, (std::vector<Received>{{Received::Created, 0}}));
}

TEST_F(StartStateTest, EveryControlStartsAsTheProgramDefinesIt) {
    for (const StartState& s : kMainStart) {
        SCOPED_TRACE(spec(s.control).name);
        QWidget* widget = view->widget(s.control);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->objectName(), QString::fromUtf8(spec(s.control).name));
        EXPECT_EQ(widget->isVisibleTo(mainWindow()), s.visible);
        EXPECT_EQ(widget->isEnabled(), s.enabled);
        if (auto* label = dynamic_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(s.text));
        } else if (auto* group = dynamic_cast<QGroupBox*>(widget)) {
            EXPECT_EQ(group->title(), QString::fromUtf8(s.text));
        } else if (!dynamic_cast<QComboBox*>(widget)) {
            EXPECT_EQ(view->getText(s.control), gbk(s.text));
        }
        if (auto* box = dynamic_cast<QCheckBox*>(widget)) {
            EXPECT_FALSE(box->isChecked());
        }
        // Assistive tools find every control by its name.
        EXPECT_EQ(widget->accessibleDescription(), QString::fromUtf8(spec(s.control).name));
    }
}

TEST_F(StartStateTest, ControlsSitWhereTheLayoutPutsThem) {
    struct Place {
        Control c;
        Control parent;
        int x, y, w, h;
    };
    const Place places[] = {
        {编辑框_IP, NoParent, 72, 16, 160, 32},     {标签4, NoParent, -8, 168, 80, 32},
        {分组框1, NoParent, 296, 8, 336, 352},      {透明标签_log状态, NoParent, 296, 24, 312, 160},
        {编辑框_log, NoParent, 304, 208, 320, 144}, {选择框_开机自启, NoParent, 560, 360, 72, 24},
        {超级列表框1, 分组框1, 8, 24, 320, 168},    {按钮_确定, 分组框2, 201, 45, 40, 22},
        {编辑框_秒, 分组框2, 159, 47, 20, 20},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(spec(p.c).name);
        QWidget* widget = view->widget(p.c);
        EXPECT_EQ(widget->parentWidget(),
                  p.parent == NoParent ? mainWindow() : view->widget(p.parent));
        EXPECT_EQ(widget->geometry(), QRect(p.x, p.y, p.w, p.h));
    }
    // Everything fits in the client area but the label that starts left of it.
    const QRect client = mainWindow()->rect();
    for (const StartState& s : kMainStart) {
        if (s.control == 标签4) continue;
        SCOPED_TRACE(spec(s.control).name);
        QWidget* widget = view->widget(s.control);
        const QRect r(widget->mapTo(mainWindow(), QPoint(0, 0)), widget->size());
        EXPECT_TRUE(client.contains(r))
            << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    }
}

TEST_F(StartStateTest, ClickAreasLieAboveWhatTheyCover) {
    QWidget* win = mainWindow();
    // Over the list, inside 分组框1.
    const QPoint overList = view->widget(超级列表框1)->mapTo(win, QPoint(40, 40));
    EXPECT_EQ(win->childAt(overList), view->widget(透明标签_log状态));
    // Over the activity log.
    const QPoint overLog = view->widget(编辑框_log)->mapTo(win, QPoint(40, 40));
    EXPECT_EQ(win->childAt(overLog), view->widget(透明标签2));
    // The log box lies above the group box that frames it.
    const QPoint logCorner = view->widget(编辑框_log)->mapTo(win, QPoint(317, 140));
    QWidget* hit = win->childAt(logCorner);
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == view->widget(编辑框_log) || view->widget(编辑框_log)->isAncestorOf(hit));
}

TEST_F(StartStateTest, ComboBoxesStartWithoutSelection) {
    auto* weekday = w<QComboBox>(组合框_星期);
    ASSERT_NE(weekday, nullptr);
    EXPECT_TRUE(weekday->isEditable());
    EXPECT_EQ(weekday->currentIndex(), -1);
    EXPECT_EQ(weekday->currentText(), QString());
    const char* days[] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};
    ASSERT_EQ(weekday->count(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(view->itemText(组合框_星期, i), gbk(days[i]));

    auto* database = w<QComboBox>(组合框_库名);
    ASSERT_NE(database, nullptr);
    EXPECT_FALSE(database->isEditable()) << "only list items can be chosen";
    EXPECT_EQ(database->count(), 0);
    EXPECT_EQ(view->currentIndex(组合框_库名), -1);
    EXPECT_EQ(view->itemText(组合框_库名, view->currentIndex(组合框_库名)), "");
}

TEST_F(StartStateTest, ListViewIsAReportWithTwoFixedColumns) {
    auto* list = w<QTableWidget>(超级列表框1);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->rowCount(), 0);
    ASSERT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), QStringLiteral("Log_Name"));
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), QStringLiteral("Log_Size"));
    EXPECT_EQ(list->columnWidth(0), 170);
    EXPECT_EQ(list->columnWidth(1), 145);
    EXPECT_TRUE(list->horizontalHeader()->isVisibleTo(list));
    EXPECT_FALSE(list->horizontalHeader()->sectionsClickable());
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST_F(StartStateTest, FontsAndColoursOfTheirOwn) {
    EXPECT_EQ(view->widget(按钮_确定)->font().pixelSize(), 12);
    EXPECT_EQ(view->widget(组合框_库名)->font().pixelSize(), 16);
    EXPECT_EQ(view->widget(透明标签_loading)->font().pixelSize(), 21);
    EXPECT_EQ(view->widget(透明标签_loading)->palette().color(QPalette::WindowText),
              QColor(0xC0, 0xC0, 0xC0));
    QWidget* log = view->widget(编辑框_log);
    EXPECT_EQ(log->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(log->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(static_cast<QPlainTextEdit*>(log)->viewport()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(static_cast<QPlainTextEdit*>(log)->isReadOnly());
    EXPECT_EQ(w<QProgressBar>(进度条1)->value(), 0);
    EXPECT_TRUE(w<QPushButton>(按钮_获取本机ip)->isDefault());
}

TEST_F(StartStateTest, TheTrayMenuHoldsItsTwoEntriesInOrder) {
    ASSERT_NE(view->action(显示主菜单), nullptr);
    ASSERT_NE(view->action(退出), nullptr);
    EXPECT_EQ(view->action(显示主菜单)->text(), QStringLiteral("显示主菜单"));
    EXPECT_EQ(view->action(退出)->text(), QStringLiteral("退出"));
    EXPECT_TRUE(view->action(显示主菜单)->isEnabled());
    EXPECT_FALSE(view->action(退出)->isCheckable());
    EXPECT_EQ(view->action(退出)->parent(), mainWindow()) << "they go with the window";
}

TEST_F(StartStateTest, TheWindowIconIsOne48PixelImage) {
    const IconData icon = view->windowIcon(Window::Main);
    ASSERT_FALSE(icon.empty());
    QImage image;
    ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(icon.data()),
                                   static_cast<int>(icon.size())));
    EXPECT_EQ(image.size(), QSize(48, 48));
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_FALSE(mainWindow()->windowIcon().isNull());
}

}  // namespace

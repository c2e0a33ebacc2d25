// What the edit boxes accept from the keyboard and the clipboard.

#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "AppFixture.h"
#include "app/Widgets.h"

namespace {

TEST(NormalizedInteger, ReadsLikeTheCLibraryAndWritesZeroAsEmpty) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"07", "7"},
        {"0", ""},
        {"-", ""},
        {"-5", "-5"},
        {"", ""},
        {"+3", "3"},
        {"  12", "12"},
        {"\t-4x", "-4"},
        {"1-2", "1"},
        {"--1", ""},
        {"- 1", ""},
        {"abc", ""},
        {"00", ""},
        {"-0", ""},
        {"2147483647", "2147483647"},
        {"2147483648", "2147483647"},
        {"-2147483649", "-2147483648"},
        {"99999999999999999999", "2147483647"},
        {"12 3", "12"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(normalizedInteger(QString::fromUtf8(c.in)), QString::fromUtf8(c.out))
            << "input \"" << c.in << "\"";
    }
}

class InputRulesTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        // The monthly mode's fields, as the schedule editor shows them.
        for (Control c : {编辑框_日, 编辑框_时, 编辑框_分, 编辑框_秒}) view->setVisible(c, true);
        showMain();
    }

    // Types into a box that has the focus, then moves the focus elsewhere.
    QString typeAndLeave(Control c, const char* keys) {
        QLineEdit* edit = w<QLineEdit>(c);
        edit->setFocus();
        QTest::keyClicks(edit, QString::fromUtf8(keys));
        view->widget(编辑框_IP)->setFocus();
        QApplication::processEvents();
        return edit->text();
    }
};

TEST_F(InputRulesTest, ScheduleBoxesTakeDigitsAndMinusUpToTwo) {
    const struct {
        Control box;
        const char* typed;
        const char* afterLeaving;
    } cases[] = {
        // The day box rewrites its text as an integer when the focus leaves.
        {编辑框_日, "07", "7"},
        {编辑框_日, "0", ""},
        {编辑框_日, "-", ""},
        {编辑框_日, "-5", "-5"},
        {编辑框_日, "a", ""},
        {编辑框_日, "1a2", "12"},
        {编辑框_日, "123", "12"},
        {编辑框_日, "31", "31"},
        // The time boxes keep what was typed.
        {编辑框_时, "07", "07"},
        {编辑框_时, "0", "0"},
        {编辑框_时, "-", "-"},
        {编辑框_时, "x9y", "9"},
        {编辑框_分, "abc", ""},
        {编辑框_分, "596", "59"},
        {编辑框_秒, "5.9", "59"},
        {编辑框_秒, " 1", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(spec(c.box).name) + " typed " + c.typed);
        view->setText(c.box, "");
        EXPECT_EQ(typeAndLeave(c.box, c.typed), QString::fromUtf8(c.afterLeaving));
    }
}

TEST_F(InputRulesTest, TheFocusReallyLeavesTheDayBox) {
    QLineEdit* day = w<QLineEdit>(编辑框_日);
    day->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(day->hasFocus()) << "the window could not take the focus";
    QTest::keyClicks(day, QStringLiteral("07"));
    EXPECT_EQ(day->text(), QStringLiteral("07")) << "no rewrite while the box has the focus";
    QTest::keyClick(day, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_FALSE(day->hasFocus());
    EXPECT_EQ(view->getText(编辑框_日), "7");
}

TEST_F(InputRulesTest, BackspaceAlwaysPasses) {
    QLineEdit* hour = w<QLineEdit>(编辑框_时);
    hour->setFocus();
    QTest::keyClicks(hour, QStringLiteral("12"));
    QTest::keyClick(hour, Qt::Key_Backspace);
    EXPECT_EQ(hour->text(), QStringLiteral("1"));
    QTest::keyClick(hour, Qt::Key_3);
    EXPECT_EQ(hour->text(), QStringLiteral("13"));
}

TEST_F(InputRulesTest, ProgramTextIsTakenUnchanged) {
    // Neither the filter nor the limit applies to setText, and typing cannot
    // make such a text longer.
    view->setText(编辑框_日, "abc12");
    EXPECT_EQ(view->getText(编辑框_日), "abc12");
    QLineEdit* day = w<QLineEdit>(编辑框_日);
    day->setFocus();
    day->end(false);
    QTest::keyClick(day, Qt::Key_4);
    EXPECT_EQ(day->text(), QStringLiteral("abc12"));
    view->setText(编辑框_时, "123");
    EXPECT_EQ(view->getText(编辑框_时), "123");
}

TEST_F(InputRulesTest, PastedTextSkipsTheFilterButNotTheLimit) {
    QLineEdit* minute = w<QLineEdit>(编辑框_分);
    view->setText(编辑框_分, "");
    QApplication::clipboard()->setText(QStringLiteral("ab"));
    minute->setFocus();
    QTest::keyClick(minute, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(minute->text(), QStringLiteral("ab"));

    view->setText(编辑框_分, "");
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::keyClick(minute, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(minute->text(), QString()) << "longer than two characters";
}

TEST_F(InputRulesTest, FreeBoxesTakeAnythingWithoutLimit) {
    const QString typed = QStringLiteral("sql-01.example\\INST,1433 abc ABC ") + QString(40, u'x');
    QLineEdit* address = w<QLineEdit>(编辑框_IP);
    address->setFocus();
    QTest::keyClicks(address, typed);
    EXPECT_EQ(address->text(), typed);
    view->setText(编辑框_用户名, gbk("管理员"));
    EXPECT_EQ(view->getText(编辑框_用户名), gbk("管理员"));
}

TEST_F(InputRulesTest, PasswordShowsStarsAndGivesTheRealText) {
    QLineEdit* password = w<QLineEdit>(编辑框_密码);
    password->setFocus();
    QTest::keyClicks(password, QStringLiteral("Pa55w"));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(password->displayText(), QStringLiteral("*****"));
    EXPECT_EQ(view->getText(编辑框_密码), "Pa55w");
}

TEST_F(InputRulesTest, TheActivityLogCannotBeTypedInto) {
    view->appendText(编辑框_log, "line\r\n");
    auto* log = w<QPlainTextEdit>(编辑框_log);
    log->setFocus();
    QTest::keyClicks(log, QStringLiteral("typed"));
    QTest::keyClick(log, Qt::Key_Backspace);
    EXPECT_EQ(view->getText(编辑框_log), "line\r\n");
    EXPECT_EQ(log->toPlainText(), QStringLiteral("line\n"));
}

TEST_F(InputRulesTest, TheDatabaseChooserTakesNoTypedText) {
    auto* database = w<QComboBox>(组合框_库名);
    view->setEnabled(组合框_库名, true);
    view->addItem(组合框_库名, "master");
    view->addItem(组合框_库名, "sales");
    database->setFocus();
    QTest::keyClicks(database, QStringLiteral("xyz"));
    EXPECT_EQ(database->lineEdit(), nullptr);
    EXPECT_EQ(view->currentIndex(组合框_库名), -1);
    EXPECT_EQ(database->currentText(), QString());
}

TEST_F(InputRulesTest, TypingInTheWeekdayFieldDropsTheSelection) {
    view->setVisible(组合框_星期, true);
    EXPECT_EQ(view->selectByText(组合框_星期, gbk("星期三")), 2);
    auto* weekday = w<QComboBox>(组合框_星期);
    weekday->lineEdit()->setFocus();
    weekday->lineEdit()->end(false);
    QTest::keyClicks(weekday->lineEdit(), QStringLiteral("x"));
    EXPECT_EQ(view->currentIndex(组合框_星期), -1);
    EXPECT_EQ(weekday->currentText(), QStringLiteral("星期三x"));
    EXPECT_EQ(weekday->count(), 7);
    QTest::keyClick(weekday->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(weekday->count(), 7) << "typed text is never added as an item";
}

}  // namespace

// The per-control operations, GBK in and out.

#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include "AppFixture.h"
#include "app/Text.h"
#include "app/Widgets.h"

namespace {

using OperationsTest = AppTest;

TEST_F(OperationsTest, TheActivityLogGivesBackTheAppendedBytesExactly) {
    const std::string pieces[] = {
        gbk("2020-09-06 12:00:00 master 日志大小：1.5 MB\r\n"),
        gbk("清理完毕，共释放了") + "3.25MB\r\n",
        "half a line end\r",  // its "\n" comes with the next piece
        "\nnext\r\n",
        std::string("\xFF\x80 bytes that are no GBK text\r\n"),
    };
    std::string all;
    for (const std::string& piece : pieces) {
        view->appendText(编辑框_log, piece);
        all += piece;
        EXPECT_EQ(view->getText(编辑框_log), all);
    }
    const QString shown = w<QPlainTextEdit>(编辑框_log)->toPlainText();
    EXPECT_TRUE(
        shown.startsWith(QStringLiteral("2020-09-06 12:00:00 master 日志大小：1.5 MB\n清理完毕")));
    EXPECT_TRUE(shown.contains(QStringLiteral("half a line end\nnext\n"))) << "one line break";
    EXPECT_FALSE(shown.contains(u'\r'));

    view->setText(编辑框_log, "fresh\r\n");
    EXPECT_EQ(view->getText(编辑框_log), "fresh\r\n");
    EXPECT_EQ(w<QPlainTextEdit>(编辑框_log)->toPlainText(), QStringLiteral("fresh\n"));
}

TEST_F(OperationsTest, AppendingScrollsTheLogToItsEnd) {
    showMain();
    for (int i = 0; i < 60; ++i) view->appendText(编辑框_log, "line " + std::to_string(i) + "\r\n");
    QApplication::processEvents();
    auto* log = w<QPlainTextEdit>(编辑框_log);
    EXPECT_GT(log->verticalScrollBar()->value(), 0);
    // The caret, at the end of the text, is in view.
    EXPECT_EQ(log->textCursor().position(), log->document()->characterCount() - 1);
    EXPECT_TRUE(log->viewport()->rect().contains(log->cursorRect()));
}

TEST_F(OperationsTest, CaptionsOfButtonsAndClickAreasAreTexts) {
    view->setText(按钮_一键清理, gbk("正在清理..."));
    EXPECT_EQ(w<QPushButton>(按钮_一键清理)->text(), QStringLiteral("正在清理..."));
    EXPECT_EQ(view->getText(按钮_一键清理), gbk("正在清理..."));
    EXPECT_EQ(view->getText(透明标签_loading), "Loading");
    view->setText(透明标签_loading, " Loading");
    EXPECT_EQ(view->getText(透明标签_loading), " Loading");
    EXPECT_EQ(view->getText(透明标签_loading).size(), 8u);
}

TEST_F(OperationsTest, SelectByTextTakesTheFirstItemBeginningWithThePrefix) {
    EXPECT_EQ(view->addItem(组合框_库名, "Master"), 0);
    EXPECT_EQ(view->addItem(组合框_库名, "model"), 1);
    EXPECT_EQ(view->addItem(组合框_库名, gbk("销售库")), 2);
    EXPECT_EQ(view->currentIndex(组合框_库名), -1) << "adding selects nothing";

    const struct {
        const char* prefix;  // UTF-8
        int result;
        int selectedAfter;
    } cases[] = {
        {"ma", 0, 0}, {"MOD", 1, 1},    {"x", -1, 1}, {"Masterful", -1, 1},
        {"销", 2, 2}, {"MASTER", 0, 0}, {"", -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefix);
        EXPECT_EQ(view->selectByText(组合框_库名, gbk(c.prefix)), c.result);
        EXPECT_EQ(view->currentIndex(组合框_库名), c.selectedAfter);
    }
    EXPECT_EQ(view->itemText(组合框_库名, 2), gbk("销售库"));
    EXPECT_EQ(view->itemText(组合框_库名, 3), "");
    EXPECT_EQ(view->itemText(组合框_库名, -1), "");

    view->clearItems(组合框_库名);
    EXPECT_EQ(view->currentIndex(组合框_库名), -1);
    EXPECT_EQ(view->selectByText(组合框_库名, ""), -1);
}

TEST_F(OperationsTest, OnlyAsciiLettersIgnoreCase) {
    // Full-width letters are not folded.
    view->addItem(组合框_库名, gbk("Ａbc"));
    EXPECT_EQ(view->selectByText(组合框_库名, gbk("ａ")), -1);
    EXPECT_EQ(view->selectByText(组合框_库名, gbk("Ａb")), 0);
}

TEST_F(OperationsTest, ListRowsAndCells) {
    EXPECT_EQ(view->insertRow(超级列表框1), 0);
    EXPECT_EQ(view->insertRow(超级列表框1), 1);
    view->setCellText(超级列表框1, 1, 0, gbk("销售库_log"));
    view->setCellText(超级列表框1, 1, 1, "12.5MB");
    // Cells that do not exist are ignored.
    view->setCellText(超级列表框1, 2, 0, "no row");
    view->setCellText(超级列表框1, 0, 2, "no column");
    view->setCellText(超级列表框1, -1, 0, "no row");
    auto* list = w<QTableWidget>(超级列表框1);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(1, 0)->text(), QStringLiteral("销售库_log"));
    EXPECT_EQ(list->item(1, 1)->text(), QStringLiteral("12.5MB"));
    EXPECT_EQ(list->item(0, 0)->text(), QString());
    EXPECT_FALSE(list->item(1, 0)->flags() & Qt::ItemIsEditable);
    view->clearRows(超级列表框1);
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(view->insertRow(超级列表框1), 0);
}

TEST_F(OperationsTest, ProgressPositionIsLimitedToItsRange) {
    const std::pair<int, int> cases[] = {{42, 42}, {-5, 0}, {150, 100}, {100, 100}, {0, 0}};
    for (auto [set, got] : cases) {
        view->setPosition(进度条1, set);
        EXPECT_EQ(view->getPosition(进度条1), got) << set;
    }
}

TEST_F(OperationsTest, HiddenControlsKeepTheirContents) {
    view->setText(编辑框_IP, "10.0.0.5");
    view->setVisible(编辑框_IP, false);
    EXPECT_FALSE(view->widget(编辑框_IP)->isVisibleTo(mainWindow()));
    EXPECT_EQ(view->getText(编辑框_IP), "10.0.0.5");
    view->setVisible(编辑框_IP, true);
    EXPECT_TRUE(view->widget(编辑框_IP)->isVisibleTo(mainWindow()));
    view->setEnabled(按钮_一键清理, true);
    EXPECT_TRUE(view->widget(按钮_一键清理)->isEnabled());
}

TEST(TextCut, TrayTipsKeepWholeCharacters) {
    EXPECT_EQ(cutGbk("Karvath", 62), "Karvath");
    EXPECT_EQ(cutGbk(std::string(70, 'a'), 62), std::string(62, 'a'));
    // 61 ASCII bytes and a two-byte character: the character does not fit.
    const std::string tip = std::string(61, 'a') + gbk("中");
    EXPECT_EQ(cutGbk(tip, 62), std::string(61, 'a'));
    const std::string wide =
        gbk("中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文");
    EXPECT_EQ(cutGbk(wide, 62), wide.substr(0, 62));
}

}  // namespace

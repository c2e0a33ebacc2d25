#include <string>
#include <vector>

#include "SqlLogicFixture.h"

namespace {

using Texts = std::vector<std::string>;

class ConnectWorkflow : public SqlLogicTest {
protected:
    void SetUp() override {
        db.setDatabases({{"master", "D:\\Data\\mastlog.ldf", 256},
                         {"销售库", "D:\\数据\\销售库_log.ldf", 1024}});
    }
    void typeLogin(const std::string& ip, const std::string& user, const std::string& password) {
        view.type(编辑框_IP, ip);
        view.type(编辑框_用户名, user);
        view.type(编辑框_密码, password);
    }
    bool enabled(Control c) { return view.state(c).enabled; }
    std::string settingsFile() { return settingsPath(k.runDirectory); }
};

// --- validation ---

struct ValidationCase {
    const char* label;
    std::string ip, user, password;
    std::string message;
};

class Validation : public ConnectWorkflow, public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(Validation, NamesTheFirstEmptyBoxAndLetsTheUserTryAgain) {
    state.serverAddress = "kept";
    typeLogin(GetParam().ip, GetParam().user, GetParam().password);
    view.click(按钮_连接);
    ASSERT_EQ(view.messages().size(), 1u);
    EXPECT_EQ(view.messages()[0].text, GetParam().message);
    EXPECT_EQ(view.messages()[0].title, "温馨提示");
    EXPECT_EQ(view.messages()[0].buttons, MB_OK);
    EXPECT_TRUE(db.logins.empty());
    EXPECT_EQ(state.serverAddress, "kept");
    EXPECT_EQ(state.connectResult, "");
    EXPECT_EQ(view.texts[按钮_连接], (Texts{"正在连接", "连接"}));
    EXPECT_TRUE(enabled(按钮_连接));
    EXPECT_FALSE(os.exists(settingsFile()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Validation,
    ::testing::Values(ValidationCase{"AllEmpty", "", "", "", "数据库IP不能为空！"},
                      ValidationCase{"IpEmpty", "", "sa", "pw", "数据库IP不能为空！"},
                      ValidationCase{"UserEmpty", "10.0.0.5", "", "", "用户名不能为空！"},
                      ValidationCase{"UserEmptyPasswordSet", "10.0.0.5", "", "pw",
                                     "用户名不能为空！"},
                      ValidationCase{"PasswordEmpty", "10.0.0.5", "sa", "", "密码不能为空！"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ConnectWorkflow, AValidationMessageNeverRepeatsAnEarlierResult) {
    for (const char* earlier : {"连接失败", "连接成功"}) {
        SCOPED_TRACE(earlier);
        state.connectResult = earlier;
        view.state(按钮_连接).text = "连接";
        view.state(按钮_连接).enabled = true;
        typeLogin("10.0.0.5", "sa", "");
        view.click(按钮_连接);
        EXPECT_EQ(view.messageTexts().back(), "密码不能为空！");
        EXPECT_EQ(state.connectResult, earlier);
        EXPECT_EQ(view.state(按钮_连接).text, "连接");
        EXPECT_TRUE(enabled(按钮_连接));
    }
    EXPECT_EQ(view.messages().size(), 2u);
    EXPECT_TRUE(db.logins.empty());
    EXPECT_TRUE(view.waits().empty());
}

// --- trimming ---

struct TrimCase {
    const char* label;
    std::string typed;
    std::string stored;
};

class Trimming : public ConnectWorkflow, public ::testing::WithParamInterface<TrimCase> {};

TEST_P(Trimming, StoresAndConnectsWithTheTrimmedTexts) {
    typeLogin(GetParam().typed, GetParam().typed, GetParam().typed);
    view.click(按钮_连接);
    ASSERT_FALSE(db.logins.empty());
    EXPECT_EQ(db.logins[0].server, GetParam().stored);
    EXPECT_EQ(db.logins[0].login, GetParam().stored);
    EXPECT_EQ(db.logins[0].password, GetParam().stored);
    EXPECT_EQ(db.logins[0].database, "master");
    EXPECT_EQ(state.serverAddress, GetParam().stored);
    EXPECT_EQ(state.userName, GetParam().stored);
    EXPECT_EQ(state.password, GetParam().stored);
    EXPECT_EQ(view.state(编辑框_IP).text, GetParam().typed);  // the box keeps what was typed
    // Saved as stored (read back, the profile rules would drop blanks such as tabs).
    EXPECT_NE(os.files[settingsFile()].find("ip=" + GetParam().stored + "\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Trimming,
    ::testing::Values(
        TrimCase{"AsciiSpaces", " 10.0.0.5 ", "10.0.0.5"},
        TrimCase{"FullWidthSpaces", "　　sa　", "sa"}, TrimCase{"Mixed", " 　 x y　 ", "x y"},
        TrimCase{"OnlySpaces", "  　 ", ""}, TrimCase{"TabsStay", "\tsa\t", "\tsa\t"},
        // 啊 ends in the byte A1: with a full-width space after it only the space goes.
        TrimCase{"TrailByteA1", "啊　", "啊"}, TrimCase{"Chinese", " 销售库 ", "销售库"}),
    [](const auto& info) { return std::string(info.param.label); });

// --- success ---

TEST_F(ConnectWorkflow, SuccessUnlocksTheControlsFillsTheListsAndSavesTheLogin) {
    typeLogin("10.0.0.5", "sa", "pw");
    std::vector<std::string> atMessage;
    view.duringNextMessage([&] {
        atMessage = {setting("ip"), setting("用户名"), setting("密码"), setting("是否挂机")};
        EXPECT_EQ(rows().size(), 2u);
        EXPECT_EQ(view.state(组合框_库名).items.size(), 2u);
        EXPECT_EQ(view.state(按钮_连接).text, "已连接");
    });
    view.click(按钮_连接);

    EXPECT_EQ(atMessage, (Texts{"10.0.0.5", "sa", "pw", "否"}));
    EXPECT_TRUE(os.ownerOnly.count(settingsFile()));
    ASSERT_EQ(view.messages().size(), 1u);
    EXPECT_EQ(view.messages()[0].text, "连接成功");
    EXPECT_EQ(view.messages()[0].title, "信息：");
    EXPECT_EQ(state.connectResult, "连接成功");

    EXPECT_EQ(view.state(按钮_连接).text, "已连接");
    EXPECT_FALSE(enabled(按钮_连接));
    for (Control c : {按钮_一键清理, 选择框1, 组合框_库名, 透明标签_log状态})
        EXPECT_TRUE(enabled(c)) << c;
    for (Control c : {按钮_获取本机ip, 编辑框_IP, 编辑框_用户名, 编辑框_密码})
        EXPECT_FALSE(enabled(c)) << c;

    // Logged in twice: the connect, then the listing's reopen.
    ASSERT_EQ(db.logins.size(), 2u);
    EXPECT_EQ(db.logins[1].server, "10.0.0.5");
    EXPECT_EQ(db.logins[1].database, "master");
    EXPECT_EQ(rows(), (std::vector<std::array<std::string, 2>>{{"mastlog", "2.06 MB"},
                                                               {"销售库_log", "8.26 MB"}}));
    EXPECT_EQ(view.state(组合框_库名).items, (Texts{"master", "销售库"}));
}

TEST_F(ConnectWorkflow, AConnectToThisMachineListsSizesFromTheDisk) {
    os.sizes["D:\\数据\\销售库_log.ldf"] = 1048576;
    typeLogin(os.ipv4, "sa", "pw");
    view.click(按钮_连接);
    ASSERT_EQ(rows().size(), 2u);
    EXPECT_EQ(rows()[1][1], "1.024 MB");
}

TEST_F(ConnectWorkflow, CaptionGainsADotEvery500ms) {
    typeLogin("10.0.0.5", "sa", "pw");
    std::vector<std::pair<std::string, bool>> seen;
    for (int ms : {250, 750, 1250})
        view.at(ms, [&] { seen.push_back({view.state(按钮_连接).text, enabled(按钮_连接)}); });
    view.click(按钮_连接);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{
                        {"正在连接", false}, {"正在连接.", false}, {"正在连接..", false}}));
    EXPECT_EQ(view.texts[按钮_连接],
              (Texts{"正在连接", "正在连接.", "正在连接..", "正在连接...", "已连接"}));
    EXPECT_EQ(view.waits(), (std::vector<int>{500, 500, 500}));
}

TEST_F(ConnectWorkflow, TheAnimationStopsWhenTheCaptionChanges) {
    // Something else (the unattended switch) resets the caption during a wait.
    typeLogin("10.0.0.5", "sa", "pw");
    view.at(600, [&] { view.setText(按钮_连接, "连接"); });
    view.click(按钮_连接);
    EXPECT_EQ(view.waits().size(), 2u);
}

// --- failure ---

TEST_F(ConnectWorkflow, FailureGivesTheButtonBackAndKeepsTheBoxes) {
    db.loginsSucceed = false;
    typeLogin(" 10.0.0.9", "sa", "bad");
    std::pair<std::string, bool> atMessage;
    view.duringNextMessage([&] { atMessage = {view.state(按钮_连接).text, enabled(按钮_连接)}; });
    view.click(按钮_连接);

    EXPECT_EQ(view.messageTexts(), (Texts{"连接失败"}));
    EXPECT_EQ(view.messages()[0].title, "信息：");
    EXPECT_EQ(atMessage, (std::pair<std::string, bool>{"连接", false}));
    EXPECT_EQ(view.state(按钮_连接).text, "连接");
    EXPECT_TRUE(enabled(按钮_连接));
    EXPECT_EQ(view.texts[按钮_连接],
              (Texts{"正在连接", "正在连接.", "正在连接..", "正在连接...", "连接"}));
    EXPECT_EQ(state.connectResult, "连接失败");
    EXPECT_EQ(state.serverAddress, "10.0.0.9");
    for (Control c : {编辑框_IP, 编辑框_用户名, 编辑框_密码, 按钮_获取本机ip})
        EXPECT_TRUE(enabled(c));
    for (Control c : {按钮_一键清理, 组合框_库名, 透明标签_log状态, 选择框1})
        EXPECT_FALSE(enabled(c));
    EXPECT_EQ(view.state(编辑框_IP).text, " 10.0.0.9");
    EXPECT_EQ(db.logins.size(), 1u);
    EXPECT_TRUE(rows().empty());
    EXPECT_FALSE(os.exists(settingsFile()));

    // A second attempt that succeeds.
    db.loginsSucceed = true;
    view.click(按钮_连接);
    EXPECT_EQ(view.messageTexts(), (Texts{"连接失败", "连接成功"}));
    EXPECT_EQ(state.connectResult, "连接成功");
    EXPECT_EQ(view.state(按钮_连接).text, "已连接");
}

TEST_F(ConnectWorkflow, AnUnreadableCatalogueStillConnectsWithEmptyLists) {
    db.answers.clear();
    typeLogin("10.0.0.5", "sa", "pw");
    view.click(按钮_连接);
    EXPECT_EQ(view.messageTexts(), (Texts{"连接成功"}));
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(view.state(组合框_库名).items.empty());
}

}  // namespace

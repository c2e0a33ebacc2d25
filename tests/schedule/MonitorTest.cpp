#include <cmath>

#include "ScheduleFixture.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        out.push_back(text.substr(from, at - from));
    if (from < text.size()) out.push_back(text.substr(from));  // an unterminated tail
    return out;
}

class MonitorTest : public ScheduleFixture {
protected:
    // The number and unit of every size line, in order.
    std::vector<std::string> sizes() {
        const std::string marker = "检测到日志大小";
        std::vector<std::string> out;
        for (const std::string& line : lines(activityLog())) {
            auto at = line.find(marker);
            if (at != std::string::npos) out.push_back(line.substr(at + marker.size()));
        }
        return out;
    }
    bool cleanupRan() { return !db.statements.empty(); }
    void check() {
        monitorCheck(k);
        clock.advance(60 * 1000);
    }
};

struct SizeCase {
    float value;
    std::vector<std::string> lines;  // number and unit of each size line
    bool cleanup;
};

TEST_F(MonitorTest, LocalSizeTable) {
    const SizeCase cases[] = {
        {512.25f, {"512.25KB"}, false},
        {1023.99f, {"1023.99KB"}, false},
        {0.0f, {"0KB"}, false},
        {-1.0f / 1024, {"-0.000976563KB"}, false},
        {1024.0f, {"1.024MB"}, false},
        {10240.0f, {"10.24MB"}, false},
        {1536.3f, {"1.536300048828MB"}, false},
        {1048575.0f, {"1048.575MB"}, false},
        {1048576.0f, {"1048.576MB", "1.048576GB"}, true},
        {3145728.0f, {"3145.728MB", "3.145728GB"}, true},
    };
    connectLocal(0);
    chooseShop();
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.value);
        view.state(编辑框_log).text.clear();
        db.statements.clear();
        reportLocalLogSize(k, c.value);
        EXPECT_EQ(sizes(), c.lines);
        EXPECT_EQ(cleanupRan(), c.cleanup);
    }
}

TEST_F(MonitorTest, RemoteSizeTable) {
    const float justBelow = std::nextafter(1.024f, 0.0f);  // within the tolerance
    const float furtherBelow = std::nextafter(justBelow, 0.0f);
    const SizeCase cases[] = {
        {0.5f, {"500KB"}, false},
        {1.0f, {"1000KB"}, false},
        {0.0f, {"0KB"}, false},
        {furtherBelow, {"1023.999810219KB"}, false},
        {justBelow, {"1.024MB"}, false},
        {1.024f, {"1.024MB"}, false},
        {5.2f, {"5.2MB"}, false},
        {1023.99f, {"1023.99MB"}, false},
        {1024.0f, {"1024MB", "1.024GB"}, true},
        {2000.5f, {"2000.5MB", "2.0005GB"}, true},
    };
    connectRemote();
    chooseShop();
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.value);
        view.state(编辑框_log).text.clear();
        db.statements.clear();
        reportRemoteLogSize(k, c.value);
        EXPECT_EQ(sizes(), c.lines);
        EXPECT_EQ(cleanupRan(), c.cleanup);
    }
}

TEST_F(MonitorTest, SizeLineCarriesTheTimeAndTheDatabase) {
    connectLocal(524544);  // 512.25 KB
    clock.set(2021, 3, 15, 8, 30, 0);
    monitorCheck(k);
    EXPECT_EQ(activityLog(), "2021年3月15日8时30分  shop检测到日志大小512.25KB\r\n");
    EXPECT_EQ(os.files[logFile()], activityLog());
    EXPECT_FALSE(cleanupRan());
}

struct MeasuredCase {
    const char* name;
    bool local;
    std::int64_t amount;  // bytes on disk (local, -1 none) or catalogue pages (remote)
    std::vector<std::string> lines;
    bool cleanup;
};

TEST_F(MonitorTest, CheckMeasuresTheChosenDatabase) {
    const MeasuredCase cases[] = {
        {"local, missing file", true, -1, {"-0.000976563KB"}, false},
        {"local, 1023 bytes", true, 1023, {"0.999023KB"}, false},
        {"local, 1 MB", true, 1048576, {"1.024MB"}, false},
        {"local, 1 GB", true, 1073741824, {"1048.576MB", "1.048576GB"}, true},
        {"remote, 62 pages", false, 62, {"500KB"}, false},
        {"remote, 124 pages", false, 124, {"1000KB"}, false},
        {"remote, 126976 pages", false, 126976, {"1024MB", "1.024GB"}, true},
        {"remote, 248062 pages", false, 248062, {"2000.5MB", "2.0005GB"}, true},
    };
    for (const MeasuredCase& c : cases) {
        SCOPED_TRACE(c.name);
        os.sizes.clear();
        os.files.clear();
        db.statements.clear();
        view.state(编辑框_log).text.clear();
        if (c.local)
            connectLocal(c.amount);
        else
            connectRemote(static_cast<int>(c.amount));
        chooseShop();
        monitorCheck(k);
        EXPECT_EQ(sizes(), c.lines);
        EXPECT_EQ(cleanupRan(), c.cleanup);
    }
}

TEST_F(MonitorTest, CleanupFollowsTheSizeLinesAndIsSavedInTheSameWrite) {
    connectLocal(1073741824);
    chooseShop();
    clock.set(2021, 3, 15, 8, 30, 0);
    monitorCheck(k);

    const std::vector<std::string> all = lines(activityLog());
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[0], "2021年3月15日8时30分  shop检测到日志大小1048.576MB");
    EXPECT_EQ(all[1], "2021年3月15日8时30分  shop检测到日志大小1.048576GB");
    for (size_t i = 2; i < all.size(); ++i)
        EXPECT_NE(all[i].find("shop清理完毕，共释放了"), std::string::npos) << all[i];
    ASSERT_EQ(os.exclusiveWrites.size(), 1u);
    EXPECT_EQ(os.exclusiveWrites[0].first, logFile());
    EXPECT_EQ(os.exclusiveWrites[0].second, activityLog());
    EXPECT_EQ(db.statements.size(), 4u);
}

TEST_F(MonitorTest, EveryCheckAppendsTheWholeActivityLog) {
    connectRemote();
    clock.set(2021, 3, 15, 8, 30, 0);
    check();
    const std::string first = activityLog();
    EXPECT_EQ(os.files[logFile()], first);

    check();
    const std::string second = activityLog().substr(first.size());
    EXPECT_EQ(second, "2021年3月15日8时31分  shop检测到日志大小500KB\r\n");
    EXPECT_EQ(os.files[logFile()], first + first + second);
}

TEST_F(MonitorTest, OldBytesOfTheFileAreKept) {
    connectRemote();
    os.files[logFile()] = std::string("earlier\r\n\0\xff", 11);
    check();
    EXPECT_EQ(os.files[logFile()], std::string("earlier\r\n\0\xff", 11) + activityLog());
}

TEST_F(MonitorTest, DeletedFileIsCreatedAgainWhole) {
    connectRemote();
    check();
    check();
    os.files.erase(logFile());
    check();
    EXPECT_EQ(lines(activityLog()).size(), 3u);
    EXPECT_EQ(os.files[logFile()], activityLog());
}

TEST_F(MonitorTest, UnwritableFileIsTriedAgainAtTheNextCheck) {
    connectRemote();
    os.failingWrites.insert(logFile());
    check();
    EXPECT_FALSE(os.files.count(logFile()));
    EXPECT_EQ(sizeLines(), 1);

    os.failingWrites.clear();
    check();
    EXPECT_EQ(sizeLines(), 2);
    EXPECT_EQ(os.files[logFile()], activityLog());
}

TEST_F(MonitorTest, UnreadableFileIsNotOverwritten) {
    connectRemote();
    os.sizes[logFile()] = 4096;  // there, but its bytes cannot be read
    check();
    EXPECT_TRUE(os.exclusiveWrites.empty());
    EXPECT_EQ(sizeLines(), 1);

    os.sizes.clear();
    os.files[logFile()] = "old\r\n";
    check();
    EXPECT_EQ(os.files[logFile()], "old\r\n" + activityLog());
}

TEST_F(MonitorTest, EmptyActivityLogWritesAnEmptyFile) {
    appendActivityLog(k);
    ASSERT_TRUE(os.files.count(logFile()));
    EXPECT_EQ(os.files[logFile()], "");
    EXPECT_EQ(logFile(), "/opt/karvath/log.txt");
}

class UnattendedModeTest : public MonitorTest {
protected:
    // As after a successful connect, unattended mode off.
    void connected() {
        connectRemote();
        chooseShop();
        for (Control c : {按钮_获取本机ip, 编辑框_IP, 编辑框_用户名, 编辑框_密码, 按钮_连接})
            view.state(c).enabled = false;
        for (Control c : {按钮_一键清理, 选择框1, 组合框_库名, 透明标签_log状态})
            view.state(c).enabled = true;
        view.state(按钮_连接).text = "已连接";
        view.state(超级列表框1).rows = {{"shop_log", "500 KB"}, {"master", "1.02 MB"}};
        journal.entries.clear();
    }
};

TEST_F(UnattendedModeTest, SwitchingOnSavesAndStartsTheTickOnly) {
    connected();
    view.click(选择框1);
    EXPECT_EQ(setting("配置", "是否挂机"), "是");
    EXPECT_EQ(view.state(时钟1).period, 1000);
    const std::vector<std::string> expected = {"replace " + settingsFile(), "period 1000"};
    EXPECT_EQ(journal.entries, expected);
    EXPECT_TRUE(db.isOpen());
    EXPECT_EQ(view.state(超级列表框1).rows.size(), 2u);

    // No schedule mode: the ticks run and do nothing.
    view.runFor(5000);
    EXPECT_EQ(activityLog(), "");
    EXPECT_TRUE(os.exclusiveWrites.empty());
}

TEST_F(UnattendedModeTest, SwitchingOffReturnsToTheDisconnectedWindow) {
    connected();
    view.click(选择框1);
    ASSERT_EQ(view.state(时钟1).period, 1000);
    journal.entries.clear();

    view.click(选择框1);
    const std::vector<std::string> expected = {
        "replace " + settingsFile(),
        "clear " + std::to_string(超级列表框1),
        enabled(按钮_获取本机ip, true),
        enabled(编辑框_IP, true),
        enabled(编辑框_用户名, true),
        enabled(编辑框_密码, true),
        "close",
        "text " + std::to_string(按钮_连接) + " 连接",
        enabled(按钮_连接, true),
        enabled(按钮_一键清理, false),
        enabled(组合框_库名, false),
        "period 0",
        enabled(选择框1, false),
        enabled(透明标签_log状态, false),
    };
    EXPECT_EQ(journal.entries, expected);
    EXPECT_EQ(setting("配置", "是否挂机"), "否");
    EXPECT_TRUE(view.state(超级列表框1).rows.empty());
    EXPECT_FALSE(db.isOpen());
    EXPECT_EQ(view.state(按钮_连接).text, "连接");
    EXPECT_EQ(view.state(时钟1).period, 0);
    EXPECT_FALSE(view.state(选择框1).checked);
    EXPECT_FALSE(view.state(选择框1).enabled);

    // Disabled, the box cannot be switched on again until the next connect.
    view.click(选择框1);
    EXPECT_FALSE(view.state(选择框1).checked);
    EXPECT_EQ(setting("配置", "是否挂机"), "否");
}

}  // namespace

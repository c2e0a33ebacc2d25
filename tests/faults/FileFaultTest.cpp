// The program's own files in bad shape: a settings directory that refuses
// writes, a settings file that is a directory or ten megabytes of junk, and a
// log.txt that cannot be written for a while. Tests run as root, whom file
// permissions do not stop, so writes are made to fail in ways that stop root
// too: the immutable attribute (where the file system allows it), a regular
// file where a directory should be, a directory where a file should be.
#include <filesystem>
#include <fstream>
#include <random>

#include "FaultFixture.h"
#include "core/Paths.h"
#include "core/Settings.h"

namespace faults {
namespace {

namespace fs = std::filesystem;
using karvath::standin::State;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FileFaults : public FaultTest {
protected:
    void SetUp() override {
        State s = systemState(os.directory());
        addRealLog(s, "Shop", "Shop_log.ldf", 128, 8);
        serve(std::move(s));
    }

    // Connects, chooses Shop and switches unattended mode on, each of which
    // writes the settings file; none of it may depend on the write.
    void useEverySettingWriter() {
        if (view.state(编辑框_IP).text.empty()) typeLogin(serverText());
        const auto took = timed([&] { view.click(按钮_连接); });
        EXPECT_LT(took, kHangLimit);
        ASSERT_EQ(view.messageTexts(), (Texts{"连接成功"}));
        EXPECT_EQ(view.state(按钮_连接).text, "已连接");
        EXPECT_EQ(rows().size(), 5u);
        choose("Shop");
        view.click(选择框1);
        EXPECT_TRUE(view.state(选择框1).checked);
        EXPECT_EQ(view.state(时钟1).period, 1000);
    }
};

TEST_F(FileFaults, SettingsDirectoryThatRefusesWritesKeepsTheFileAsItWas) {
    // The temp directory (for the DSN file) lies elsewhere: only the
    // settings directory is at fault here.
    fs::create_directory(os.directory() + "/tmp");
    os.temp = os.directory() + "/tmp/";
    seedHistory();
    std::ofstream(settingsFile(), std::ios::binary | std::ios::app)
        << "[配置]\r\nip=" << serverText() << "\r\n用户名=sa\r\n密码=" << Standin::kPassword
        << "\r\n";
    const std::string before = settingsBytes();
    Immutable readOnly(os.directory());
    if (!readOnly.supported()) GTEST_SKIP() << "no immutable attribute here";

    start();
    EXPECT_FALSE(view.windowVisible(Window::Main));  // a settings file exists
    EXPECT_EQ(view.state(编辑框_IP).text, serverText());
    useEverySettingWriter();

    EXPECT_EQ(settingsBytes(), before);
    EXPECT_EQ(state.selectedDatabase, "Shop");
    expectHistoryKept();
}

TEST_F(FileFaults, SettingsDirectoryThatIsARegularFileIsNeverWritten) {
    const std::string file = os.directory() + "/not-a-directory";
    std::ofstream(file, std::ios::binary) << "plain bytes";
    k.runDirectory = file;

    start();
    EXPECT_TRUE(view.windowVisible(Window::Main));  // no settings file can be there
    useEverySettingWriter();

    EXPECT_EQ(readAll(file), "plain bytes");
    EXPECT_TRUE(fs::is_regular_file(file));
}

TEST_F(FileFaults, SettingsFileThatIsADirectoryReadsEmptyAndStaysADirectory) {
    fs::create_directory(settingsFile());

    start();
    EXPECT_FALSE(view.windowVisible(Window::Main));  // something is at the path
    EXPECT_TRUE(view.state(编辑框_IP).text.empty());
    EXPECT_FALSE(view.state(选择框_开机自启).checked);
    useEverySettingWriter();

    EXPECT_TRUE(fs::is_directory(settingsFile()));
    EXPECT_TRUE(fs::is_empty(settingsFile()));
}

TEST_F(FileFaults, TenMegabytesOfJunkAreReadAtStartAndKeptByWrites) {
    std::mt19937 random(20260101);
    std::string junk(10 * 1024 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(random() & 0xFF);
    const std::string tail =
        "\r\n[配置]\r\nip=" + serverText() + "\r\n用户名=sa\r\n开机自启=true\r\n";
    std::ofstream(settingsFile(), std::ios::binary) << junk << tail;

    const auto took = timed([&] { start(); });

    EXPECT_LT(took, kHangLimit);
    EXPECT_EQ(view.state(编辑框_IP).text, serverText());
    EXPECT_EQ(view.state(编辑框_用户名).text, "sa");
    EXPECT_TRUE(view.state(选择框_开机自启).checked);
    view.type(编辑框_密码, Standin::kPassword);
    useEverySettingWriter();

    const std::string after = settingsBytes();
    EXPECT_EQ(after.compare(0, junk.size(), junk), 0);  // every junk byte where it was
    EXPECT_EQ(readSetting(os, settingsFile(), "配置", "密码"), Standin::kPassword);
    EXPECT_EQ(readSetting(os, settingsFile(), "配置", "指定库"), "Shop");
    EXPECT_EQ(readSetting(os, settingsFile(), "配置", "是否挂机"), "是");
    EXPECT_EQ(readSetting(os, settingsFile(), "配置", "开机自启"), "true");
}

// log.txt refuses the first check's write and takes the second.
enum class Unwritable { Immutable, DirectoryInItsPlace };

void PrintTo(Unwritable u, std::ostream* os) {
    *os << (u == Unwritable::Immutable ? "Immutable" : "DirectoryInItsPlace");
}

class UnwritableLog : public FileFaults, public ::testing::WithParamInterface<Unwritable> {};

TEST_P(UnwritableLog, IsLeftAloneThenGetsTheWholeActivityLog) {
    std::unique_ptr<Immutable> readOnly;
    if (GetParam() == Unwritable::Immutable) {
        std::ofstream(logFile(), std::ios::binary) << "old\r\n";
        readOnly = std::make_unique<Immutable>(logFile());
        if (!readOnly->supported()) GTEST_SKIP() << "no immutable attribute here";
    } else {
        fs::create_directory(logFile());
    }
    start();
    view.appendText(编辑框_log, kSeededLog);
    connect(true);
    choose("Shop");
    clock.set(2021, 3, 15, 9, 0, 0);
    armDailyCheck(9, 0, 3);

    view.runFor(4000);
    const std::string first = "2021年3月15日9时0分3秒  Shop检测到日志大小1.024MB\r\n";
    EXPECT_EQ(activityLog(), kSeededLog + first);
    if (GetParam() == Unwritable::Immutable)
        EXPECT_EQ(readAll(logFile()), "old\r\n");
    else
        EXPECT_TRUE(fs::is_directory(logFile()));

    if (readOnly) readOnly->lift();
    if (GetParam() == Unwritable::DirectoryInItsPlace) fs::remove(logFile());
    view.type(编辑框_秒, "6");
    view.runFor(4000);

    const std::string second = "2021年3月15日9时0分6秒  Shop检测到日志大小1.024MB\r\n";
    EXPECT_EQ(activityLog(), kSeededLog + first + second);
    const std::string old = GetParam() == Unwritable::Immutable ? "old\r\n" : "";
    EXPECT_EQ(readAll(logFile()), old + kSeededLog + first + second);
}

INSTANTIATE_TEST_SUITE_P(Row, UnwritableLog,
                         ::testing::Values(Unwritable::Immutable, Unwritable::DirectoryInItsPlace),
                         [](const auto& info) {
                             return std::string(info.param == Unwritable::Immutable
                                                    ? "Immutable"
                                                    : "DirectoryInItsPlace");
                         });

}  // namespace
}  // namespace faults

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/PosixPlatform.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

class TempDir : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "karvath-platform-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string content(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static unsigned mode(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    PosixPlatform os;
    std::string dir;
};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

using Files = TempDir;

TEST_F(Files, ReplaceKeepsModeAndLeavesNoTempFile) {
    const std::string path = dir + "/a.ini";
    put(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(os.replaceFile(path, "new content"));
    EXPECT_EQ(content(path), "new content");
    EXPECT_EQ(mode(path), 0640u);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(os.replaceFile(path, std::string("bin\0ary", 7)));
    EXPECT_EQ(content(path), std::string("bin\0ary", 7));
    EXPECT_EQ(mode(path), 0600u);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(Files, ReplaceCreatesMissingFile) {
    const std::string path = dir + "/new.ini";
    ASSERT_TRUE(os.replaceFile(path, "x"));
    EXPECT_EQ(content(path), "x");
    ASSERT_TRUE(os.replaceFile(path, ""));
    EXPECT_EQ(content(path), "");
}

TEST_F(Files, ReplaceFailsWithoutDamage) {
    const std::string sub = dir + "/sub";
    ASSERT_TRUE(fs::create_directory(sub));
    put(sub + "/inside", "keep");
    EXPECT_FALSE(os.replaceFile(sub, "x"));  // a directory where the file should be
    EXPECT_EQ(content(sub + "/inside"), "keep");
    EXPECT_FALSE(os.replaceFile(dir + "/missing/a.ini", "x"));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(Files, ReplaceInterruptedByFullDiskLeavesOldFile) {
    const std::string path = dir + "/a.ini";
    put(path, "old content");
    // A file size limit makes the write fail half way, as a full disk would.
    auto writeOverLimit = [&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 16;
        setrlimit(RLIMIT_FSIZE, &limit);
        return os.replaceFile(path, std::string(4096, 'n'));
    };
    EXPECT_EXIT(_exit(writeOverLimit() ? 1 : 0), testing::ExitedWithCode(0), "");
    EXPECT_EQ(content(path), "old content");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(Files, WriteExclusiveCreatesTruncatesAndUnlocks) {
    const std::string path = dir + "/log.txt";
    ASSERT_TRUE(os.writeFileExclusive(path, "a long first content"));
    ASSERT_TRUE(os.writeFileExclusive(path, "short"));
    EXPECT_EQ(content(path), "short");
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
    EXPECT_FALSE(os.writeFileExclusive(dir + "/missing/log.txt", "x"));
    EXPECT_FALSE(os.writeFileExclusive(dir, "x"));
}

TEST_F(Files, WriteExclusiveWaitsForLockHolder) {
    const std::string path = dir + "/log.txt";
    put(path, "");
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        os.writeFileExclusive(path, "written");
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done);
    flock(fd, LOCK_UN);
    writer.join();
    close(fd);
    EXPECT_EQ(content(path), "written");
}

TEST_F(Files, SizesAndExistence) {
    const std::string big = dir + "/big.ldf";
    const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 3LL << 30), 0);  // sparse: no disk used
    close(fd);
    EXPECT_EQ(os.fileSize(big), 3LL << 30);
    put(dir + "/empty", "");
    EXPECT_EQ(os.fileSize(dir + "/empty"), 0);
    EXPECT_EQ(os.fileSize(dir + "/missing"), -1);
    EXPECT_EQ(os.fileSize(dir), -1);
    EXPECT_TRUE(os.exists(big));
    EXPECT_TRUE(os.exists(dir));
    EXPECT_FALSE(os.exists(dir + "/missing"));
}

TEST_F(Files, ReadRemoveRestrict) {
    const std::string path = dir + "/f";
    std::string bytes = "untouched";
    EXPECT_FALSE(os.readFile(path, bytes));
    EXPECT_FALSE(os.readFile(dir, bytes));
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    EXPECT_FALSE(os.readFile(dir + "/fifo", bytes));  // returns at once, no writer needed
    EXPECT_EQ(bytes, "untouched");
    const std::string binary("\x00\xFF\r\n\x80", 5);
    put(path, binary);
    ASSERT_TRUE(os.readFile(path, bytes));
    EXPECT_EQ(bytes, binary);
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    EXPECT_TRUE(os.restrictToOwner(path));
    EXPECT_EQ(mode(path), 0600u);
    EXPECT_TRUE(os.removeFile(path));
    EXPECT_FALSE(os.exists(path));
    EXPECT_FALSE(os.removeFile(path));
    EXPECT_FALSE(os.restrictToOwner(path));
}

TEST_F(Files, ReadsFilesWithoutStatedSize) {
    std::string bytes;
    ASSERT_TRUE(os.readFile("/proc/self/cmdline", bytes));
    EXPECT_FALSE(bytes.empty());
}

TEST(PosixPlatform, NativePathIsUtf8) {
    PosixPlatform os;
    EXPECT_EQ(os.nativePath("D:\\\xCF\xFA\xCA\xDB\xBF\xE2\\log.ldf"),
              "D:\\\xE9\x94\x80\xE5\x94\xAE\xE5\xBA\x93\\log.ldf");
}

// Processes

class Processes : public TempDir {
protected:
    // Starts a copy of sleep under `name`; its /proc comm would be cut at 15 characters.
    pid_t startCopy(const std::string& name) {
        const std::string exe = dir + "/" + name;
        if (!fs::exists(exe)) fs::copy_file("/bin/sleep", exe);
        char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("30"), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ), 0);
        children.push_back(pid);
        return pid;
    }
    void TearDown() override {
        for (pid_t pid : children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        TempDir::TearDown();
    }
    // The process list catches up with a spawn or kill within moments.
    int countSettled(const std::string& name, int expected) {
        int count = os.countProcesses(name);
        for (int i = 0; i < 100 && count != expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            count = os.countProcesses(name);
        }
        return count;
    }
    std::vector<pid_t> children;
};

TEST_F(Processes, CountsByFullExecutableName) {
    const std::string name = "karvath-sleeper-" + std::to_string(getpid());
    startCopy(name);
    EXPECT_EQ(countSettled(name, 1), 1);
    startCopy(name);
    EXPECT_EQ(countSettled(name, 2), 2);
    EXPECT_EQ(os.countProcesses(name.substr(0, 15)), 0);  // not the truncated comm
    EXPECT_EQ(os.countProcesses("KARVATH-SLEEPER-" + std::to_string(getpid())), 0);
    for (pid_t pid : children) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    children.clear();
    EXPECT_EQ(countSettled(name, 0), 0);
}

TEST_F(Processes, CountsItself) {
    const std::string self = fs::path(os.executablePath()).filename().string();
    EXPECT_GE(os.countProcesses(self), 1);
    EXPECT_EQ(os.countProcesses("no-such-program-" + std::to_string(getpid())), 0);
}

TEST_F(Processes, FallsBackToCommandLine) {
    // A process list of our own making: 101 has only a command line, 102 an exe
    // link to a replaced binary, 103 nothing readable, and "self" is no process.
    fs::create_directories(dir + "/101");
    put(dir + "/101/cmdline", std::string("/usr/bin/karvath\0-x\0", 20));
    fs::create_directories(dir + "/102");
    fs::create_symlink("/opt/k/karvath (deleted)", dir + "/102/exe");
    fs::create_directories(dir + "/103");
    fs::create_directories(dir + "/self");
    put(dir + "/self/cmdline", std::string("karvath\0", 8));
    EXPECT_EQ(PosixPlatform::countProcessesIn(dir, "karvath"), 2);
    EXPECT_EQ(PosixPlatform::countProcessesIn(dir, ""), 0);
    EXPECT_EQ(PosixPlatform::countProcessesIn(dir + "/missing", "karvath"), 0);
}

// Names and places

class NamedHost : public PosixPlatform {
public:
    explicit NamedHost(std::string name) : name_(std::move(name)) {}
    std::string hostName() override { return name_; }

private:
    std::string name_;
};

TEST(PosixPlatform, ComputerNameIsHostNameUpToFifteenCharacters) {
    EXPECT_EQ(NamedHost("pc01").computerName(), "pc01");
    EXPECT_EQ(NamedHost("exactly15-chars").computerName(), "exactly15-chars");
    EXPECT_EQ(NamedHost("sixteen-chars-xx").computerName(), "");
    EXPECT_EQ(NamedHost("").computerName(), "");
    PosixPlatform os;
    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    EXPECT_EQ(os.hostName(), name);
}

TEST(PosixPlatform, FirstIPv4OfOwnName) {
    // resolved from the hosts file; no traffic leaves the machine
    EXPECT_EQ(PosixPlatform::firstIPv4Of("localhost"), "127.0.0.1");
    EXPECT_EQ(NamedHost("localhost").firstIPv4(), "127.0.0.1");
    EXPECT_EQ(NamedHost("").firstIPv4(), "");
    EXPECT_EQ(PosixPlatform::firstIPv4Of(""), "");
}

TEST(PosixPlatform, TempDirectoryEndsWithSlash) {
    PosixPlatform os;
    {
        ScopedEnv env("TMPDIR", "/var/tmp/karvath");
        EXPECT_EQ(os.tempDirectory(), "/var/tmp/karvath/");
    }
    {
        ScopedEnv env("TMPDIR", "/scratch/");
        EXPECT_EQ(os.tempDirectory(), "/scratch/");
    }
    {
        ScopedEnv env("TMPDIR", nullptr);
        EXPECT_EQ(os.tempDirectory(), "/tmp/");
    }
    {
        ScopedEnv env("TMPDIR", "");
        EXPECT_EQ(os.tempDirectory(), "/tmp/");
    }
}

TEST(PosixPlatform, ExecutablePathIsThisTest) {
    PosixPlatform os;
    const std::string path = os.executablePath();
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(fs::path(path).filename(), "karvath_platform_tests");
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

// Day of the week from the date, 1 = Sunday (Zeller's congruence).
int weekdayOf(int year, int month, int day) {
    if (month < 3) {
        month += 12;
        year -= 1;
    }
    const int h = (day + 13 * (month + 1) / 5 + year % 100 + year % 100 / 4 + year / 100 / 4 +
                   5 * (year / 100)) %
                  7;  // 0 = Saturday
    return (h + 6) % 7 + 1;
}

TEST(PosixPlatform, NowIsLocalTimeWithSundayFirst) {
    ASSERT_EQ(weekdayOf(2021, 3, 15), 2);  // a Monday
    ASSERT_EQ(weekdayOf(2023, 1, 1), 1);   // a Sunday
    PosixPlatform os;
    const DateTime t = os.now();
    EXPECT_EQ(t.dayOfWeek, weekdayOf(t.year, t.month, t.day));
    const std::time_t raw = std::time(nullptr);
    std::tm local{};
    localtime_r(&raw, &local);
    EXPECT_EQ(t.year, local.tm_year + 1900);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_GE(t.second, 0);
    EXPECT_LE(t.second, 59);
}

// Start at logon

class Autostart : public TempDir {
protected:
    void SetUp() override {
        TempDir::SetUp();
        env.emplace("XDG_CONFIG_HOME", (dir + "/config").c_str());
        entry = dir + "/config/autostart/karvath.desktop";
    }
    void TearDown() override {
        env.reset();
        TempDir::TearDown();
    }
    std::string execLine() {
        const std::string text = content(entry);
        const std::size_t at = text.find("\nExec=");
        if (at == std::string::npos) return "";
        return text.substr(at + 6, text.find('\n', at + 1) - at - 6);
    }
    std::optional<ScopedEnv> env;
    std::string entry;
};

TEST_F(Autostart, RegisterCreatesOverwritesAndRemoves) {
    EXPECT_EQ(PosixPlatform::autostartFile(), entry);
    ASSERT_TRUE(os.registerAtLogon("/opt/karvath/karvath"));
    EXPECT_EQ(content(entry).rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(content(entry).find("\nType=Application\n"), std::string::npos);
    EXPECT_EQ(execLine(), "/opt/karvath/karvath");
    ASSERT_TRUE(os.registerAtLogon("/home/u/other/karvath2"));
    EXPECT_EQ(execLine(), "/home/u/other/karvath2");
    os.unregisterAtLogon();
    EXPECT_FALSE(fs::exists(entry));
    os.unregisterAtLogon();  // absent: no error
    EXPECT_FALSE(fs::exists(entry));
}

TEST_F(Autostart, ExecArgumentIsQuotedWhenNeeded) {
    const std::pair<const char*, const char*> cases[] = {
        {"/opt/karvath/karvath", "/opt/karvath/karvath"},
        {"/opt/my apps/karvath", "\"/opt/my apps/karvath\""},
        {"/opt/a$b\\c", "\"/opt/a\\\\$b\\\\\\\\c\""},
        {"/opt/say \"hi\"/k", "\"/opt/say \\\\\"hi\\\\\"/k\""},
        {"/opt/100%/k", "/opt/100%%/k"},
        {"/opt/中文/karvath", "/opt/中文/karvath"},
    };
    for (const auto& [path, exec] : cases) {
        EXPECT_EQ(PosixPlatform::desktopExecArgument(path), exec) << path;
        ASSERT_TRUE(os.registerAtLogon(path));
        EXPECT_EQ(execLine(), exec) << path;
    }
}

TEST_F(Autostart, DefaultsToHomeConfig) {
    ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", dir.c_str());
    ASSERT_TRUE(os.registerAtLogon("/opt/karvath/karvath"));
    EXPECT_TRUE(fs::exists(dir + "/.config/autostart/karvath.desktop"));
    os.unregisterAtLogon();
    EXPECT_FALSE(fs::exists(dir + "/.config/autostart/karvath.desktop"));
}

TEST_F(Autostart, FailsWhenFolderCannotBeMade) {
    put(dir + "/config", "a file where the folder should be");
    EXPECT_FALSE(os.registerAtLogon("/opt/karvath/karvath"));
    EXPECT_EQ(content(dir + "/config"), "a file where the folder should be");
}

}  // namespace

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "core/Settings.h"
#include "platform/PosixPlatform.h"

namespace {

namespace fs = std::filesystem;

std::string utf8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

// The real file system in a fresh directory.
class SettingsFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "karvath-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = dir + utf8(u8"/配置文件.ini");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string content() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void put(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    unsigned mode() const {
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
    std::string read(const std::string& section, const std::string& key) {
        return readSetting(os, path, section, key);
    }
    bool write(const std::string& section, const std::string& key, const std::string& value) {
        return writeSetting(os, path, section, key, value);
    }

    PosixPlatform os;
    std::string dir;
    std::string path;
};

// A file edited by hand: odd blanks, quotes, letter case, foreign and binary
// lines, LF-only and CR LF line ends, no line end at the very end.
const char kHandMadeBytes[] =
    "; written by hand\r\n"
    "[ 配置 ]  \r\n"
    "  IP =  10.0.0.5  \n"
    "用户名 = \"sa\"\r\n"
    "密码='p=w'\r\n"
    "junk line without equals\r\n"
    "\r\n"
    "[定时配置]\r\n"
    "模式=每天一次\r\n"
    "\xFF\xFE\0binary\x01=\x02\r\n"
    "[Other]\r\n"
    "key=value";
const std::string kHandMade(kHandMadeBytes, sizeof kHandMadeBytes - 1);

TEST_F(SettingsFile, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    EXPECT_EQ(read("配置", "ip"), "");
    ASSERT_TRUE(write("配置", "ip", "10.0.0.5"));
    EXPECT_EQ(content(), "[配置]\r\nip=10.0.0.5\r\n");
    ASSERT_TRUE(write("配置", "用户名", "sa"));
    ASSERT_TRUE(write("定时配置", "模式", "每周一次"));
    ASSERT_TRUE(write("配置", "密码", "x"));
    EXPECT_EQ(content(),
              "[配置]\r\nip=10.0.0.5\r\n用户名=sa\r\n密码=x\r\n[定时配置]\r\n模式=每周一次\r\n");
    EXPECT_EQ(read("配置", "用户名"), "sa");
    EXPECT_EQ(read("定时配置", "模式"), "每周一次");
}

TEST_F(SettingsFile, ReadsHandMadeFileByProfileRules) {
    ASSERT_EQ(kHandMade.find('\0'), kHandMade.find("binary") - 1);
    put(kHandMade);
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"配置", "ip", "10.0.0.5"},
        {"配置", "IP", "10.0.0.5"},
        {" 配置 ", " ip ", "10.0.0.5"},
        {"配置", "用户名", "sa"},
        {"配置", "密码", "p=w"},
        {"定时配置", "模式", "每天一次"},
        {"other", "KEY", "value"},
        {"配置", "模式", ""},
        {"缺少", "ip", ""},
        {"配置", "junk line without equals", ""},
        {"配置", "", ""},
        {"", "ip", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read(c.section, c.key), c.value) << c.section << "/" << c.key;
    }
}

TEST_F(SettingsFile, WriteChangesOnlyItsOwnLine) {
    const struct {
        const char* section;
        const char* key;
        const char* value;
        std::string expected;
    } cases[] = {
        // an existing key: only that line, as key=value, keeping the file's spelling of the key
        {"配置", "ip", "192.168.1.1",
         std::string(kHandMade).replace(kHandMade.find("  IP ="), 19, "IP=192.168.1.1\r\n")},
        // a new key: the last line of its section, before the blank line
        {"配置", "是否挂机", "否",
         std::string(kHandMade).insert(kHandMade.find("\r\n\r\n[定时") + 2, "是否挂机=否\r\n")},
        {"定时配置", "时", "3",
         std::string(kHandMade).insert(kHandMade.find("[Other]"), "时=3\r\n")},
        // the section's last line had no line end
        {"OTHER", "新键", "v", kHandMade + "\r\n新键=v\r\n"},
        // a missing section goes to the end of the file
        {"新节", "k", "a=b", kHandMade + "\r\n[新节]\r\nk=a=b\r\n"},
    };
    for (const auto& c : cases) {
        put(kHandMade);
        ASSERT_TRUE(write(c.section, c.key, c.value)) << c.key;
        EXPECT_EQ(content(), c.expected) << c.key;
        EXPECT_EQ(read(c.section, c.key), c.value) << c.key;
    }
}

TEST_F(SettingsFile, ValuesReadBackTrimmedAndUnquoted) {
    const std::pair<const char*, const char*> cases[] = {
        {"  padded  ", "padded"},
        {"'single'", "single"},
        {"\"double\"", "double"},
        {"\"mixed'", "\"mixed'"},
        {"\"", "\""},
        {"''", ""},
        {"a=b=c", "a=b=c"},
        {" ' keep inner ' ", " keep inner "},
        {"\t\"x\"y\"", "x\"y"},
    };
    for (const auto& [written, expected] : cases) {
        ASSERT_TRUE(write("配置", "密码", written));
        EXPECT_EQ(read("配置", "密码"), expected) << written;
    }
    EXPECT_EQ(content(), "[配置]\r\n密码=\t\"x\"y\"\r\n");
}

TEST_F(SettingsFile, KeyLetterCaseDoesNotDuplicate) {
    ASSERT_TRUE(write("配置", "IP", "1"));
    ASSERT_TRUE(write("配置", "ip", "2"));
    ASSERT_TRUE(write("配置", "Ip", "3"));
    EXPECT_EQ(content(), "[配置]\r\nIP=3\r\n");
}

TEST_F(SettingsFile, TwoByteCharactersAreNotCaseFolded) {
    // 0x81 0x41 and 0x81 0x61 are two different characters whose trail bytes
    // look like "A" and "a".
    ASSERT_TRUE(write("配置", "\x81\x41", "upper"));
    EXPECT_EQ(read("配置", "\x81\x61"), "");
    ASSERT_TRUE(write("配置", "\x81\x61", "lower"));
    EXPECT_EQ(read("配置", "\x81\x41"), "upper");
    EXPECT_EQ(read("配置", "\x81\x61"), "lower");
}

TEST_F(SettingsFile, TrailByteBracketDoesNotCloseSection) {
    // The second line's "]" is the trail byte of 0x81 0x5D: it is no section header,
    // so k still belongs to 配置.
    put("[配置]\r\n[x\x81]\r\nk=2\r\n");
    EXPECT_EQ(read("配置", "k"), "2");
    put("[\x81]]\r\nk=3\r\n");
    EXPECT_EQ(read("\x81]", "k"), "3");
}

TEST_F(SettingsFile, OnlyTheFirstSectionOfANameCounts) {
    put("[配置]\r\na=1\r\n[x]\r\ny=0\r\n[配置]\r\nb=2\r\n");
    EXPECT_EQ(read("配置", "a"), "1");
    ASSERT_TRUE(write("配置", "b", "3"));
    EXPECT_EQ(read("配置", "b"), "3");
    EXPECT_EQ(content(), "[配置]\r\na=1\r\nb=3\r\n[x]\r\ny=0\r\n[配置]\r\nb=2\r\n");
}

TEST_F(SettingsFile, LongValueIsCutAtCapacity) {
    const std::string exact(kMaxSettingLength, 'a');
    ASSERT_TRUE(write("配置", "ip", exact));
    EXPECT_EQ(read("配置", "ip"), exact);
    ASSERT_TRUE(write("配置", "ip", exact + "bcd"));
    EXPECT_EQ(read("配置", "ip"), exact);
    // a two-byte character across the limit is left out whole
    const std::string straddling = std::string(kMaxSettingLength - 1, 'a') + "配";
    ASSERT_TRUE(write("配置", "ip", straddling));
    EXPECT_EQ(read("配置", "ip"), std::string(kMaxSettingLength - 1, 'a'));
    // the file keeps the whole value
    EXPECT_NE(content().find(straddling), std::string::npos);
}

TEST_F(SettingsFile, EveryReadGoesToTheFile) {
    ASSERT_TRUE(write("配置", "指定库", "销售库"));
    EXPECT_EQ(read("配置", "指定库"), "销售库");
    put("[配置]\r\n指定库=财务库\r\n");
    EXPECT_EQ(read("配置", "指定库"), "财务库");
}

TEST_F(SettingsFile, DirectoryInPlaceOfFile) {
    ASSERT_TRUE(fs::create_directory(path));
    EXPECT_EQ(read("配置", "ip"), "");
    EXPECT_FALSE(write("配置", "ip", "1"));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
}

TEST_F(SettingsFile, LineBreaksInNamesOrValuesAreRefused) {
    put(kHandMade);
    EXPECT_FALSE(write("配置", "密码", "x\r\n[配置]\r\nip=evil"));
    EXPECT_FALSE(write("配置", "密码", "x\ny"));
    EXPECT_FALSE(write("配置\n", "密码", "x"));
    EXPECT_FALSE(write("配置", "a=b", "x"));
    EXPECT_FALSE(write("配置", "[k", "x]"));
    EXPECT_FALSE(write("配置", " ", "x"));
    EXPECT_FALSE(write("", "k", "x"));
    EXPECT_FALSE(write("配置", "密码", std::string("a\0b", 3)));
    EXPECT_EQ(content(), kHandMade);
}

TEST_F(SettingsFile, HiddenFileStaysOwnerOnly) {
    ASSERT_TRUE(write("配置", "ip", "1"));
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(hideSettingsFile(os, path));
    EXPECT_EQ(mode(), 0600u);
    ASSERT_TRUE(write("配置", "密码", "secret"));
    ASSERT_TRUE(write("配置", "ip", "2"));
    EXPECT_EQ(mode(), 0600u);
    EXPECT_EQ(read("配置", "密码"), "secret");
    // nothing but the settings file is left in the directory
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(SettingsFile, HidingAMissingFileFails) { EXPECT_FALSE(hideSettingsFile(os, path)); }

TEST_F(SettingsFile, LargeJunkFileSurvivesAWrite) {
    std::mt19937 random(42);
    std::string junk(10 * 1024 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(random() % 256);
    // plenty of short lines, brackets and equals signs among the junk
    for (std::size_t i = 0; i < junk.size(); i += 1 + random() % 40)
        junk[i] = "\n=[]"[random() % 4];
    junk += "\r\n";
    put(junk);
    ASSERT_TRUE(write("新节", "ip", "1"));
    const std::string after = content();
    EXPECT_EQ(after.substr(0, junk.size()), junk);
    EXPECT_EQ(after.substr(junk.size()), "[新节]\r\nip=1\r\n");
    EXPECT_EQ(read("新节", "ip"), "1");
}

// One file held in memory, for many quick rounds.
class MemoryFile : public PosixPlatform {
public:
    std::string bytes;
    bool exists(const std::string&) override { return true; }
    bool readFile(const std::string&, std::string& out) override {
        out = bytes;
        return true;
    }
    bool replaceFile(const std::string&, const std::string& in) override {
        bytes = in;
        return true;
    }
};

TEST(SettingsJunk, WhatIsWrittenReadsBackFromAnyJunk) {
    MemoryFile file;
    std::mt19937 random(7);
    const std::string alphabet =
        "[]=\r\n \t\x81\xA3\xB1\x5D"
        "aA\"'";
    const char* sections[] = {"配置", "a", "A"};
    const char* keys[] = {"ip", "IP", "k"};
    for (int round = 0; round < 3000; ++round) {
        std::string junk(random() % 300, ' ');
        for (char& c : junk) c = alphabet[random() % alphabet.size()];
        file.bytes = junk;
        for (int step = 0; step < 4; ++step) {
            const std::string section = sections[random() % 3];
            const std::string key = keys[random() % 3];
            const std::string value = "v" + std::to_string(random() % 1000);
            ASSERT_TRUE(writeSetting(file, "f", section, key, value));
            EXPECT_EQ(readSetting(file, "f", section, key), value) << "junk: " << junk;
        }
    }
}

// A platform whose writes or reads fail, as when the program dies mid-write or
// the file cannot be read.
class FailingPlatform : public PosixPlatform {
public:
    bool failReplace = false;
    bool failRead = false;
    bool replaceFile(const std::string& p, const std::string& bytes) override {
        return !failReplace && PosixPlatform::replaceFile(p, bytes);
    }
    bool readFile(const std::string& p, std::string& bytes) override {
        return !failRead && PosixPlatform::readFile(p, bytes);
    }
};

TEST_F(SettingsFile, FailedWriteLeavesOldFile) {
    put(kHandMade);
    FailingPlatform failing;
    failing.failReplace = true;
    EXPECT_FALSE(writeSetting(failing, path, "配置", "ip", "9.9.9.9"));
    EXPECT_EQ(content(), kHandMade);
}

TEST_F(SettingsFile, UnreadableFileIsNotOverwritten) {
    put(kHandMade);
    FailingPlatform failing;
    failing.failRead = true;
    EXPECT_FALSE(writeSetting(failing, path, "配置", "ip", "9.9.9.9"));
    EXPECT_EQ(readSetting(failing, path, "配置", "ip"), "");
    EXPECT_EQ(content(), kHandMade);
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "sql/GbkText.h"

namespace {

// 啊 (B0 A1) ends in A1; 昞 (95 5C) ends in "\"; 乚 (81 5D) ends in "]"; 腪 (C4 5A) ends in "Z".
const std::string kAh = "\xB0\xA1";
const std::string kBackslashTrail = "\x95\x5C";
const std::string kLetterTrail = "\xC4\x5A";
const std::string kWideSpace = "\xA1\xA1";

TEST(GbkText, CharacterLengths) {
    EXPECT_EQ(gbkCharLength("a", 0), 1u);
    EXPECT_EQ(gbkCharLength(kAh, 0), 2u);
    EXPECT_EQ(gbkCharLength(kBackslashTrail, 0), 2u);
    EXPECT_EQ(gbkCharLength("\xB0", 0), 1u);      // a lead byte at the end stands alone
    EXPECT_EQ(gbkCharLength("\xB0\x20", 0), 1u);  // and so does one before a byte that cannot trail
    EXPECT_EQ(gbkCharLength("\xB0\x7F", 0), 1u);
    EXPECT_EQ(gbkCharCount("销售库"), 3u);
    EXPECT_EQ(gbkCharCount("a" + kAh + "b"), 3u);
}

struct TrimCase {
    std::string text;
    std::string trimmed;
};

class TrimSpaces : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimSpaces, RemovesAsciiAndFullWidthSpacesAtTheEndsOnly) {
    EXPECT_EQ(trimSpaces(GetParam().text), GetParam().trimmed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimSpaces,
    ::testing::Values(TrimCase{"sa", "sa"}, TrimCase{" 10.0.0.5 ", "10.0.0.5"}, TrimCase{"   ", ""},
                      TrimCase{"", ""}, TrimCase{kWideSpace + "sa" + kWideSpace, "sa"},
                      TrimCase{" " + kWideSpace + " sa " + kWideSpace + kWideSpace, "sa"},
                      TrimCase{kWideSpace + kWideSpace, ""},
                      TrimCase{"a b" + kWideSpace + "c", "a b" + kWideSpace + "c"},
                      TrimCase{"\tsa\t", "\tsa\t"}, TrimCase{"\r\nsa", "\r\nsa"},
                      // 啊 followed by a full-width space: the space goes, 啊 stays whole.
                      TrimCase{kAh + kWideSpace, kAh},
                      // A1 A1 across two characters is no space: 啊 and a lone A1 stay.
                      TrimCase{kAh + "\xA1", kAh + "\xA1"}, TrimCase{" 销售库　", "销售库"}));

struct NameCase {
    std::string path;
    std::string fileName;
};

class FileNamePart : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNamePart, IsWhatFollowsTheLastSeparatorCharacter) {
    EXPECT_EQ(fileNamePart(GetParam().path), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileNamePart,
    ::testing::Values(NameCase{"D:\\Data\\Shop_Log.LDF", "Shop_Log.LDF"},
                      NameCase{"Shop_log.ldf", "Shop_log.ldf"}, NameCase{"", ""},
                      NameCase{"/var/opt/mssql/data/Shop_log.ldf", "Shop_log.ldf"},
                      NameCase{"D:\\Data/x\\y.ldf", "y.ldf"}, NameCase{"D:\\Data\\", ""},
                      // The "\" inside 昞 is a trail byte, not a separator.
                      NameCase{"D:\\Data\\" + kBackslashTrail + ".ldf", kBackslashTrail + ".ldf"},
                      NameCase{"D:\\数据\\销售库_log.ldf", "销售库_log.ldf"}));

TEST(GbkText, LowersOnlyAsciiLetterCharacters) {
    EXPECT_EQ(lowerAscii("Shop_Log.LDF"), "shop_log.ldf");
    EXPECT_EQ(lowerAscii(kLetterTrail + "AB"), kLetterTrail + "ab");  // the "Z" trail byte stays
    EXPECT_EQ(lowerAscii("销售库"), "销售库");
}

TEST(GbkText, RemovesEveryOccurrenceInOneScanFromTheLeft) {
    EXPECT_EQ(removeAll("a.ldf.ldf", ".ldf"), "a");
    EXPECT_EQ(removeAll("x.ldfy.ldf", ".ldf"), "xy");
    EXPECT_EQ(removeAll("a.l.ldfdf", ".ldf"), "a.ldf");  // what a removal joins is not rescanned
    EXPECT_EQ(removeAll("a.LDF", ".ldf"), "a.LDF");      // case-sensitive
    EXPECT_EQ(removeAll("销售库.ldf", ".ldf"), "销售库");
    EXPECT_EQ(removeAll("", ".ldf"), "");
}

}  // namespace

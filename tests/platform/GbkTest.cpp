#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Gbk.h"

namespace {

// 销售库 in GBK and UTF-8
const std::string kGbkSales = "\xCF\xFA\xCA\xDB\xBF\xE2";
const std::string kUtf8Sales = "\xE9\x94\x80\xE5\x94\xAE\xE5\xBA\x93";

TEST(Gbk, ChineseRoundTrips) {
    EXPECT_EQ(gbkToUtf16(kGbkSales), u"销售库");
    EXPECT_EQ(utf16ToGbk(u"销售库"), kGbkSales);
    EXPECT_EQ(gbkToUtf8(kGbkSales), kUtf8Sales);
    EXPECT_EQ(utf8ToGbk(kUtf8Sales), kGbkSales);
    EXPECT_EQ(gbkToUtf16("C:\\" + kGbkSales + "\\log.ldf"), u"C:\\销售库\\log.ldf");
    EXPECT_EQ(gbkToUtf16(""), u"");
    EXPECT_EQ(utf16ToGbk(u""), "");
}

TEST(Gbk, FullWidthFormsAndEuro) {
    // １２Ａ　 (full-width digits, letter and space)
    const std::string gbk = "\xA3\xB1\xA3\xB2\xA3\xC1\xA1\xA1";
    EXPECT_EQ(gbkToUtf16(gbk), u"１２Ａ\u3000");
    EXPECT_EQ(utf16ToGbk(u"１２Ａ\u3000"), gbk);
    // code page 936 has the euro sign at 0x80
    EXPECT_EQ(gbkToUtf16("\x80"), u"€");
    EXPECT_EQ(utf16ToGbk(u"€"), "\x80");
}

TEST(Gbk, CharactersOutsideGbkBecomeQuestionMarks) {
    EXPECT_EQ(utf16ToGbk(u"a\U0001F600b"), "a?b");  // one mark for a surrogate pair
    EXPECT_EQ(utf16ToGbk(u"\u0E01x"), "?x");        // Thai
    EXPECT_EQ(utf8ToGbk("a\xF0\x9F\x98\x80"
                        "b"),
              "a?b");
    EXPECT_EQ(utf16ToGbk(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");  // lone surrogate
    EXPECT_EQ(utf16ToGbk(std::u16string(u"a") + char16_t(0xDC00)), "a?");
    EXPECT_EQ(utf16ToGbk(std::u16string(u"a") + char16_t(0xD800)), "a?");
}

TEST(Gbk, InvalidBytesBecomeReplacementCharacters) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\xFF", u"\uFFFD"},
        {"a\x81", u"a\uFFFD"},  // lead byte cut off by the end
        {"\x81\x30"
         "b",
         u"\uFFFD0b"},  // a bad trail byte leaves the ASCII after it alone
        {"\xFF\xFF"
         "ok",
         u"\uFFFD\uFFFDok"},
        {"x\xFF" + kGbkSales, u"x\uFFFD销售库"},
    };
    for (const auto& [gbk, text] : cases) EXPECT_EQ(gbkToUtf16(gbk), text);
    EXPECT_EQ(gbkToUtf8("a\xFF"), "a\xEF\xBF\xBD");
}

TEST(Gbk, BrokenUtf8) {
    EXPECT_EQ(utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(utf8ToGbk("a\xC3"
                        "b"),
              "a?b");
    EXPECT_EQ(utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(Gbk, LongTextsCrossBufferBoundaries) {
    std::string gbk;
    std::u16string text;
    for (int i = 0; i < 20000; ++i) {
        gbk += kGbkSales + "a";
        text += u"销售库a";
        if (i % 1000 == 0) {
            gbk += "\xFF";
            text += u"\uFFFD";
        }
    }
    EXPECT_EQ(gbkToUtf16(gbk), text);
    std::u16string wide;
    std::string narrow;
    for (int i = 0; i < 20000; ++i) {
        wide += u"库\U0001F600";
        narrow += "\xBF\xE2?";
    }
    EXPECT_EQ(utf16ToGbk(wide), narrow);
}

TEST(Gbk, ConvertsOnManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                if (gbkToUtf16(kGbkSales + "\xFF") != u"销售库\uFFFD") ++failures[t];
                if (utf16ToGbk(u"销售库\U0001F600") != kGbkSales + "?") ++failures[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <string>

#include "core/Format.h"

namespace {

template <typename T>
concept Writable = requires(T v) {
    toText(v);
};

// Only the four kinds of value have a text; anything else must be converted on purpose.
static_assert(Writable<int> && Writable<float> && Writable<double> && Writable<DateTime>);
static_assert(!Writable<long> && !Writable<std::size_t> && !Writable<bool> && !Writable<char>);
static_assert(!Writable<const char*> && !Writable<std::string>);

struct FloatCase {
    float value;
    const char* text;
};

void PrintTo(const FloatCase& c, std::ostream* os) { *os << c.text; }

class FloatText : public testing::TestWithParam<FloatCase> {};

TEST_P(FloatText, RoundsToSixDigitsThenLaysOut) {
    EXPECT_EQ(toText(GetParam().value), GetParam().text);
    EXPECT_EQ(floatText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatText,
    testing::Values(FloatCase{1.5f, "1.5"}, FloatCase{0.1f, "0.1"}, FloatCase{1.0f / 3, "0.333333"},
                    FloatCase{1024.0f, "1024"}, FloatCase{123456.0f, "123456"},
                    FloatCase{1048576.0f, "1.04858e+006"}, FloatCase{0.00001234f, "1.234e-005"},
                    FloatCase{999.9999f, "1000"}, FloatCase{-2.5f, "-2.5"}, FloatCase{0.0f, "0"},
                    FloatCase{-0.0f, "0"},
                    // a half rounds away from zero, not to even
                    FloatCase{999999.5f, "1e+006"}, FloatCase{-0.0009765625f, "-0.000976563"},
                    // the scaled value of 123456.5 lands just below the half in double
                    FloatCase{123456.5f, "123456"}, FloatCase{1234567.0f, "1.23457e+006"},
                    FloatCase{0.0001f, "0.0001"}, FloatCase{0.00001f, "1e-005"},
                    FloatCase{9.9999995f, "10"}, FloatCase{16.0f, "16"}, FloatCase{0.5f, "0.5"},
                    FloatCase{100000.0f, "100000"}, FloatCase{1e10f, "1e+010"},
                    FloatCase{3.4e38f, "3.4e+038"},
                    // the binary exponent comes from the exponent field, -127 for subnormals
                    FloatCase{1e-40f, "1e-040"}));

struct DoubleCase {
    double value;
    const char* text;
};

void PrintTo(const DoubleCase& c, std::ostream* os) { *os << c.text; }

class DoubleText : public testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleText, ThirteenSignificantDigits) {
    EXPECT_EQ(toText(GetParam().value), GetParam().text);
    EXPECT_EQ(doubleText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DoubleText,
    testing::Values(DoubleCase{1.024, "1.024"}, DoubleCase{1048.576, "1048.576"},
                    DoubleCase{1.0 / 3, "0.3333333333333"}, DoubleCase{2.0 / 3, "0.6666666666667"},
                    DoubleCase{1048576.0, "1048576"}, DoubleCase{1234567890123.0, "1234567890123"},
                    DoubleCase{1e13, "1e+013"}, DoubleCase{0.00001, "1e-005"},
                    // floats that became doubles keep the noise of their representation
                    DoubleCase{1536.3f / 1000.0, "1.536300048828"},
                    DoubleCase{5.2f * 1000.0, "5199.999809265"}, DoubleCase{0.0, "0"},
                    DoubleCase{-0.0, "0"}, DoubleCase{-0.5, "-0.5"}, DoubleCase{0.0001, "0.0001"},
                    DoubleCase{0.00012345678901234, "0.0001234567890123"},
                    DoubleCase{12345678901234.0, "1.234567890123e+013"},
                    DoubleCase{9999999999999.5, "1e+013"}, DoubleCase{1e300, "1e+300"},
                    DoubleCase{-1.5e-300, "-1.5e-300"}, DoubleCase{123.456, "123.456"},
                    DoubleCase{1.0, "1"}));

TEST(GeneralText, ExponentFormHasSignAndThreeDigits) {
    EXPECT_EQ(generalText(1.0, 6), "1");
    EXPECT_EQ(generalText(1e6, 6), "1e+006");
    EXPECT_EQ(generalText(123456.0, 6), "123456");
    EXPECT_EQ(generalText(1e-5, 6), "1e-005");
    EXPECT_EQ(generalText(0.000123, 6), "0.000123");
    EXPECT_EQ(generalText(1.5e-100, 13), "1.5e-100");
}

TEST(IntText, PlainDecimal) {
    const std::pair<int, const char*> cases[] = {
        {0, "0"}, {42, "42"}, {-7, "-7"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(toText(value), text);
        EXPECT_EQ(intText(value), text);
    }
}

TEST(ToText, EachKindKeepsItsOwnRules) {
    EXPECT_EQ(toText(1024), "1024");
    EXPECT_EQ(toText(1024.0f), "1024");
    EXPECT_EQ(toText(1.0f / 3), "0.333333");
    EXPECT_EQ(toText(1.0 / 3), "0.3333333333333");
    EXPECT_EQ(toText(1048576), "1048576");
    EXPECT_EQ(toText(1048576.0f), "1.04858e+006");
}

struct TimeCase {
    DateTime time;
    const char* text;
};

DateTime at(int year, int month, int day, int hour, int minute, int second) {
    DateTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

TEST(TimeText, LeavesOutTrailingZeroUnits) {
    const TimeCase cases[] = {
        {at(2021, 3, 15, 9, 2, 3), "2021年3月15日9时2分3秒"},
        {at(2021, 3, 15, 9, 2, 0), "2021年3月15日9时2分"},
        {at(2021, 3, 15, 9, 0, 0), "2021年3月15日9时"},
        {at(2021, 3, 15, 0, 0, 7), "2021年3月15日0时0分7秒"},
        {at(2021, 3, 15, 0, 30, 0), "2021年3月15日0时30分"},
        {at(2021, 3, 15, 0, 0, 0), "2021年3月15日"},
        {at(1999, 12, 31, 23, 59, 59), "1999年12月31日23时59分59秒"},
        {at(2024, 2, 29, 10, 0, 5), "2024年2月29日10时0分5秒"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(timeText(c.time), c.text);
        EXPECT_EQ(toText(c.time), c.text);
    }
}

TEST(TimeText, IsGbk) {
    // 年 is C4 EA in GBK
    EXPECT_EQ(timeText(at(2021, 1, 1, 0, 0, 0)),
              "2021\xC4\xEA"
              "1\xD4\xC2"
              "1\xC8\xD5");
}

struct RoundCase {
    double x;
    int decimals;
    double result;
};

TEST(RoundDecimals, HalvesAwayFromZeroWithNudge) {
    const RoundCase cases[] = {
        {1.005, 2, 1.01},   {0.125, 2, 0.13},       {-1.5, 0, -2},    {2.5, 0, 3},
        {1234.5, -2, 1200}, {1250, -2, 1300},       {0, 2, 0},        {0.4999999999999, 0, 1},
        {2.675, 2, 2.68},   {-1.005, 2, -1.01},     {0.5, 0, 1},      {-0.5, 0, -1},
        {1.234, 1, 1.2},    {1048.576, 2, 1048.58}, {5555, -3, 6000}, {0.0001, 2, 0},
        {1.44999, 1, 1.4},  {123.456, 0, 123},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(roundDecimals(c.x, c.decimals), c.result) << c.x << " at " << c.decimals;
    }
}

TEST(TextToInt, ReadsLeadingInteger) {
    const std::pair<std::string, int> cases[] = {
        {"12", 12},
        {"  7", 7},
        {"+5", 5},
        {"-3", -3},
        {"08", 8},
        {"12ab", 12},
        {"1.5", 1},
        {"ab", 0},
        {"", 0},
        {"- 5", 0},
        {"１２", 12},
        {"2147483648", -2147483648},
        {"4294967301", 5},
        {"-2147483648", INT_MIN},
        {"99999999999", 1215752191},
        {"\t\n\v\f\r 9", 9},
        {"－８", -8},
        {"＋３", 3},
        {"　7", 7},  // full-width space
        {"+-5", 0},
        {"--5", 0},
        {"5\xA3", 5},  // a lone lead byte at the end
        {"１2３x", 123},
        {"中12", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(textToInt(text), value) << text;
}

}  // namespace

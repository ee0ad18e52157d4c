#include "platform/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <iomanip>

namespace unitarc::text {
namespace {

TEST(Gbk, RoundTripKeepsCharactersOutsideGb2312) {
    const std::string utf8 = "啰嗦的朱镕基 ABC-123";
    const auto gbk = toGbk(utf8);
    ASSERT_TRUE(gbk);
    EXPECT_EQ(gbk->size(), 6u * 2 + 8);
    EXPECT_EQ(gbk->substr(0, 2), "\x86\xAA");  // 啰 lies in the GBK extension area
    const auto back = fromGbk(*gbk);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, utf8);
}

TEST(Gbk, CharacterWithoutGbkCodeIsReportedNotDropped) {
    EXPECT_FALSE(toGbk("审计\xF0\x9F\x98\x80"));  // an emoji has no GBK code
    EXPECT_FALSE(toGbk("bad \xFF utf8"));
}

TEST(Gbk, TruncatedDoubleByteIsReported) {
    EXPECT_FALSE(fromGbk("\xC9\xF3\xBC"));  // 审 then a lone lead byte
}

TEST(Gbk, EmptyTextConverts) {
    EXPECT_EQ(toGbk(""), std::string());
    EXPECT_EQ(fromGbk(""), std::string());
}

TEST(Gbk, LengthCountsChineseAsTwoBytes) {
    EXPECT_EQ(gbkLength("被审计单位识别码"), 16u);
    EXPECT_EQ(gbkLength("BSJDWSBM"), 8u);
    EXPECT_EQ(gbkLength("A单位1"), 6u);
    EXPECT_EQ(gbkLength("审\xF0\x9F\x98\x80"), 4u);  // not in GBK: still as wide as a character
}

TEST(Gbk, PadFillsToWidthInGbkBytes) {
    const std::string padded = padGbk("被审计单位识别码", 21);
    EXPECT_EQ(padded, "被审计单位识别码     ");
    EXPECT_EQ(gbkLength(padded), 21u);
    EXPECT_EQ(padGbk("Name", 21), "Name" + std::string(17, ' '));
    EXPECT_EQ(padGbk("超过二十一字节宽度的一个字段名", 21), "超过二十一字节宽度的一个字段名");
}

TEST(Sql, UpperCasingTouchesLatinLettersOnly) {
    EXPECT_EQ(upperLatin("report.xls 报表ä"), "REPORT.XLS 报表ä");
}

TEST(Sql, InnerQuotesAreDoubled) {
    EXPECT_EQ(quoted("O'Brien's 单位"), "'O''Brien''s 单位'");
    EXPECT_EQ(quoted(""), "''");
    EXPECT_EQ(quoted("'"), "''''");
}

TEST(Sql, UnqualifiedCallIsNotTakenByTheStreamQuoting) {
    // With <iomanip> in sight, a std::string argument must still reach the SQL quoting.
    std::string mutableText = "it's";
    const std::string constText = "it's";
    const std::string sql = "a = " + quoted(mutableText) + " and b = " + quoted(constText) + " and c = " +
                            quoted(constText + "!") + " and d = " + quoted("x");
    EXPECT_EQ(sql, "a = 'it''s' and b = 'it''s' and c = 'it''s!' and d = 'x'");
}

TEST(DateTime, DayZeroIsMidnightOfThirtiethDecember1899) {
    const DateTimeParts p = decodeDateTime(0);
    EXPECT_EQ(p.year, 1899);
    EXPECT_EQ(p.month, 12);
    EXPECT_EQ(p.day, 30);
    EXPECT_EQ(p.hour, 0);
    EXPECT_EQ(encodeDate(1899, 12, 30), 0.0);
}

TEST(DateTime, OneAndAHalfIsNoonOnThirtyFirstDecember1899) {
    const DateTimeParts p = decodeDateTime(1.5);
    EXPECT_EQ(p.year, 1899);
    EXPECT_EQ(p.month, 12);
    EXPECT_EQ(p.day, 31);
    EXPECT_EQ(p.hour, 12);
    EXPECT_EQ(p.minute, 0);
    EXPECT_EQ(encodeDateTime({1899, 12, 31, 12, 0, 0, 0}), 1.5);
}

TEST(DateTime, KnownDates) {
    EXPECT_EQ(encodeDate(1900, 3, 1), 61.0);
    EXPECT_EQ(encodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(encodeDate(2024, 2, 29), 45351.0);
}

TEST(DateTime, BeforeDayZeroTheTimeIsAPositiveFraction) {
    EXPECT_EQ(encodeDateTime({1899, 12, 29, 6, 0, 0, 0}), -1.25);
    const DateTimeParts p = decodeDateTime(-1.25);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 6);
}

TEST(DateTime, DecodeRoundsToTheMillisecond) {
    const DateTimeParts nearMidnight = decodeDateTime(0.9999999);
    EXPECT_EQ(nearMidnight.day, 30);
    EXPECT_EQ(nearMidnight.hour, 23);
    const DateTimeParts carried = decodeDateTime(45000.999999999999);
    EXPECT_EQ(carried.hour, 0);
    EXPECT_EQ(encodeDate(carried.year, carried.month, carried.day), 45001.0);
}

TEST(DateTime, EncodeDecodeRoundTripKeepsEveryField) {
    const DateTimeParts in{2023, 7, 14, 23, 59, 58, 123};
    const DateTimeParts out = decodeDateTime(encodeDateTime(in));
    EXPECT_EQ(out.year, in.year);
    EXPECT_EQ(out.month, in.month);
    EXPECT_EQ(out.day, in.day);
    EXPECT_EQ(out.hour, in.hour);
    EXPECT_EQ(out.minute, in.minute);
    EXPECT_EQ(out.second, in.second);
    EXPECT_EQ(out.msec, in.msec);
}

TEST(DateTime, FromUnixTimeUsesLocalTime) {
    const std::time_t t = 1700000000;
    std::tm tm{};
    localtime_r(&t, &tm);
    const DateTimeParts p = decodeDateTime(fromUnixTime(t));
    EXPECT_EQ(p.year, tm.tm_year + 1900);
    EXPECT_EQ(p.month, tm.tm_mon + 1);
    EXPECT_EQ(p.day, tm.tm_mday);
    EXPECT_EQ(p.hour, tm.tm_hour);
    EXPECT_EQ(p.minute, tm.tm_min);
    EXPECT_EQ(p.second, tm.tm_sec);
}

TEST(DateTime, NowIsCloseToTheClock) {
    const double before = fromUnixTime(std::time(nullptr));
    const double n = now();
    EXPECT_GE(n, before);
    EXPECT_LT(n - before, 5.0 / 86400);
}

struct NumberCase {
    const char* name;
    double value;
    const char* sql;
};

class SqlNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(SqlNumber, IsWrittenWithAPointAndFifteenDigits) { EXPECT_EQ(sqlNumber(GetParam().value), GetParam().sql); }

INSTANTIATE_TEST_SUITE_P(
    Text, SqlNumber,
    testing::Values(NumberCase{"Zero", 0.0, "0"}, NumberCase{"NegativeZero", -0.0, "0"},
                    NumberCase{"Half", 1.5, "1.5"}, NumberCase{"WholeDay", 45000.0, "45000"},
                    NumberCase{"Quarter", 45000.25, "45000.25"}, NumberCase{"Negative", -1.25, "-1.25"},
                    NumberCase{"OneSecondPastNoon", 45000.5 + 1.0 / 86400, "45000.5000115741"},
                    NumberCase{"NotANumber", std::nan(""), "NULL"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SqlNumber, LocaleDoesNotChangeTheSeparator) {
    // The C++ conversion ignores the global locale; a decimal comma would break the SQL.
    EXPECT_EQ(sqlNumber(0.125), "0.125");
}

TEST(Format, DateAndStamp) {
    const double t = encodeDateTime({2023, 3, 5, 7, 8, 9, 0});
    EXPECT_EQ(formatDate(t), "2023-03-05");
    EXPECT_EQ(formatStamp(t), "20230305070809");
    EXPECT_EQ(formatDate(0), "1899-12-30");
}

TEST(Format, StampNeverShowsTwentyFourHours) {
    EXPECT_EQ(formatStamp(encodeDate(2023, 12, 31) + 0.99999999999), "20240101000000");
    EXPECT_EQ(formatStamp(encodeDate(2023, 12, 31) + 0.9999999), "20231231235959");
}

struct DateCase {
    const char* name;
    const char* text;
    std::optional<double> day;
};

class ShortDate : public testing::TestWithParam<DateCase> {};

TEST_P(ShortDate, ParsesOrRefuses) { EXPECT_EQ(parseShortDate(GetParam().text), GetParam().day); }

INSTANTIATE_TEST_SUITE_P(
    Text, ShortDate,
    testing::Values(DateCase{"Dashed", "2023-03-05", encodeDate(2023, 3, 5)},
                    DateCase{"DashedShort", "2023-3-5", encodeDate(2023, 3, 5)},
                    DateCase{"Slashed", "2023/3/5", encodeDate(2023, 3, 5)},
                    DateCase{"LeapDay", "2024-02-29", encodeDate(2024, 2, 29)},
                    DateCase{"ZeroDate", "1899-12-30", 0.0},
                    DateCase{"SurroundingBlanks", " 2023-03-05 ", encodeDate(2023, 3, 5)},
                    DateCase{"WithTime", "2023-03-05 12:00", encodeDate(2023, 3, 5) + 0.5},
                    DateCase{"WithSeconds", "2023-03-05 06:00:00", encodeDate(2023, 3, 5) + 0.25},
                    DateCase{"ThirtiethFebruary", "2023-02-30", std::nullopt},
                    DateCase{"NoLeapDay", "2023-02-29", std::nullopt},
                    DateCase{"MonthThirteen", "2023-13-01", std::nullopt},
                    DateCase{"DayZero", "2023-01-00", std::nullopt},
                    DateCase{"MixedSeparators", "2023-3/5", std::nullopt},
                    DateCase{"TwoDigitYear", "23-3-5", std::nullopt},
                    DateCase{"TrailingText", "2023-03-05x", std::nullopt},
                    DateCase{"HourTwentyFour", "2023-03-05 24:00", std::nullopt},
                    DateCase{"Empty", "", std::nullopt}, DateCase{"Words", "yesterday", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace unitarc::text

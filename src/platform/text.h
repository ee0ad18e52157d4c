#pragma once
// Text at the edges of the system: GBK, SQL literals and day-number date-times.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace unitarc::text {

// UTF-8 <-> GBK through iconv. A character that does not convert gives nullopt;
// nothing is ever truncated silently.
std::optional<std::string> toGbk(std::string_view utf8);
std::optional<std::string> fromGbk(std::string_view gbk);

// Length of the text in GBK bytes (a Chinese character counts 2). Characters
// GBK cannot hold count as 2 as well, so the result is still a width.
std::size_t gbkLength(std::string_view utf8);

// The text followed by spaces up to `width` GBK bytes (unchanged when already wider).
std::string padGbk(std::string_view utf8, std::size_t width);

// The messages of one action as one text: joined by CR LF, as a message box shows them.
std::string joinLines(const std::vector<std::string>& lines);

// Upper-cases the Latin letters a-z only; every other byte is left as it is.
std::string upperLatin(std::string_view s);

// 'text' with every inner single quote doubled: the way every SQL value is written.
std::string quoted(std::string_view s);
// Exact overloads, so that an unqualified call with a std::string is not taken by std::quoted.
std::string quoted(const std::string& s);
std::string quoted(std::string& s);
std::string quoted(const char* s);

// Date-times are day numbers since 1899-12-30 00:00 local time; the fraction is the time of day.
struct DateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, msec = 0;
};
double encodeDateTime(const DateTimeParts& p);
double encodeDate(int year, int month, int day);
DateTimeParts decodeDateTime(double dayNumber);
double now();                      // local time
double fromUnixTime(long long seconds);  // local time of a time_t

// Up to 15 significant digits with "." as decimal separator: 0, 1.5, 45000.25.
std::string sqlNumber(double value);
std::string formatDate(double dayNumber);   // yyyy-mm-dd
std::string formatStamp(double dayNumber);  // yyyymmddhhMMss
// The short date format: "yyyy-mm-dd", also "yyyy-m-d" and "yyyy/m/d". nullopt when it does not convert.
std::optional<double> parseShortDate(std::string_view s);

}  // namespace unitarc::text

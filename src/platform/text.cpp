#include "platform/text.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace unitarc::text {

std::string joinLines(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) {
        if (!joined.empty()) joined += "\r\n";
        joined += line;
    }
    return joined;
}

namespace {

// One iconv descriptor per direction and thread: iconv_t keeps shift state and is not
// safe to share, and opening one per call costs more than the conversion of a name.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::optional<std::string> convert(std::string_view in) {
        if (!valid()) return std::nullopt;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // a failed call may leave state behind
        std::string out(in.size() * 2 + 16, '\0');
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::size_t used = 0;
        for (;;) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            const std::size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<std::size_t>(-1)) {
                // Flush the shift sequence, if the target has one.
                std::size_t flushLeft = out.size() - used;
                if (flushLeft < 16) {
                    out.resize(out.size() + 16);
                    flushLeft = out.size() - used;
                }
                dst = out.data() + used;
                if (iconv(m_cd, nullptr, nullptr, &dst, &flushLeft) == static_cast<std::size_t>(-1))
                    return std::nullopt;
                used = out.size() - flushLeft;
                out.resize(used);
                return out;
            }
            if (errno != E2BIG) return std::nullopt;  // EILSEQ or EINVAL: never cut the text short
            out.resize(out.size() * 2);
        }
    }

private:
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t m_cd;
};

Converter& toGbkConverter() {
    thread_local Converter c("GBK", "UTF-8");
    return c;
}

Converter& fromGbkConverter() {
    thread_local Converter c("UTF-8", "GBK");
    return c;
}

// Length of the UTF-8 sequence that starts with this byte; 1 for a stray byte.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

constexpr long long kMsPerDay = 86400000LL;

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const long long kEpochOffset = daysFromCivil(1899, 12, 30);  // day 0 in days since 1970

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[static_cast<std::size_t>(m - 1)];
}

// A day number from a calendar day index (days since 1899-12-30) and the time of day.
// Before day 0 the classic convention keeps the time as a positive fraction
// subtracted from the negative day: -1.25 is 29 Dec 1899, 06:00.
double dayNumber(long long dayIndex, double timeFraction) {
    return dayIndex >= 0 ? static_cast<double>(dayIndex) + timeFraction
                         : static_cast<double>(dayIndex) - timeFraction;
}

DateTimeParts localParts(std::time_t t, int msec) {
    std::tm tm{};
    localtime_r(&t, &tm);
    DateTimeParts p;
    p.year = tm.tm_year + 1900;
    p.month = tm.tm_mon + 1;
    p.day = tm.tm_mday;
    p.hour = tm.tm_hour;
    p.minute = tm.tm_min;
    p.second = tm.tm_sec;
    p.msec = msec;
    return p;
}

// Reads 1 to maxDigits decimal digits at pos.
bool readNumber(std::string_view s, std::size_t& pos, std::size_t maxDigits, int& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < s.size() && pos - start < maxDigits && s[pos] >= '0' && s[pos] <= '9') {
        value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    return pos > start && (pos >= s.size() || s[pos] < '0' || s[pos] > '9');
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<std::string> toGbk(std::string_view utf8) { return toGbkConverter().convert(utf8); }

std::optional<std::string> fromGbk(std::string_view gbk) { return fromGbkConverter().convert(gbk); }

std::size_t gbkLength(std::string_view utf8) {
    if (auto whole = toGbk(utf8)) return whole->size();
    std::size_t length = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t n = std::min(sequenceLength(lead), utf8.size() - i);
        if (lead < 0x80) {
            length += 1;
        } else if (auto one = toGbk(utf8.substr(i, n))) {
            length += one->size();
        } else if (n > 1) {
            length += 2;  // not in GBK: still as wide as a Chinese character
        } else {
            length += 1;  // a stray byte
        }
        i += n;
    }
    return length;
}

std::string padGbk(std::string_view utf8, std::size_t width) {
    std::string out(utf8);
    const std::size_t length = gbkLength(utf8);
    if (length < width) out.append(width - length, ' ');
    return out;
}

std::string upperLatin(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string quoted(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '\'';
    for (char c : s) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::string quoted(const std::string& s) { return quoted(std::string_view(s)); }

std::string quoted(std::string& s) { return quoted(std::string_view(s)); }

std::string quoted(const char* s) { return quoted(std::string_view(s ? s : "")); }

double encodeDate(int year, int month, int day) {
    return static_cast<double>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               kEpochOffset);
}

double encodeDateTime(const DateTimeParts& p) {
    const long long dayIndex =
        daysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) - kEpochOffset;
    const long long ms = ((p.hour * 60LL + p.minute) * 60LL + p.second) * 1000LL + p.msec;
    return dayNumber(dayIndex, static_cast<double>(ms) / static_cast<double>(kMsPerDay));
}

DateTimeParts decodeDateTime(double value) {
    DateTimeParts p;
    if (!std::isfinite(value)) return p;
    const double whole = std::trunc(value);
    long long dayIndex = static_cast<long long>(whole);
    // Round to the millisecond first, so that 0.99999999999 is the next midnight and not 24:00.
    long long ms = std::llround(std::fabs(value - whole) * static_cast<double>(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        dayIndex += 1;
    }
    civilFromDays(dayIndex + kEpochOffset, p.year, p.month, p.day);
    p.msec = static_cast<int>(ms % 1000);
    const long long seconds = ms / 1000;
    p.second = static_cast<int>(seconds % 60);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.hour = static_cast<int>(seconds / 3600);
    return p;
}

double now() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    const std::time_t t = static_cast<std::time_t>(ms / 1000);
    return encodeDateTime(localParts(t, static_cast<int>(ms % 1000)));
}

double fromUnixTime(long long seconds) { return encodeDateTime(localParts(static_cast<std::time_t>(seconds), 0)); }

std::string sqlNumber(double value) {
    // NaN and infinity have no SQL literal; NULL keeps the statement valid and matches nothing.
    if (!std::isfinite(value)) return "NULL";
    if (value == 0) return "0";
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 15);
    return std::string(buf.data(), res.ptr);
}

std::string formatDate(double dayNumber) {
    const DateTimeParts p = decodeDateTime(dayNumber);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
    return buf;
}

std::string formatStamp(double dayNumber) {
    const DateTimeParts p = decodeDateTime(dayNumber);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
    return buf;
}

std::optional<double> parseShortDate(std::string_view s) {
    s = trimmed(s);
    std::size_t pos = 0;
    DateTimeParts p;
    if (!readNumber(s, pos, 4, p.year) || pos != 4) return std::nullopt;
    if (pos >= s.size() || (s[pos] != '-' && s[pos] != '/')) return std::nullopt;
    const char separator = s[pos++];
    if (!readNumber(s, pos, 2, p.month)) return std::nullopt;
    if (pos >= s.size() || s[pos] != separator) return std::nullopt;
    ++pos;
    if (!readNumber(s, pos, 2, p.day)) return std::nullopt;
    if (p.year < 1 || p.month < 1 || p.month > 12 || p.day < 1 || p.day > daysInMonth(p.year, p.month))
        return std::nullopt;
    if (pos < s.size()) {
        // An optional time of day: " hh:mm" or " hh:mm:ss".
        if (s[pos] != ' ') return std::nullopt;
        while (pos < s.size() && s[pos] == ' ') ++pos;
        if (!readNumber(s, pos, 2, p.hour) || pos >= s.size() || s[pos] != ':') return std::nullopt;
        ++pos;
        if (!readNumber(s, pos, 2, p.minute)) return std::nullopt;
        if (pos < s.size()) {
            if (s[pos] != ':') return std::nullopt;
            ++pos;
            if (!readNumber(s, pos, 2, p.second) || pos != s.size()) return std::nullopt;
        }
        if (p.hour > 23 || p.minute > 59 || p.second > 59) return std::nullopt;
    }
    return encodeDateTime(p);
}

}  // namespace unitarc::text

#include "store/date_time.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace zelvant {
namespace {

constexpr double kMinOa = -657434.0;  // 0100-01-01
constexpr double kMaxOa = 2958466.0;  // 10000-01-01, exclusive

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil algorithm).
constexpr long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

// A constant, so that dates made while other files' statics are set up are right.
constexpr long long kOaEpoch = DaysFromCivil(1899, 12, 30);

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

DateTimeValue NowLocal() {
    return *FromUnixTimeLocal(static_cast<std::int64_t>(std::time(nullptr)));
}

std::optional<DateTimeValue> FromUnixTimeLocal(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    if (static_cast<std::int64_t>(t) != seconds) {
        return std::nullopt;
    }
    std::tm tm{};
#if defined(_WIN32)
    if (localtime_s(&tm, &t) != 0) {
        return std::nullopt;
    }
#else
    if (localtime_r(&t, &tm) == nullptr) {
        return std::nullopt;
    }
#endif
    return FromCivil({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                      tm.tm_sec > 59 ? 59 : tm.tm_sec});
}

std::int64_t UnixTimeOfUtc(const CivilDateTime& utc) {
    return DaysFromCivil(utc.year, static_cast<unsigned>(utc.month),
                         static_cast<unsigned>(utc.day)) *
               86400 +
           utc.hour * 3600 + utc.minute * 60 + utc.second;
}

DateTimeValue DateOnly(DateTimeValue v) {
    // The whole-day part of an OLE date is its integer part, also below zero.
    v.oa = std::trunc(v.oa);
    return v;
}

std::optional<DateTimeValue> FromCivil(const CivilDateTime& c) {
    if (c.year < 100 || c.year > 9999 || c.month < 1 || c.month > 12 || c.day < 1 ||
        c.day > DaysInMonth(c.year, c.month) || c.hour < 0 || c.hour > 23 || c.minute < 0 ||
        c.minute > 59 || c.second < 0 || c.second > 59) {
        return std::nullopt;
    }
    const long long days =
        DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) -
        kOaEpoch;
    const double time = (c.hour * 3600 + c.minute * 60 + c.second) / 86400.0;
    // Before the epoch the time of day still counts forward, away from zero.
    const double oa =
        days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
    return DateTimeValue{oa, 0};
}

std::optional<CivilDateTime> ToCivil(DateTimeValue v) {
    if (!v.IsValid() || !(v.oa > kMinOa - 1.0) || !(v.oa < kMaxOa)) {
        return std::nullopt;
    }
    const double whole = std::trunc(v.oa);
    auto seconds = static_cast<long long>(std::llround(std::fabs(v.oa - whole) * 86400.0));
    long long day = static_cast<long long>(whole) + kOaEpoch;
    if (seconds >= 86400) {
        seconds -= 86400;
        day += 1;
    }
    CivilDateTime c;
    CivilFromDays(day, c.year, c.month, c.day);
    if (c.year < 100 || c.year > 9999) {
        return std::nullopt;
    }
    c.hour = static_cast<int>(seconds / 3600);
    c.minute = static_cast<int>(seconds / 60 % 60);
    c.second = static_cast<int>(seconds % 60);
    return c;
}

std::string FormatIso(DateTimeValue v, bool dateOnly) {
    const auto c = ToCivil(v);
    if (!c) {
        return {};
    }
    char buf[32];
    if (dateOnly) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c->year, c->month, c->day);
    } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c->year, c->month, c->day,
                      c->hour, c->minute, c->second);
    }
    return buf;
}

}  // namespace zelvant

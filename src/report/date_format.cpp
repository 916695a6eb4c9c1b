#include "report/date_format.h"

#include <array>
#include <cstdio>

namespace zelvant::report {
namespace {

constexpr std::array<const char*, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> kMonths = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};

// Sakamoto's method; 0 is Sunday.
int DayOfWeek(int y, int m, int d) {
    static constexpr std::array<int, 12> t = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) {
        y -= 1;
    }
    return (y + y / 4 - y / 100 + y / 400 + t[static_cast<std::size_t>(m - 1)] + d) % 7;
}

}  // namespace

std::string CFixedDateFormatter::LongDate(const CivilDateTime& when) const {
    if (when.month < 1 || when.month > 12) {
        return {};
    }
    const int dow = DayOfWeek(when.year, when.month, when.day);
    return std::string(kDays[static_cast<std::size_t>(dow)]) + ", " + std::to_string(when.day) +
           " " + kMonths[static_cast<std::size_t>(when.month - 1)] + " " +
           std::to_string(when.year);
}

std::string CFixedDateFormatter::Time(const CivilDateTime& when) const {
    std::array<char, 16> buf{};
    std::snprintf(buf.data(), buf.size(), "%02d:%02d:%02d", when.hour, when.minute, when.second);
    return buf.data();
}

bool ReportDateParts(const IDateFormatter& formatter, DateTimeValue value, bool withTime,
                     std::string& date, std::string& time) {
    const auto civil = ToCivil(value);
    if (!civil) {
        return false;
    }
    date = formatter.LongDate(*civil);
    if (date.empty()) {
        return false;
    }
    if (withTime) {
        time = formatter.Time(*civil);
    }
    return true;
}

std::string FormatReportDate(const IDateFormatter& formatter, DateTimeValue value, bool withTime) {
    std::string date;
    std::string time;
    if (!ReportDateParts(formatter, value, withTime, date, time)) {
        return {};
    }
    if (withTime) {
        date += ", " + time;
    }
    return date;
}

}  // namespace zelvant::report

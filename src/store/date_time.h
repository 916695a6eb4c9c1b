#pragma once
// Dates are OLE Automation dates: days since 1899-12-30 00:00 as a double, the fraction being
// the time of day, with a status. This pair is what the data file stores.

#include <cstdint>
#include <optional>
#include <string>

namespace zelvant {

enum class DateTimeStatus : std::int32_t { Valid = 0, Invalid = 1, Null = 2 };

struct DateTimeValue {
    double oa = 0.0;
    std::int32_t status = 0;

    bool IsValid() const { return status == static_cast<std::int32_t>(DateTimeStatus::Valid); }
    friend bool operator==(const DateTimeValue&, const DateTimeValue&) = default;
};

struct CivilDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const CivilDateTime&, const CivilDateTime&) = default;
};

// The current local date and time, to the second.
DateTimeValue NowLocal();

// Seconds since 1970-01-01 00:00 UTC as local date and time; none outside the years OLE dates
// hold or the platform's time range.
std::optional<DateTimeValue> FromUnixTimeLocal(std::int64_t seconds);
// The seconds since 1970-01-01 00:00 UTC of a date and time read as UTC (no range check).
std::int64_t UnixTimeOfUtc(const CivilDateTime& utc);

// The same calendar day at 00:00:00.
DateTimeValue DateOnly(DateTimeValue v);

// None when a part is out of range (years 100 to 9999, as OLE dates allow).
std::optional<DateTimeValue> FromCivil(const CivilDateTime& c);

// None when the value is not valid or lies outside years 100 to 9999. Rounds to the second.
std::optional<CivilDateTime> ToCivil(DateTimeValue v);

// "YYYY-MM-DD HH:MM:SS", or "YYYY-MM-DD" with dateOnly; empty when ToCivil fails.
std::string FormatIso(DateTimeValue v, bool dateOnly = false);

}  // namespace zelvant

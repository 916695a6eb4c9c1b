#pragma once
// Dates in reports: the locale's long date, optionally followed by ", " and its time. The
// locale comes from a formatter so that the engine side stays free of Qt and tests stay fixed.

#include <functional>
#include <memory>
#include <string>

#include "store/date_time.h"

namespace zelvant::report {

class IDateFormatter {
  public:
    virtual ~IDateFormatter() = default;
    virtual std::string LongDate(const CivilDateTime& when) const = 0;
    virtual std::string Time(const CivilDateTime& when) const = 0;
};

// "Tuesday, 5 March 2024" and "14:05:09", whatever the machine's locale.
class CFixedDateFormatter : public IDateFormatter {
  public:
    std::string LongDate(const CivilDateTime& when) const override;
    std::string Time(const CivilDateTime& when) const override;
};

// The system locale through Qt Core: its long date format and its standard time format.
std::unique_ptr<IDateFormatter> MakeSystemDateFormatter();

// Empty when the value cannot be shown as a date.
std::string FormatReportDate(const IDateFormatter& formatter, DateTimeValue value, bool withTime);
// The same in its parts, the long date and (with `withTime`) the time, for callers that join
// them themselves; false when the value cannot be shown as a date.
bool ReportDateParts(const IDateFormatter& formatter, DateTimeValue value, bool withTime,
                     std::string& date, std::string& time);

using Clock = std::function<DateTimeValue()>;

}  // namespace zelvant::report

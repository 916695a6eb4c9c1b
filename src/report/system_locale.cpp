// The locale's date and time formats, as the desktop shows them.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

#include <unordered_map>
#include <vector>

#include "report/date_format.h"

namespace zelvant::report {
namespace {

// The locale's long time format names the time zone ("t"); stored times carry none, so the zone
// and the blanks that set it apart are dropped. Quoted literals stay as they are.
QString TimeFormatWithoutZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == u't') {
            while (i + 1 < format.size() && format[i + 1] == u't') {
                ++i;
            }
            while (!out.isEmpty() && out.back().isSpace()) {
                out.chop(1);
            }
            while (i + 1 < format.size() && format[i + 1].isSpace()) {
                ++i;
            }
            if (!out.isEmpty() && i + 1 < format.size()) {
                out += u' ';
            }
        } else {
            out += c;
        }
    }
    return out.trimmed();
}

class CSystemDateFormatter : public IDateFormatter {
  public:
    CSystemDateFormatter()
        : locale_(QLocale::system()),
          timeFormat_(TimeFormatWithoutZone(locale_.timeFormat(QLocale::LongFormat))) {}

    // Formatting through the locale is slow next to the rest of a report, and a report shows
    // the same days and times many times over: remember what was formatted.
    std::string LongDate(const CivilDateTime& when) const override {
        const int key = (when.year * 16 + when.month) * 32 + when.day;
        return Remember(dates_, key, [&] {
            const QDate date(when.year, when.month, when.day);
            return date.isValid() ? locale_.toString(date, QLocale::LongFormat).toStdString()
                                  : std::string();
        });
    }

    std::string Time(const CivilDateTime& when) const override {
        const int key = (when.hour * 60 + when.minute) * 60 + when.second;
        const auto make = [&] {
            const QTime time(when.hour, when.minute, when.second);
            return time.isValid() ? locale_.toString(time, timeFormat_).toStdString()
                                  : std::string();
        };
        // Times of day spread over the whole day: a table indexed by the second is far kinder
        // to the caches than a hash of that many entries.
        const bool inDay = when.hour >= 0 && when.hour < 24 && when.minute >= 0 &&
                           when.minute < 60 && when.second >= 0 && when.second < 60;
        if (!inDay) {
            return Remember(times_, key, make);
        }
        if (dayTimes_.empty()) {
            dayTimes_.resize(kSecondsPerDay);
            dayTimeKnown_.resize(kSecondsPerDay);
        }
        const auto index = static_cast<std::size_t>(key);
        if (!dayTimeKnown_[index]) {
            dayTimes_[index] = make();
            dayTimeKnown_[index] = true;
        }
        return dayTimes_[index];
    }

  private:
    using Cache = std::unordered_map<int, std::string>;

    template <class Make>
    static std::string Remember(Cache& cache, int key, Make make) {
        if (const auto it = cache.find(key); it != cache.end()) {
            return it->second;
        }
        if (cache.size() >= 100000) {
            cache.clear();
        }
        return cache.emplace(key, make()).first->second;
    }

    QLocale locale_;
    QString timeFormat_;
    mutable Cache dates_;
    mutable Cache times_;
    static constexpr std::size_t kSecondsPerDay = 24 * 60 * 60;
    mutable std::vector<std::string> dayTimes_;
    mutable std::vector<bool> dayTimeKnown_;
};

}  // namespace

std::unique_ptr<IDateFormatter> MakeSystemDateFormatter() {
    return std::make_unique<CSystemDateFormatter>();
}

}  // namespace zelvant::report

#include "system_clock.h"

#include <QDateTime>

dovrin::LocalTime systemLocalTime() {
    using namespace std::chrono;
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const year_month_day day{year{date.year()}, month{static_cast<unsigned>(date.month())},
                             std::chrono::day{static_cast<unsigned>(date.day())}};
    return local_days{day} + milliseconds{now.time().msecsSinceStartOfDay()};
}

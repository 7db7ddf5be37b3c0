/// Day numbers: dates counted in days from 30 December 1899.
#pragma once

#include <QDate>
#include <QDateTime>

namespace vesk {

/// Dates kept as numbers count whole days from 30 December 1899 (day 0); 1 January 1900 is day 2.
inline constexpr QDate kDayZero = QDate::fromJulianDay(2415019); // 30 December 1899

/// Day number of a date.
inline int DayNumber(const QDate& date)
{
    return static_cast<int>(kDayZero.daysTo(date));
}

/// The date of a day number.
inline QDate DateOfDayNumber(int day)
{
    return kDayZero.addDays(day);
}

/// A local date and time as a fractional day number (the whole part is the day, the fraction the time of day).
inline double DayNumberWithTime(const QDateTime& moment)
{
    const QTime time = moment.time();
    return DayNumber(moment.date()) + time.msecsSinceStartOfDay() / 86'400'000.0;
}

} // namespace vesk

#include "crash/report/date_text.h"

#include <cmath>
#include <cstdio>

#include "framework/core/calendar.h"

namespace quillan::crash {

namespace {

// 1899-12-30 counted from 1970-01-01.
constexpr long long kEpochShift = -25569;

}  // namespace

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    long long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochShift;
    return static_cast<double>(days) +
           (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
}

std::string DateTimeText(double days) {
    // Day 1 of year 1 and the last day of 9999, as the runtime's date range.
    if (!std::isfinite(days) || days < -693593.0 || days >= 2958466.0) return {};
    double whole = std::floor(days);
    // Rounded to the second; a time that rounds to midnight moves to the next day.
    long long seconds = std::llround((days - whole) * 86400.0);
    long long dayNumber = static_cast<long long>(whole) + seconds / 86400;
    seconds %= 86400;
    int year, month, day;
    CivilFromDays(dayNumber + kEpochShift, year, month, day);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day,
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return buffer;
}

}  // namespace quillan::crash

// Date-time values of the crash reporter: days since 1899-12-30 as a double, local time.
#pragma once

#include <string>

namespace quillan::crash {

// "yyyy-mm-dd hh:nn:ss"; empty for a value outside the years 1 to 9999.
std::string DateTimeText(double days);

// The value of a calendar date and time.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond = 0);

}  // namespace quillan::crash

// Day numbers of the proleptic Gregorian calendar, counted from 1970-01-01.
#pragma once

#include <cstdint>

namespace quillan {

// Days from 1970-01-01 to a civil date (month 1 to 12); negative before it.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);

// The civil date of a day number, the inverse of DaysFromCivil.
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

}  // namespace quillan

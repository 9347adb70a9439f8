#pragma once

#include <cstdint>

// Dates of the proleptic Gregorian calendar as day counts since 1970-01-01,
// and back: the one calendar every reader and writer of dates in the program
// uses.
namespace tolvex::civil {

struct Date {
    std::int64_t year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
};

bool isLeapYear(std::int64_t year);

// The days of a month (1..12) in a year: 28 to 31.
int daysInMonth(std::int64_t year, int month);

// Whether the date exists: a month from 1 to 12 and a day within it (no
// 31 April, no 29 February outside leap years).
bool isValidDate(std::int64_t year, int month, int day);

// Days since 1970-01-01 of a valid date (negative before it).
std::int64_t daysFromCivil(std::int64_t year, int month, int day);

// The date of a day count since 1970-01-01.
Date civilFromDays(std::int64_t days);

}  // namespace tolvex::civil

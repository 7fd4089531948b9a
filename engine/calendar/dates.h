// Date values: days since 1899-12-30 00:00 in the proleptic Gregorian
// calendar, the fraction being the time of day (one hour = 1/24).
#pragma once

#include <string>

namespace orv {

struct DateTimeParts {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Year 1-9999, month 1-12, day within the month.
bool IsValidDate(int year, int month, int day);

// Civil day at 00:00. The arguments must form a valid date.
double EncodeDate(int year, int month, int day);
double EncodeDateTime(int year, int month, int day, int hour, int minute,
                      int second = 0, int millisecond = 0);

// True when the value is finite and its civil day lies in years 1-9999; the
// decoders below give all-zero parts for any other value.
bool IsDecodable(double value);

// Decoding rounds the value to the nearest millisecond first.
DateTimeParts DecodeDateTime(double value);
void DecodeDate(double value, int& year, int& month, int& day);
void DecodeTime(double value, int& hour, int& minute, int& second, int& millisecond);
int YearOf(double value);
int MonthOf(double value);
int DayOf(double value);
int HourOf(double value);

// Two-digit hour and minute, "hh:mm".
std::string FormatHHMM(double value);

// Truncation toward zero.
long long WholeDays(double value);

// The current local date and time.
double Now();

}  // namespace orv

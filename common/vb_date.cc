// OLE dates: days since 1899-12-30 as a double, the time of day as the
// fraction. Splitting, building, the general date format and date texts.

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "common/com_error.h"
#include "common/vb_internal.h"
#include "common/vb_runtime.h"

namespace trelix::vb {
namespace {

constexpr int64_t kOleEpochInUnixDays = -25569;  // 1899-12-30

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2));
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

int CurrentYear() { return internal::SplitOleDate(Now()).year; }

// Month names as the en-US setting reads them, full or abbreviated.
int MonthFromWord(std::string_view word) {
  static constexpr const char* kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                                            "july",    "august",   "september", "october", "november", "december"};
  if (word.size() < 3) return 0;
  for (int m = 0; m < 12; ++m) {
    std::string_view full = kMonths[m];
    if (word == full || word == full.substr(0, 3)) return m + 1;
  }
  if (word == "sept") return 9;
  return 0;
}

int TwoDigitYear(int year, int digits) {
  if (digits > 2) return year;
  return year < 30 ? 2000 + year : 1900 + year;
}

}  // namespace

namespace internal {

DateParts SplitOleDate(double ole_date) {
  if (!IsValidOleDate(ole_date)) RaiseVbError(kErrInvalidProcedureCall);
  double day = std::trunc(ole_date);
  int64_t seconds = std::llround(std::fabs(ole_date - day) * 86400.0);
  int64_t day_index = static_cast<int64_t>(day);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day_index;
  }
  DateParts parts;
  CivilFromDays(day_index + kOleEpochInUnixDays, &parts.year, &parts.month, &parts.day);
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  parts.weekday = static_cast<int>(((day_index + 6) % 7 + 7) % 7) + 1;
  return parts;
}

double OleDateFromParts(int64_t year, int64_t month, int64_t day) {
  // Out-of-range months and days roll over, as DateSerial does.
  if (std::llabs(year) > 1000000 || std::llabs(month) > 12000000 || std::llabs(day) > 400000000)
    RaiseVbError(kErrInvalidProcedureCall);
  int64_t zero_based = month - 1;
  int64_t year_carry = zero_based >= 0 ? zero_based / 12 : -((11 - zero_based) / 12);
  year += year_carry;
  month = zero_based - year_carry * 12 + 1;
  double result = static_cast<double>(DaysFromCivil(year, month, 1) - kOleEpochInUnixDays + day - 1);
  if (result < kMinOleDay || result > kMaxOleDay) RaiseVbError(kErrInvalidProcedureCall);
  return result;
}

double OleTimeFromParts(int64_t hour, int64_t minute, int64_t second) {
  if (std::llabs(hour) > 100000000 || std::llabs(minute) > 100000000 || std::llabs(second) > 100000000)
    RaiseVbError(kErrInvalidProcedureCall);
  return static_cast<double>(hour * 3600 + minute * 60 + second) / 86400.0;
}

double CombineDateTime(double day, double time) { return day >= 0 ? day + time : day - time; }

bool ParseDateText(std::string_view text, double* out) {
  int numbers[4];
  int digits[4];
  int count = 0;
  int month_word = 0;
  bool have_time = false;
  int hour = 0, minute = 0, second = 0;
  int meridiem = 0;  // 1 AM, 2 PM
  const size_t n = text.size();
  size_t i = 0;
  auto read_number = [&](int* value, int* length) {
    *value = 0;
    *length = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      if (*length < 9) *value = *value * 10 + (text[i] - '0');
      ++*length;
      ++i;
    }
    return *length > 0 && *length <= 9;
  };
  while (i < n) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == ',' || c == '/' || c == '-' || c == '.') {
      ++i;
    } else if (c >= '0' && c <= '9') {
      int value, length;
      if (!read_number(&value, &length)) return false;
      if (i < n && text[i] == ':') {
        if (have_time) return false;
        have_time = true;
        hour = value;
        ++i;
        if (!read_number(&minute, &length) || length > 2) return false;
        if (i < n && text[i] == ':') {
          ++i;
          if (!read_number(&second, &length) || length > 2) return false;
        }
        continue;
      }
      if (count == 4) return false;
      numbers[count] = value;
      digits[count] = length;
      ++count;
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      std::string word;
      while (i < n && ((text[i] >= 'a' && text[i] <= 'z') || (text[i] >= 'A' && text[i] <= 'Z'))) {
        word.push_back(static_cast<char>(text[i] | 0x20));
        ++i;
      }
      if (word == "am" || word == "a") {
        if (meridiem) return false;
        meridiem = 1;
      } else if (word == "pm" || word == "p") {
        if (meridiem) return false;
        meridiem = 2;
      } else if (int month = MonthFromWord(word); month && !month_word) {
        month_word = month;
      } else {
        return false;
      }
    } else {
      return false;
    }
  }
  // "2 PM": a bare number before the meridiem is the hour.
  if (meridiem && !have_time) {
    if (count == 0) return false;
    have_time = true;
    hour = numbers[--count];
    if (digits[count] > 2) return false;
  }
  if (meridiem) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (meridiem == 2 ? 12 : 0);
  }
  if (have_time && (hour > 23 || minute > 59 || second > 59)) return false;
  double time = have_time ? OleTimeFromParts(hour, minute, second) : 0.0;

  int year = 0, month = 0, day = 0;
  if (month_word) {
    month = month_word;
    if (count == 2) {
      bool year_first = digits[0] >= 3;
      day = year_first ? numbers[1] : numbers[0];
      year = year_first ? numbers[0] : TwoDigitYear(numbers[1], digits[1]);
    } else if (count == 1) {
      day = numbers[0];
      year = CurrentYear();
    } else {
      return false;
    }
  } else if (count == 3) {
    if (digits[0] >= 3) {
      year = numbers[0];
      month = numbers[1];
      day = numbers[2];
    } else {
      month = numbers[0];
      day = numbers[1];
      year = TwoDigitYear(numbers[2], digits[2]);
    }
  } else if (count == 2) {
    month = numbers[0];
    day = numbers[1];
    year = CurrentYear();
  } else if (count == 0 && have_time) {
    *out = time;
    return true;
  } else {
    return false;
  }
  // A day that cannot be a month makes the pair day/month, as VB reads it.
  if (month > 12 && day >= 1 && day <= 12) std::swap(month, day);
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  *out = CombineDateTime(OleDateFromParts(year, month, day), time);
  return true;
}

}  // namespace internal

std::string FormatGeneralDate(double ole_date) {
  internal::DateParts parts = internal::SplitOleDate(ole_date);
  bool has_date = !(parts.year == 1899 && parts.month == 12 && parts.day == 30);
  bool has_time = parts.hour != 0 || parts.minute != 0 || parts.second != 0;
  char buf[64];
  std::string out;
  if (has_date) {
    std::snprintf(buf, sizeof buf, "%d/%d/%04d", parts.month, parts.day, parts.year);
    out = buf;
  }
  if (has_time || !has_date) {
    int hour12 = parts.hour % 12 == 0 ? 12 : parts.hour % 12;
    std::snprintf(buf, sizeof buf, "%s%d:%02d:%02d %s", has_date ? " " : "", hour12, parts.minute, parts.second,
                  parts.hour < 12 ? "AM" : "PM");
    out += buf;
  }
  return out;
}

double Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return internal::CombineDateTime(
      internal::OleDateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
      internal::OleTimeFromParts(local.tm_hour, local.tm_min, local.tm_sec));
}

}  // namespace trelix::vb

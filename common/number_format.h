#pragma once
// Number formatting with an explicit format record, as the system number
// formatting service does it (GetNumberFormat with a NUMBERFMT).
//
// Input: an optional "-" as first character, ASCII digits and at most one
// "." (no blanks, no exponent, no other signs); at least one digit. The
// fraction is cut to the requested digits and rounded half up on the
// decimal text (the first dropped digit decides), padded with zeros when
// shorter; leading zeros of the integer part are dropped. The sign comes
// from the text, so "-0.001" at 2 digits is a negative zero.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace trelix {

// How the integer digits are grouped, walking left from the decimal point:
// each size takes that many digits (0 makes an empty group, i.e. two
// separators in a row); after the last size, either that size repeats to
// the end or the remaining digits form one group.
struct DigitGrouping {
  std::array<uint8_t, 10> sizes{};
  uint8_t count = 0;  // no sizes: no grouping
  bool repeat_last = false;

  // The format record's integer form: its decimal digits are the sizes from
  // the decimal point leftwards; a last digit other than 0 repeats, a
  // trailing 0 ends the list without repeat (3 -> 3,3,..; 30 -> 3 then the
  // rest; 32 -> 3,2,2,..; 0 -> none).
  static DigitGrouping FromFormatValue(uint32_t grouping);
  // The locale's grouping text ("3;0", "3;2;0", "3"): a final 0 repeats the
  // size before it, another final size is used once; a 0 just before the
  // final 0 means "the rest, without separators"; leading 0 entries are
  // ignored while more than one entry remains.
  static DigitGrouping FromLocaleText(std::string_view text);
};

// The format record (NUMBERFMT), fields in the system's order. The
// separators are views, as the record's text pointers are: the texts they
// name must outlive the record (never a temporary such as a returned
// std::string).
struct NumberFormat {
  uint32_t num_digits = 0;      // digits after the decimal separator
  uint32_t leading_zero = 1;    // write "0" before the separator of |x| < 1
  uint32_t grouping = 3;        // see DigitGrouping::FromFormatValue
  std::string_view decimal_separator = ".";
  std::string_view thousand_separator = ",";
  uint32_t negative_order = 0;  // 0 "(1.1)", 1 "-1.1", 2 "- 1.1", 3 "1.1-", 4 "1.1 -"
};

// The system's default output buffer of the component's callers, counting
// the terminating NUL.
inline constexpr size_t kNumberBufferChars = 256;

// Formats `number` for locale `lcid` with `format` into `*out` (replacing
// its contents). Returns false, leaving `*out` unspecified, for an unknown
// locale (the table's locales and 0 are known), a malformed number, a
// negative order above 4 for a negative number, or a result that with its
// terminating NUL does not fit `buffer_chars` characters.
bool GetNumberFormat(int32_t lcid, std::string_view number, const NumberFormat& format, std::string* out,
                     size_t buffer_chars = kNumberBufferChars);

// The same with the grouping given in its expanded form (what the service
// uses when it takes the grouping from the locale's grouping text).
bool GetNumberFormat(int32_t lcid, std::string_view number, const NumberFormat& format,
                     const DigitGrouping& grouping, std::string* out, size_t buffer_chars = kNumberBufferChars);

// The same for a locale the caller has already found known (0 or one of
// the table's), so that a caller holding the locale's data does not look
// it up a second time.
bool FormatNumberForKnownLocale(std::string_view number, const NumberFormat& format, const DigitGrouping& grouping,
                                std::string* out, size_t buffer_chars = kNumberBufferChars);

}  // namespace trelix

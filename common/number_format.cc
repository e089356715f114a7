#include "common/number_format.h"

#include <cstring>

#include "common/locale_data.h"

namespace trelix {
namespace {

// Longest number text accepted. Callers format doubles (at most a few dozen
// characters); the bound keeps all scratch space on the stack.
constexpr size_t kMaxInput = 512;
constexpr std::string_view kNegativeSign = "-";  // LOCALE_SNEGATIVESIGN of every known locale

bool KnownLocale(int32_t lcid) { return lcid == 0 || FindLocaleNumberData(lcid) != nullptr; }

}  // namespace

DigitGrouping DigitGrouping::FromFormatValue(uint32_t grouping) {
  DigitGrouping result;
  if (grouping == 0) return result;
  std::array<uint8_t, 10> reversed{};
  uint8_t digits = 0;
  for (uint32_t rest = grouping; rest != 0; rest /= 10) reversed[digits++] = static_cast<uint8_t>(rest % 10);
  const bool repeat = reversed[0] != 0;
  // A trailing 0 only marks "no repeat"; it is not a size.
  const uint8_t first = repeat ? 0 : 1;
  for (uint8_t i = digits; i-- > first;) result.sizes[result.count++] = reversed[i];
  result.repeat_last = repeat && result.count > 0;
  return result;
}

DigitGrouping DigitGrouping::FromLocaleText(std::string_view text) {
  std::array<uint8_t, 16> entries{};
  size_t count = 0;
  size_t pos = 0;
  while (pos < text.size() && count < entries.size()) {
    if (text[pos] < '0' || text[pos] > '9') break;
    entries[count++] = static_cast<uint8_t>(text[pos] - '0');
    ++pos;
    if (pos < text.size() && text[pos] != ';') break;
    ++pos;
  }
  size_t begin = 0;
  while (count - begin > 1 && entries[begin] == 0) ++begin;
  DigitGrouping result;
  if (count - begin == 0 || (count - begin == 1 && entries[begin] == 0)) return result;
  size_t end = count;
  if (entries[count - 1] == 0) {
    --end;  // the final 0 is a marker
    if (entries[end - 1] == 0) {
      --end;  // "0;0" at the end: the rest forms one group
    } else {
      result.repeat_last = true;
    }
  }
  for (size_t i = begin; i < end && result.count < result.sizes.size(); ++i) result.sizes[result.count++] = entries[i];
  if (result.count == 0) result.repeat_last = false;
  return result;
}

bool GetNumberFormat(int32_t lcid, std::string_view number, const NumberFormat& format, std::string* out,
                     size_t buffer_chars) {
  return GetNumberFormat(lcid, number, format, DigitGrouping::FromFormatValue(format.grouping), out, buffer_chars);
}

bool GetNumberFormat(int32_t lcid, std::string_view number, const NumberFormat& format,
                     const DigitGrouping& grouping, std::string* out, size_t buffer_chars) {
  return KnownLocale(lcid) && FormatNumberForKnownLocale(number, format, grouping, out, buffer_chars);
}

bool FormatNumberForKnownLocale(std::string_view number, const NumberFormat& format, const DigitGrouping& grouping,
                                std::string* out, size_t buffer_chars) {
  if (number.size() > kMaxInput) return false;
  // The fraction alone must fit; this also rejects a huge digit count
  // before any padding is written.
  if (format.num_digits >= buffer_chars) return false;

  // Parse: [-] digits [. digits]
  size_t pos = 0;
  const bool negative = !number.empty() && number[0] == '-';
  if (negative) pos = 1;
  std::string_view integer, fraction;
  const size_t integer_start = pos;
  while (pos < number.size() && number[pos] >= '0' && number[pos] <= '9') ++pos;
  integer = number.substr(integer_start, pos - integer_start);
  if (pos < number.size() && number[pos] == '.') {
    const size_t fraction_start = ++pos;
    while (pos < number.size() && number[pos] >= '0' && number[pos] <= '9') ++pos;
    fraction = number.substr(fraction_start, pos - fraction_start);
  }
  // A text without any digit ("", ".", "-") is refused rather than read as
  // zero: no caller produces one, and formatting it would hide the fault.
  if (pos != number.size() || (integer.empty() && fraction.empty())) return false;
  if (negative && format.negative_order > 4) return false;
  while (!integer.empty() && integer[0] == '0') integer.remove_prefix(1);

  // digits = integer digits, then the kept fraction digits (padded); one
  // spare slot in front takes a carry out of the integer part.
  char digits[1 + kMaxInput + kNumberBufferChars];
  char* first = digits + 1;
  size_t integer_length = integer.size();
  // An absent part is an empty view whose data() may be null, which memcpy
  // must not be given even for zero bytes.
  if (integer_length != 0) std::memcpy(first, integer.data(), integer_length);
  const size_t kept = fraction.size() < format.num_digits ? fraction.size() : format.num_digits;
  if (kept != 0) std::memcpy(first + integer_length, fraction.data(), kept);
  std::memset(first + integer_length + kept, '0', format.num_digits - kept);
  size_t length = integer_length + format.num_digits;
  if (fraction.size() > format.num_digits && fraction[format.num_digits] >= '5') {
    size_t i = length;
    for (; i > 0; --i) {
      if (first[i - 1] == '9') {
        first[i - 1] = '0';
      } else {
        ++first[i - 1];
        break;
      }
    }
    if (i == 0) {  // carried out of every digit: a new leading 1
      *--first = '1';
      ++integer_length;
      ++length;
    }
  }

  // Separators before each integer digit, found walking left from the
  // decimal point through the group sizes. Grouping comes after rounding,
  // so a carry that adds a digit is grouped like the others (999.5 at no
  // decimals gives 1,000, as a person would write it).
  uint8_t separators_before[1 + kMaxInput];
  std::memset(separators_before, 0, integer_length);
  size_t separator_count = 0;
  {
    size_t consumed = 0;
    for (size_t group = 0; integer_length > 0; ++group) {
      size_t size;
      if (group < grouping.count) {
        size = grouping.sizes[group];
      } else if (grouping.repeat_last && grouping.count > 0 && grouping.sizes[grouping.count - 1] > 0) {
        size = grouping.sizes[grouping.count - 1];
      } else {
        break;
      }
      if (consumed + size >= integer_length) break;
      consumed += size;
      ++separators_before[integer_length - consumed];
      ++separator_count;
    }
  }

  // The text is sized once and written in place.
  const std::string_view thousand = format.thousand_separator;
  const std::string_view decimal = format.decimal_separator;
  size_t text_length = integer_length + separator_count * thousand.size();
  if (integer_length == 0 && format.leading_zero != 0) text_length = 1;
  if (format.num_digits > 0) text_length += decimal.size() + format.num_digits;
  if (negative) text_length += (format.negative_order == 1 || format.negative_order == 3) ? 1 : 2;
  std::string& text = *out;
  text.resize(text_length);
  char* p = text.data();
  auto put = [&p](std::string_view piece) {
    for (char c : piece) *p++ = c;
  };
  if (negative) {
    switch (format.negative_order) {
      case 0: *p++ = '('; break;
      case 1: put(kNegativeSign); break;
      case 2: put(kNegativeSign); *p++ = ' '; break;
      default: break;
    }
  }
  if (integer_length == 0) {
    if (format.leading_zero != 0) *p++ = '0';
  } else {
    for (size_t i = 0; i < integer_length; ++i) {
      for (uint8_t s = 0; s < separators_before[i]; ++s) put(thousand);
      *p++ = first[i];
    }
  }
  if (format.num_digits > 0) {
    put(decimal);
    std::memcpy(p, first + integer_length, format.num_digits);
    p += format.num_digits;
  }
  if (negative) {
    switch (format.negative_order) {
      case 0: *p++ = ')'; break;
      case 3: put(kNegativeSign); break;
      case 4: *p++ = ' '; put(kNegativeSign); break;
      default: break;
    }
  }
  return text.size() + 1 <= buffer_chars;
}

}  // namespace trelix

// Regional settings of the process and the number <-> text conversions of
// the automation runtime: the general number format (CStr of a Double) and
// the locale-aware number parser (CDbl of a text).

#include <langinfo.h>
#include <locale.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>

#include "common/com_error.h"
#include "common/vb_internal.h"
#include "common/vb_runtime.h"

namespace trelix::vb {
namespace {

// Languages whose conventions write a decimal comma. Used when the locale
// named by the environment is not installed: glibc would then fall back to
// "C", but the host asked for the conventions of that language, and servers
// rarely carry every locale.
constexpr const char* kCommaLanguages[] = {
    "af", "az", "be", "bg", "bs", "ca", "cs", "da", "de", "el", "es", "et", "eu", "fi", "fo", "fr", "gl",
    "hr", "hu", "hy", "id", "is", "it", "ka", "kk", "ky", "lt", "lv", "mk", "mn", "nb", "nl", "nn", "no",
    "pl", "pt", "ro", "ru", "sk", "sl", "sq", "sr", "sv", "tr", "uk", "uz", "vi"};
// Regions that write a decimal point although their language usually does
// not (and the other way round), as the system locale tables have them.
constexpr const char* kPointRegions[] = {"de_CH", "de_LI", "fr_CH", "it_CH", "es_MX", "es_US", "es_PR",
                                         "es_GT", "es_HN", "es_NI", "es_PA", "es_SV", "es_DO"};

char SeparatorFromLocaleName(std::string_view name) {
  if (name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return '.';
  for (const char* region : kPointRegions) {
    if (name.rfind(region, 0) == 0) return '.';
  }
  std::string_view language = name.substr(0, name.find_first_of("_.@"));
  for (const char* comma : kCommaLanguages) {
    if (language == comma) return ',';
  }
  return '.';
}

char DetectProcessSeparator() {
  if (const char* env = std::getenv("TRELIX_DECIMAL_SEPARATOR"); env && std::strlen(env) == 1) return env[0];
  // A host that already chose its numeric locale has the final word.
  if (const char* current = setlocale(LC_NUMERIC, nullptr);
      current && std::strcmp(current, "C") != 0 && std::strcmp(current, "POSIX") != 0) {
    const char* point = localeconv()->decimal_point;
    if (point && std::strlen(point) == 1) return point[0];
  }
  // Otherwise the environment names it (LC_ALL, LC_NUMERIC, LANG), as it
  // would for setlocale(LC_NUMERIC, "").
  std::string name;
  for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    if (const char* value = std::getenv(variable); value && *value) {
      name = value;
      break;
    }
  }
  if (name.empty()) return '.';
  if (locale_t loc = newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(0))) {
    const char* point = nl_langinfo_l(RADIXCHAR, loc);
    char result = (point && std::strlen(point) == 1) ? point[0] : '.';
    freelocale(loc);
    return result;
  }
  return SeparatorFromLocaleName(name);
}

char ProcessSeparator() {
  static const char separator = DetectProcessSeparator();
  return separator;
}

std::atomic<int> g_separator_override{-1};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// White space as the automation parser sees it: ASCII blanks and controls
// and the no-break spaces. Returns the byte length, 0 when none.
size_t SpaceAt(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c == ' ' || (c >= '\t' && c <= '\r')) return 1;
  if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA0) return 2;
  if (c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
      static_cast<unsigned char>(s[i + 2]) == 0xAF)
    return 3;  // narrow no-break space
  return 0;
}

// The currency symbol of the process conventions: the dollar with a decimal
// point, the euro with a decimal comma (the symbol the parser skips).
std::string_view CurrencySymbol(char decimal) { return decimal == '.' ? "$" : "\xE2\x82\xAC"; }

internal::ParseStatus ParseRadix(std::string_view s, size_t i, bool negative, double* out) {
  const char kind = s[i + 1];
  const unsigned base = (kind == 'h' || kind == 'H') ? 16 : 8;
  i += 2;
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    unsigned d;
    if (IsDigit(c)) d = static_cast<unsigned>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
    else break;
    if (d >= base) return internal::ParseStatus::kMismatch;
    value = value * base + d;
    if (value > 0xFFFFFFFFull) return internal::ParseStatus::kOverflow;
    ++digits;
  }
  if (digits == 0) return internal::ParseStatus::kMismatch;
  while (i < s.size()) {
    size_t len = SpaceAt(s, i);
    if (len == 0) return internal::ParseStatus::kMismatch;
    i += len;
  }
  // 32 bits read as a Long: &HFFFFFFFF is -1.
  double result = static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
  *out = negative ? -result : result;
  return internal::ParseStatus::kOk;
}

}  // namespace

char DecimalSeparator() {
  int value = g_separator_override.load(std::memory_order_relaxed);
  return value >= 0 ? static_cast<char>(value) : ProcessSeparator();
}

char ThousandsSeparator() { return DecimalSeparator() == '.' ? ',' : '.'; }

void SetDecimalSeparatorOverride(std::optional<char> separator) {
  g_separator_override.store(separator ? static_cast<unsigned char>(*separator) : -1, std::memory_order_relaxed);
}

std::string FormatGeneralNumber(double value) { return internal::FormatReal(value, 15); }

size_t FormatGeneralNumberTo(double value, char separator, char* out) {
  static_assert(kGeneralNumberChars >= internal::kRealTextChars);
  return internal::FormatRealTo(value, 15, separator, out);
}

std::optional<double> ParseNumber(std::string_view text) {
  double value;
  if (internal::ParseNumberText(text, &value) != internal::ParseStatus::kOk) return std::nullopt;
  return value;
}

namespace internal {

char DecimalSeparatorOfLocaleName(std::string_view name) { return SeparatorFromLocaleName(name); }

double RoundHalfEven(double value) {
  double floor = std::floor(value);
  double diff = value - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

namespace {

// The significant digits of |value| rounded to at most `digits` digits,
// trailing zeros dropped, and the decimal exponent of the first one.
struct RealDigits {
  bool negative = false;
  int count = 0;
  int exponent = 0;
  char mantissa[24];
};

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

enum class Shortcut { kFound, kNone, kUnknown };

// Values with a short decimal expansion, m / 10^k with a whole m below
// 10^digits (whole numbers are k = 0). Dividing the exact m by the exact
// 10^k gives the double nearest to that decimal; when it is `value`, the
// decimal reads back as `value`, so (see ShortestDigits) its digits are the
// value's digits rounded to `digits` places. Whole numbers and prices stop
// after a step or two. Any such decimal with k <= 22 is found on the way
// (value * 10^k lies within a fraction of a unit of its m), so once
// value * 10^k reaches 10^digits there is none: kNone. Values of 10^digits
// and more, and tiny ones, are left open: kUnknown.
Shortcut ScaledDigits(double value, int digits, RealDigits* d) {
  if (digits < 1 || digits > 15) return Shortcut::kUnknown;
  const double magnitude = std::fabs(value);
  const double limit = kPowersOfTen[digits];
  for (int k = 0; k < static_cast<int>(std::size(kPowersOfTen)); ++k) {
    const double scaled = magnitude * kPowersOfTen[k];
    if (!(scaled < limit)) return k == 0 ? Shortcut::kUnknown : Shortcut::kNone;
    const uint64_t whole = static_cast<uint64_t>(scaled + 0.5);
    if (whole == 0 || static_cast<double>(whole) / kPowersOfTen[k] != magnitude) continue;
    const int length = static_cast<int>(std::to_chars(d->mantissa, d->mantissa + sizeof d->mantissa, whole).ptr -
                                        d->mantissa);
    d->negative = std::signbit(value);
    d->exponent = length - 1 - k;
    d->count = length;
    while (d->count > 1 && d->mantissa[d->count - 1] == '0') --d->count;
    return Shortcut::kFound;
  }
  return Shortcut::kUnknown;
}

// Reads "[-]d[.ddd]e(+|-)XX" as to_chars writes it.
void ReadScientific(const char* p, const char* end, RealDigits* d) {
  d->negative = *p == '-';
  if (d->negative) ++p;
  d->count = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') d->mantissa[d->count++] = *p;
  }
  d->exponent = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), end, d->exponent);  // to_chars does not terminate
}

// The shortest digits that read back as `value` are its digits rounded to
// `digits` places whenever there are at most that many: such a text lies
// within half a unit in the last place of the double, far less than half a
// step between texts of 15 (or fewer) significant digits, so no other text
// of that length is nearer and there is no tie. Subnormals are left out:
// their units in the last place are too coarse for that argument.
bool ShortestDigits(double value, int digits, RealDigits* d) {
  if (digits < 1 || digits > 15 || std::fabs(value) < std::numeric_limits<double>::min()) return false;
  char buf[40];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  if (ec != std::errc()) return false;
  int significant = 0;
  for (const char* p = buf; p != end && *p != 'e'; ++p) significant += (*p >= '0' && *p <= '9');
  if (significant > digits) return false;
  ReadScientific(buf, end, d);
  while (d->count > 1 && d->mantissa[d->count - 1] == '0') --d->count;
  return true;
}

// The exact value rounded to `digits` significant digits, exact ties away
// from zero, as the automation runtime does (654322.25 as a Single is
// "654322.3").
void RoundedDigits(double value, int digits, RealDigits* d) {
  // One digit more than kept, correctly rounded; the last one decides the
  // rounding.
  char buf[96];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, digits);
  (void)ec;  // cannot fail: the buffer holds any double at this precision
  ReadScientific(buf, end, d);
  char* mantissa = d->mantissa;
  int count = d->count;
  char dropped = mantissa[--count];
  if (dropped == '5') {
    // A 5 here may come from below the midpoint; look at the exact digits.
    auto [wide_end, wide_ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, digits + 40);
    (void)wide_ec;
    const char* q = buf + (d->negative ? 1 : 0);
    int seen = 0;
    for (; *q != 'e'; ++q) {
      if (*q == '.') continue;
      if (seen++ == digits) {
        dropped = *q;
        break;
      }
    }
    // Rounding at digits + 41 can carry into the kept digits only when they
    // end in 9s; the first pass already holds the correctly rounded digits.
  }
  if (dropped >= '5') {
    int i = count - 1;
    while (i >= 0 && mantissa[i] == '9') mantissa[i--] = '0';
    if (i >= 0) {
      ++mantissa[i];
    } else {
      mantissa[0] = '1';
      for (int j = 1; j < count; ++j) mantissa[j] = '0';
      ++d->exponent;
    }
  }
  while (count > 1 && mantissa[count - 1] == '0') --count;
  d->count = count;
}

// The general number format of the digits: fixed notation where VB uses
// it, otherwise d.dddE+XX.
size_t LayOut(const RealDigits& d, int digits, char separator, char* out) {
  const char* mantissa = d.mantissa;
  const int count = d.count;
  const int exponent = d.exponent;
  bool exponent_form = exponent < -4 || exponent >= digits;
  if (exponent_form && exponent < 0) {
    // Small magnitudes stay in fixed notation while their digits fit in the
    // fixed-point width (the runtime re-formats them that way).
    int after_point = count - 1;
    int k = after_point > 0 ? after_point - 1 : 0;
    if (-exponent + k < digits) exponent_form = false;
  }

  char* p = out;
  if (d.negative) *p++ = '-';
  if (exponent_form) {
    *p++ = mantissa[0];
    if (count > 1) {
      *p++ = separator;
      std::memcpy(p, mantissa + 1, static_cast<size_t>(count - 1));
      p += count - 1;
    }
    *p++ = 'E';
    *p++ = exponent < 0 ? '-' : '+';
    int magnitude = std::abs(exponent);
    if (magnitude < 10) *p++ = '0';
    p = std::to_chars(p, out + kRealTextChars, magnitude).ptr;
    return static_cast<size_t>(p - out);
  }
  if (exponent >= 0) {
    int integer_digits = exponent + 1;
    for (int i = 0; i < integer_digits; ++i) *p++ = i < count ? mantissa[i] : '0';
    if (count > integer_digits) {
      *p++ = separator;
      std::memcpy(p, mantissa + integer_digits, static_cast<size_t>(count - integer_digits));
      p += count - integer_digits;
    }
    return static_cast<size_t>(p - out);
  }
  *p++ = '0';
  *p++ = separator;
  std::memset(p, '0', static_cast<size_t>(-exponent - 1));
  p += -exponent - 1;
  std::memcpy(p, mantissa, static_cast<size_t>(count));
  p += count;
  return static_cast<size_t>(p - out);
}

}  // namespace

size_t FormatRealTo(double value, int digits, char separator, char* out, RealPath path) {
  if (!std::isfinite(value)) RaiseVbError(kErrOverflow);
  if (value == 0) {  // also -0
    out[0] = '0';
    return 1;
  }
  RealDigits d;
  Shortcut shortcut = Shortcut::kNone;
  if (path == RealPath::kShortcuts) {
    shortcut = ScaledDigits(value, digits, &d);
    if (shortcut == Shortcut::kUnknown) shortcut = ShortestDigits(value, digits, &d) ? Shortcut::kFound : Shortcut::kNone;
  }
  if (shortcut != Shortcut::kFound) RoundedDigits(value, digits, &d);
  return LayOut(d, digits, separator, out);
}

std::string FormatReal(double value, int digits) {
  char text[kRealTextChars];
  // Built on the stack and copied once: the usual texts fit a string's own
  // storage, so most calls allocate nothing.
  return std::string(text, FormatRealTo(value, digits, DecimalSeparator(), text));
}

bool ParsePlainNumber(std::string_view s, char decimal, double* out) {
  // Powers of ten exact in a double; an exact whole number below 2^53
  // divided by one of them is correctly rounded, as the general parser's
  // conversion is.
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                       1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
  if (decimal != '.' && decimal != ',') return false;
  size_t i = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (negative) i = 1;
  uint64_t whole = 0;
  int digits = 0;
  int fraction = -1;  // digits after the separator; -1 before it
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (IsDigit(c)) {
      if (++digits > 19) return false;
      whole = whole * 10 + static_cast<uint64_t>(c - '0');
      if (fraction >= 0) ++fraction;
    } else if (c == decimal && fraction < 0) {
      fraction = 0;
    } else {
      return false;
    }
  }
  if (digits == 0 || whole > (uint64_t{1} << 53)) return false;
  double value = static_cast<double>(whole);
  if (fraction > 0) value /= kPowers[fraction];
  *out = negative ? -value : value;
  return true;
}

ParseStatus ParseNumberText(std::string_view s, double* out) {
  if (ParsePlainNumber(s, DecimalSeparator(), out)) return ParseStatus::kOk;
  return ParseNumberTextGeneral(s, out);
}

ParseStatus ParseNumberTextGeneral(std::string_view s, double* out) {
  const char decimal = DecimalSeparator();
  const char thousands = ThousandsSeparator();
  const std::string_view currency = CurrencySymbol(decimal);
  const size_t n = s.size();
  size_t i = 0;
  bool negative = false, have_sign = false, open_paren = false, have_currency = false;

  // Leading part: blanks, one sign, one "(", one currency symbol.
  while (i < n) {
    if (size_t len = SpaceAt(s, i)) {
      i += len;
    } else if ((s[i] == '+' || s[i] == '-') && !have_sign) {
      have_sign = true;
      negative = s[i] == '-';
      ++i;
    } else if (s[i] == '(' && !open_paren) {
      open_paren = true;
      ++i;
    } else if (!have_currency && s.substr(i, currency.size()) == currency) {
      have_currency = true;
      i += currency.size();
    } else {
      break;
    }
  }
  if (i + 1 < n && s[i] == '&' && !open_paren && !have_currency &&
      (s[i + 1] == 'h' || s[i + 1] == 'H' || s[i + 1] == 'o' || s[i + 1] == 'O')) {
    return ParseRadix(s, i, negative, out);
  }

  // Digits go into an ASCII buffer for the correctly rounded conversion.
  char small[128];
  std::string large;
  char* buf = small;
  size_t capacity = sizeof small, used = 0;
  auto put = [&](char c) {
    if (used == capacity) {
      if (buf == small) large.assign(small, used);
      large.resize(capacity * 2);
      capacity = large.size();
      buf = large.data();
    }
    buf[used++] = c;
  };

  size_t integer_digits = 0, fraction_digits = 0;
  int64_t leading_zero_fraction = 0;  // zeros after the point before the first non-zero digit
  bool nonzero_integer = false, nonzero_fraction = false;
  while (i < n) {
    if (IsDigit(s[i])) {
      if (s[i] != '0') nonzero_integer = true;
      if (nonzero_integer) put(s[i]);
      ++integer_digits;
      ++i;
    } else if (s[i] == thousands && integer_digits > 0) {
      ++i;
    } else {
      break;
    }
  }
  size_t significant_integer = used;
  if (used == 0) put('0');
  if (i < n && s[i] == decimal) {
    ++i;
    while (i < n && IsDigit(s[i])) {
      if (fraction_digits == 0) put('.');
      if (s[i] != '0') nonzero_fraction = true;
      if (!nonzero_fraction) ++leading_zero_fraction;
      put(s[i]);
      ++fraction_digits;
      ++i;
    }
  }
  if (integer_digits + fraction_digits == 0) return ParseStatus::kMismatch;

  int64_t exponent = 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
      exponent_negative = s[i] == '-';
      ++i;
    }
    if (i >= n || !IsDigit(s[i])) return ParseStatus::kMismatch;
    for (; i < n && IsDigit(s[i]); ++i) {
      if (exponent < 100000000) exponent = exponent * 10 + (s[i] - '0');
    }
    if (exponent_negative) exponent = -exponent;
    put('e');
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, exponent);
    (void)ec;
    for (char* d = digits; d != end; ++d) put(*d);
  }

  // Trailing part: blanks, thousands separators, a sign when none led, the
  // ")" of a leading "(", currency symbols.
  bool closed_paren = false;
  while (i < n) {
    if (size_t len = SpaceAt(s, i)) {
      i += len;
    } else if (s[i] == thousands) {
      ++i;
    } else if ((s[i] == '+' || s[i] == '-') && !have_sign) {
      have_sign = true;
      negative = s[i] == '-';
      ++i;
    } else if (s[i] == ')' && open_paren && !closed_paren) {
      closed_paren = true;
      ++i;
    } else if (s.substr(i, currency.size()) == currency) {
      i += currency.size();
    } else {
      return ParseStatus::kMismatch;
    }
  }
  if (open_paren != closed_paren) return ParseStatus::kMismatch;

  double value = 0;
  auto [end, ec] = std::from_chars(buf, buf + used, value);
  if (end != buf + used) return ParseStatus::kMismatch;
  if (ec == std::errc::result_out_of_range) {
    // Out of range either way: decide by the decimal magnitude.
    if (!nonzero_integer && !nonzero_fraction) {
      value = 0;
    } else {
      int64_t magnitude = nonzero_integer ? static_cast<int64_t>(significant_integer) + exponent
                                          : exponent - leading_zero_fraction;
      if (magnitude > 0) return ParseStatus::kOverflow;
      value = 0;
    }
  } else if (!std::isfinite(value)) {
    return ParseStatus::kOverflow;
  }
  if (open_paren) negative = true;  // "(5)" is -5, as accounting writes it
  *out = negative ? -value : value;
  return ParseStatus::kOk;
}

}  // namespace internal
}  // namespace trelix::vb

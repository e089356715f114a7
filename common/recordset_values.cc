#include "common/recordset_values.h"

#include <unicode/unistr.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "common/com_error.h"
#include "common/vb_runtime.h"

namespace trelix::recordset_internal {

bool IsSupportedType(DataType type) {
  switch (type) {
    case DataType::kSmallInt:
    case DataType::kInteger:
    case DataType::kSingle:
    case DataType::kDouble:
    case DataType::kCurrency:
    case DataType::kDate:
    case DataType::kBSTR:
    case DataType::kBoolean:
    case DataType::kVariant:
    case DataType::kDecimal:
    case DataType::kTinyInt:
    case DataType::kUnsignedTinyInt:
    case DataType::kBigInt:
    case DataType::kGUID:
    case DataType::kBinary:
    case DataType::kChar:
    case DataType::kNumeric:
    case DataType::kDBTimeStamp:
    case DataType::kChapter:
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kVarWChar:
    case DataType::kLongVarWChar:
      return true;
    default:
      return false;
  }
}

FieldClass ClassOf(DataType type) {
  switch (type) {
    case DataType::kSmallInt:
    case DataType::kInteger:
    case DataType::kTinyInt:
    case DataType::kUnsignedTinyInt:
    case DataType::kBigInt:
      return FieldClass::kInteger;
    case DataType::kSingle:
    case DataType::kDouble:
    case DataType::kDecimal:
    case DataType::kNumeric:
      return FieldClass::kReal;
    case DataType::kCurrency:
      return FieldClass::kCurrency;
    case DataType::kDate:
    case DataType::kDBTimeStamp:
      return FieldClass::kDate;
    case DataType::kBoolean:
      return FieldClass::kBoolean;
    case DataType::kBinary:
      return FieldClass::kBinary;
    case DataType::kChapter:
      return FieldClass::kChapter;
    case DataType::kVariant:
    case DataType::kEmpty:
      return FieldClass::kVariant;
    default:
      return FieldClass::kText;
  }
}

int32_t FixedSizeOf(DataType type) {
  switch (type) {
    case DataType::kTinyInt:
    case DataType::kUnsignedTinyInt:
      return 1;
    case DataType::kSmallInt:
    case DataType::kBoolean:
      return 2;
    case DataType::kInteger:
    case DataType::kSingle:
      return 4;
    case DataType::kDouble:
    case DataType::kCurrency:
    case DataType::kDate:
    case DataType::kBigInt:
      return 8;
    case DataType::kDecimal:
    case DataType::kGUID:
    case DataType::kDBTimeStamp:
    case DataType::kVariant:
      return 16;
    case DataType::kNumeric:
      return 19;
    default:
      return 0;
  }
}

namespace {

const char* AdoDescription(int32_t number) {
  switch (number) {
    case kErrArguments:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";
    case kErrNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
             "current record.";
    case kErrNotSupported:
      return "Current Recordset does not support updating. This may be a limitation of the provider, or of the "
             "selected locktype.";
    case kErrItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case kErrCannotAppend:
      return "Cannot append. Object already in collection.";
    case kErrObjectClosed:
      return "Operation is not allowed when the object is closed.";
    case kErrObjectOpen:
      return "Operation is not allowed when the object is open.";
    case kErrMultipleStep:
      return "Multiple-step operation generated errors. Check each status value.";
    default:
      return "Application-defined or object-defined error";
  }
}

}  // namespace

void RaiseAdo(int32_t number, const char* source) { throw ComError(number, source, AdoDescription(number)); }

void RaiseAdo(int32_t number, const char* source, std::string description) {
  throw ComError(number, source, std::move(description));
}

// --- Text --------------------------------------------------------------------

namespace {

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

inline unsigned char AsciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

int CompareBytes(std::string_view a, std::string_view b) {
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

void FoldCase(std::string_view text, std::string& out) {
  out.clear();
  if (IsAscii(text)) {
    out.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(AsciiLower(static_cast<unsigned char>(text[i])));
    return;
  }
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  u.foldCase();
  u.toUTF8String(out);
}

std::string FoldCase(std::string_view text) {
  std::string out;
  FoldCase(text, out);
  return out;
}

int CompareWithFolded(std::string_view raw, std::string_view folded) {
  size_t n = std::min(raw.size(), folded.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char r = static_cast<unsigned char>(raw[i]);
    unsigned char f = static_cast<unsigned char>(folded[i]);
    if (r >= 0x80 || f >= 0x80) {
      // Folding is per character, so the ASCII prefix compared so far is
      // the same in the folded form; compare the rest of the folded text.
      thread_local std::string buffer;
      FoldCase(raw.substr(i), buffer);
      return CompareBytes(buffer, folded.substr(i));
    }
    r = AsciiLower(r);
    if (r != f) return r < f ? -1 : 1;
  }
  if (raw.size() > n) {
    // A non-ASCII tail of the raw text may fold to nothing shorter, never to
    // an empty text, so the raw text is longer: greater.
    return 1;
  }
  return folded.size() > n ? -1 : 0;
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) {
      thread_local std::string fa, fb;
      FoldCase(a.substr(i), fa);
      FoldCase(b.substr(i), fb);
      return CompareBytes(fa, fb);
    }
    x = AsciiLower(x);
    y = AsciiLower(y);
    if (x != y) return x < y ? -1 : 1;
  }
  // No character folds to nothing, so the longer text is the greater.
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() == b.size()) {
    bool ascii = true;
    for (size_t i = 0; i < a.size(); ++i) {
      unsigned char x = static_cast<unsigned char>(a[i]);
      unsigned char y = static_cast<unsigned char>(b[i]);
      if (x >= 0x80 || y >= 0x80) {
        ascii = false;
        break;
      }
      if (AsciiLower(x) != AsciiLower(y)) return false;
    }
    if (ascii) return true;
  } else if (IsAscii(a) && IsAscii(b)) {
    return false;
  }
  return CompareIgnoreCase(a, b) == 0;
}

int32_t Utf16Length(std::string_view text) {
  int32_t units = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++units;  // a lead byte or an ASCII byte starts a code point
    if ((c & 0xF8) == 0xF0) ++units;  // four-byte sequences need a surrogate pair
  }
  return units;
}

// --- Numbers --------------------------------------------------------------------

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  // from_chars takes no sign or '+' exponent issues: it accepts "1e+5".
  unsigned char first = static_cast<unsigned char>(text.front());
  if (!(std::isdigit(first) || first == '.')) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

std::optional<Currency> ParseCurrency(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  // Plain decimal text is read exactly; anything else (exponents) via double.
  __int128 scaled = 0;
  int decimals = -1;
  bool digits = false;
  int round_digit = -1;
  bool sticky = false;
  for (char c : text) {
    if (c == '.') {
      if (decimals >= 0) return std::nullopt;
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') {
      auto d = ParseDecimal(text);
      if (!d) return std::nullopt;
      double v = negative ? -*d : *d;
      if (!(std::fabs(v) < 922337203685477.0)) return std::nullopt;
      return Currency::FromDouble(v);
    }
    digits = true;
    if (decimals >= 4) {
      if (round_digit < 0) {
        round_digit = c - '0';
      } else if (c != '0') {
        sticky = true;
      }
      continue;
    }
    scaled = scaled * 10 + (c - '0');
    if (scaled > (static_cast<__int128>(1) << 70)) return std::nullopt;
    if (decimals >= 0) ++decimals;
  }
  if (!digits) return std::nullopt;
  for (int d = std::max(decimals, 0); d < 4; ++d) scaled *= 10;
  if (round_digit > 5 || (round_digit == 5 && (sticky || (scaled & 1)))) ++scaled;
  if (negative) scaled = -scaled;
  if (scaled > std::numeric_limits<int64_t>::max() || scaled < std::numeric_limits<int64_t>::min()) return std::nullopt;
  return Currency{static_cast<int64_t>(scaled)};
}

std::string FormatRoundTrip(double value) {
  if (value == 0) return "0";
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, ec == std::errc() ? end : buffer);
}

std::string FormatRoundTrip(float value) {
  if (value == 0) return "0";
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, ec == std::errc() ? end : buffer);
}

std::string FormatCurrency(Currency value) {
  uint64_t magnitude = value.scaled < 0 ? 0 - static_cast<uint64_t>(value.scaled) : static_cast<uint64_t>(value.scaled);
  std::string text = value.scaled < 0 ? "-" : "";
  text += std::to_string(magnitude / 10000);
  uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(fraction));
    std::string_view f(digits, 4);
    while (f.back() == '0') f.remove_suffix(1);
    text += '.';
    text += f;
  }
  return text;
}

namespace {

std::string FormatSignificant(double value, int digits) {
  if (value == 0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*G", digits, value);
  std::string text(buffer);
  // "%G" writes "1E+16"; the general number form writes the same, but never
  // a '+' for a lone exponent digit pair beyond what VB shows ("1E-05").
  return text;
}

}  // namespace

std::string FormatGeneral(double value) { return FormatSignificant(value, 15); }

// --- Dates ------------------------------------------------------------------------

namespace {

constexpr int64_t kMsPerDay = 86400000;

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
unsigned DaysInMonth(int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// An OLE date from a calendar day and milliseconds into the day. Before the
// epoch the time part counts away from zero, as OLE dates do.
double MakeOleDate(int64_t y, unsigned m, unsigned d, int64_t ms) {
  int64_t day = DaysFromCivil(y, m, d) - kOleEpoch;
  double fraction = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

struct Broken {
  int64_t year;
  unsigned month, day;
  int64_t ms;  // into the day
};

Broken BreakOleDate(double ole) {
  double whole = std::trunc(ole);
  int64_t day = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(ole - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    day += 1;
  }
  Broken b{};
  CivilFromDays(day + kOleEpoch, b.year, b.month, b.day);
  b.ms = ms;
  return b;
}

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}
  bool AtEnd() const { return i_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[i_]; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++i_;
    return true;
  }
  void SkipBlanks() {
    while (Peek() == ' ' || Peek() == '\t') ++i_;
  }
  // Up to `max` digits; false when there is none.
  bool Number(int64_t& value, int max, int* count = nullptr) {
    int n = 0;
    value = 0;
    while (n < max && Peek() >= '0' && Peek() <= '9') {
      value = value * 10 + (text_[i_++] - '0');
      ++n;
    }
    if (count) *count = n;
    return n > 0;
  }
  bool TakeWordIgnoreCase(std::string_view word) {
    if (text_.size() - i_ < word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k) {
      if (AsciiLower(static_cast<unsigned char>(text_[i_ + k])) != word[k]) return false;
    }
    i_ += word.size();
    return true;
  }

 private:
  std::string_view text_;
  size_t i_ = 0;
};

// "h:mm[:ss[.fff]] [AM|PM]" into milliseconds.
bool ParseTime(Scanner& s, int64_t& ms) {
  int64_t h = 0, mi = 0, sec = 0;
  if (!s.Number(h, 2) || !s.Take(':') || !s.Number(mi, 2)) return false;
  int64_t fraction_ms = 0;
  if (s.Take(':')) {
    if (!s.Number(sec, 2)) return false;
    if (s.Take('.')) {
      int64_t digits = 0;
      int count = 0;
      if (!s.Number(digits, 9, &count)) return false;
      while (count < 9) {
        digits *= 10;
        ++count;
      }
      fraction_ms = (digits + 500000) / 1000000;
    }
  }
  s.SkipBlanks();
  bool pm = false, am = false;
  if (s.TakeWordIgnoreCase("pm")) {
    pm = true;
  } else if (s.TakeWordIgnoreCase("am")) {
    am = true;
  }
  if (am || pm) {
    if (h < 1 || h > 12) return false;
    if (h == 12) h = 0;
    if (pm) h += 12;
  }
  if (h > 23 || mi > 59 || sec > 59) return false;
  ms = ((h * 60 + mi) * 60 + sec) * 1000 + fraction_ms;
  return true;
}

}  // namespace

std::optional<double> ParseDate(std::string_view text) {
  text = TrimBlanks(text);
  Scanner s(text);
  int64_t a = 0, b = 0, c = 0;
  int count = 0;
  int64_t y = 0, mo = 0, d = 0, ms = 0;
  if (!s.Number(a, 4, &count)) return std::nullopt;
  if (count == 4 && s.Take('-')) {
    // ISO form.
    y = a;
    if (!s.Number(mo, 2) || !s.Take('-') || !s.Number(d, 2)) return std::nullopt;
    if (s.Take('T') || s.Take(' ')) {
      s.SkipBlanks();
      if (!ParseTime(s, ms)) return std::nullopt;
    }
    if (!s.Take('Z') && (s.Peek() == '+' || s.Peek() == '-')) {
      // A zone offset: the value is local time, the offset is dropped.
      s.Take(s.Peek());
      int64_t oh = 0, om = 0;
      if (!s.Number(oh, 2) || !s.Take(':') || !s.Number(om, 2)) return std::nullopt;
    }
  } else if (s.Take('/')) {
    mo = a;
    if (!s.Number(b, 2) || !s.Take('/') || !s.Number(c, 4, &count)) return std::nullopt;
    d = b;
    y = c;
    if (count <= 2) y += c < 30 ? 2000 : 1900;
    s.SkipBlanks();
    if (!s.AtEnd() && !ParseTime(s, ms)) return std::nullopt;
  } else if (count <= 2 && s.Peek() == ':') {
    Scanner t(text);
    if (!ParseTime(t, ms)) return std::nullopt;
    t.SkipBlanks();
    if (!t.AtEnd()) return std::nullopt;
    return static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  } else {
    return std::nullopt;
  }
  s.SkipBlanks();
  if (!s.AtEnd()) return std::nullopt;
  if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, static_cast<unsigned>(mo))) {
    return std::nullopt;
  }
  return MakeOleDate(y, static_cast<unsigned>(mo), static_cast<unsigned>(d), ms);
}

std::string FormatIsoDate(double ole_date) {
  Broken b = BreakOleDate(ole_date);
  char buffer[48];
  int64_t sec = b.ms / 1000;
  int n = std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(b.year),
                        b.month, b.day, static_cast<long long>(sec / 3600), static_cast<long long>(sec / 60 % 60),
                        static_cast<long long>(sec % 60));
  std::string text(buffer, static_cast<size_t>(n));
  if (int64_t millis = b.ms % 1000; millis != 0) {
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03lld", static_cast<long long>(millis));
    text += fraction;
  }
  return text;
}

std::string FormatGeneralDate(double ole_date) {
  Broken b = BreakOleDate(ole_date);
  std::string text;
  char buffer[48];
  bool has_date = std::trunc(ole_date) != 0;
  if (has_date || b.ms == 0) {
    std::snprintf(buffer, sizeof buffer, "%u/%u/%lld", b.month, b.day, static_cast<long long>(b.year));
    text = buffer;
  }
  if (b.ms != 0) {
    int64_t sec = (b.ms + 500) / 1000;
    int64_t h = sec / 3600 % 24;
    int64_t h12 = h % 12 == 0 ? 12 : h % 12;
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld %s", static_cast<long long>(h12),
                  static_cast<long long>(sec / 60 % 60), static_cast<long long>(sec % 60), h < 12 ? "AM" : "PM");
    if (!text.empty()) text += ' ';
    text += buffer;
  }
  return text;
}

// --- Conversion ----------------------------------------------------------------------

bool IsNullable(const FieldInfo& field) {
  // Attributes -1 (unspecified), as fabricated fields are appended, accept Null.
  if (field.attributes == -1) return field.nullable;
  return field.nullable && (field.attributes & (0x20 | 0x40)) != 0;
}

namespace {

[[noreturn]] void MultipleStep() { RaiseAdo(kErrMultipleStep, "ADODB.Field"); }

double RealOf(const Variant& value) {
  switch (value.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
    case VarType::kBoolean:
      return static_cast<double>(value.integer());
    case VarType::kCurrency:
      return value.currency().ToDouble();
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kDecimal:
    case VarType::kDate:
      return value.real();
    case VarType::kString: {
      // Text written into a number field reads in the process's regional
      // settings, as the conversion of a text variant does.
      auto d = vb::ParseNumber(value.string());
      if (!d) RaiseVbError(kErrTypeMismatch);
      return *d;
    }
    default:
      RaiseVbError(kErrTypeMismatch);
  }
}

Variant ToInteger(DataType type, const Variant& value) {
  int64_t n = 0;
  bool exact_integer = false;
  switch (value.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
    case VarType::kBoolean:
      n = value.integer();
      exact_integer = true;
      break;
    default:
      break;
  }
  if (!exact_integer) {
    double d = std::nearbyint(RealOf(value));  // half to even, as automation rounds
    if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)) MultipleStep();
    n = static_cast<int64_t>(d);
  }
  switch (type) {
    case DataType::kSmallInt:
      if (n < INT16_MIN || n > INT16_MAX) MultipleStep();
      return Variant(static_cast<int16_t>(n));
    case DataType::kTinyInt:
      if (n < INT8_MIN || n > INT8_MAX) MultipleStep();
      return Variant(static_cast<int16_t>(n));
    case DataType::kUnsignedTinyInt:
      if (n < 0 || n > UINT8_MAX) MultipleStep();
      return Variant(static_cast<uint8_t>(n));
    case DataType::kInteger:
      if (n < INT32_MIN || n > INT32_MAX) MultipleStep();
      return Variant(static_cast<int32_t>(n));
    default:
      return Variant(n);
  }
}

std::string TextOf(const Variant& value) {
  switch (value.type()) {
    case VarType::kString:
      return value.string();
    case VarType::kBoolean:
      return value.boolean() ? "True" : "False";
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
      return std::to_string(value.integer());
    case VarType::kCurrency:
      return FormatCurrency(value.currency());
    case VarType::kSingle:
      return FormatSignificant(value.real(), 7);
    case VarType::kDouble:
    case VarType::kDecimal:
      return FormatGeneral(value.real());
    case VarType::kDate:
      return FormatGeneralDate(value.real());
    default:
      RaiseVbError(kErrTypeMismatch);
  }
}

}  // namespace

bool StoredAsIs(const FieldInfo& field, const Variant& value) {
  switch (value.type()) {
    case VarType::kNull:
      return IsNullable(field);
    case VarType::kString:
      if (ClassOf(field.type) == FieldClass::kVariant) return true;
      // Longer in bytes than the size may still fit in UTF-16 units; the
      // full conversion decides.
      return ClassOf(field.type) == FieldClass::kText &&
             (field.defined_size <= 0 || field.type == DataType::kBSTR || field.type == DataType::kGUID ||
              static_cast<int64_t>(value.string().size()) <= field.defined_size);
    case VarType::kLong:
      return field.type == DataType::kInteger || ClassOf(field.type) == FieldClass::kVariant;
    case VarType::kLongLong:
      return field.type == DataType::kBigInt || ClassOf(field.type) == FieldClass::kVariant;
    default:
      return false;
  }
}

Variant CoerceToField(const FieldInfo& field, const Variant& value) {
  if (value.IsEmpty() || value.IsNull()) {
    if (!IsNullable(field)) MultipleStep();
    return Variant::Null();
  }
  const FieldClass cls = ClassOf(field.type);
  if (cls == FieldClass::kVariant) return value;
  if (cls == FieldClass::kChapter) {
    if (value.IsObject()) {
      if (value.IsNothing() || value.As<Recordset>()) return value;
    }
    RaiseVbError(kErrTypeMismatch);
  }
  if (value.IsObject() || value.IsArray() || value.type() == VarType::kError) {
    // A byte array is the one array a binary field takes.
    if (cls == FieldClass::kBinary && value.IsArray()) {
      std::string bytes;
      for (const Variant& item : value.array()->items) {
        int64_t b = item.IsNumericType() ? static_cast<int64_t>(RealOf(item)) : -1;
        if (b < 0 || b > 255) RaiseVbError(kErrTypeMismatch);
        bytes.push_back(static_cast<char>(b));
      }
      if (field.defined_size > 0 && static_cast<int64_t>(bytes.size()) > field.defined_size) MultipleStep();
      return Variant(std::move(bytes));
    }
    RaiseVbError(kErrTypeMismatch);
  }
  switch (cls) {
    case FieldClass::kText: {
      if (value.IsString()) {
        const std::string& text = value.string();
        if (field.defined_size > 0 && field.type != DataType::kBSTR && field.type != DataType::kGUID &&
            static_cast<int64_t>(text.size()) > field.defined_size && Utf16Length(text) > field.defined_size) {
          MultipleStep();
        }
        return value;
      }
      // A number or date written into a text field takes its text form in
      // the process's regional settings, as VB's CStr gives it.
      std::string text = vb::CStr(value);
      if (field.defined_size > 0 && field.type != DataType::kBSTR && Utf16Length(text) > field.defined_size) {
        MultipleStep();
      }
      return Variant(std::move(text));
    }
    case FieldClass::kBinary: {
      std::string bytes = value.IsString() ? value.string() : TextOf(value);
      if (field.defined_size > 0 && static_cast<int64_t>(bytes.size()) > field.defined_size) MultipleStep();
      return Variant(std::move(bytes));
    }
    case FieldClass::kInteger:
      return ToInteger(field.type, value);
    case FieldClass::kReal: {
      double d = RealOf(value);
      if (field.type == DataType::kSingle) {
        if (std::fabs(d) > std::numeric_limits<float>::max()) MultipleStep();
        return Variant(static_cast<float>(d));
      }
      if (field.type == DataType::kDouble) return Variant(d);
      return Variant::Decimal(d);
    }
    case FieldClass::kCurrency: {
      if (value.type() == VarType::kCurrency) return value;
      if (value.IsString()) {
        // Read exactly where the text is plain decimal in the regional settings.
        if (vb::DecimalSeparator() == '.') {
          if (auto c = ParseCurrency(value.string())) return Variant(*c);
        }
        return Variant(vb::CCur(value));
      }
      double d = RealOf(value);
      if (!(std::fabs(d) < 922337203685477.5807)) MultipleStep();
      return Variant(Currency::FromDouble(d));
    }
    case FieldClass::kDate: {
      double d;
      if (value.IsString()) {
        auto parsed = ParseDate(value.string());
        d = parsed ? *parsed : vb::CDate(value);  // other date texts as VB reads them
      } else {
        d = RealOf(value);
      }
      // The OLE date range: 1/1/100 to 12/31/9999.
      if (!(d >= -657434.0 && d < 2958466.0)) MultipleStep();
      return Variant::Date(d);
    }
    case FieldClass::kBoolean: {
      if (value.IsString()) {
        const std::string& text = value.string();
        std::string_view t = TrimBlanks(text);
        if (EqualsIgnoreCase(t, "true")) return Variant(true);
        if (EqualsIgnoreCase(t, "false")) return Variant(false);
        auto d = vb::ParseNumber(t);
        if (!d) RaiseVbError(kErrTypeMismatch);
        return Variant(*d != 0);
      }
      return Variant(RealOf(value) != 0);
    }
    default:
      RaiseVbError(kErrTypeMismatch);
  }
}

std::string DisplayText(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return "";
    case VarType::kObject:
      return value.IsNothing() ? "Nothing" : value.object()->TypeName();
    case VarType::kArray:
      return "(array)";
    case VarType::kError:
      return "Error " + std::to_string(value.integer());
    default:
      return TextOf(value);
  }
}

std::optional<double> NumericOf(const Variant& value) {
  switch (value.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte:
    case VarType::kBoolean:
      return static_cast<double>(value.integer());
    case VarType::kCurrency:
      return value.currency().ToDouble();
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kDecimal:
    case VarType::kDate:
      return value.real();
    default:
      return std::nullopt;
  }
}

}  // namespace trelix::recordset_internal

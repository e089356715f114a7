#include "common/vbscript_functions.h"

#include <unicode/utf16.h>

#include <cmath>
#include <ctime>
#include <string>
#include <unordered_map>

#include "common/com_error.h"
#include "common/vb_internal.h"
#include "common/vb_runtime.h"
#include "common/vbscript_engine.h"
#include "common/vbscript_operators.h"

namespace trelix::vbscript {
namespace {

using Args = std::vector<Variant>;

// Texts longer than this are refused ("Out of memory") instead of letting
// an expression make the process allocate without bound.
constexpr int64_t kMaxTextLength = int64_t{1} << 28;

bool Has(const Args& args, size_t index) { return args.size() > index; }

vb::CompareMode CompareArg(const Args& args, size_t index) {
  if (!Has(args, index)) return vb::CompareMode::kBinary;
  int32_t mode = vb::CLng(args[index]);
  if (mode != 0 && mode != 1) RaiseVbError(kErrInvalidProcedureCall);
  return mode == 1 ? vb::CompareMode::kText : vb::CompareMode::kBinary;
}

// --- Conversions ---------------------------------------------------------------

Variant FnCStr(Args& a, ScriptEngine&) { return Variant(vb::CStr(a[0])); }
Variant FnCDbl(Args& a, ScriptEngine&) { return Variant(vb::CDbl(a[0])); }
Variant FnCInt(Args& a, ScriptEngine&) { return Variant(vb::CInt(a[0])); }
Variant FnCLng(Args& a, ScriptEngine&) { return Variant(vb::CLng(a[0])); }
Variant FnCByte(Args& a, ScriptEngine&) { return Variant(vb::CByte(a[0])); }
Variant FnCSng(Args& a, ScriptEngine&) { return Variant(vb::CSng(a[0])); }
Variant FnCCur(Args& a, ScriptEngine&) { return Variant(vb::CCur(a[0])); }
Variant FnCBool(Args& a, ScriptEngine&) { return Variant(vb::CBool(a[0])); }
Variant FnCDate(Args& a, ScriptEngine&) { return Variant::Date(vb::CDate(a[0])); }

// --- Text ----------------------------------------------------------------------

Variant FnLen(Args& a, ScriptEngine&) {
  if (a[0].IsNull()) return a[0];
  return Variant(vb::Len(vb::CStr(a[0])));
}

Variant FnLeft(Args& a, ScriptEngine&) {
  int32_t length = vb::CLng(a[1]);
  if (a[0].IsNull()) return a[0];
  return Variant(vb::Left(vb::CStr(a[0]), length));
}

Variant FnRight(Args& a, ScriptEngine&) {
  int32_t length = vb::CLng(a[1]);
  if (a[0].IsNull()) return a[0];
  return Variant(vb::Right(vb::CStr(a[0]), length));
}

Variant FnMid(Args& a, ScriptEngine&) {
  int32_t start = vb::CLng(a[1]);
  int32_t length = Has(a, 2) ? vb::CLng(a[2]) : -1;
  if (Has(a, 2) && length < 0) RaiseVbError(kErrInvalidProcedureCall);
  if (a[0].IsNull()) return a[0];
  return Variant(vb::Mid(vb::CStr(a[0]), start, length));
}

template <std::string (*F)(std::string_view)>
Variant TextFunction(Args& a, ScriptEngine&) {
  if (a[0].IsNull()) return a[0];
  return Variant(F(vb::CStr(a[0])));
}

Variant FnInStr(Args& a, ScriptEngine&) {
  // InStr([start,] string1, string2 [, compare])
  const bool with_start = a.size() >= 3;
  int32_t start = with_start ? vb::CLng(a[0]) : 1;
  const Variant& haystack = a[with_start ? 1 : 0];
  const Variant& needle = a[with_start ? 2 : 1];
  vb::CompareMode compare = CompareArg(a, 3);
  if (start < 1) RaiseVbError(kErrInvalidProcedureCall);
  if (haystack.IsNull() || needle.IsNull()) return Variant::Null();
  return Variant(vb::InStr(start, vb::CStr(haystack), vb::CStr(needle), compare));
}

Variant FnInStrRev(Args& a, ScriptEngine&) {
  // InStrRev(string1, string2 [, start [, compare]])
  int32_t start = Has(a, 2) ? vb::CLng(a[2]) : -1;
  vb::CompareMode compare = CompareArg(a, 3);
  if (start == 0 || start < -1) RaiseVbError(kErrInvalidProcedureCall);
  if (a[0].IsNull() || a[1].IsNull()) return Variant::Null();
  std::u16string haystack = vb::internal::ToUtf16(vb::CStr(a[0]));
  std::u16string needle = vb::internal::ToUtf16(vb::CStr(a[1]));
  if (compare == vb::CompareMode::kText) {
    haystack = vb::internal::FoldCase(haystack);
    needle = vb::internal::FoldCase(needle);
  }
  size_t limit = start == -1 ? haystack.size() : static_cast<size_t>(start);
  if (limit > haystack.size()) return Variant(int32_t{0});
  if (needle.empty()) return Variant(static_cast<int32_t>(limit));
  if (needle.size() > limit) return Variant(int32_t{0});
  size_t found = haystack.rfind(needle, limit - needle.size());
  return Variant(found == std::u16string::npos ? int32_t{0} : static_cast<int32_t>(found + 1));
}

Variant FnReplace(Args& a, ScriptEngine&) {
  for (const Variant& arg : a) {
    if (arg.IsNull()) RaiseVbError(kErrInvalidUseOfNull);
  }
  int32_t start = Has(a, 3) ? vb::CLng(a[3]) : 1;
  int32_t count = Has(a, 4) ? vb::CLng(a[4]) : -1;
  return Variant(vb::Replace(vb::CStr(a[0]), vb::CStr(a[1]), vb::CStr(a[2]), start, count, CompareArg(a, 5)));
}

Variant FnStrComp(Args& a, ScriptEngine&) {
  vb::CompareMode compare = CompareArg(a, 2);
  if (a[0].IsNull() || a[1].IsNull()) return Variant::Null();
  return Variant(static_cast<int16_t>(vb::StrComp(vb::CStr(a[0]), vb::CStr(a[1]), compare)));
}

Variant FnStrReverse(Args& a, ScriptEngine&) {
  std::u16string text = vb::internal::ToUtf16(vb::CStr(a[0]));
  std::u16string out;
  out.reserve(text.size());
  // Reversed by characters: a surrogate pair stays in order.
  for (size_t end = text.size(); end > 0;) {
    size_t start = end - 1;
    if (start > 0 && U16_IS_TRAIL(text[start]) && U16_IS_LEAD(text[start - 1])) --start;
    out.append(text, start, end - start);
    end = start;
  }
  return Variant(vb::internal::ToUtf8(out));
}

int64_t LengthArg(const Variant& v) {
  int64_t length = vb::CLng(v);
  if (length < 0) RaiseVbError(kErrInvalidProcedureCall);
  if (length > kMaxTextLength) RaiseVbError(7);
  return length;
}

Variant FnSpace(Args& a, ScriptEngine&) { return Variant(std::string(static_cast<size_t>(LengthArg(a[0])), ' ')); }

std::string CharacterText(int32_t code);

Variant FnString(Args& a, ScriptEngine&) {
  if (a[0].IsNull() || a[1].IsNull()) return Variant::Null();
  int64_t length = LengthArg(a[0]);
  std::string unit;
  if (a[1].IsString()) {
    if (a[1].string().empty()) RaiseVbError(kErrInvalidProcedureCall);
    std::u16string first = vb::internal::ToUtf16(a[1].string());
    size_t units = U16_IS_LEAD(first[0]) && first.size() > 1 ? 2 : 1;
    unit = vb::internal::ToUtf8(std::u16string_view(first).substr(0, units));
  } else {
    int32_t code = vb::CLng(a[1]) % 256;  // character codes wrap, as String(3, 321) is "AAA"
    unit = CharacterText(code < 0 ? code + 256 : code);
  }
  if (static_cast<int64_t>(unit.size()) * length > kMaxTextLength) RaiseVbError(7);
  std::string out;
  out.reserve(unit.size() * static_cast<size_t>(length));
  for (int64_t i = 0; i < length; ++i) out += unit;
  return Variant(std::move(out));
}

// Windows-1252, the code page Chr and Asc work in: 0x80..0x9F differ from
// Latin-1 (the undefined five map to themselves, as the system does).
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string CharacterText(int32_t code) {
  char16_t unit = (code >= 0x80 && code <= 0x9F) ? kCp1252High[code - 0x80] : static_cast<char16_t>(code);
  return vb::internal::ToUtf8(std::u16string_view(&unit, 1));
}

Variant FnChr(Args& a, ScriptEngine&) {
  int32_t code = vb::CLng(a[0]);
  if (code < 0 || code > 255) RaiseVbError(kErrInvalidProcedureCall);
  return Variant(CharacterText(code));
}

Variant FnChrW(Args& a, ScriptEngine&) {
  int32_t code = vb::CLng(a[0]);
  if (code < -32768 || code > 65535) RaiseVbError(kErrInvalidProcedureCall);
  char16_t unit = static_cast<char16_t>(code < 0 ? code + 65536 : code);
  return Variant(vb::internal::ToUtf8(std::u16string_view(&unit, 1)));  // a lone surrogate becomes U+FFFD
}

Variant FnAsc(Args& a, ScriptEngine&) {
  std::u16string text = vb::internal::ToUtf16(vb::CStr(a[0]));
  if (text.empty()) RaiseVbError(kErrInvalidProcedureCall);
  char16_t unit = text[0];
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return Variant(static_cast<int16_t>(unit));
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == unit) return Variant(static_cast<int16_t>(0x80 + i));
  }
  return Variant(int16_t{'?'});  // not in the code page
}

Variant FnAscW(Args& a, ScriptEngine&) {
  std::u16string text = vb::internal::ToUtf16(vb::CStr(a[0]));
  if (text.empty()) RaiseVbError(kErrInvalidProcedureCall);
  return Variant(static_cast<int16_t>(text[0]));
}

// --- Math -----------------------------------------------------------------------

Variant NumericValue(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty: return Variant(int16_t{0});
    case VarType::kBoolean: return Variant(static_cast<int16_t>(v.integer()));
    case VarType::kString: return Variant(vb::CDbl(v));
    case VarType::kObject: return NumericValue(vb::internal::DefaultValue(v));
    case VarType::kArray:
    case VarType::kError: RaiseVbError(kErrTypeMismatch);
    default: return v;
  }
}

Variant FnAbs(Args& a, ScriptEngine&) {
  if (a[0].IsNull()) return a[0];
  Variant value = NumericValue(a[0]);
  if (value.type() == VarType::kDate) value = Variant(value.real());
  return *vb::Compare(value, Variant(int16_t{0})) < 0 ? Negate(value) : value;
}

Variant FnInt(Args& a, ScriptEngine&) { return vb::Int(a[0]); }
Variant FnFix(Args& a, ScriptEngine&) { return vb::Fix(a[0]); }

Variant FnSgn(Args& a, ScriptEngine&) {
  if (a[0].IsNull()) RaiseVbError(kErrInvalidUseOfNull);
  return Variant(static_cast<int16_t>(*vb::Compare(NumericValue(a[0]), Variant(int16_t{0}))));
}

Variant RealOrError(double value) {
  if (std::isnan(value)) RaiseVbError(kErrInvalidProcedureCall);
  if (!std::isfinite(value)) RaiseVbError(kErrOverflow);
  return Variant(value);
}

Variant FnSqr(Args& a, ScriptEngine&) {
  double x = vb::CDbl(a[0]);
  if (x < 0) RaiseVbError(kErrInvalidProcedureCall);
  return Variant(std::sqrt(x));
}

Variant FnExp(Args& a, ScriptEngine&) { return RealOrError(std::exp(vb::CDbl(a[0]))); }

Variant FnLog(Args& a, ScriptEngine&) {
  double x = vb::CDbl(a[0]);
  if (x <= 0) RaiseVbError(kErrInvalidProcedureCall);
  return Variant(std::log(x));
}

Variant FnSin(Args& a, ScriptEngine&) { return RealOrError(std::sin(vb::CDbl(a[0]))); }
Variant FnCos(Args& a, ScriptEngine&) { return RealOrError(std::cos(vb::CDbl(a[0]))); }
Variant FnTan(Args& a, ScriptEngine&) { return RealOrError(std::tan(vb::CDbl(a[0]))); }
Variant FnAtn(Args& a, ScriptEngine&) { return Variant(std::atan(vb::CDbl(a[0]))); }

Variant FnRound(Args& a, ScriptEngine&) {
  int32_t decimals = Has(a, 1) ? vb::CLng(a[1]) : 0;
  if (decimals < 0) RaiseVbError(kErrInvalidProcedureCall);
  if (a[0].IsNull()) return a[0];
  Variant value = NumericValue(a[0]);
  switch (value.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kByte: return value;
    case VarType::kCurrency: return Variant(Currency::FromDouble(vb::Round(value.currency().ToDouble(), decimals)));
    case VarType::kSingle: return Variant(static_cast<float>(vb::Round(value.real(), decimals)));
    case VarType::kDecimal: return Variant::Decimal(vb::Round(value.real(), decimals));
    default: return Variant(vb::Round(vb::CDbl(value), decimals));
  }
}

// Hex and Oct: 16-bit patterns for Integer (and Byte/Boolean), 32-bit for
// everything else.
Variant RadixText(const Variant& v, bool hex) {
  if (v.IsNull()) return v;
  Variant value = NumericValue(v);
  int64_t n = vb::CLng(value);
  const bool narrow = value.type() == VarType::kInteger || value.type() == VarType::kByte;
  uint32_t bits = narrow ? static_cast<uint16_t>(n) : static_cast<uint32_t>(n);
  char buf[16];
  std::snprintf(buf, sizeof buf, hex ? "%X" : "%o", bits);
  return Variant(std::string(buf));
}

Variant FnHex(Args& a, ScriptEngine&) { return RadixText(a[0], true); }
Variant FnOct(Args& a, ScriptEngine&) { return RadixText(a[0], false); }

// --- Inspection -------------------------------------------------------------------

Variant FnIsNumeric(Args& a, ScriptEngine&) { return Variant(vb::IsNumeric(a[0])); }
Variant FnIsNull(Args& a, ScriptEngine&) { return Variant(a[0].IsNull()); }
Variant FnIsEmpty(Args& a, ScriptEngine&) { return Variant(a[0].IsEmpty()); }
Variant FnIsArray(Args& a, ScriptEngine&) { return Variant(a[0].IsArray()); }
Variant FnIsObject(Args& a, ScriptEngine&) { return Variant(a[0].IsObject()); }

Variant FnIsDate(Args& a, ScriptEngine&) {
  if (a[0].type() == VarType::kDate) return Variant(true);
  double date;
  return Variant(a[0].IsString() && vb::internal::ParseDateText(a[0].string(), &date));
}

Variant FnTypeName(Args& a, ScriptEngine&) { return Variant(VbScriptTypeName(a[0])); }
Variant FnVarType(Args& a, ScriptEngine&) { return Variant(static_cast<int16_t>(a[0].type())); }

// --- Dates ------------------------------------------------------------------------

Variant FnNow(Args&, ScriptEngine&) { return Variant::Date(vb::Now()); }
Variant FnDate(Args&, ScriptEngine&) { return Variant::Date(std::floor(vb::Now())); }
Variant FnTime(Args&, ScriptEngine&) {
  double now = vb::Now();
  return Variant::Date(now - std::floor(now));
}

Variant FnTimer(Args&, ScriptEngine&) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + now.tv_nsec / 1e9;
  return Variant(static_cast<float>(seconds));
}

template <int vb::internal::DateParts::*Field>
Variant DatePart(Args& a, ScriptEngine&) {
  if (a[0].IsNull()) return a[0];
  return Variant(static_cast<int16_t>(vb::internal::SplitOleDate(vb::CDate(a[0])).*Field));
}

Variant FnWeekday(Args& a, ScriptEngine&) {
  int32_t first = Has(a, 1) ? vb::CLng(a[1]) : 1;
  if (first < 0 || first > 7) RaiseVbError(kErrInvalidProcedureCall);
  if (first == 0) first = 1;  // the system's first day: Sunday, as en-US has it
  if (a[0].IsNull()) return a[0];
  int weekday = vb::internal::SplitOleDate(vb::CDate(a[0])).weekday;
  return Variant(static_cast<int16_t>((weekday - first + 7) % 7 + 1));
}

Variant FnDateSerial(Args& a, ScriptEngine&) {
  int64_t year = vb::CLng(a[0]);
  if (year >= 0 && year <= 29) year += 2000;
  else if (year >= 30 && year <= 99) year += 1900;
  return Variant::Date(vb::internal::OleDateFromParts(year, vb::CLng(a[1]), vb::CLng(a[2])));
}

Variant FnTimeSerial(Args& a, ScriptEngine&) {
  double time = vb::internal::OleTimeFromParts(vb::CLng(a[0]), vb::CLng(a[1]), vb::CLng(a[2]));
  if (!vb::internal::IsValidOleDate(time)) RaiseVbError(kErrOverflow);
  return Variant::Date(time);
}

// --- Arrays -----------------------------------------------------------------------

Variant FnArray(Args& a, ScriptEngine&) { return Variant::Array(a); }

int32_t DimensionArg(const Args& a) {
  if (!vb::IsArray(a[0])) RaiseVbError(kErrTypeMismatch);
  if (Has(a, 1) && vb::CLng(a[1]) != 1) RaiseVbError(kErrSubscriptOutOfRange);
  return 1;
}

Variant FnUBound(Args& a, ScriptEngine&) {
  DimensionArg(a);
  return Variant(vb::UBound(a[0]));
}

Variant FnLBound(Args& a, ScriptEngine&) {
  DimensionArg(a);
  return Variant(vb::LBound(a[0]));
}

Variant FnJoin(Args& a, ScriptEngine&) {
  if (!a[0].IsArray()) RaiseVbError(kErrTypeMismatch);
  std::string delimiter = Has(a, 1) ? vb::CStr(a[1]) : " ";
  std::string out;
  bool first = true;
  for (const Variant& item : a[0].array()->items) {
    if (!first) out += delimiter;
    out += vb::CStr(item);
    if (static_cast<int64_t>(out.size()) > kMaxTextLength) RaiseVbError(7);
    first = false;
  }
  return Variant(std::move(out));
}

Variant FnSplit(Args& a, ScriptEngine&) {
  for (const Variant& arg : a) {
    if (arg.IsNull()) RaiseVbError(kErrInvalidUseOfNull);
  }
  std::string delimiter = Has(a, 1) ? vb::CStr(a[1]) : " ";
  int32_t limit = Has(a, 2) ? vb::CLng(a[2]) : -1;
  std::vector<Variant> items;
  for (std::string& part : vb::Split(vb::CStr(a[0]), delimiter, limit, CompareArg(a, 3))) {
    items.emplace_back(std::move(part));
  }
  return Variant::Array(std::move(items));
}

// --- Evaluation -------------------------------------------------------------------

Variant FnEval(Args& a, ScriptEngine& engine) { return engine.Eval(vb::CStr(a[0])); }

// --- Constants --------------------------------------------------------------------

template <int16_t N>
Variant IntegerConstant(Args&, ScriptEngine&) {
  return Variant(N);
}
Variant ObjectErrorConstant(Args&, ScriptEngine&) { return Variant(int32_t{-2147221504}); }
Variant CrLf(Args&, ScriptEngine&) { return Variant("\r\n"); }
Variant Cr(Args&, ScriptEngine&) { return Variant("\r"); }
Variant Lf(Args&, ScriptEngine&) { return Variant("\n"); }
Variant Tab(Args&, ScriptEngine&) { return Variant("\t"); }
Variant NullString(Args&, ScriptEngine&) { return Variant(""); }
Variant NullChar(Args&, ScriptEngine&) { return Variant(std::string(1, '\0')); }

constexpr Builtin kBuiltins[] = {
    {"Abs", 1, 1, FnAbs},
    {"Array", 0, -1, FnArray},
    {"Asc", 1, 1, FnAsc},
    {"AscW", 1, 1, FnAscW},
    {"Atn", 1, 1, FnAtn},
    {"CBool", 1, 1, FnCBool},
    {"CByte", 1, 1, FnCByte},
    {"CCur", 1, 1, FnCCur},
    {"CDate", 1, 1, FnCDate},
    {"CDbl", 1, 1, FnCDbl},
    {"Chr", 1, 1, FnChr},
    {"ChrW", 1, 1, FnChrW},
    {"CInt", 1, 1, FnCInt},
    {"CLng", 1, 1, FnCLng},
    {"Cos", 1, 1, FnCos},
    {"CSng", 1, 1, FnCSng},
    {"CStr", 1, 1, FnCStr},
    {"Date", 0, 0, FnDate},
    {"DateSerial", 3, 3, FnDateSerial},
    {"Day", 1, 1, DatePart<&vb::internal::DateParts::day>},
    {"Eval", 1, 1, FnEval},
    {"Exp", 1, 1, FnExp},
    {"Fix", 1, 1, FnFix},
    {"Hex", 1, 1, FnHex},
    {"Hour", 1, 1, DatePart<&vb::internal::DateParts::hour>},
    {"InStr", 2, 4, FnInStr},
    {"InStrRev", 2, 4, FnInStrRev},
    {"Int", 1, 1, FnInt},
    {"IsArray", 1, 1, FnIsArray},
    {"IsDate", 1, 1, FnIsDate},
    {"IsEmpty", 1, 1, FnIsEmpty},
    {"IsNull", 1, 1, FnIsNull},
    {"IsNumeric", 1, 1, FnIsNumeric},
    {"IsObject", 1, 1, FnIsObject},
    {"Join", 1, 2, FnJoin},
    {"LBound", 1, 2, FnLBound},
    {"LCase", 1, 1, TextFunction<vb::LCase>},
    {"Left", 2, 2, FnLeft},
    {"Len", 1, 1, FnLen},
    {"Log", 1, 1, FnLog},
    {"LTrim", 1, 1, TextFunction<vb::LTrim>},
    {"Mid", 2, 3, FnMid},
    {"Minute", 1, 1, DatePart<&vb::internal::DateParts::minute>},
    {"Month", 1, 1, DatePart<&vb::internal::DateParts::month>},
    {"Now", 0, 0, FnNow},
    {"Oct", 1, 1, FnOct},
    {"Replace", 3, 6, FnReplace},
    {"Right", 2, 2, FnRight},
    {"Round", 1, 2, FnRound},
    {"RTrim", 1, 1, TextFunction<vb::RTrim>},
    {"Second", 1, 1, DatePart<&vb::internal::DateParts::second>},
    {"Sgn", 1, 1, FnSgn},
    {"Sin", 1, 1, FnSin},
    {"Space", 1, 1, FnSpace},
    {"Split", 1, 4, FnSplit},
    {"Sqr", 1, 1, FnSqr},
    {"StrComp", 2, 3, FnStrComp},
    {"StrReverse", 1, 1, FnStrReverse},
    {"String", 2, 2, FnString},
    {"Tan", 1, 1, FnTan},
    {"Time", 0, 0, FnTime},
    {"Timer", 0, 0, FnTimer},
    {"TimeSerial", 3, 3, FnTimeSerial},
    {"Trim", 1, 1, TextFunction<vb::Trim>},
    {"TypeName", 1, 1, FnTypeName},
    {"UBound", 1, 2, FnUBound},
    {"UCase", 1, 1, TextFunction<vb::UCase>},
    {"VarType", 1, 1, FnVarType},
    {"Weekday", 1, 2, FnWeekday},
    {"Year", 1, 1, DatePart<&vb::internal::DateParts::year>},
    // Constants.
    {"vbArray", 0, 0, IntegerConstant<8192>},
    {"vbBinaryCompare", 0, 0, IntegerConstant<0>},
    {"vbBoolean", 0, 0, IntegerConstant<11>},
    {"vbByte", 0, 0, IntegerConstant<17>},
    {"vbCr", 0, 0, Cr},
    {"vbCrLf", 0, 0, CrLf},
    {"vbCurrency", 0, 0, IntegerConstant<6>},
    {"vbDataObject", 0, 0, IntegerConstant<13>},
    {"vbDate", 0, 0, IntegerConstant<7>},
    {"vbDecimal", 0, 0, IntegerConstant<14>},
    {"vbDouble", 0, 0, IntegerConstant<5>},
    {"vbEmpty", 0, 0, IntegerConstant<0>},
    {"vbError", 0, 0, IntegerConstant<10>},
    {"vbFalse", 0, 0, IntegerConstant<0>},
    {"vbFriday", 0, 0, IntegerConstant<6>},
    {"vbInteger", 0, 0, IntegerConstant<2>},
    {"vbLf", 0, 0, Lf},
    {"vbLong", 0, 0, IntegerConstant<3>},
    {"vbMonday", 0, 0, IntegerConstant<2>},
    {"vbNewLine", 0, 0, CrLf},
    {"vbNull", 0, 0, IntegerConstant<1>},
    {"vbNullChar", 0, 0, NullChar},
    {"vbNullString", 0, 0, NullString},
    {"vbObject", 0, 0, IntegerConstant<9>},
    {"vbObjectError", 0, 0, ObjectErrorConstant},
    {"vbSaturday", 0, 0, IntegerConstant<7>},
    {"vbSingle", 0, 0, IntegerConstant<4>},
    {"vbString", 0, 0, IntegerConstant<8>},
    {"vbSunday", 0, 0, IntegerConstant<1>},
    {"vbTab", 0, 0, Tab},
    {"vbTextCompare", 0, 0, IntegerConstant<1>},
    {"vbThursday", 0, 0, IntegerConstant<5>},
    {"vbTrue", 0, 0, IntegerConstant<-1>},
    {"vbTuesday", 0, 0, IntegerConstant<3>},
    {"vbUseDefault", 0, 0, IntegerConstant<-2>},
    {"vbUseSystemDayOfWeek", 0, 0, IntegerConstant<0>},
    {"vbVariant", 0, 0, IntegerConstant<12>},
    {"vbWednesday", 0, 0, IntegerConstant<4>},
};

}  // namespace

const Builtin* FindBuiltin(std::string_view name) {
  static const auto* index = [] {
    auto* map = new std::unordered_map<std::string, const Builtin*>();
    for (const Builtin& builtin : kBuiltins) {
      std::string key(builtin.name);
      for (char& c : key) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
      map->emplace(std::move(key), &builtin);
    }
    return map;
  }();
  std::string key(name);
  for (char& c : key) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
  auto it = index->find(key);
  return it == index->end() ? nullptr : it->second;
}

}  // namespace trelix::vbscript

#include "common/modLocaleUtilities.h"

#include <array>
#include <cmath>

#include "common/com_error.h"
#include "common/locale_data.h"
#include "common/number_format.h"
#include "common/vb_runtime.h"

namespace trelix {
namespace {

// Application language id -> Windows locale identifier. Ids 7 and 19 share
// US English; id 22 has no locale.
constexpr std::array<int32_t, 41> kLanguageLcids = {
    0,                                                             // (no id 0)
    2057, 1034, 1031, 1040, 1036, 1043, 1033, 1041, 1042, 1037,    // 1..10
    1032, 13322, 1035, 1027, 2070, 1053, 1055, 2058, 1033, 3081,   // 11..20
    1046, 0, 1044, 1030, 1028, 3084, 1038, 6153, 2060, 2067,       // 21..30
    1029, 1045, 1054, 1051, 2055, 1049, 11274, 1060, 2052, 4108,   // 31..40
};

constexpr std::string_view kDefaultGrouping = "3;0";

// The number conventions of a locale as views. Locale 0 on Windows is the
// user's default locale with the user's own settings; here that is the
// process's regional settings (its decimal separator and the thousands
// separator that goes with it), grouped by threes.
struct LocaleNumbers {
  char decimal_buffer[1];
  char thousand_buffer[1];
  std::string_view decimal;
  std::string_view thousand;
  std::string_view grouping;
  bool known = false;
};

// `data` is the table's entry for `lcid` (nullptr when it has none).
void ReadLocaleNumbers(int32_t lcid, const LocaleNumberData* data, LocaleNumbers* numbers) {
  if (lcid == 0) {
    numbers->decimal_buffer[0] = vb::DecimalSeparator();
    numbers->thousand_buffer[0] = vb::ThousandsSeparator();
    numbers->decimal = std::string_view(numbers->decimal_buffer, 1);
    numbers->thousand = std::string_view(numbers->thousand_buffer, 1);
    numbers->grouping = kDefaultGrouping;
    numbers->known = true;
    return;
  }
  if (data != nullptr) {
    numbers->decimal = data->decimal_separator;
    numbers->thousand = data->thousand_separator;
    numbers->grouping = data->grouping;
    numbers->known = true;
  }
}

// The table entry of each application language's locale, found once: the
// pages format many numbers in one language.
const LocaleNumberData* LanguageLocaleData(int16_t language_id) {
  static const std::array<const LocaleNumberData*, kLanguageLcids.size()> kData = [] {
    std::array<const LocaleNumberData*, kLanguageLcids.size()> data{};
    for (size_t id = 0; id < kLanguageLcids.size(); ++id) data[id] = FindLocaleNumberData(kLanguageLcids[id]);
    return data;
  }();
  if (language_id < 0 || language_id >= static_cast<int16_t>(kData.size())) return nullptr;
  return kData[static_cast<size_t>(language_id)];
}

// 10^n as VB's "^" gives it; exact table for the usual counts of decimals.
double PowerOfTen(int32_t n) {
  static constexpr std::array<double, 23> kExact = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (n >= 0 && n < static_cast<int32_t>(kExact.size())) return kExact[static_cast<size_t>(n)];
  return std::pow(10.0, n);
}

}  // namespace

int32_t LanguageIdToLcid(int16_t language_id) {
  if (language_id < 0 || language_id >= static_cast<int16_t>(kLanguageLcids.size())) return 0;
  return kLanguageLcids[static_cast<size_t>(language_id)];
}

std::string GetLocaleText(int32_t lcid, int32_t info_type) {
  LocaleNumbers numbers;
  ReadLocaleNumbers(lcid, FindLocaleNumberData(lcid), &numbers);
  if (!numbers.known) return "";
  switch (info_type) {
    case kLocaleDecimalSeparator: return std::string(numbers.decimal);
    case kLocaleThousandSeparator: return std::string(numbers.thousand);
    case kLocaleGrouping: return std::string(numbers.grouping);
    default: return "";
  }
}

std::string FormatLocaleNumber(double value, int32_t decimals, int16_t language_id) {
  if (decimals > 0) {
    // Half up at `decimals` places: Int(value * 10^decimals + 0.5) / 10^decimals.
    const double scale = PowerOfTen(decimals);
    const double shifted = value * scale + 0.5;
    if (!std::isfinite(scale) || !std::isfinite(shifted)) RaiseVbError(kErrOverflow);
    value = std::floor(shifted) / scale;
  }
  const int32_t lcid = LanguageIdToLcid(language_id);

  LocaleNumbers numbers;
  ReadLocaleNumbers(lcid, LanguageLocaleData(language_id), &numbers);
  // The grouping is the first character of the grouping text read as an
  // integer: nothing to read (an unknown locale) is a type mismatch.
  if (numbers.grouping.empty() || numbers.grouping[0] < '0' || numbers.grouping[0] > '9') {
    RaiseVbError(kErrTypeMismatch);
  }
  NumberFormat format;
  format.num_digits = static_cast<uint32_t>(decimals);  // a negative count becomes huge and fails below
  format.leading_zero = 1;
  format.grouping = static_cast<uint32_t>(numbers.grouping[0] - '0');
  format.decimal_separator = numbers.decimal;
  format.thousand_separator = numbers.thousand;
  format.negative_order = 0;

  // The value as the process writes it, with its decimal separator made a
  // point: the formatting service reads only "." as the decimal point.
  // With a point or a comma as the process separator that is the general
  // format written with a point straight away, on the stack; any other
  // separator goes the long way, where it may also stand for a sign or the
  // exponent letter and be changed with them.
  char buffer[vb::kGeneralNumberChars];
  std::string long_way;
  std::string_view text;
  const char separator = vb::DecimalSeparator();
  if (separator == '.' || separator == ',') {
    text = std::string_view(buffer, vb::FormatGeneralNumberTo(value, '.', buffer));
  } else {
    long_way = vb::FormatGeneralNumber(value);
    for (char& c : long_way) {
      if (c == separator) c = '.';
    }
    text = long_way;
  }

  // The locale is known here (it has a grouping), so it is not looked up
  // again; the single-digit grouping values expand to the same few records.
  static const std::array<DigitGrouping, 10> kGroupings = [] {
    std::array<DigitGrouping, 10> groupings;
    for (uint32_t g = 0; g < groupings.size(); ++g) groupings[g] = DigitGrouping::FromFormatValue(g);
    return groupings;
  }();
  std::string result;
  if (!FormatNumberForKnownLocale(text, format, kGroupings[format.grouping], &result)) {
    RaiseVbError(kErrInvalidProcedureCall);
  }
  return result;
}

}  // namespace trelix

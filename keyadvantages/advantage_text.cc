// The advantage sentence: placeholders filled with the winner's and the
// loser's values, and reading those values from an equipment record.

#include <cmath>
#include <string>

#include "common/modLocaleUtilities.h"
#include "common/modVelloxLITE.h"
#include "common/vb_runtime.h"
#include "frame/object_context.h"
#include "keyadvantages/key_advantages.h"

namespace trelix {

namespace {

constexpr const char* kWinnerPlaceholder = "=?";
constexpr const char* kLoserPlaceholder = "=!";
constexpr const char* kDifferencePlaceholder = "=#";

// Schemas whose stored value of all nines means "unlimited", by sentinel
// width. The ids are data of the specs database.
constexpr int32_t kFourNineSchemas[] = {23502,  23602,  23702,  23802,  23902,  24002,
                                        123502, 123602, 123702, 123802, 123902, 124002};
constexpr int32_t kSevenNineSchemas[] = {23503,  23603,  23703,  23803,  23903,  24003,
                                         123503, 123603, 123703, 123803, 123903, 124003};

template <size_t N>
bool Contains(const int32_t (&ids)[N], int32_t id) {
  for (int32_t candidate : ids) {
    if (candidate == id) return true;
  }
  return false;
}

bool IsUnlimited(int32_t schema_id, const std::string& value) {
  if (Contains(kFourNineSchemas, schema_id)) return vb::TextEquals(value, "9999") || vb::TextEquals(value, "999");
  if (Contains(kSevenNineSchemas, schema_id)) {
    return vb::TextEquals(value, "9999999") || vb::TextEquals(value, "999999");
  }
  return false;
}

bool HasPlaceholder(const std::string& text, const char* placeholder) {
  // The placeholders are ASCII symbols: no character folds to them and no
  // ill-formed sequence swallows an ASCII byte, so a text-compare search
  // finds them exactly where their bytes are, without case-folding the
  // whole sentence.
  return text.find(placeholder) != std::string::npos;
}

std::string ReplaceAll(const std::string& text, const char* placeholder, const std::string& replacement) {
  return vb::Replace(text, placeholder, replacement, 1, -1, vb::CompareMode::kText);
}

bool IsNumericText(const std::string& text) { return vb::IsNumeric(Variant(text)); }

double ReadNumber(const std::string& text) { return vb::CDbl(Variant(text)); }

}  // namespace

std::string KeyAdvantages::FormatAdvantage(const std::string& strDescription, const std::string& strFormat,
                                           const std::string& strWinnerValue,
                                           const std::string& strWinnerTranslatedValue,
                                           const std::string& strLooserValue, const std::string& strProject,
                                           const std::string& strLooserTranslatedValue,
                                           const std::string& strTargetCurrencies,
                                           const std::string& strConnection, int32_t lngSchemaID,
                                           int16_t intLanguageID) {
  // A sentence that cannot be written must not fail the page: the caller
  // shows an empty text, and the transaction is marked as failed.
  try {
    return FormatAdvantageBody(strDescription, strFormat, strWinnerValue, strWinnerTranslatedValue, strLooserValue,
                               strProject, strLooserTranslatedValue, strTargetCurrencies, strConnection, lngSchemaID,
                               intLanguageID);
  } catch (...) {
    VoteAbort();
    return std::string();
  }
}

std::string KeyAdvantages::FormatAdvantageBody(const std::string& strDescription, const std::string& strFormat,
                                               const std::string& strWinnerValue,
                                               const std::string& strWinnerTranslatedValue,
                                               const std::string& strLooserValue, const std::string& strProject,
                                               const std::string& strLooserTranslatedValue,
                                               const std::string& strTargetCurrencies,
                                               const std::string& strConnection, int32_t lngSchemaID,
                                               int16_t intLanguageID) {
  const bool winner_unlimited = IsUnlimited(lngSchemaID, strWinnerValue);
  const bool loser_unlimited = IsUnlimited(lngSchemaID, strLooserValue);
  const bool translated = vb::TextEquals(strFormat, "T");
  const bool numeric_format = vb::Left(strFormat, 1) == "#";
  // The difference uses this code whatever the format's first character is.
  const std::string code = vb::Mid(strFormat, 2);

  // A value written by the numeric format code: a count of decimals, "D"
  // as it is, "C" as a currency text, anything else without decimals.
  auto by_code = [&](const std::string& value) -> std::string {
    if (vb::IsNumeric(Variant(code))) return FormatLocaleNumber(ReadNumber(value), vb::CLng(Variant(code)), intLanguageID);
    if (vb::TextEquals(code, "D")) return value;
    if (vb::TextEquals(code, "C")) {
      return Format_Currency(strTargetCurrencies, ReadNumber(value), strProject, strConnection, intLanguageID);
    }
    return FormatLocaleNumber(ReadNumber(value), 0, intLanguageID);
  };

  std::string text = strDescription;
  if (HasPlaceholder(text, kWinnerPlaceholder)) {
    if (translated) {
      text = ReplaceAll(text, kWinnerPlaceholder, strWinnerTranslatedValue);
    } else if (numeric_format) {
      text = ReplaceAll(text, kWinnerPlaceholder, winner_unlimited ? unlimited_text_ : by_code(strWinnerValue));
    }
  }
  if (HasPlaceholder(text, kLoserPlaceholder)) {
    if (translated) {
      text = ReplaceAll(text, kLoserPlaceholder, strLooserTranslatedValue.empty() ? "-" : strLooserTranslatedValue);
    } else if (numeric_format) {
      text = ReplaceAll(text, kLoserPlaceholder, loser_unlimited ? unlimited_text_ : by_code(strLooserValue));
    }
  }
  if (HasPlaceholder(text, kDifferencePlaceholder)) {
    std::string difference;
    if (winner_unlimited) {
      difference = unlimited_text_;
    } else {
      const bool winner_numeric = IsNumericText(strWinnerValue);
      const bool loser_numeric = IsNumericText(strLooserValue);
      std::string raw;
      if (winner_numeric && loser_numeric) {
        raw = vb::FormatGeneralNumber(std::fabs(ReadNumber(strWinnerValue) - ReadNumber(strLooserValue)));
      } else if (winner_numeric) {
        raw = strWinnerValue;
      } else if (loser_numeric) {
        raw = strLooserValue;
      }
      difference = by_code(raw);
    }
    text = ReplaceAll(text, kDifferencePlaceholder, difference);
  }
  return text;
}

void KeyAdvantages::SetValue(Recordset& rs, std::string& strValue, std::string& strTranslatedValue) {
  Instrumented(kKeyAdvantagesModule, "Sub SetValue", [&] {
    if (rs.IsEOF()) {
      strValue.clear();
      strTranslatedValue.clear();
      return;
    }
    // A null data value reads as empty text, as a vehicle without a record
    // does, instead of failing the whole comparison.
    strValue = vb::ToText(rs.Value("data_value"));
    const Variant& full_text = rs.Value("full_text");
    strTranslatedValue = full_text.IsNull() ? std::string() : vb::ToText(full_text);
  });
}

}  // namespace trelix

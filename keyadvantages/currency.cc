// Prices as text in other currencies, from the project's currency table.

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/connector_interface.h"
#include "common/modLocaleUtilities.h"
#include "common/modVelloxLITE.h"
#include "common/vb_runtime.h"
#include "keyadvantages/key_advantage_statements.h"
#include "keyadvantages/key_advantages.h"
#include "keyadvantages/vb_division.h"

namespace trelix {

namespace {

using keyadvantages_internal::kCurrencyStatement;
using keyadvantages_internal::VbDivide;

constexpr int32_t kErrConversion = 1000;
constexpr const char* kConversionSource = "Conversion";

RecordsetRef LoadCurrencies(const std::string& project, const std::string& connection) {
  RecordsetRef currencies = CreateConnector()->ExecuteQuery(kCurrencyStatement, project, connection);
  if (!currencies) RaiseVbError(kErrObjectVariableNotSet);
  return currencies;
}

// Moves to the row of `code` from the first row; at the end when absent.
// An empty table leaves the recordset at its end too, so a lookup there is
// "not found" rather than a cursor error.
void FindCurrency(Recordset& currencies, const std::string& code) {
  if (currencies.RecordCount() == 0) return;
  currencies.MoveFirst();
  currencies.Find("code='" + code + "'");
}

// The currency table's columns by position, each looked up by name on its
// first use: a missing column raises the same error at the same point as a
// lookup by name on every read would. Every call loads the table afresh,
// nearly always with the same fields; a lookup depends on the field names
// alone, so the positions found for the last field list seen on this thread
// are taken over when the names are the same, byte for byte.
class CurrencyColumns {
 public:
  enum Column { kCode, kSymbol, kConversion, kDecimals, kSymbolAfter, kCount };

  explicit CurrencyColumns(const Recordset& currencies) : currencies_(currencies) {
    Known& known = LastKnown();
    const int count = currencies_.FieldCount();
    bool same = static_cast<size_t>(count) == known.names.size();
    for (int i = 0; same && i < count; ++i) same = currencies_.Field(i).name == known.names[static_cast<size_t>(i)];
    if (!same) {
      known.names.clear();
      for (int i = 0; i < count; ++i) known.names.push_back(currencies_.Field(i).name);
      std::fill(std::begin(known.indexes), std::end(known.indexes), -1);
    }
    std::copy(std::begin(known.indexes), std::end(known.indexes), indexes_);
  }

  const Variant& Value(Column column) {
    static constexpr const char* kNames[kCount] = {"code", "symbol", "conversion", "decimals", "symbolafter"};
    int& index = indexes_[column];
    if (index < 0) {
      index = currencies_.FieldIndex(kNames[column]);
      LastKnown().indexes[column] = index;
    }
    return currencies_.Value(index);
  }

 private:
  struct Known {
    std::vector<std::string> names;
    int indexes[kCount] = {-1, -1, -1, -1, -1};
  };
  static Known& LastKnown() {
    thread_local Known known;
    return known;
  }

  const Recordset& currencies_;
  int indexes_[kCount];
};

// vb::Split(list, ",", -1, vbTextCompare): a comma has no other case, so a
// plain ASCII list (every list the pages send) is cut at its commas
// directly; anything else goes through the runtime.
std::vector<std::string> SplitCodes(const std::string& list) {
  for (unsigned char c : list) {
    if (c >= 0x80) return vb::Split(list, ",", -1, vb::CompareMode::kText);
  }
  std::vector<std::string> codes;
  if (list.empty()) return codes;
  size_t from = 0;
  for (size_t comma; (comma = list.find(',', from)) != std::string::npos; from = comma + 1) {
    codes.emplace_back(list, from, comma - from);
  }
  codes.emplace_back(list, from);
  return codes;
}

[[noreturn]] void RaiseCurrencyNotFound(const std::string& code) {
  throw ComError(kErrConversion, kConversionSource, "Currency: " + code + " not found");
}

// A null symbolafter puts the symbol in front, as false does.
bool SymbolAfter(const Variant& value) { return !value.IsNull() && !value.IsEmpty() && vb::CBool(value); }

}  // namespace

std::string KeyAdvantages::Format_Currency(const std::string& strTargetCurrencies, double dblPrice,
                                           const std::string& strProject, const std::string& strConnection,
                                           int16_t intLanguageID) {
  return Instrumented(kKeyAdvantagesModule, "Function Format_Currency", [&] {
    const std::vector<std::string> codes = SplitCodes(strTargetCurrencies);
    if (codes.empty()) RaiseVbError(kErrSubscriptOutOfRange);
    RecordsetRef currencies = LoadCurrencies(strProject, strConnection);
    CurrencyColumns columns(*currencies);

    // The first code is the price's own currency; it is looked up untrimmed,
    // and a code missing from the table fails on reading its row.
    FindCurrency(*currencies, codes[0]);
    // The rate is kept as text of 15 significant digits and read back where
    // it is used, so amounts round as the stored rate text says.
    const std::string rate =
        vb::FormatGeneralNumber(VbDivide(1, vb::CDbl(columns.Value(CurrencyColumns::kConversion))));
    std::optional<double> rate_read;  // read back once, on first use

    const size_t last = codes.size() - 1;
    std::string text;
    for (size_t i = 0; i <= last; ++i) {
      const std::string code = vb::Trim(codes[i]);
      // The first code without surrounding blanks finds the row it found
      // above, where the cursor still is.
      if (i != 0 || code != codes[0]) FindCurrency(*currencies, code);
      // A null symbol prints as nothing rather than failing the whole text.
      const std::string symbol = vb::ToText(columns.Value(CurrencyColumns::kSymbol));
      double amount = dblPrice;
      // Codes compare ignoring case with Unicode case folding, the same as any
      // case-insensitive comparison for codes of plain letters.
      if (!vb::TextEquals(vb::ToText(columns.Value(CurrencyColumns::kCode)), codes[0])) {
        if (!rate_read) rate_read = vb::CDbl(Variant(rate));
        amount = *rate_read * vb::CDbl(columns.Value(CurrencyColumns::kConversion)) * dblPrice;
      }
      const std::string number =
          FormatLocaleNumber(amount, vb::CLng(columns.Value(CurrencyColumns::kDecimals)), intLanguageID);
      const bool after = SymbolAfter(columns.Value(CurrencyColumns::kSymbolAfter));
      if (i == 0 && last > 0) {
        text += after ? number + symbol + " (" : symbol + number + " (";
      } else if (i == 1) {
        text += after ? number + " " + symbol : symbol + " " + number;
      } else {
        text += after ? " " + number + " " + symbol : " " + symbol + " " + number;
      }
    }
    // InStr(text, "(") > 0; an ASCII byte is never part of another character.
    if (text.find('(') != std::string::npos) text += ")";
    return text;
  });
}

std::string KeyAdvantages::Convert_Currency(const std::string& strTargetCurrency, double dblPrice,
                                            const std::string& strInitialCurrency, const std::string& strProject,
                                            const std::string& strConnection) {
  return Instrumented(kKeyAdvantagesModule, "Function Convert_Currency", [&] {
    if (!strInitialCurrency.empty() && vb::TextEquals(strInitialCurrency, strTargetCurrency)) {
      return vb::FormatGeneralNumber(dblPrice);
    }
    RecordsetRef currencies = LoadCurrencies(strProject, strConnection);
    FindCurrency(*currencies, strInitialCurrency);
    if (currencies->IsEOF()) RaiseCurrencyNotFound(strInitialCurrency);
    const double rate = VbDivide(1, vb::CDbl(currencies->Value("conversion")));
    FindCurrency(*currencies, strTargetCurrency);
    if (currencies->IsEOF()) RaiseCurrencyNotFound(strTargetCurrency);
    const double converted = rate * vb::CDbl(currencies->Value("conversion")) * dblPrice;
    return vb::FormatGeneralNumber(converted);
  });
}

}  // namespace trelix

#include "ebrochure/spec_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "common/Utilitys.h"
#include "common/modLocaleUtilities.h"
#include "common/vb_runtime.h"
#include "ebrochure/spec_values.h"

namespace trelix::ebrochure {
namespace {

// Schemas whose values 999999 and 9999999 mean "unlimited".
constexpr std::array<int32_t, 12> kUnlimitedMillionSchemas = {
    23503, 23603, 23703, 23803, 23903, 24003, 123503, 123603, 123703, 123803, 123903, 124003};
// Schemas whose values 999 and 9999 mean "unlimited".
constexpr std::array<int32_t, 12> kUnlimitedThousandSchemas = {
    23502, 23602, 23702, 23802, 23902, 24002, 123502, 123602, 123702, 123802, 123902, 124002};

bool Contains(const std::array<int32_t, 12>& schemas, int32_t schema_id) {
  return std::find(schemas.begin(), schemas.end(), schema_id) != schemas.end();
}

bool IsUnlimitedSentinel(int32_t schema_id, const std::string& value) {
  const bool millions = Contains(kUnlimitedMillionSchemas, schema_id);
  const bool thousands = Contains(kUnlimitedThousandSchemas, schema_id);
  if (!millions && !thousands) return false;
  // IsNumeric and CDbl of the text in one reading.
  const std::optional<double> parsed = vb::ParseNumber(value);
  if (!parsed) return false;
  const double number = *parsed;
  return millions ? (number == 999999 || number == 9999999) : (number == 999 || number == 9999);
}

// " AND Location='<location>'" unless the location is "-", empty or Null.
std::string LocationCondition(const Variant& location) {
  const std::string text = vb::ToText(location);
  if (text.empty() || text == "-") return {};
  return " AND Location='" + text + "'";
}

// Find from the current row. A view without rows (or a search already past
// its end) finds nothing and stays at its end.
bool FindForward(Recordset& rows, const std::string& criteria) {
  if (rows.IsEOF()) return false;
  rows.Find(criteria, 0, 1);
  return !rows.IsEOF();
}

// The search for a line's sought value: the value itself, or any value but
// "-" when the line seeks none.
std::string SoughtValueCriteria(const std::string& sought) {
  return sought.empty() ? std::string("data_value<>'-'") : "data_value='" + sought + "'";
}

// Every pair of blanks becomes one, in a single left-to-right pass (three
// blanks become two).
std::string CollapseBlankPairs(const std::string& text) { return vb::Replace(text, "  ", " "); }

// vb::Replace(text, find, with) for a one-byte find: where both texts are
// ASCII (the number texts, formulas and separators met here) the runtime
// replaces bytes, so the copy is made here directly; anything else goes
// through it.
std::string ReplaceByte(const std::string& text, char find, const std::string& with) {
  auto ascii = [](const std::string& s) {
    for (unsigned char c : s) {
      if (c >= 0x80) return false;
    }
    return true;
  };
  // Short texts only, far from the runtime's length limit.
  if (text.size() > 4096 || with.size() > 16 || !ascii(text) || !ascii(with)) {
    return vb::Replace(text, std::string_view(&find, 1), with);
  }
  if (with.size() == 1) {
    std::string out = text;
    for (char& c : out) {
      if (c == find) c = with[0];
    }
    return out;
  }
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == find) {
      out += with;
    } else {
      out += c;
    }
  }
  return out;
}

char UpperAscii(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

std::string FormatSpecNumber(const Variant& raw_value, int32_t schema_id, const std::string& con_format,
                             int16_t language_id, const std::string& decimal_separator,
                             const std::string& unlimited_text) {
  const std::string raw = vb::CStr(raw_value);
  if (IsUnlimitedSentinel(schema_id, raw)) return unlimited_text;

  // Stored numbers use a point; from here on the value is in the regional form.
  std::string value = raw;
  if (raw.find('.') != std::string::npos) {
    value = vb::FormatGeneralNumber(vb::CDblOfText(ReplaceByte(value, '.', decimal_separator)));
  }
  // Converted whether or not there is a formula: a value that is not a
  // number fails here for every "#" line.
  const double number = vb::CDblOfText(value);
  bool calculated = false;
  if (number != 0 && con_format.find('=') != std::string::npos) {
    const std::string formula = ReplaceByte(con_format, '?', raw);
    const std::string expression = formula.substr(formula.find('=') + 1);
    value = Calculate(Variant(ReplaceByte(expression, '.', decimal_separator)));
    calculated = true;
  }
  // The text is read again only when a formula replaced it.
  auto amount = [&] { return calculated ? vb::CDblOfText(value) : number; };

  const char kind = con_format.size() >= 2 ? UpperAscii(con_format[1]) : '\0';
  if (kind >= '0' && kind <= '9') return FormatLocaleNumber(amount(), kind - '0', language_id);
  if (kind == 'D') {
    if (value == "99991231") return value;
    return vb::Left(value, 4) + "-" + vb::Mid(value, 5, 2) + "-" + vb::Right(value, 2);
  }
  if (kind == 'C') return "CUR|" + value;
  return FormatLocaleNumber(amount(), 0, language_id);
}

SpecLineResolver::SpecLineResolver(SpecSheetContext context)
    : context_(std::move(context)), brochure_variant_(context_.brochure) {
  const Recordset& brochure = *context_.brochure;
  brochure_fields_ = {brochure.FieldIndex("row_id"),         brochure.FieldIndex("Con_schema_id"),
                      brochure.FieldIndex("Location"),       brochure.FieldIndex("con_format"),
                      brochure.FieldIndex("Con_schema_id_Val"), brochure.FieldIndex("con_customtext"),
                      brochure.FieldIndex("con_text")};
  const Recordset& equipment = *context_.equipment;
  equipment_fields_ = {equipment.FieldIndex("option_id"), equipment.FieldIndex("record_id"),
                       equipment.FieldIndex("data_value"), equipment.FieldIndex("full_text"),
                       equipment.FieldIndex("content")};
  parent_data_value_field_ = context_.parents->FieldIndex("data_value");
}

SpecLine SpecLineResolver::Resolve() {
  Recordset& brochure = *context_.brochure;
  Recordset& equipment = *context_.equipment;
  const EquipmentFields& eq = equipment_fields_;

  // A. The line.
  SpecLine line;
  line.row_id = vb::CLng(brochure.Value(brochure_fields_.row_id));
  const int32_t schema_id = vb::CLng(brochure.Value(brochure_fields_.schema_id));
  line.schema_id = schema_id;
  line.location = brochure.Value(brochure_fields_.location);
  line.value_sought = brochure.Value(brochure_fields_.value_sought);
  line.format = brochure.Value(brochure_fields_.format);
  const std::string format = vb::ToText(line.format);
  // A Null sought value is no sought value, as an empty one.
  const std::string sought = vb::ToText(line.value_sought);
  const std::string line_texts =
      vb::ToText(brochure.Value(brochure_fields_.custom_text)) + vb::ToText(brochure.Value(brochure_fields_.text));
  const bool availability_line = vb::TextEquals(format, "A");
  std::string display;

  // The filter of the line's own rows (schema and location), set up to three
  // times per line: built once.
  const std::string standard_filter = addFilter(brochure_variant_, Variant());

  // B. The equipment rows of the line. Each filter set here replaces the
  // previous one outright, so the intermediate clearing of the filter is
  // left out: it would only make every row visible for nothing.
  bool standard_found = false;
  // Reset for every line, so that a line's parent fallback never depends on
  // the availability line before it.
  bool no_standard_row = false;
  int16_t matched_option = 0;
  if (schema_id > 0) {
    if (availability_line) {
      equipment.SetFilter(Variant(standard_filter));
      no_standard_row = !FindForward(equipment, "option_id=0");
      const std::string standard_value = sought.empty() ? std::string(" AND data_value<>'-'  AND Option_ID=0")
                                                        : " AND data_value='" + sought + "' AND Option_ID=0";
      equipment.SetFilter(Variant(standard_filter + standard_value));
      standard_found = equipment.RecordCount() > 0;
    }
    if (context_.option_upper >= 0) {
      equipment.SetFilter(Variant(addFilter(brochure_variant_, context_.options)));
      equipment.SetSort("option_id DESC");
      if (availability_line && !standard_found) FindForward(equipment, SoughtValueCriteria(sought));
      if (!equipment.IsEOF()) {
        matched_option = vb::CInt(equipment.Value(eq.option_id));
      } else {
        equipment.SetFilter(Variant(standard_filter));
        matched_option = 0;
      }
      if (equipment.RecordCount() > 0) equipment.MoveFirst();
    } else {
      equipment.SetFilter(Variant(standard_filter));
    }
  } else {
    // The sheet query selects positive schema ids only; a line without one
    // gets no equipment rows (and so "@X") rather than the previous line's.
    equipment.SetFilter(Variant(standard_filter));
  }

  // C. Whether the parent schema's standard value answers instead.
  bool parent_fitted = false;
  if ((equipment.RecordCount() == 0 && matched_option == 0) || (matched_option > 0 && no_standard_row)) {
    Recordset& parents = *context_.parents;
    // The next line sets its own parent filter; the rows are not read
    // otherwise, so the filter is not cleared after use.
    parents.SetFilter(Variant("schema_id=" + std::to_string(schema_id) + LocationCondition(line.location)));
    if (!parents.IsEOF()) {
      const Variant& parent_value = parents.Value(parent_data_value_field_);
      // Only "-" says the parent lacks the feature; a Null is not "-".
      parent_fitted = parent_value.IsNull() || vb::ToText(parent_value) != "-";
    }
  }

  // D., E. The equipment answers.
  if (!equipment.IsEOF() && !equipment.IsBOF() && !parent_fitted) {
    const bool found = FindForward(equipment, "option_ID=" + std::to_string(matched_option));
    if (matched_option == 0 && found) {
      const Variant& content = equipment.Value(eq.content);
      if (!content.IsNull()) line.standard_text = vb::ToText(content);
    }
    const char kind = format.empty() ? '\0' : UpperAscii(format[0]);
    switch (kind) {
      case 'T':
        if (!equipment.IsEOF()) {
          const Variant& data_value = equipment.Value(eq.data_value);
          const bool matches =
              sought.empty() || (!data_value.IsNull() && vb::TextEquals(vb::ToText(data_value), sought));
          if (matches) display = vb::ToText(equipment.Value(eq.full_text)) + line_texts;
          // Also without a match the line reports the value of the row it
          // looked at, consistent with the option and record ids set below.
          line.data_value = vb::ToText(data_value);
        }
        break;
      case 'A': {
        display = GetAvailAbility(brochure, equipment, standard_found, context_.price_field) + line_texts;
        if (!equipment.IsEOF()) line.data_value = vb::ToText(equipment.Value(eq.data_value));
        break;
      }
      case 'S': {
        const bool was_at_end = equipment.IsEOF();
        const bool content_was_null = !was_at_end && equipment.Value(eq.content).IsNull();
        std::string code = GetAvailAbility(brochure, equipment, standard_found, context_.price_field);
        // Without a current row after the search the code is "@X", which
        // holds no "@S": the content is not read, as for a Null content.
        std::string content;
        if (!was_at_end && !content_was_null && !equipment.IsEOF()) {
          content = vb::ToText(equipment.Value(eq.content));
        }
        display = vb::Replace(code, "@S", content) + line_texts;
        if (!equipment.IsEOF()) line.data_value = vb::ToText(equipment.Value(eq.data_value));
        break;
      }
      case '#':
        if (!equipment.IsEOF()) {
          const Variant& data_value = equipment.Value(eq.data_value);
          display = FormatSpecNumber(data_value, schema_id, format, context_.language_id,
                                     context_.decimal_separator, context_.unlimited_text) +
                    line_texts;
          line.data_value = vb::ToText(data_value);
        }
        break;
      default:
        if (!equipment.IsEOF()) {
          line.data_value = vb::ToText(equipment.Value(eq.data_value));
          display = line.data_value + line_texts;
        } else {
          display = "@X" + line_texts;
          line.data_value = "-";
        }
        break;
    }
    if (!equipment.IsEOF()) {
      line.option_id = vb::CInt(equipment.Value(eq.option_id));
      line.record_id = vb::CInt(equipment.Value(eq.record_id));
    } else {
      display = "@X" + line_texts;
      line.data_value = "-";
    }
  } else if (parent_fitted) {
    // G. Nothing answers but the parent has a standard value.
    display = CollapseBlankPairs("@U" + line_texts);
  } else {
    display = "@X" + line_texts;
  }

  // H.
  line.description = FormatDescByLanguageID(context_.language_id, CollapseBlankPairs(display));
  return line;
}

}  // namespace trelix::ebrochure

#pragma once
// Recordset: an in-memory, client-side, disconnected recordset with the
// cursor behaviour of an ADO 2.6 client cursor, which every result of the
// component is.
//
// Rows live in insertion order. A view (the rows visible through Filter, in
// Sort order) is what navigation, RecordCount, Find and Save see. Setting
// Filter or Sort moves to the first row of the new view. Fields whose
// Optimize property is set keep an index, so that equality Filter and Find
// on them cost far less than a scan.
//
// Errors are ComErrors with ADO's numbers (3001 bad arguments / criteria,
// 3021 no current record, 3265 item not found, 3367 field not appendable,
// 3704 object closed, 3705 object open, ...). A failing operation leaves the
// recordset as it was.
//
// Not thread-safe: a recordset is used by one thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/variant.h"

namespace trelix {

// ADO DataTypeEnum values the engine stores.
enum class DataType : int32_t {
  kEmpty = 0,
  kSmallInt = 2,          // adSmallInt
  kInteger = 3,           // adInteger
  kSingle = 4,            // adSingle
  kDouble = 5,            // adDouble
  kCurrency = 6,          // adCurrency
  kDate = 7,              // adDate
  kBSTR = 8,              // adBSTR: text of any length
  kBoolean = 11,          // adBoolean
  kVariant = 12,          // adVariant
  kDecimal = 14,          // adDecimal
  kTinyInt = 16,          // adTinyInt
  kUnsignedTinyInt = 17,  // adUnsignedTinyInt
  kBigInt = 20,           // adBigInt
  kGUID = 72,             // adGUID
  kBinary = 128,          // adBinary
  kChar = 129,            // adChar
  kNumeric = 131,         // adNumeric (decimal(p,s))
  kDBTimeStamp = 135,     // adDBTimeStamp (datetime)
  kChapter = 136,         // adChapter: a child recordset per row
  kVarChar = 200,         // adVarChar
  kLongVarChar = 201,     // adLongVarChar
  kVarWChar = 202,        // adVarWChar
  kLongVarWChar = 203,    // adLongVarWChar (ntext)
};

class Stream;
namespace recordset_internal {
struct Access;  // the implementation files' way to the recordset's state
}

struct FieldInfo {
  std::string name;
  DataType type = DataType::kVariant;
  int32_t defined_size = 0;   // characters for text types; 0 = unbounded
  int32_t attributes = -1;    // FieldAttributeEnum bits as appended
  uint8_t precision = 0;      // kNumeric/kDecimal
  uint8_t numeric_scale = 0;  // kNumeric/kDecimal
  bool nullable = true;
};

class Recordset : public Object {
 public:
  Recordset();
  ~Recordset() override;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  std::string TypeName() const override { return "Recordset"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;

  // --- Structure (Fields collection) ---------------------------------------
  // Append a field before Open. Raises 3367 when open, 3367/3001 on a
  // duplicate name or an unsupported type.
  void AppendField(const FieldInfo& field);
  void AppendField(std::string name, DataType type, int32_t defined_size = 0, int32_t attributes = -1);
  // AppendField for each of `fields` in turn, with the same checks; the
  // fields of a result are appended in one step, without regrowing.
  void AppendFields(std::vector<FieldInfo> fields);
  int FieldCount() const;
  const FieldInfo& Field(int index) const;
  // Index of a field by name (case-insensitive), or -1.
  int FindField(std::string_view name) const;
  // Index of a field by name; raises 3265 "Item cannot be found in the
  // collection corresponding to the requested name or ordinal." when absent.
  int FieldIndex(std::string_view name) const;

  // --- Life cycle -----------------------------------------------------------
  // Open with no source: an empty, updatable recordset of the appended fields.
  // Raises 3705 when already open.
  void Open();
  // Open from a stream holding the XML persistence form (as Save writes it,
  // or as ADO wrote it). Raises a ComError describing malformed input.
  void Open(Stream& source);
  void Close();  // empties fields and rows
  bool IsOpen() const;

  // --- Navigation over the current view -------------------------------------
  bool IsEOF() const;  // ADO EOF (the name EOF is a C macro)
  bool IsBOF() const;  // ADO BOF
  void MoveFirst();     // 3021 when the view is empty
  void MoveLast();      // 3021 when the view is empty
  void MoveNext();      // 3021 at EOF
  void MovePrevious();  // 3021 at BOF
  int32_t RecordCount() const;      // rows in the view
  // 1-based position in the view; -2 at BOF, -3 at EOF (also when the view is
  // empty), -1 while a deleted row is current (adPosBOF/adPosEOF/adPosUnknown).
  int32_t AbsolutePosition() const;

  // --- Values of the current row --------------------------------------------
  // Raise 3021 without a current row, 3265 for an unknown field.
  const Variant& Value(int field_index) const;
  const Variant& Value(std::string_view field_name) const;
  // Writes convert to the field's type (13 on a mismatch); a text longer than
  // a sized text field's defined size is an error (-2147217887, "Multiple-step
  // operation generated errors. Check each status value.").
  void SetValue(int field_index, const Variant& value);
  void SetValue(std::string_view field_name, const Variant& value);
  // The value of row `position` (0-based) of the view, without moving the
  // cursor: for code that walks a result it must not disturb (JSON, tables).
  // Raises 3021 for a position outside the view.
  const Variant& ValueAt(int32_t position, int field_index) const;

  // --- Editing ----------------------------------------------------------------
  void AddNew();               // appends an empty row (fields Empty) and makes it current
  void Update();               // ends the edit of the current row
  void UpdateBatch(int affect = 3);  // accepts every pending change locally
  void Delete(int affect = 1); // deletes the current row
  // Append a whole row without the edit protocol: the fast path drivers use
  // to fill a result. Values must already be of the field types. They are
  // moved out; the caller's vector keeps its buffer for the next row.
  void AppendRow(std::vector<Variant>&& values);
  // AppendRow for values not yet of the field types: each is converted as
  // SetValue converts it, with the same errors, and nothing is appended when
  // one fails. What AddNew, a SetValue per field and UpdateBatch give, less
  // the edit bookkeeping, except that the cursor is left where AppendRow
  // leaves it.
  void AppendConvertedRow(std::vector<Variant> values);
  // Room for `rows` more appended rows, so that filling a large result does
  // not regrow the row storage (a capacity hint; no effect on contents).
  void Reserve(int32_t rows);
  // AppendRow for each row of `cells` (row-major, FieldCount() values a row,
  // already of the field types; moved out). Into an empty recordset without
  // filter or sort the block becomes the row storage as it is. Raises 3001
  // when the count is not a whole number of rows.
  void AppendRows(std::vector<Variant>&& cells);
  // The values of the visible rows, row-major in view order (FieldCount()
  // values a row), leaving the recordset closed: for code that consumes a
  // result nobody else holds. Cells the recordset holds alone are moved out
  // (the whole storage at once when every row is visible in insertion
  // order); cells shared with a clone or a cached copy are copied, so that
  // the other side stays whole. Raises 3704 when closed.
  std::vector<Variant> TakeVisibleValues();

  // --- Filter, Sort, Find -----------------------------------------------------
  // Filter: a criteria string (ADO grammar: terms `field op value` with
  // = <> < > <= >= LIKE, AND/OR groups, parentheses, 'texts' with '' escapes,
  // #dates#, numbers, Null), or 0 / "" to clear. Text compares ignore case.
  // Makes the first visible row current. Raises 3001 on bad criteria and
  // 3265 on an unknown field, leaving the previous filter in place.
  void SetFilter(const Variant& criteria);
  const Variant& Filter() const;  // the criteria as last set; 0 when cleared

  // Sort: "field [ASC|DESC], ..." (stable; Null first ascending); "" restores
  // insertion order. Makes the first row current.
  void SetSort(std::string_view sort);
  const std::string& Sort() const;

  // Find: one term, searched from the current row offset by `skip` in
  // `direction` (1 forward, -1 backward). Found: that row is current. Not
  // found: EOF (forward) or BOF (backward). At EOF (forward) or on an empty
  // view nothing is found and no error is raised, so that "find, then test
  // EOF" works on a filter that left no rows; from BOF a forward search
  // starts at the first row. AND/OR raise 3001.
  void Find(std::string_view criteria, int32_t skip = 0, int32_t direction = 1);

  // Field property "Optimize": builds (true) or drops (false) an index.
  void SetOptimize(std::string_view field_name, bool on);
  bool Optimize(std::string_view field_name) const;

  // ActiveConnection = Nothing. Results of the engine are always
  // disconnected, so this only records that the caller asked.
  void Disconnect();

  // --- Persistence --------------------------------------------------------------
  // Save(stream, 1): write the visible rows in the XML persistence format.
  // Afterwards the first row is current. Raises 3704 when closed.
  void Save(Stream& destination, int32_t persist_format = 1);
  // The XML persistence text of the recordset (what Save writes).
  std::string SaveXml();
  // A recordset loaded from XML persistence text.
  static std::shared_ptr<Recordset> LoadXml(std::string_view xml);

  // A deep copy of structure, visible rows and values (no filter, no sort).
  std::shared_ptr<Recordset> Clone() const;

 private:
  friend struct recordset_internal::Access;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

using RecordsetRef = std::shared_ptr<Recordset>;

// Process-wide switch for the benchmarks' naive reference: while off,
// SetOptimize(true) builds no index (and Optimize reads false), so equality
// filters and finds scan as they would without the property. On by default.
void SetRecordsetIndexesEnabled(bool enabled);

}  // namespace trelix

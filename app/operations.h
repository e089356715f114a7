#pragma once
// The operations the CLI and the HTTP service offer, described once: their
// argument names (the same on the command line, "--vehicle", and in a query
// string, "vehicle="), how each argument is validated and converted to the
// variant the component expects, and how the operation calls the component
// through late binding, as the site's pages did.
//
// The component builds SQL by concatenating its arguments without escaping;
// that is its contract. These argument checks are therefore the boundary:
// every value is checked against a strict pattern before a call is made.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/recordset.h"
#include "common/variant.h"

namespace trelix::app {

enum class ArgKind : uint8_t {
  kInt16,        // a 16-bit integer (language, segmentation, top, start row)
  kInt32,        // a 32-bit integer (cache handle, schema id)
  kVehicleId,    // one vehicle id: decimal digits
  kVehicleList,  // vehicle ids joined by "," without blanks
  kOptionList,   // option ids joined by ","; "" is an empty array; absent: not an array
  kCode,         // a category / segment / item code: letters, digits, _ - . blank, no quotes
  kCurrencyList, // currency codes (3 letters) joined by ","
  kCurrency,     // one currency code
  kFieldName,    // a column name: letter, then letters, digits, _
  kNumber,       // a double (prices, totals, values to format)
  kFlag,         // a Boolean switch
  kText,         // free text for the pure text operations (no SQL behind them)
  kItemList,     // item ids joined by "," (advantage specs items)
};

struct ArgSpec {
  std::string name;       // "vehicle", "price-field": CLI --name, HTTP name=
  ArgKind kind;
  bool required = false;
  std::string default_value;  // used when absent and not required ("" = none)
  std::string help;
  // Another argument that must be given whenever this one is.
  std::string needs = {};
};

// Values of one call as the user gave them, before validation.
using RawArgs = std::map<std::string, std::string>;

// The settings a host fixes for every call: never taken from a request.
struct HostSettings {
  std::string connection;
  std::string project = "demo_project";
  std::string specs = "demo_specs";
};

// What an operation returns.
struct OperationResult {
  enum class Kind : uint8_t { kRecordset, kText, kJson } kind = Kind::kText;
  RecordsetRef recordset;
  std::string text;        // kText; kJson: a JSON document
  std::string table_text;  // kJson: the readable table form, when there is one
  int votes_complete = 0;  // SetComplete calls cast in the call's object context
  int votes_abort = 0;     // SetAbort calls
};

// A rejected argument: names the parameter, says why.
struct ArgumentError {
  std::string parameter;
  std::string message;
  // The value is well-formed but names nothing in the site's data (the
  // service answers 404 instead of 400).
  bool not_found = false;
};

struct OperationSpec;

// Validated arguments of one call, converted on access; absent arguments
// give their spec's default.
class CallArgs {
 public:
  CallArgs(const OperationSpec& spec, const RawArgs& args) : spec_(spec), args_(args) {}
  bool Has(const std::string& name) const { return args_.count(name) != 0; }
  std::string Text(const std::string& name) const;
  int16_t Int16(const std::string& name) const;
  int32_t Int32(const std::string& name) const;
  double Number(const std::string& name) const;
  bool Flag(const std::string& name) const;
  // An option list: absent means "not an array" (Empty); "" an empty array.
  Variant Options(const std::string& name) const;

 private:
  const OperationSpec& spec_;
  const RawArgs& args_;
};

struct OperationSpec {
  std::string name;     // subcommand and /api/<name>
  std::string summary;
  std::vector<ArgSpec> args;
  // Runs the operation with validated arguments. Raises ComError for
  // component errors.
  std::function<OperationResult(const CallArgs& args, const HostSettings& host)> run;
  // Optional: checks of argument values against the site's data, for values
  // on which the component would fail with a bare engine or bounds error
  // (a price column the site lacks, a feature category without features).
  std::function<std::optional<ArgumentError>(const CallArgs& args, const HostSettings& host)> check_data = {};
};

// Every component operation (the subcommands that call a class of the
// component), in contract order.
const std::vector<OperationSpec>& ComponentOperations();
const OperationSpec* FindOperation(const std::string& name);

// Checks every argument of `args` against `spec`: unknown names, missing
// required ones, values that do not match their kind or exceed the length
// and count limits, and arguments that need each other. nullopt when all
// are acceptable.
std::optional<ArgumentError> ValidateArguments(const OperationSpec& spec, const RawArgs& args);

// The spec's check_data, if any. A failure to read the site's data is not
// reported here: the call itself then meets it and answers with the
// component's error. REQUIRES: ValidateArguments passed.
std::optional<ArgumentError> CheckArgumentsAgainstData(const OperationSpec& spec, const RawArgs& args,
                                                       const HostSettings& host);

// Runs an operation the way the application server hosted the component:
// the object is created for the call and the call runs inside an object
// context whose completion votes are returned with the result. Raises
// ComError for component errors; REQUIRES: ValidateArguments passed.
OperationResult RunOperation(const OperationSpec& spec, const RawArgs& args, const HostSettings& host);

// --- conversions used by the operations (also for tests) -------------------
// "12,15" -> array of Long 12, 15 (lower bound 0); "" -> empty array.
Variant OptionArray(const std::string& list);

}  // namespace trelix::app

// The service's request boundary: a request target ("/api/specs?language=1"
// or "specs?language=1") through the service's own query-string parser, then
// ValidateArguments of the named operation, then the conversions the
// operation makes from accepted values.
//
// Besides crashes this checks the boundary's promises: parsed names and
// values are UTF-8 without NUL bytes, and a value accepted for any kind
// except free text can be pasted into a statement, so it holds no quote,
// bracket, statement separator, control or non-ASCII character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/operations.h"
#include "app/query_string.h"

namespace {

using trelix::app::ArgKind;

bool SafeForStatements(const std::string& value) {
  for (unsigned char c : value) {
    if (c < 0x20 || c == '\'' || c == '"' || c == ';' || c == '[' || c == ']' || c >= 0x80) return false;
  }
  return true;
}

bool CleanText(const std::string& text) {
  return trelix::IsValidUtf8(text) && text.find('\0') == std::string::npos;
}

void Convert(const trelix::app::OperationSpec& spec, const trelix::app::RawArgs& args) {
  trelix::app::CallArgs call(spec, args);
  for (const trelix::app::ArgSpec& arg : spec.args) {
    std::string text = call.Text(arg.name);
    if (arg.kind != ArgKind::kText && !SafeForStatements(text)) std::abort();
    switch (arg.kind) {
      case ArgKind::kInt16: (void)call.Int16(arg.name); break;
      case ArgKind::kInt32: (void)call.Int32(arg.name); break;
      case ArgKind::kVehicleId:
      case ArgKind::kNumber: (void)call.Number(arg.name); break;
      case ArgKind::kFlag: (void)call.Flag(arg.name); break;
      case ArgKind::kOptionList:
      case ArgKind::kItemList: (void)call.Options(arg.name); break;
      default: break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view target(reinterpret_cast<const char*>(data), size);
  std::string_view path = target.substr(0, target.find('?'));
  if (path.substr(0, 5) == "/api/") path.remove_prefix(5);
  trelix::app::QueryString query = trelix::app::ParseQueryString(trelix::app::QueryOfTarget(target));
  const trelix::app::OperationSpec* spec = trelix::app::FindOperation(std::string(path));
  if (!query.ok() || !spec) return 0;
  for (const auto& [name, value] : query.params) {
    if (!CleanText(name) || !CleanText(value)) std::abort();
  }
  // "format" is the server's own parameter unless the operation has one.
  bool own_format = false;
  for (const auto& arg : spec->args) own_format |= arg.name == "format";
  if (!own_format) query.params.erase("format");
  if (trelix::app::ValidateArguments(*spec, query.params)) return 0;
  Convert(*spec, query.params);
  return 0;
}

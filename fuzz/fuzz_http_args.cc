// The service's request boundary: a query string decoded as the HTTP server
// does, then ValidateArguments of the named operation, then the conversions
// the operation makes from accepted values. Input: "operation?query".
//
// Besides crashes this checks the boundary's promise: a value accepted for
// any kind except free text can be pasted into a statement, so it holds no
// quote, bracket, statement separator, control or non-ASCII character.
#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/operations.h"

namespace {

using trelix::app::ArgKind;

bool SafeForStatements(const std::string& value) {
  for (unsigned char c : value) {
    if (c < 0x20 || c == '\'' || c == '"' || c == ';' || c == '[' || c == ']' || c >= 0x80) return false;
  }
  return true;
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
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t question = input.find('?');
  if (question == std::string::npos) return 0;
  const trelix::app::OperationSpec* spec = trelix::app::FindOperation(input.substr(0, question));
  if (!spec) return 0;
  httplib::Params params;
  httplib::detail::parse_query_text(input.substr(question + 1), params);
  trelix::app::RawArgs args;
  for (const auto& [key, value] : params) {
    if (key == "format") continue;  // the server's own parameter, not the operation's
    if (!args.emplace(key, value).second) return 0;  // a repeated name is refused before validation
  }
  if (trelix::app::ValidateArguments(*spec, args)) return 0;
  Convert(*spec, args);
  return 0;
}

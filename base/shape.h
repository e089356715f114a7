#pragma once
// Data shaping: the SHAPE ... COMPUTE ... BY commands the component sends to
// ExecuteShape, parsed and executed on the client (they are never sent to a
// server; only the provider commands between braces are).
//
//   shape-command ::= SHAPE table-exp [[AS] alias] COMPUTE chapter-field [BY field {, field}]
//   table-exp     ::= '{' provider-command-text '}' | '(' shape-command ')'
//   chapter-field ::= alias [[AS] name]
//   alias, name, field ::= word | [text] | "text" | 'text'     (keywords in any case)
//
// The result has one row per distinct BY tuple of the child rowset; each row
// holds the chapter field (the child rows with those values, in child order)
// followed by the BY fields with the child's types. Without BY there is one
// row holding every child row. Left to the implementer: parent rows come in
// order of first appearance (deterministic, and the provider command's ORDER
// BY then orders the groups too), and text groups ignore case as the
// databases compare text (the first spelling is kept); NULLs group together.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/recordset.h"
#include "common/status.h"

namespace trelix::base {

struct ShapeCommand {
  // The child rowset: a provider command, or a nested shape when `nested`.
  std::string provider_text;
  std::unique_ptr<ShapeCommand> nested;
  std::string alias;         // the child rowset's alias (may be empty)
  std::string chapter_name;  // the chapter field: AS name, else the alias
  std::vector<std::string> by;
};

// Parses a command. InvalidArgument naming the place of a syntax error;
// Unsupported for shaping forms other than COMPUTE ... BY (APPEND,
// aggregates, CALC, NEW).
Result<ShapeCommand> ParseShape(std::string_view text);

// Runs a provider command and returns its rows. May also throw; what it
// throws passes through ExecuteShape unchanged.
using ProviderRunner = std::function<Result<RecordsetRef>(const std::string& provider_text)>;

// ParseShape through a per-thread cache of the last few commands parsed: a
// page sends the same few commands on every call. Errors are not kept.
Result<std::shared_ptr<const ShapeCommand>> ParseShapeCached(std::string_view text);

// Executes a parsed command. InvalidArgument when a BY field is not a field
// of the child rowset.
Result<RecordsetRef> ExecuteShape(const ShapeCommand& command, const ProviderRunner& run);

}  // namespace trelix::base

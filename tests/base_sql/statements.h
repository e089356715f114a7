#pragma once
// The component's statements with sample values and their reference
// rewrites (tests/base_sql/testdata), loaded by id ("S01" ...).

#include <map>
#include <random>
#include <string>

namespace trelix::sql::testing {

struct SampleStatement {
  std::string database;  // the database it runs against
  std::string text;      // exact bytes
};

// file: "statements", "statements_sqlite" or "statements_postgres".
std::map<std::string, SampleStatement> LoadStatements(const std::string& file);

// True when both texts have the same tokens: names and keywords compared
// without regard to case, literals and quoted names exactly, blanks
// ignored. `diff` receives the first difference.
bool SameTokens(const std::string& a, const std::string& b, std::string* diff);

// Fuzzing help: a statement with one to four random edits (deletions,
// inserted SQL fragments, flipped bytes, a cut), and one such fragment.
std::string MutateStatement(std::string s, std::mt19937& rng);
const char* RandomPiece(std::mt19937& rng);

}  // namespace trelix::sql::testing

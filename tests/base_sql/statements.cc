#include "base_sql/statements.h"

#include <fstream>

#include "base/sql/token.h"

namespace trelix::sql::testing {

std::map<std::string, SampleStatement> LoadStatements(const std::string& file) {
  std::ifstream in(std::string(TRELIX_SOURCE_DIR) + "/tests/base_sql/testdata/" + file + ".sql", std::ios::binary);
  std::map<std::string, SampleStatement> out;
  SampleStatement* current = nullptr;
  bool in_text = false;
  // Lines split at LF only: a statement's own CR bytes stay in its text.
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("-- [S", 0) == 0) {
      current = &out[line.substr(4, 3)];
      in_text = false;
    } else if (current && line.rfind("-- run against: ", 0) == 0) {
      current->database = line.substr(16, line.find(' ', 16) - 16);
      in_text = true;
    } else if (current && in_text) {
      if (line == ";" || line.empty()) {
        in_text = false;
      } else {
        current->text += (current->text.empty() ? "" : "\n") + line;
      }
    }
  }
  return out;
}

bool SameTokens(const std::string& a, const std::string& b, std::string* diff) {
  auto ta = Tokenize(a);
  auto tb = Tokenize(b);
  if (!ta.ok() || !tb.ok()) {
    *diff = "does not tokenize: " + (ta.ok() ? tb.status().message() : ta.status().message());
    return false;
  }
  const auto& x = ta.value();
  const auto& y = tb.value();
  for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
    const bool same = x[i].kind == y[i].kind && x[i].national == y[i].national &&
                      (x[i].kind == TokenKind::kIdentifier ? EqualsIgnoreCase(x[i].text, y[i].text)
                                                           : x[i].text == y[i].text);
    if (!same) {
      *diff = "token " + std::to_string(i) + ": '" + x[i].text + "' at " + std::to_string(x[i].offset) + " vs '" +
              y[i].text + "' at " + std::to_string(y[i].offset) + "\n  " + a.substr(x[i].offset, 60) + "\n  " +
              b.substr(y[i].offset, 60);
      return false;
    }
  }
  if (x.size() != y.size()) {
    *diff = "token counts " + std::to_string(x.size()) + " vs " + std::to_string(y.size());
    return false;
  }
  return true;
}

namespace {
const char* const kPieces[] = {
    "SELECT ", " FROM ", " WHERE ", " JOIN ", " LEFT OUTER JOIN ", " ON ", " GROUP BY ", " ORDER BY ", " UNION ",
    " TOP 3 ", " DISTINCT ", "(", ")", ",", ".", "..", "'", "''", "N'", "[", "]", "\"", " + ", " - ", " * ", " = ",
    " != ", " !< ", " <> ", " AND ", " OR ", " NOT ", " IS NULL ", " IN (", " LIKE ", " BETWEEN ", " CASE ",
    " WHEN ", " THEN ", " ELSE ", " END ", " cast(", " as varchar(5)", " MIN(", " COUNT(*) ", " x ", " t.x ",
    " 1 ", " 1.5e3 ", " 1INNER ", "--", "/*", "*/", ";", " @v ", "{", "}", " SHAPE ", "\n", "\t", "\xc3\xa9",
    "\0", " ESCAPE ", " EXISTS ", " HAVING ", " AS ", " demo_project..e_brochure ",
};

}  // namespace

const char* RandomPiece(std::mt19937& rng) { return kPieces[rng() % std::size(kPieces)]; }

std::string MutateStatement(std::string s, std::mt19937& rng) {
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits; ++e) {
    const size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 4) {
      case 0:  // delete a run
        if (!s.empty() && at < s.size()) s.erase(at, 1 + rng() % 12);
        break;
      case 1:  // insert a piece
        s.insert(at, kPieces[rng() % std::size(kPieces)]);
        break;
      case 2:  // flip a byte
        if (!s.empty() && at < s.size()) s[at] = static_cast<char>(rng() % 256);
        break;
      default:  // cut
        s.resize(at);
        break;
    }
  }
  return s;
}

}  // namespace trelix::sql::testing

// Calculate (one-operator formulas, errors through the procedure error log)
// and ConditionMet (braced items, the format error, re-raised errors).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "common/Utilitys.h"
#include "common/com_error.h"
#include "common/modVelloxLITE.h"
#include "common/vb_runtime.h"
#include "common/vbscript_engine.h"
#include "support/scoped_error_log.h"

namespace trelix {
namespace {

class ScopedSeparator {
 public:
  explicit ScopedSeparator(char separator) { vb::SetDecimalSeparatorOverride(separator); }
  ~ScopedSeparator() { vb::SetDecimalSeparatorOverride(std::nullopt); }
};

// The error log goes to a fresh folder for each test.
class CalcTest : public ::testing::Test {
 protected:
  std::string Log() const { return log_.Text(); }

  ScopedSeparator point_{'.'};
  testing::ScopedErrorLog log_;
};

std::string CalculateOutcome(const Variant& expression) {
  try {
    return Calculate(expression);
  } catch (const ComError& error) {
    return "error " + std::to_string(error.number());
  }
}

TEST_F(CalcTest, OneOperatorByPriority) {
  const std::pair<const char*, const char*> cases[] = {  // the formula, the result or "error N"
      {"10/4", "2.5"}, {"3*4", "12"}, {"7-10", "-3"}, {"3+4", "7"}, {"42", ""}, {"", ""}, {"5*-3", "-15"},
      {"5--3", "8"}, {" 10 / 4 ", "2.5"},
      {"1.5e+3*2", "3000"},     // "*" outranks the "+" of the exponent
      {"100-2/4", "error 13"},  // "/" splits first: left operand "100-2"
      {"2-3*4", "error 13"}, {"-5-3", "error 13"}, {"abc+1", "error 13"}, {"1+", "error 13"}, {"1/0", "error 11"},
      {"0/0", "error 6"}, {"1e308*10", "error 6"}, {"1e308+1e308", "error 6"}, {"1/3", "0.333333333333333"},
      {"1/1e20", "1E-20"}, {"1e15*10", "1E+16"}, {"1,000*2", "2000"},
  };
  for (const auto& [formula, expected] : cases) EXPECT_EQ(CalculateOutcome(Variant(formula)), expected) << formula;
  EXPECT_EQ(CalculateOutcome(Variant::Null()), "");
  EXPECT_EQ(CalculateOutcome(Variant(int16_t{42})), "");
  EXPECT_EQ(CalculateOutcome(Variant(int16_t{-5})), "error 13");  // "-5": nothing before the operator
}

TEST_F(CalcTest, CommaDecimalSeparator) {
  ScopedSeparator comma(',');
  EXPECT_EQ(Calculate(Variant("10/4")), "2,5");
  EXPECT_EQ(Calculate(Variant("1,5*3")), "4,5");
  EXPECT_EQ(Calculate(Variant("1.000,5+1")), "1001,5");
}

TEST_F(CalcTest, ErrorsGoThroughTheErrorLog) {
  try {
    Calculate(Variant("1/0"));
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), kErrDivisionByZero);
    EXPECT_EQ(error.description().rfind("Division by zero in Utilitys, Function Calculate at line number", 0), 0u)
        << error.description();
    EXPECT_NE(error.source().find("Utilitys!Function Calculate"), std::string::npos) << error.source();
  }
  std::string log = Log();
  EXPECT_NE(log.find("Function Calculate"), std::string::npos) << log;
  EXPECT_NE(log.find("Division by zero"), std::string::npos) << log;
}

struct ConditionCase {
  const char *condition, *list;
  int expected;  // 1 true, 0 false, else the error number
};

int ConditionOutcome(const std::string& condition, const std::string& list) {
  std::string working = condition;
  try {
    return ConditionMet(working, list) ? 1 : 0;
  } catch (const ComError& error) {
    EXPECT_EQ(error.source(), "trelix_eb:ConditionMet") << condition;
    return error.number();
  }
}

TEST_F(CalcTest, ConditionMet) {
  const ConditionCase cases[] = {
      {"", " 1 ", 1}, {"    ", "", 1}, {"{5}", " 5 ", 1}, {"{5}", "5", 0}, {"{5}", " 15 ", 0},
      {"({12} or {15}) and not {20}", " 12 20 ", 0}, {"({12} or {15}) and not {20}", " 12 ", 1},
      {"{12} and {20}", " 12 20 ", 1}, {"{3} and {17}", " 3 17 ", 1}, {"{3} and {17}", "3 17", 0},
      {"{007}", " 7 ", 1}, {"{ 12 }", " 12 ", 1}, {"{12}", " 12  20 ", 1}, {"not({1})", "", 1}, {"1=1", "", 1},
      {"1=2", "", 0},
      {"{1}{2}", " 1 2 ", 0},  // "truefalse" is an undeclared name: Empty, false
      {"{5", " 5 ", kErrConditionFormat}, {"{}", " 5 ", kErrConditionFormat}, {"{1} and {", " 1 ", kErrConditionFormat},
      {"{1} and {}", " 1 ", kErrConditionFormat}, {"{x}", " 5 ", kErrTypeMismatch},
      {"{1.5.1}", " 5 ", kErrTypeMismatch}, {"{99999999999}", " 5 ", kErrOverflow}, {"{1} or", " 1 ", 1002},
      {"{1}}", " 1 ", 1032}, {"{1} = null", " 1 ", kErrInvalidUseOfNull}, {"\"abc\"", "", kErrTypeMismatch},
  };
  for (const ConditionCase& c : cases) {
    EXPECT_EQ(ConditionOutcome(c.condition, c.list), c.expected) << "'" << c.condition << "' in '" << c.list << "'";
  }
  EXPECT_TRUE(Log().empty()) << "ConditionMet never writes to the error log";
}

TEST_F(CalcTest, ConditionMetTrimsInPlaceAndKeepsTheTexts) {
  std::string condition = "  {5} or {6}  ";
  const std::string list = " 6 ";
  EXPECT_TRUE(ConditionMet(condition, list));
  EXPECT_EQ(condition, "{5} or {6}");
  EXPECT_EQ(list, " 6 ");
  condition = "\t{5}\t";  // only blanks are trimmed
  EXPECT_FALSE(ConditionMet(condition, " 7 "));
  EXPECT_EQ(condition, "\t{5}\t");
}

// The texts callers show; the source is checked for every case above.
TEST_F(CalcTest, ConditionMetErrorTexts) {
  const std::tuple<const char*, int32_t, const char*> cases[] = {
      {"{5", -2147220988, "Condition or Rule has unexpected format"},
      {"{x}", kErrTypeMismatch, "Type mismatch"},
      {"{5} 2", 1025, "Expected end of statement"},
  };
  for (const auto& [text, number, description] : cases) {
    std::string condition = text;
    try {
      ConditionMet(condition, " 5 ");
      ADD_FAILURE() << text << ": no error";
    } catch (const ComError& error) {
      EXPECT_EQ(std::tuple(error.number(), error.description()), std::tuple(number, description)) << text;
    }
  }
}

TEST_F(CalcTest, ConditionMetReusesTheThreadsParsedConditions) {
  vbscript::ScriptEngine& engine = vbscript::ThreadScriptEngine();
  engine.ClearCache();
  std::string a = "({12} or {15}) and not {20}";
  std::string b = a;
  EXPECT_FALSE(ConditionMet(a, " 12 20 "));
  EXPECT_FALSE(ConditionMet(b, " 12 20 "));
  EXPECT_EQ(engine.cached_expressions(), 1u);
  // Another thread evaluates with its own engine.
  bool other = false;
  std::thread worker([&] {
    std::string c = "{15}";
    other = ConditionMet(c, " 15 ");
    EXPECT_EQ(vbscript::ThreadScriptEngine().cached_expressions(), 1u);
  });
  worker.join();
  EXPECT_TRUE(other);
}

}  // namespace
}  // namespace trelix

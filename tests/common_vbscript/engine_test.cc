// The VBScript expression engine: the language's literals, precedence,
// Null logic, type promotion, comparison rules, built-in functions, errors,
// the parse cache and the per-thread engine.

#include "common/vbscript_engine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/com_error.h"
#include "common/object.h"
#include "common/vb_runtime.h"

namespace trelix::vbscript {
namespace {

class ScopedSeparator {
 public:
  explicit ScopedSeparator(char separator) { vb::SetDecimalSeparatorOverride(separator); }
  ~ScopedSeparator() { vb::SetDecimalSeparatorOverride(std::nullopt); }
};

// "Integer 13", "Boolean False", "Null", "String 'ab '": type and value.
std::string Describe(const Variant& value) {
  std::string type = VbScriptTypeName(value);
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return type;
  std::string text = vb::CStr(value);
  return type + (value.IsString() ? " '" + text + "'" : " " + text);
}

// The value as Describe writes it, or "error N".
std::string Outcome(ScriptEngine& engine, const std::string& expression) {
  try {
    return Describe(engine.Eval(expression));
  } catch (const ComError& error) {
    return "error " + std::to_string(error.number());
  }
}

struct Case {
  const char* expression;
  const char* expected;
};

void ExpectAll(ScriptEngine& engine, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(Outcome(engine, c.expression), c.expected) << c.expression;
}

void ExpectAll(const std::vector<Case>& cases) {
  ScriptEngine engine;
  ExpectAll(engine, cases);
}

class EngineTest : public ::testing::Test {
 protected:
  ScopedSeparator point_{'.'};
};

TEST_F(EngineTest, Literals) {
  ExpectAll({
      {"", "Empty"}, {"   ", "Empty"}, {"13", "Integer 13"}, {"32767", "Integer 32767"}, {"32768", "Long 32768"},
      {"2147483647", "Long 2147483647"}, {"2147483648", "Double 2147483648"}, {"010", "Integer 10"},
      {"0.5", "Double 0.5"}, {"1e0", "Double 1"}, {"10.", "Double 10"}, {".5e1", "Double 5"}, {"1e-400", "Double 0"},
      {"&hff", "Integer 255"}, {"&hfffe", "Integer -2"}, {"&HFFFF", "Integer -1"}, {"&hffFF&", "Long 65535"},
      {"&h10&", "Integer 16"}, {"&hffffffff&", "Integer -1"}, {"&h10000", "Long 65536"}, {"&O17", "Integer 15"},
      {"\"ab\"\"c\"", "String 'ab\"c'"}, {"\"\"", "String ''"}, {"True", "Boolean True"}, {"FALSE", "Boolean False"},
      {"Empty", "Empty"}, {"Null", "Null"}, {"Nothing", "Nothing"}, {"#5/12/2026#", "Date 5/12/2026"},
      {"#2026-05-12 14:03#", "Date 5/12/2026 2:03:00 PM"}, {"undeclared_name", "Empty"},
      {"vbCrLf = Chr(13) & Chr(10)", "Boolean True"}, {"1 ' a comment", "Integer 1"}, {"1 + _\n 2", "Integer 3"},
      {"1\n\n", "Integer 1"}, {"1\r\n", "Integer 1"},
  });
}

TEST_F(EngineTest, PrecedenceAndAssociativity) {
  ExpectAll({
      {"(1 + 7) * 2 - 3", "Integer 13"}, {"-3^2", "Double 9"}, {"2^-1", "Double 0.5"}, {"2^3^2", "Double 64"},
      {"2*3^2", "Double 18"}, {"12/3\\2", "Long 2"}, {"2+3\\4", "Integer 2"}, {"7 Mod 4+2", "Integer 5"},
      {"10 - 2 - 3", "Integer 5"}, {"1 + 2 & 3", "String '33'"}, {"1 & 2 = \"12\"", "Boolean True"},
      {"not 1 = 2", "Boolean True"}, {"1 = 1 < 0", "Boolean True"}, {"0 > 1 = 1", "Boolean False"},
      {"false = true = \"\"", "Boolean False"}, {"\"\" <> false = false", "Boolean False"},
      {"(true or false) and not true", "Boolean False"}, {"true and not false", "Boolean True"},
      {"false and false or true", "Boolean True"}, {"true xor false or true", "Boolean False"},
      {"true or true eqv false", "Boolean False"}, {"false imp true eqv true", "Boolean True"},
      {"not not true", "Boolean True"}, {"--1", "Integer 1"}, {"-+-1", "Integer 1"}, {"+\"text\"", "String 'text'"},
      {"+true", "Boolean True"}, {"&h01or&h02", "Integer 3"},
  });
}

TEST_F(EngineTest, NullAndBitwiseLogic) {
  ExpectAll({
      {"null and true", "Null"}, {"null and false", "Boolean False"}, {"null and 0", "Integer 0"},
      {"null and 1", "Null"}, {"null or true", "Boolean True"}, {"null or 1", "Integer 1"}, {"null or false", "Null"},
      {"null or 0", "Null"}, {"null xor true", "Null"}, {"false eqv null", "Null"},
      {"false imp null", "Boolean True"}, {"true imp null", "Null"}, {"null imp true", "Boolean True"},
      {"null imp false", "Null"}, {"null and null", "Null"}, {"not null", "Null"}, {"not 0", "Integer -1"},
      {"not 1", "Integer -2"}, {"not true", "Boolean False"}, {"not empty", "Integer -1"}, {"not 1.5", "Long -3"},
      {"not \"1\"", "Long -2"}, {"not \"#FALSE#\"", "Boolean True"}, {"not CByte(1)", "Byte 254"},
      {"CByte(1) And CInt(3)", "Integer 1"}, {"CInt(1) Or True", "Integer -1"}, {"12 and 10", "Integer 8"},
      {"12 or 3", "Integer 15"}, {"70000 xor 1", "Long 70001"}, {"\"true\" and 1", "Integer 1"},
      {"\"abc\" and 1", "error 13"}, {"1e10 and 1", "error 6"},
      // No short circuit: both operands are evaluated, so the error on the right still surfaces.
      {"false and (1/0)", "error 11"}, {"true or (1/0)", "error 11"},
  });
}

TEST_F(EngineTest, ArithmeticTypesAndPromotion) {
  ExpectAll({
      {"32767 + 1", "Long 32768"}, {"-32768", "Long -32768"}, {"2147483647 + 1", "Double 2147483648"},
      {"-2147483647 - 2", "Double -2147483649"}, {"300 * 300", "Long 90000"},
      {"CByte(255) + CByte(1)", "Integer 256"}, {"CByte(2) * CByte(3)", "Byte 6"}, {"true + true", "Integer -2"},
      {"false + 6 + true", "Integer 5"}, {"3 + 5 - true", "Integer 9"}, {"2 + empty", "Integer 2"},
      {"-empty", "Integer 0"}, {"-true", "Integer 1"}, {"\"1\" + \"2\"", "String '12'"}, {"\"1\" + 2", "Double 3"},
      {"\"a\" + empty", "String 'a'"}, {"\"a\" + 1", "error 13"}, {"\"3\" - \"1\"", "Double 2"},
      {"3/2", "Double 1.5"}, {"CSng(1.5) / CInt(2)", "Single 0.75"}, {"CCur(1.5) + 1", "Currency 2.5"},
      {"CCur(1.23456) * 2", "Currency 2.4692"}, {"#1/1/2000# + 1", "Date 1/2/2000"},
      {"#1/2/2000# - #1/1/2000#", "Double 1"}, {"11.6 Mod 5.5", "Long 0"}, {"4.6 \\ 1.5", "Long 2"},
      {"4.6 \\ 1.49", "Long 5"}, {"-1 Mod 3", "Integer -1"}, {"4 Mod -3", "Integer 1"}, {"8.5 mod 10", "Long 8"},
      {"-32768 \\ -1", "Long 32768"}, {"5/1000000 = 0.000005", "Boolean True"}, {"1e308 * 10", "error 6"},
      {"0/0", "error 6"}, {"1 \\ 0", "error 11"}, {"1 mod 0", "error 11"}, {"null mod 0", "Null"},
      {"null / 0", "Null"}, {"2 + null", "Null"}, {"-null", "Null"}, {"2 ^ null", "Null"}, {"0 ^ -1", "error 11"},
      {"(-8) ^ 0.5", "error 5"}, {"1e10 \\ 1", "error 6"}, {"\"ab \" & null", "String 'ab '"},
      {"null & null", "Null"}, {"\"\" & true", "String 'True'"}, {"1.5 & \"\"", "String '1.5'"},
      {"empty & 1", "String '1'"},
  });
}

TEST_F(EngineTest, ComparisonRules) {
  ExpectAll({
      {"true = true", "Boolean True"}, {"\"x\" = \"x\"", "Boolean True"}, {"\"ABC\" = \"abc\"", "Boolean False"},
      {"\"a\" < \"B\"", "Boolean False"}, {"\"abc\" > \"\"", "Boolean True"}, {"empty = \"\"", "Boolean True"},
      {"empty = 0", "Boolean True"}, {"16 = &h10&", "Boolean True"}, {"true = -1", "Boolean True"},
      {"true >= 2", "Boolean False"}, {"0 > true", "Boolean True"}, {"2 => 1", "Boolean True"},
      {"2 =< 1", "Boolean False"}, {"2 >< 1", "Boolean True"}, {"0 = null", "Null"}, {"null >= 1", "Null"},
      {"null = null", "Null"},
      // A numeric literal converts the other side to a number.
      {"\"12\" = 12", "Boolean True"}, {"\"10\" > 9", "Boolean True"}, {"\" 12 \" = 12", "Boolean True"},
      {"\"\" = 0", "error 13"},
      // A negated number is no literal: text against a number, text is greater.
      {"\"a\" = -1", "Boolean False"}, {"\"a\" > -1", "Boolean True"},
      // A string literal converts the other side to text.
      {"\"True\" = True", "Boolean True"}, {"\"true\" <> true", "Boolean True"}, {"(1+1) = \"2\"", "Boolean True"},
      {"\"10\" > \"9\"", "Boolean False"},
      // Both sides computed: numbers sort before texts.
      {"(1+1) = (\"2\" & \"\")", "Boolean False"}, {"(1+1) < (\"2\" & \"\")", "Boolean True"},
      // A date literal converts the other side to a date.
      {"#1/1/2000# = \"1/1/2000\"", "Boolean True"}, {"#1/1/2000# = \"x\"", "error 13"},
      {"Nothing Is Nothing", "Boolean True"}, {"1 Is 2", "error 424"},
  });
}

// The functions' own rules are tested with the runtime; these cases check
// the binding: argument conversion, Null handling and the result's type.
TEST_F(EngineTest, BuiltinFunctions) {
  ExpectAll({
      {"Len(\"abc\")", "Long 3"}, {"Len(null)", "Null"}, {"Len(empty)", "Long 0"}, {"Len(123)", "Long 3"},
      {"Left(\"123456\", 2.5)", "String '12'"}, {"Right(\"test\", 2)", "String 'st'"},
      {"Mid(\"test\", 2, 2)", "String 'es'"}, {"Mid(\"test\", 0, 3)", "error 5"}, {"Mid(null, 1)", "Null"},
      {"UCase(1)", "String '1'"}, {"LCase(\"123aBC?\")", "String '123abc?'"},
      {"Trim(\"   test    \")", "String 'test'"}, {"RTrim(\"   test    \")", "String '   test'"},
      {"InStr(\"abcd\", \"bc\")", "Long 2"}, {"InStr(3, \"abcdefgh\", \"FG\", 1)", "Long 6"},
      {"InStr(1, 23456, 45, 0)", "Long 3"}, {"InStr(2.6, \"abcd\", \"bc\")", "Long 0"},
      {"InStr(null, \"a\", \"a\", 0)", "error 94"}, {"InStr(1, null, \"a\")", "Null"},
      {"InStr(1, \"a\", \"a\", 2)", "error 5"}, {"InStrRev(\"abcabc\", \"bc\")", "Long 5"},
      {"Replace(\"xx testxx(xx)\", \"xx\", \"!\", 2)", "String 'x test!(!)'"},
      {"Replace(\"aa testaa(aa)\", \"A\", \"!\", 1, -1, 1)", "String '!! test!!(!!)'"},
      {"Replace(null, \"x\", \"y\")", "error 94"}, {"StrComp(\"abc\", \"ABC\", 0)", "Integer 1"},
      {"StrComp(\"1\", 1.0, 1)", "Integer 0"}, {"StrReverse(\"abc\")", "String 'cba'"},
      {"Space(3) & \"|\"", "String '   |'"}, {"String(3, \"xy\")", "String 'xxx'"}, {"String(2, 65)", "String 'AA'"},
      {"Abs(-32768)", "Long 32768"}, {"Abs(-1.5)", "Double 1.5"}, {"Abs(null)", "Null"}, {"Sgn(-2.5)", "Integer -1"},
      {"Int(-1.99)", "Double -2"}, {"Fix(-1.99)", "Double -1"}, {"Round(2.5)", "Double 2"},
      {"Round(1.2345, 2)", "Double 1.23"}, {"Round(7)", "Integer 7"}, {"Sqr(16)", "Double 4"}, {"Sqr(-1)", "error 5"},
      {"Log(0)", "error 5"}, {"Exp(1000)", "error 6"}, {"Hex(-1)", "String 'FFFF'"}, {"Hex(255)", "String 'FF'"},
      {"Hex(-70000)", "String 'FFFEEE90'"}, {"Oct(8)", "String '10'"}, {"Chr(65)", "String 'A'"},
      {"Chr(128) = ChrW(8364)", "Boolean True"}, {"Chr(256)", "error 5"}, {"Asc(\"A\")", "Integer 65"},
      {"Asc(ChrW(8364))", "Integer 128"}, {"Asc(\"\")", "error 5"}, {"AscW(ChrW(-1))", "Integer -1"},
      {"AscW(ChrW(&HD800))", "Integer -3"},  // a lone surrogate cannot be kept in UTF-8
      {"CStr(1.5)", "String '1.5'"}, {"CStr(null)", "error 94"}, {"CDbl(\"1,000.5\")", "Double 1000.5"},
      {"CInt(2.5)", "Integer 2"}, {"CLng(1.5)", "Long 2"}, {"CBool(\"TRUE\")", "Boolean True"},
      {"CDate(\"2026-05-12\") = #5/12/2026#", "Boolean True"}, {"IsNumeric(\"44\")", "Boolean True"},
      {"IsNull(null)", "Boolean True"}, {"IsEmpty(undeclared)", "Boolean True"},
      {"IsDate(\"5/12/2026\")", "Boolean True"}, {"TypeName(1.5)", "String 'Double'"},
      {"TypeName(\"\")", "String 'String'"}, {"TypeName(Nothing)", "String 'Nothing'"},
      {"TypeName(Array())", "String 'Variant()'"}, {"VarType(\"x\")", "Integer 8"}, {"VarType(null)", "Integer 1"},
      {"UBound(Split(\"a,b,c\", \",\"))", "Long 2"}, {"UBound(Split(\"\"))", "Long -1"},
      {"Join(Split(\"a,b,c\", \",\"), \"-\")", "String 'a-b-c'"}, {"UBound(Array(1, 2), 2)", "error 9"},
      {"Year(#5/12/2026#) & \"-\" & Month(#5/12/2026#) & \"-\" & Day(#5/12/2026#)", "String '2026-5-12'"},
      {"Weekday(#5/12/2026#)", "Integer 3"}, {"Weekday(#5/12/2026#, 2)", "Integer 2"},
      {"Hour(#2:03:04 PM#) * 10000 + Minute(#2:03:04 PM#) * 100 + Second(#2:03:04 PM#)", "Long 140304"},
      {"DateSerial(26, 5, 12)", "Date 5/12/2026"}, {"DateSerial(2026, 13, 1)", "Date 1/1/2027"},
      {"Eval(\"1 + 1\")", "Integer 2"}, {"Eval(\"1 +\")", "error 1002"}, {"Len(1, 2)", "error 450"},
      {"Now() > #1/1/2020#", "Boolean True"}, {"vbCrLf(1)", "error 13"},
  });
}

TEST_F(EngineTest, CompileAndRunTimeErrors) {
  using Errors = std::vector<std::tuple<const char*, int32_t, const char*>>;  // expression, number, description
  const std::pair<Errors, const char*> tables[] = {
      {{
           {"1 +", 1002, "Syntax error"}, {"Dim x", 1002, "Syntax error"},
           {"foo : ", 1025, "Expected end of statement"}, {"1 2", 1025, "Expected end of statement"},
           {"1\n3", 1025, "Expected end of statement"}, {"(1", 1006, "Expected ')'"}, {"Len(1", 1006, "Expected ')'"},
           {"\"abc", 1033, "Unterminated string constant"}, {"\"a\nb\"", 1033, "Unterminated string constant"},
           {"1 $ 2", 1032, "Invalid character"}, {"{12}", 1032, "Invalid character"}, {"1e400", 1031, "Invalid number"},
           {"1e", 1031, "Invalid number"}, {"x.", 1010, "Expected identifier"}, {"#13/45/2000#", 1002, "Syntax error"},
           {"1 = not 2", 1002, "Syntax error"},
       },
       kCompileErrorSource},
      {{
           {"\"aa\" > 0", 13, "Type mismatch"}, {"foo(1)", 13, "Type mismatch: 'foo'"},
           {"Len()", 450, "Wrong number of arguments or invalid property assignment: 'Len'"},
           {"1/0", 11, "Division by zero"}, {"CInt(40000)", 6, "Overflow"}, {"CBool(null)", 94, "Invalid use of Null"},
           {"x.y", 424, "Object required"},
       },
       kRuntimeErrorSource},
  };
  ScriptEngine engine;
  for (const auto& [errors, source] : tables) {
    for (const auto& [expression, number, description] : errors) {
      for (int pass = 0; pass < 2; ++pass) {  // the second time from the cache
        try {
          Variant value = engine.Eval(expression);
          ADD_FAILURE() << expression << " gave " << Describe(value);
        } catch (const ComError& error) {
          EXPECT_EQ(std::tuple(error.number(), error.description(), error.source()),
                    std::tuple(number, description, source))
              << expression;
        }
      }
    }
  }
}

TEST_F(EngineTest, CommaDecimalSeparator) {
  ScopedSeparator comma(',');
  ExpectAll({
      {"1.5 & \"\"", "String '1,5'"}, {"\"1,5\" + 1", "Double 2,5"},
      {"\"1.5\" = 1.5", "Boolean False"},  // "1.5" reads as 15 here
      {"CDbl(\"1.000,25\")", "Double 1000,25"}, {"IsNumeric(\"1,5\")", "Boolean True"},
      {"1,5", "error 1025"},  // source numbers always use the point
  });
}

TEST_F(EngineTest, HostVariablesAndObjects) {
  class Counter : public Object {
   public:
    std::string TypeName() const override { return "Counter"; }
    Variant Invoke(std::string_view name, InvokeKind, std::vector<Variant>& args) override {
      if (name.empty()) return Variant(int16_t{42});  // default member
      if (name == "twice" && args.size() == 1) return Variant(static_cast<int32_t>(vb::CLng(args[0]) * 2));
      return Object::Invoke(name, InvokeKind::kMethod, args);
    }
  };
  ScriptEngine engine;
  auto counter = std::make_shared<Counter>();
  engine.SetVariable("Counter", Variant(counter));
  engine.SetVariable("Other", Variant(std::make_shared<Counter>()));
  engine.SetVariable("V1", Variant("100"));
  engine.SetVariable("v2", Variant(int16_t{1000}));
  engine.SetVariable("List", Variant::Array({Variant("a"), Variant("b")}));
  engine.SetVariable("none", Variant::Nothing());
  ExpectAll(engine, {
      {"v1 > v2", "Boolean True"},  // a text variable is greater than a number
      {"counter + 1", "Integer 43"}, {"counter = 42", "Boolean True"}, {"counter.Twice(21)", "Long 42"},
      {"counter.Missing", "error 438"}, {"counter Is counter", "Boolean True"}, {"counter Is other", "Boolean False"},
      {"TypeName(counter)", "String 'Counter'"}, {"list(1)", "String 'b'"}, {"list(2)", "error 9"},
      {"v1(1)", "error 13"}, {"none.y", "error 91"}, {"none Is Nothing", "Boolean True"}, {"v2.y", "error 424"},
  });
}

TEST_F(EngineTest, ParsedTextsAreCached) {
  ScriptEngine engine;
  engine.Eval("(true or false) and not true");
  engine.Eval("(true or false) and not true");
  EXPECT_EQ(engine.cached_expressions(), 1u);
  EXPECT_THROW(engine.Eval("1 +"), ComError);
  EXPECT_THROW(engine.Eval("1 +"), ComError);
  EXPECT_EQ(engine.cached_expressions(), 2u);
  // A value computed at run time is not cached with the text.
  EXPECT_EQ(Outcome(engine, "Len(\"x\" & undeclared)"), "Long 1");
  engine.SetVariable("undeclared", Variant("yz"));
  EXPECT_EQ(Outcome(engine, "Len(\"x\" & undeclared)"), "Long 3");
  // The cache stays bounded.
  for (size_t i = 0; i < ScriptEngine::kMaxCachedExpressions + 10; ++i) engine.Eval(std::to_string(i));
  EXPECT_LE(engine.cached_expressions(), ScriptEngine::kMaxCachedExpressions);
}

TEST_F(EngineTest, OneEnginePerThread) {
  ScriptEngine* main_engine = &ThreadScriptEngine();
  EXPECT_EQ(main_engine, &ThreadScriptEngine());
  ScriptEngine* other_engine = nullptr;
  Variant other_result;
  std::thread worker([&] {
    other_engine = &ThreadScriptEngine();
    other_result = other_engine->Eval("1 + 1");
  });
  worker.join();
  EXPECT_NE(other_engine, main_engine);
  EXPECT_EQ(other_result, Variant(int16_t{2}));
}

TEST_F(EngineTest, HostileInputNeverCrashes) {
  ScriptEngine engine;
  // Nesting deeper than the engine allows is an error, not a stack overflow.
  EXPECT_EQ(Outcome(engine, std::string(100000, '(') + "1" + std::string(100000, ')')), "error 28");
  EXPECT_EQ(Outcome(engine, std::string(100000, '-') + "1"), "Integer 1");  // negation chains do not nest
  EXPECT_EQ(Outcome(engine, "not " + std::string(10, ' ') + "true"), "Boolean False");
  std::string sum = "1";
  for (int i = 0; i < 50000; ++i) sum += "+1";
  EXPECT_EQ(Outcome(engine, sum), "Long 50001");
  std::string members = "x";
  for (int i = 0; i < 5000; ++i) members += ".y";
  EXPECT_EQ(Outcome(engine, members), "error 28");
  std::string evals = "1";
  for (int i = 0; i < 20; ++i) {  // quotes double at each level
    std::string quoted;
    for (char c : evals) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    evals = "Eval(\"" + quoted + "\")";
  }
  EXPECT_EQ(Outcome(engine, evals), "error 28");
  EXPECT_EQ(Outcome(engine, "Space(1e9)"), "error 7");
  EXPECT_EQ(Outcome(engine, "Replace(Space(100000), \" \", Space(100000))"), "error 7");

  // Random bytes and mutations of valid expressions, deterministically.
  const std::string seeds[] = {"({12} or {15}) and not {20}", "\"a\"\"b\" & #1/2/2003# = &hFF&",
                               "Mid(\"abc\", 2) <> CStr(1.5e3) imp null", "-2^3 mod 4 \\ 2 xor Len(Trim(\" x \"))"};
  uint32_t state = 12345;
  auto next = [&] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  for (int i = 0; i < 20000; ++i) {
    std::string input = seeds[next() % 4];
    int edits = 1 + next() % 4;
    for (int e = 0; e < edits; ++e) {
      size_t at = input.empty() ? 0 : next() % input.size();
      switch (next() % 3) {
        case 0: input.insert(at, 1, static_cast<char>(next() % 256)); break;
        case 1: if (!input.empty()) input.erase(at, 1); break;
        default: if (!input.empty()) input[at] = static_cast<char>(next() % 256); break;
      }
    }
    FuzzEvalVbScript(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
}

}  // namespace
}  // namespace trelix::vbscript

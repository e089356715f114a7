#pragma once
// The automation error triple. Every error the component raises to its
// callers is a ComError: a number (an HRESULT or a VB run-time error number,
// as signed 32-bit), a source and a description, plus the help file and help
// context that the error log passes through unchanged.
//
// Layers below the automation layer (drivers, caches, parsers) report
// expected failures as values; they become ComErrors where the component
// meets them.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace trelix {

// The source VB gives to run-time errors raised inside the component.
inline constexpr const char* kComponentName = "trelix_eb";

// Custom error numbers used by the component itself.
inline constexpr int32_t kErrFeatureComparison = -2147220991;  // 0x80040201
inline constexpr int32_t kErrConditionFormat = -2147220988;    // 0x80040204

// VB / VBScript run-time error numbers.
inline constexpr int32_t kErrInvalidProcedureCall = 5;
inline constexpr int32_t kErrOverflow = 6;
inline constexpr int32_t kErrSubscriptOutOfRange = 9;
inline constexpr int32_t kErrDivisionByZero = 11;
inline constexpr int32_t kErrTypeMismatch = 13;
inline constexpr int32_t kErrObjectVariableNotSet = 91;
inline constexpr int32_t kErrInvalidUseOfNull = 94;
inline constexpr int32_t kErrObjectRequired = 424;
inline constexpr int32_t kErrCannotCreateObject = 429;
inline constexpr int32_t kErrNoSuchMember = 438;
inline constexpr int32_t kErrWrongArgumentCount = 450;

class ComError : public std::runtime_error {
 public:
  ComError(int32_t number, std::string source, std::string description,
           std::string help_file = {}, int32_t help_context = 0)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)),
        help_file_(std::move(help_file)),
        help_context_(help_context) {}

  int32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }
  const std::string& help_file() const { return help_file_; }
  int32_t help_context() const { return help_context_; }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
  std::string help_file_;
  int32_t help_context_;
};

// The standard description VB gives a run-time error number ("Type mismatch"
// for 13, "Overflow" for 6, ...); "Application-defined or object-defined
// error" for numbers it has no text for.
std::string VbErrorDescription(int32_t number);

// A VB run-time error as the component raises it: the number, the component
// name as source and VB's own description.
[[noreturn]] void RaiseVbError(int32_t number);

}  // namespace trelix

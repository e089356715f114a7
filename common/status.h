#pragma once
// Status and Result<T>: how the layers below the automation layer (drivers,
// caches, parsers, translators) report failures they expect. The automation
// layer turns a failed Status into a ComError where it meets it.

#include <string>
#include <utility>
#include <variant>

namespace trelix {

class [[nodiscard]] Status {
 public:
  enum class Code : uint8_t {
    kOk,
    kInvalidArgument,  // bad input: malformed text, unknown name
    kNotFound,         // a database, file or key that does not exist
    kUnsupported,      // a construct the code deliberately does not handle
    kIOError,          // the engine, server or file failed
    kUnavailable,      // a server that cannot be reached (may recover)
    kCorruption,       // stored data that does not load
    kTimeout,
  };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status InvalidArgument(std::string message) { return Status(Code::kInvalidArgument, std::move(message)); }
  static Status NotFound(std::string message) { return Status(Code::kNotFound, std::move(message)); }
  static Status Unsupported(std::string message) { return Status(Code::kUnsupported, std::move(message)); }
  static Status IOError(std::string message) { return Status(Code::kIOError, std::move(message)); }
  static Status Unavailable(std::string message) { return Status(Code::kUnavailable, std::move(message)); }
  static Status Corruption(std::string message) { return Status(Code::kCorruption, std::move(message)); }
  static Status Timeout(std::string message) { return Status(Code::kTimeout, std::move(message)); }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}
  Code code_ = Code::kOk;
  std::string message_;
};

// A value or the Status that explains why there is none.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Status status) : state_(std::move(status)) {}

  bool ok() const { return std::holds_alternative<T>(state_); }
  // REQUIRES: ok()
  T& value() { return std::get<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  // The failure; Status::Ok() when there is a value.
  Status status() const { return ok() ? Status::Ok() : std::get<Status>(state_); }

 private:
  std::variant<T, Status> state_;
};

}  // namespace trelix

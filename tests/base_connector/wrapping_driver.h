#pragma once
// A driver in front of a real one, for tests that watch or disturb what
// reaches the engine. Connection strings carry "PREFIX:" in front of the
// real one; sessions forward every call to the real session unless a
// subclass overrides it.

#include <memory>
#include <string>
#include <utility>

#include "base/driver.h"

namespace trelix::testing {

class ForwardingSession : public base::Session {
 public:
  explicit ForwardingSession(std::unique_ptr<base::Session> inner) : inner_(std::move(inner)) {}
  Result<RecordsetRef> Execute(std::string_view statement, const std::vector<std::string>& databases) override {
    return inner_->Execute(statement, databases);
  }
  bool Healthy() const override { return inner_->Healthy(); }
  void BeginCall() override { inner_->BeginCall(); }
  void EndCall() override { inner_->EndCall(); }
  uint64_t Snapshot() const override { return inner_->Snapshot(); }
  uint64_t BeginSnapshot() override { return inner_->BeginSnapshot(); }
  std::optional<std::string> ColumnType(std::string_view d, std::string_view t, std::string_view c) override {
    return inner_->ColumnType(d, t, c);
  }

 protected:
  std::unique_ptr<base::Session> inner_;
};

class WrappingDriver : public base::Driver {
 public:
  WrappingDriver(std::shared_ptr<base::Driver> inner, std::string prefix)
      : inner_(std::move(inner)), prefix_(std::move(prefix) + ":") {}
  sql::Dialect dialect() const override { return inner_->dialect(); }
  std::string_view name() const override { return inner_->name(); }
  Result<std::unique_ptr<base::Session>> Open(std::string_view connection, std::string_view database) override {
    auto session = inner_->Open(connection.substr(prefix_.size()), database);
    if (!session.ok()) return session.status();
    return Wrap(std::move(session.value()));
  }

 protected:
  // The session handed out in place of the real one.
  virtual std::unique_ptr<base::Session> Wrap(std::unique_ptr<base::Session> inner) = 0;

 private:
  std::shared_ptr<base::Driver> inner_;
  std::string prefix_;
};

}  // namespace trelix::testing

#pragma once
// A connector for tests, installed under "trelix_base.Connector" for the
// life of a ScopedRecordingConnector: it records every call in order,
// answers statements and shape commands through functions the test
// supplies, keeps cached XML in a map and can fail one operation by name.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/connector_interface.h"
#include "common/object_factory.h"

namespace trelix::testing {

struct ConnectorCall {
  std::string op, text, database, connection;  // text: statement, command or cache key
  int32_t handle = 0;
  std::string xml;
};

struct ConnectorRecord {
  using Answer = std::function<RecordsetRef(const std::string& text, const std::string& database)>;
  std::vector<ConnectorCall> calls;
  int connectors_created = 0;
  std::map<std::string, std::string> cache;
  Answer query, shape;
  std::string fail_op;  // this operation raises fail_number
  int32_t fail_number = -2147217900;

  std::vector<std::string> Ops() const {
    std::vector<std::string> ops;
    for (const ConnectorCall& call : calls) ops.push_back(call.op);
    return ops;
  }
};

class RecordingConnector : public ConnectorInterface {
 public:
  explicit RecordingConnector(std::shared_ptr<ConnectorRecord> r) : r_(std::move(r)) {}
  void CacheRecordset(const std::string& key, const std::string& xml, int32_t handle, const std::string& connection,
                      const std::string& database) override {
    Record({"CacheRecordset", key, database, connection, handle, xml});
    if (handle != 0) r_->cache[key] = xml;
  }
  RecordsetRef GetCachedRecordset(const std::string& key, int32_t handle, const std::string& connection,
                                  const std::string& database) override {
    Record({"GetCachedRecordset", key, database, connection, handle, ""});
    auto hit = r_->cache.find(key);
    return handle == 0 || hit == r_->cache.end() ? nullptr : Recordset::LoadXml(hit->second);
  }
  RecordsetRef ExecuteQuery(const std::string& sql, const std::string& database, const std::string& c) override {
    Record({"ExecuteQuery", sql, database, c, 0, ""});
    return Answer(r_->query, sql, database);
  }
  RecordsetRef ExecuteShape(const std::string& command, const std::string& database, const std::string& c) override {
    Record({"ExecuteShape", command, database, c, 0, ""});
    return Answer(r_->shape, command, database);
  }

 private:
  void Record(ConnectorCall call) {
    r_->calls.push_back(call);
    if (r_->fail_op == call.op) throw ComError(r_->fail_number, "fake", "injected failure");
  }
  RecordsetRef Answer(const ConnectorRecord::Answer& answer, const std::string& text, const std::string& database) {
    if (!answer) throw ComError(r_->fail_number, "fake", "no answer for " + text);
    return answer(text, database);
  }
  std::shared_ptr<ConnectorRecord> r_;
};

class ScopedRecordingConnector {
 public:
  ScopedRecordingConnector() : record_(std::make_shared<ConnectorRecord>()) {
    previous_ = RegisterProgId(kConnectorProgId, [r = record_]() -> ObjectRef {
      ++r->connectors_created;
      return std::make_shared<RecordingConnector>(r);
    });
  }
  ~ScopedRecordingConnector() { RegisterProgId(kConnectorProgId, std::move(previous_)); }
  ConnectorRecord& record() { return *record_; }

 private:
  std::shared_ptr<ConnectorRecord> record_;
  ObjectFactory previous_;
};

struct TestField {
  std::string name;
  DataType type;
  int32_t size = 0;
};

// An open recordset of `fields` holding `rows`, on its first row.
inline RecordsetRef MakeRecordset(const std::vector<TestField>& fields, const std::vector<std::vector<Variant>>& rows) {
  auto rs = std::make_shared<Recordset>();
  for (const TestField& f : fields) rs->AppendField(f.name, f.type, f.size);
  rs->Open();
  for (const auto& row : rows) {
    rs->AddNew();
    for (size_t i = 0; i < row.size(); ++i) rs->SetValue(static_cast<int>(i), row[i]);
  }
  rs->UpdateBatch(3);
  if (!rows.empty()) rs->MoveFirst();
  return rs;
}

}  // namespace trelix::testing

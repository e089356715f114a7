#pragma once
// A connector for tests: installed under "trelix_base.Connector" for the
// life of a ScopedRecordingConnector, it records every call (operation,
// text or key, database, connection, handle) in call order, answers queries
// and shape commands through functions the test supplies, keeps cached XML
// in a map, and can be told to fail one operation.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/com_error.h"
#include "common/connector_interface.h"
#include "common/object_factory.h"
#include "common/recordset.h"
#include "common/variant.h"

namespace trelix::testing {

struct ConnectorCall {
  std::string op;  // ExecuteQuery, ExecuteShape, GetCachedRecordset, CacheRecordset
  std::string text;  // statement, command or cache key
  std::string database;
  std::string connection;
  int32_t handle = 0;
  std::string xml;  // CacheRecordset only
};

struct ConnectorRecord {
  std::vector<ConnectorCall> calls;
  int connectors_created = 0;
  std::map<std::string, std::string> cache;  // key -> XML text
  // Answers; a missing function answers with an error.
  std::function<RecordsetRef(const std::string& sql, const std::string& database)> query;
  std::function<RecordsetRef(const std::string& command, const std::string& database)> shape;
  // When set, the operation of that name raises this error.
  std::string fail_op;
  int32_t fail_number = -2147217900;  // the number a provider gives a failed statement
  std::string fail_description = "Incorrect syntax";

  std::vector<std::string> Ops() const {
    std::vector<std::string> ops;
    for (const ConnectorCall& call : calls) ops.push_back(call.op);
    return ops;
  }
  std::vector<const ConnectorCall*> OfOp(const std::string& op) const {
    std::vector<const ConnectorCall*> found;
    for (const ConnectorCall& call : calls) {
      if (call.op == op) found.push_back(&call);
    }
    return found;
  }
};

class RecordingConnector : public ConnectorInterface {
 public:
  explicit RecordingConnector(std::shared_ptr<ConnectorRecord> record) : record_(std::move(record)) {}

  void CacheRecordset(const std::string& key, const std::string& recordset_xml, int32_t cache_handle,
                      const std::string& connection, const std::string& database) override {
    Record({"CacheRecordset", key, database, connection, cache_handle, recordset_xml});
    if (cache_handle != 0) record_->cache[key] = recordset_xml;
  }
  RecordsetRef GetCachedRecordset(const std::string& key, int32_t cache_handle, const std::string& connection,
                                  const std::string& database) override {
    Record({"GetCachedRecordset", key, database, connection, cache_handle, {}});
    auto hit = record_->cache.find(key);
    if (cache_handle == 0 || hit == record_->cache.end()) return nullptr;
    return Recordset::LoadXml(hit->second);
  }
  RecordsetRef ExecuteQuery(const std::string& sql, const std::string& database,
                            const std::string& connection) override {
    Record({"ExecuteQuery", sql, database, connection, 0, {}});
    if (!record_->query) throw ComError(record_->fail_number, "fake", "no answer for the statement");
    return record_->query(sql, database);
  }
  RecordsetRef ExecuteShape(const std::string& command, const std::string& database,
                            const std::string& connection) override {
    Record({"ExecuteShape", command, database, connection, 0, {}});
    if (!record_->shape) throw ComError(record_->fail_number, "fake", "no answer for the command");
    return record_->shape(command, database);
  }

 private:
  void Record(ConnectorCall call) {
    const std::string op = call.op;
    record_->calls.push_back(std::move(call));
    if (record_->fail_op == op) throw ComError(record_->fail_number, "fake", record_->fail_description);
  }

  std::shared_ptr<ConnectorRecord> record_;
};

// Installs a recording connector for the scope's life and restores the
// previous registration afterwards.
class ScopedRecordingConnector {
 public:
  ScopedRecordingConnector() : record_(std::make_shared<ConnectorRecord>()) {
    previous_ = RegisterProgId(kConnectorProgId, [record = record_]() -> ObjectRef {
      ++record->connectors_created;
      return std::make_shared<RecordingConnector>(record);
    });
  }
  ~ScopedRecordingConnector() { RegisterProgId(kConnectorProgId, std::move(previous_)); }
  ScopedRecordingConnector(const ScopedRecordingConnector&) = delete;
  ScopedRecordingConnector& operator=(const ScopedRecordingConnector&) = delete;

  ConnectorRecord& record() { return *record_; }

 private:
  std::shared_ptr<ConnectorRecord> record_;
  ObjectFactory previous_;
};

// An open recordset with the given fields and rows (values in field order).
struct TestField {
  std::string name;
  DataType type;
  int32_t size = 0;
};
inline RecordsetRef MakeRecordset(const std::vector<TestField>& fields,
                                  const std::vector<std::vector<Variant>>& rows) {
  auto recordset = std::make_shared<Recordset>();
  for (const TestField& field : fields) recordset->AppendField(field.name, field.type, field.size);
  recordset->Open();
  for (const auto& row : rows) {
    recordset->AddNew();
    for (size_t index = 0; index < row.size(); ++index) recordset->SetValue(static_cast<int>(index), row[index]);
  }
  recordset->UpdateBatch(3);
  if (!rows.empty()) recordset->MoveFirst();
  return recordset;
}

}  // namespace trelix::testing

// Late binding of the recordset for scripts and hosts: the members scripts
// use (navigation, values through Fields / Field / the default member,
// Filter, Sort, Find, editing, Save/Open with a stream), and the Fields
// collection, Field and Property objects they reach through.

#include <cmath>

#include "common/com_error.h"
#include "common/recordset.h"
#include "common/recordset_internal.h"
#include "common/stream.h"

namespace trelix {

using namespace recordset_internal;

namespace {

// DISP_E_PARAMNOTFOUND: what a caller passes for an omitted optional argument.
constexpr int32_t kParamNotFound = -2147352572;

bool IsMissingArg(const std::vector<Variant>& args, size_t i) {
  if (i >= args.size()) return true;
  const Variant& v = args[i];
  return v.type() == VarType::kError && v.integer() == kParamNotFound;
}

int64_t ArgInteger(const Variant& v) {
  if (auto d = NumericOf(v)) return static_cast<int64_t>(std::nearbyint(*d));
  if (v.IsString()) {
    if (auto d = ParseDecimal(v.string())) return static_cast<int64_t>(std::nearbyint(*d));
  }
  if (v.IsNull()) RaiseVbError(kErrInvalidUseOfNull);
  RaiseVbError(kErrTypeMismatch);
}

std::string ArgText(const Variant& v) {
  if (v.IsString()) return v.string();
  if (v.IsNull()) RaiseVbError(kErrInvalidUseOfNull);
  if (v.IsObject() || v.IsArray()) RaiseVbError(kErrTypeMismatch);
  return DisplayText(v);
}

bool NameIs(std::string_view name, std::string_view member) { return EqualsIgnoreCase(name, member); }

void ExpectArgs(const std::vector<Variant>& args, size_t min, size_t max) {
  if (args.size() < min || args.size() > max) RaiseVbError(kErrWrongArgumentCount);
}

// A shared handle on a recordset that may not be owned by a shared_ptr
// (a stack object in a test): then the handle does not own it.
std::shared_ptr<Recordset> Handle(Recordset& rs) {
  if (auto owned = std::static_pointer_cast<Recordset>(rs.weak_from_this().lock())) return owned;
  return std::shared_ptr<Recordset>(std::shared_ptr<Recordset>(), &rs);
}

// Resolves a field by ordinal or name.
int FieldArg(const Recordset& rs, const Variant& key) {
  if (key.IsString()) return rs.FieldIndex(key.string());
  int64_t index = ArgInteger(key);
  if (index < 0 || index >= rs.FieldCount()) RaiseAdo(kErrItemNotFound, "ADODB.Fields");
  return static_cast<int>(index);
}

class PropertyObject : public Object {
 public:
  PropertyObject(std::shared_ptr<Recordset> rs, int field) : rs_(std::move(rs)), field_(field) {}
  std::string TypeName() const override { return "Property"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override {
    const std::string& field_name = rs_->Field(field_).name;
    if (NameIs(name, "Name")) return Variant("Optimize");
    if (name.empty() || NameIs(name, "Value")) {
      if (kind == InvokeKind::kPropertyPut) {
        ExpectArgs(args, 1, 1);
        const Variant& v = args.back();
        rs_->SetOptimize(field_name, v.IsString() ? EqualsIgnoreCase(v.string(), "true") : ArgInteger(v) != 0);
        return Variant();
      }
      return Variant(rs_->Optimize(field_name));
    }
    RaiseVbError(kErrNoSuchMember);
  }

 private:
  std::shared_ptr<Recordset> rs_;
  int field_;
};

class FieldObject : public Object {
 public:
  FieldObject(std::shared_ptr<Recordset> rs, int field) : rs_(std::move(rs)), field_(field) {}
  std::string TypeName() const override { return "Field"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override {
    const FieldInfo& info = rs_->Field(field_);
    if (name.empty() || NameIs(name, "Value")) {
      if (kind == InvokeKind::kPropertyPut) {
        ExpectArgs(args, 1, 1);
        rs_->SetValue(field_, args.back());
        return Variant();
      }
      return rs_->Value(field_);
    }
    if (kind == InvokeKind::kPropertyPut) RaiseVbError(kErrNoSuchMember);
    if (NameIs(name, "Name")) return Variant(info.name);
    if (NameIs(name, "Type")) return Variant(static_cast<int32_t>(info.type));
    if (NameIs(name, "DefinedSize")) return Variant(info.defined_size);
    if (NameIs(name, "Attributes")) return Variant(info.attributes);
    if (NameIs(name, "Precision")) return Variant(static_cast<uint8_t>(info.precision));
    if (NameIs(name, "NumericScale")) return Variant(static_cast<uint8_t>(info.numeric_scale));
    if (NameIs(name, "ActualSize")) {
      const Variant& v = rs_->Value(field_);
      if (v.IsNull() || v.IsEmpty()) return Variant(int32_t{-1});  // adUnknown for Null
      if (v.IsString()) {
        bool text = ClassOf(info.type) == FieldClass::kText;
        return Variant(text ? Utf16Length(v.string()) : static_cast<int32_t>(v.string().size()));
      }
      return Variant(FixedSizeOf(info.type));
    }
    if (NameIs(name, "Properties")) {
      ExpectArgs(args, 1, 1);
      if (!args[0].IsString() || !EqualsIgnoreCase(args[0].string(), "Optimize")) {
        RaiseAdo(kErrItemNotFound, "ADODB.Properties");
      }
      return Variant(std::make_shared<PropertyObject>(rs_, field_));
    }
    RaiseVbError(kErrNoSuchMember);
  }

 private:
  std::shared_ptr<Recordset> rs_;
  int field_;
};

class FieldsObject : public Object {
 public:
  explicit FieldsObject(std::shared_ptr<Recordset> rs) : rs_(std::move(rs)) {}
  std::string TypeName() const override { return "Fields"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override {
    if (name.empty() || NameIs(name, "Item")) {
      if (args.empty()) RaiseVbError(kErrWrongArgumentCount);
      int field = FieldArg(*rs_, args[0]);
      if (kind == InvokeKind::kPropertyPut) {  // rs.Fields("x") = v sets the default member
        ExpectArgs(args, 2, 2);
        rs_->SetValue(field, args.back());
        return Variant();
      }
      ExpectArgs(args, 1, 1);
      return Variant(std::make_shared<FieldObject>(rs_, field));
    }
    if (NameIs(name, "Count")) return Variant(static_cast<int32_t>(rs_->FieldCount()));
    if (NameIs(name, "Append")) {
      ExpectArgs(args, 2, 5);
      int32_t size = IsMissingArg(args, 2) ? 0 : static_cast<int32_t>(ArgInteger(args[2]));
      int32_t attributes = IsMissingArg(args, 3) ? -1 : static_cast<int32_t>(ArgInteger(args[3]));
      rs_->AppendField(ArgText(args[0]), static_cast<DataType>(ArgInteger(args[1])), size, attributes);
      return Variant();
    }
    if (NameIs(name, "_NewEnum")) {
      std::vector<Variant> items;
      for (int i = 0; i < rs_->FieldCount(); ++i) items.emplace_back(std::make_shared<FieldObject>(rs_, i));
      return Variant::Array(std::move(items));
    }
    RaiseVbError(kErrNoSuchMember);
  }

 private:
  std::shared_ptr<Recordset> rs_;
};

// AddNew / Update with a field list and values: one name or an array of names.
void AssignFields(Recordset& rs, const std::vector<Variant>& args) {
  if (IsMissingArg(args, 0)) return;
  const Variant& names = args[0];
  const Variant values = IsMissingArg(args, 1) ? Variant() : args[1];
  if (names.IsArray()) {
    if (!values.IsArray() || values.array()->items.size() != names.array()->items.size()) RaiseAdo(kErrArguments);
    for (size_t i = 0; i < names.array()->items.size(); ++i) {
      rs.SetValue(FieldArg(rs, names.array()->items[i]), values.array()->items[i]);
    }
    return;
  }
  rs.SetValue(FieldArg(rs, names), values);
}

}  // namespace

Variant Recordset::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  const bool put = kind == InvokeKind::kPropertyPut;
  if (name.empty() || NameIs(name, "Fields") || NameIs(name, "Collect")) {
    if (args.empty() && !put) {
      if (NameIs(name, "Collect")) RaiseVbError(kErrWrongArgumentCount);
      return Variant(std::make_shared<FieldsObject>(Handle(*this)));
    }
    if (args.empty()) RaiseVbError(kErrWrongArgumentCount);
    int field = FieldArg(*this, args[0]);
    if (put) {
      ExpectArgs(args, 2, 2);
      SetValue(field, args.back());
      return Variant();
    }
    ExpectArgs(args, 1, 1);
    if (NameIs(name, "Collect")) return Value(field);
    return Variant(std::make_shared<FieldObject>(Handle(*this), field));
  }
  if (NameIs(name, "Filter")) {
    if (put) {
      ExpectArgs(args, 1, 1);
      SetFilter(args.back());
      return Variant();
    }
    return Filter();
  }
  if (NameIs(name, "Sort")) {
    if (put) {
      ExpectArgs(args, 1, 1);
      SetSort(ArgText(args.back()));
      return Variant();
    }
    return Variant(Sort());
  }
  if (NameIs(name, "ActiveConnection")) {
    if (put) {
      ExpectArgs(args, 1, 1);
      if (!args.back().IsNothing() && !args.back().IsEmpty()) RaiseAdo(kErrArguments);  // no connections here
      Disconnect();
      return Variant();
    }
    return Variant::Nothing();
  }
  if (put) RaiseVbError(kErrNoSuchMember);

  if (NameIs(name, "EOF")) return Variant(IsEOF());
  if (NameIs(name, "BOF")) return Variant(IsBOF());
  if (NameIs(name, "RecordCount")) return Variant(RecordCount());
  if (NameIs(name, "AbsolutePosition")) return Variant(AbsolutePosition());
  if (NameIs(name, "State")) return Variant(int32_t{IsOpen() ? 1 : 0});
  if (NameIs(name, "CursorLocation")) return Variant(int32_t{3});  // adUseClient
  if (NameIs(name, "MoveFirst")) { MoveFirst(); return Variant(); }
  if (NameIs(name, "MoveLast")) { MoveLast(); return Variant(); }
  if (NameIs(name, "MoveNext")) { MoveNext(); return Variant(); }
  if (NameIs(name, "MovePrevious")) { MovePrevious(); return Variant(); }
  if (NameIs(name, "AddNew")) {
    ExpectArgs(args, 0, 2);
    AddNew();
    AssignFields(*this, args);
    return Variant();
  }
  if (NameIs(name, "Update")) {
    ExpectArgs(args, 0, 2);
    AssignFields(*this, args);
    Update();
    return Variant();
  }
  if (NameIs(name, "UpdateBatch")) {
    ExpectArgs(args, 0, 1);
    UpdateBatch(IsMissingArg(args, 0) ? 3 : static_cast<int>(ArgInteger(args[0])));
    return Variant();
  }
  if (NameIs(name, "Delete")) {
    ExpectArgs(args, 0, 1);
    Delete(IsMissingArg(args, 0) ? 1 : static_cast<int>(ArgInteger(args[0])));
    return Variant();
  }
  if (NameIs(name, "Find")) {
    ExpectArgs(args, 1, 4);
    int32_t skip = IsMissingArg(args, 1) ? 0 : static_cast<int32_t>(ArgInteger(args[1]));
    int32_t direction = IsMissingArg(args, 2) ? 1 : static_cast<int32_t>(ArgInteger(args[2]));
    if (!IsMissingArg(args, 3)) RaiseAdo(kErrArguments);  // no bookmarks
    Find(ArgText(args[0]), skip, direction);
    return Variant();
  }
  if (NameIs(name, "Open")) {
    ExpectArgs(args, 0, 5);
    if (IsMissingArg(args, 0) || args[0].IsEmpty() || args[0].IsNothing()) {
      Open();
    } else if (auto stream = args[0].As<Stream>()) {
      Open(*stream);
    } else {
      RaiseAdo(kErrArguments);  // no connections: only a stream or nothing
    }
    return Variant();
  }
  if (NameIs(name, "Close")) { Close(); return Variant(); }
  if (NameIs(name, "Save")) {
    ExpectArgs(args, 1, 2);
    auto stream = args[0].As<Stream>();
    if (!stream) RaiseAdo(kErrArguments);
    Save(*stream, IsMissingArg(args, 1) ? 1 : static_cast<int32_t>(ArgInteger(args[1])));
    return Variant();
  }
  if (NameIs(name, "Clone")) return Variant(Clone());
  RaiseVbError(kErrNoSuchMember);
}

}  // namespace trelix

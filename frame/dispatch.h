#pragma once
// Late binding by name: a class describes its members once, in slot order,
// in a DispatchTable, and its Invoke forwards to the table.
//
//   static const DispatchTable<KeyAdvantages>& Table() {
//     static const auto table = DispatchTable<KeyAdvantages>()
//       .Method("version", {}, [](KeyAdvantages& self, Args& a) { return Variant(self.version()); })
//       .Method("Format_Currency", {{"strTargetCurrencies"}, {"dblPrice"}, {"strProject"},
//                {"strConnection"}, Param::Optional("intLanguageID")}, ...);
//     return table;
//   }
//
// Invoke matches names case-insensitively, checks the argument count against
// the parameters (450 when wrong), fills omitted optional parameters with
// their default (or a "missing" marker, see IsMissing) and hands the handler
// a full argument vector; by-reference parameters written by the handler
// are visible to the caller in its vector. The empty name selects the
// member with dispatch id 0 (the default member), "_NewEnum" the one with -4.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/com_error.h"
#include "common/object.h"
#include "common/variant.h"

namespace trelix {

inline constexpr int32_t kDispidValue = 0;
inline constexpr int32_t kDispidNewEnum = -4;
// DISP_E_PARAMNOTFOUND: the value VB passes for an omitted optional
// parameter without a default.
inline constexpr int32_t kParamNotFound = -2147352572;

inline Variant MissingArgument() { return Variant::Error(kParamNotFound); }
inline bool IsMissing(const Variant& value) {
  return value.type() == VarType::kError && value.integer() == kParamNotFound;
}

struct Param {
  std::string name;
  bool optional = false;
  Variant default_value = MissingArgument();
  bool by_ref = false;

  Param(const char* param_name) : name(param_name) {}
  static Param Optional(const char* param_name, Variant default_value = MissingArgument()) {
    Param p(param_name);
    p.optional = true;
    p.default_value = std::move(default_value);
    return p;
  }
  static Param ByRef(const char* param_name) {
    Param p(param_name);
    p.by_ref = true;
    return p;
  }
  static Param OptionalByRef(const char* param_name, Variant default_value = MissingArgument()) {
    Param p = Optional(param_name, std::move(default_value));
    p.by_ref = true;
    return p;
  }
};

using Args = std::vector<Variant>;

struct MemberInfo {
  std::string name;
  InvokeKind kind;
  int32_t dispid;  // kDispidValue, kDispidNewEnum, or a positive id by slot
  std::vector<Param> params;
};

// Type-erased table shared by every class.
class DispatchTableBase {
 public:
  using Handler = std::function<Variant(Object& self, Args& args)>;

  // Members in slot order.
  const std::vector<MemberInfo>& members() const { return members_; }

  Variant Invoke(Object& self, std::string_view name, InvokeKind kind, Args& args) const;

 protected:
  void Add(std::string name, InvokeKind kind, int32_t dispid, std::vector<Param> params, Handler handler);

 private:
  std::vector<MemberInfo> members_;
  std::vector<Handler> handlers_;
};

template <class T>
class DispatchTable : public DispatchTableBase {
 public:
  using TypedHandler = std::function<Variant(T& self, Args& args)>;

  DispatchTable&& Method(std::string name, std::vector<Param> params, TypedHandler handler,
                         int32_t dispid = kNextDispid) && {
    Add(std::move(name), InvokeKind::kMethod, dispid, std::move(params), Wrap(std::move(handler)));
    return std::move(*this);
  }
  DispatchTable&& PropertyGet(std::string name, std::vector<Param> params, TypedHandler handler,
                              int32_t dispid = kNextDispid) && {
    Add(std::move(name), InvokeKind::kPropertyGet, dispid, std::move(params), Wrap(std::move(handler)));
    return std::move(*this);
  }
  // The new value is the last argument (after the params listed).
  DispatchTable&& PropertyPut(std::string name, std::vector<Param> params, TypedHandler handler,
                              int32_t dispid = kNextDispid) && {
    Add(std::move(name), InvokeKind::kPropertyPut, dispid, std::move(params), Wrap(std::move(handler)));
    return std::move(*this);
  }

  static constexpr int32_t kNextDispid = 0x7fffffff;  // assign the next slot's id

 private:
  static Handler Wrap(TypedHandler handler) {
    return [handler = std::move(handler)](Object& self, Args& args) {
      return handler(static_cast<T&>(self), args);
    };
  }
};

}  // namespace trelix

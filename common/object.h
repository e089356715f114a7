#pragma once
// Automation objects and arrays as variants hold them.
//
// Object is the root of every class a Variant can reference: the component's
// own classes, recordsets, streams and the connector. Late binding goes
// through Invoke(name, kind, args); a class that is only used early-bound
// (through its C++ interface) keeps the default, which raises error 438 as
// an automation object without that member would.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trelix {

class Variant;

enum class InvokeKind : uint8_t {
  kMethod,       // a call: obj.Name(args)
  kPropertyGet,  // a read: obj.Name or obj.Name(index)
  kPropertyPut,  // a write: obj.Name = args.back()
};

class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;

  // The class name VB's TypeName reports ("Recordset", "VehicleId", ...).
  virtual std::string TypeName() const = 0;

  // Late-bound call of a member by name (names compare case-insensitively).
  // By-reference parameters are written back into `args`. An empty `name`
  // addresses the default member (dispatch id 0); "_NewEnum" the enumerator
  // (dispatch id -4), which returns an array of the items in order.
  // Raises ComError 438 when the class has no such member, 450 on a wrong
  // argument count, 13 when an argument cannot be converted.
  virtual Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args);
};

using ObjectRef = std::shared_ptr<Object>;

// A SAFEARRAY of variants with one dimension: VB sees its lower bound and
// upper bound (UBound = lower + size - 1; an empty array has UBound lower-1).
struct SafeArray {
  int32_t lower_bound = 0;
  std::vector<Variant> items;

  int32_t UBound() const;
};

}  // namespace trelix

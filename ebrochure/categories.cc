// Categories: late binding, version, registration. The methods themselves
// live in one file each (spec_sheet.cc, where_clause.cc, descriptions.cc,
// standard_descriptions.cc).

#include "ebrochure/categories.h"

#include <memory>

#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "frame/component_classes.h"
#include "frame/dispatch.h"
#include "frame/version.h"

namespace trelix {
namespace {

// Arguments arrive as variants and are converted as the type library's
// parameter types convert them: texts by CStr, 16-bit integers by CInt
// (overflow 6), handles by CLng, the vehicle by CDbl.
std::string Text(const Variant& arg) { return vb::CStr(arg); }
int16_t Int16(const Variant& arg) { return vb::CInt(arg); }
int32_t Int32(const Variant& arg) { return vb::CLng(arg); }
double Double(const Variant& arg) { return vb::CDbl(arg); }

// Optional parameters without a default in the type library: an omitted
// 16-bit integer is 0, an omitted text is empty.
int16_t OptionalInt16(const Variant& arg) { return IsMissing(arg) ? int16_t{0} : Int16(arg); }
std::string OptionalText(const Variant& arg) { return IsMissing(arg) ? std::string() : Text(arg); }

Recordset& RecordsetArgument(const Variant& arg) {
  auto recordset = arg.As<Recordset>();
  if (!recordset) RaiseVbError(kErrTypeMismatch);
  return *recordset;
}

// Dispatch ids are assigned in slot order; clients bind by name.
const DispatchTable<Categories>& Table() {
  static const auto table =
      DispatchTable<Categories>()
          .Method("version", {}, [](Categories& self, Args&) { return Variant(self.version()); })
          .Method("StandardDescriptions",
                  {"strCategory", "intLanguageID", Param::ByRef("arrVehicles"), "strSpecs", "strProject",
                   "strConnection", Param::Optional("intTopN"), Param::Optional("IntStartRowID"),
                   Param::Optional("intSegmentationID", Variant(int16_t{0}))},
                  [](Categories& self, Args& a) {
                    return Variant(self.StandardDescriptions(Text(a[0]), Int16(a[1]), a[2], Text(a[3]), Text(a[4]),
                                                             Text(a[5]), OptionalInt16(a[6]), OptionalInt16(a[7]),
                                                             OptionalInt16(a[8])));
                  })
          .Method("GetSpecs",
                  {"strCategory", "intLanguageID", "dblVehicleID", "strSpecs", "strProject", "strPriceField",
                   Param::ByRef("arrOptions"), "intSegmentationID", "Cache", "strConnection"},
                  [](Categories& self, Args& a) {
                    return Variant(self.GetSpecs(Text(a[0]), Int16(a[1]), Double(a[2]), Text(a[3]), Text(a[4]),
                                                 Text(a[5]), a[6], Int16(a[7]), Int32(a[8]), Text(a[9])));
                  })
          .Method("GetDescriptions",
                  {"strCategory", "intLanguageID", "strSpecs", "strProject",
                   Param::Optional("intSegmentationID", Variant(int16_t{0})),
                   Param::Optional("Cache", Variant(int32_t{0})), Param::Optional("strConnection")},
                  [](Categories& self, Args& a) {
                    return Variant(self.GetDescriptions(Text(a[0]), Int16(a[1]), Text(a[2]), Text(a[3]),
                                                        OptionalInt16(a[4]), IsMissing(a[5]) ? 0 : Int32(a[5]),
                                                        OptionalText(a[6])));
                  })
          .Method("BuildWhereClause", {"rs", "dblVehicleID"}, [](Categories& self, Args& a) {
            return Variant(self.BuildWhereClause(RecordsetArgument(a[0]), Double(a[1])));
          });
  return table;
}

}  // namespace

Variant Categories::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return Table().Invoke(*this, name, kind, args);
}

std::string Categories::version() { return ComponentVersion(); }

void RegisterCategoriesClass() {
  RegisterCreatableClass(kCategoriesProgId, [] { return std::make_shared<Categories>(); });
}

}  // namespace trelix

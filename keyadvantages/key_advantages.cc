// The class frame of KeyAdvantages: late binding by member name, the
// version, and registration under its ProgID.

#include "keyadvantages/key_advantages.h"

#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "frame/component_classes.h"
#include "frame/dispatch.h"
#include "frame/version.h"

namespace trelix {

namespace {

// Arguments arrive as variants and are coerced to the member's parameter
// types as automation does: Null converts to no scalar type.
const Variant& NotNull(const Variant& value) {
  if (value.IsNull()) RaiseVbError(kErrTypeMismatch);
  return value;
}
std::string ArgText(const Variant& value) { return vb::CStr(NotNull(value)); }
int16_t ArgInt16(const Variant& value) { return vb::CInt(NotNull(value)); }
int32_t ArgInt32(const Variant& value) { return vb::CLng(NotNull(value)); }
double ArgDouble(const Variant& value) { return vb::CDbl(NotNull(value)); }
bool ArgBool(const Variant& value) { return vb::CBool(NotNull(value)); }

const DispatchTable<KeyAdvantages>& Table() {
  // Omitted typed optionals arrive as their type's zero value unless the
  // interface gives a default.
  static const auto table =
      DispatchTable<KeyAdvantages>()
          .Method("version", {}, [](KeyAdvantages& self, Args&) { return Variant(self.version()); })
          .Method("FormatAdvantage",
                  {"strDescription", "strFormat", "strWinnerValue", "strWinnerTranslatedValue", "strLooserValue",
                   "strProject", "strLooserTranslatedValue", "strTargetCurrencies", "strConnection",
                   Param::OptionalByRef("lngSchemaID", Variant(int32_t{0})),
                   Param::OptionalByRef("intLanguageID", Variant(int16_t{0}))},
                  [](KeyAdvantages& self, Args& a) {
                    return Variant(self.FormatAdvantage(ArgText(a[0]), ArgText(a[1]), ArgText(a[2]), ArgText(a[3]),
                                                        ArgText(a[4]), ArgText(a[5]), ArgText(a[6]), ArgText(a[7]),
                                                        ArgText(a[8]), ArgInt32(a[9]), ArgInt16(a[10])));
                  })
          .Method("Compare",
                  {"strVehicles", "strCategory", "intLanguageID", "strSpecs", "strProject", "strTargetCurrencies",
                   "strOptionPriceField", Param::ByRef("arrBOptions"), Param::ByRef("arrCOptions"),
                   "intSegmentationID", "Cache", "website_Cache", "strConnection", "BTotalPrice", "CTotalPrice",
                   Param::Optional("strPriceField", Variant("")),
                   Param::Optional("booDisplayOptionalAdvantages", Variant(false)),
                   Param::Optional("booDisplayOptionalAdvantagesLast", Variant(true))},
                  [](KeyAdvantages& self, Args& a) {
                    return Variant(self.Compare(ArgText(a[0]), ArgText(a[1]), ArgInt16(a[2]), ArgText(a[3]),
                                                ArgText(a[4]), ArgText(a[5]), ArgText(a[6]), a[7], a[8],
                                                ArgInt16(a[9]), ArgInt32(a[10]), ArgInt32(a[11]), ArgText(a[12]),
                                                ArgDouble(a[13]), ArgDouble(a[14]), ArgText(a[15]), ArgBool(a[16]),
                                                ArgBool(a[17])));
                  })
          .Method("GetKeyAdvantageSpecs",
                  {"strVehicles", "strCategory", "intLanguageID", "strSpecs", "strProject", "strItems",
                   "strPriceField", "intSegmentationID", "Cache", "strConnection"},
                  [](KeyAdvantages& self, Args& a) {
                    return Variant(self.GetKeyAdvantageSpecs(ArgText(a[0]), ArgText(a[1]), ArgInt16(a[2]),
                                                             ArgText(a[3]), ArgText(a[4]), ArgText(a[5]), a[6],
                                                             ArgInt16(a[7]), ArgInt32(a[8]), ArgText(a[9])));
                  })
          .Method("getAdvantageDescriptions",
                  {"strCategory", "intLanguageID", "strSpecs", "strProject", "intSegment", "Cache",
                   "strConnection"},
                  [](KeyAdvantages& self, Args& a) {
                    return Variant(self.getAdvantageDescriptions(ArgText(a[0]), ArgInt16(a[1]), ArgText(a[2]),
                                                                 ArgText(a[3]), ArgInt16(a[4]), ArgInt32(a[5]),
                                                                 ArgText(a[6])));
                  })
          .Method("Format_Currency",
                  {"strTargetCurrencies", "dblPrice", "strProject", "strConnection",
                   Param::Optional("intLanguageID", Variant(int16_t{0}))},
                  [](KeyAdvantages& self, Args& a) {
                    return Variant(self.Format_Currency(ArgText(a[0]), ArgDouble(a[1]), ArgText(a[2]),
                                                        ArgText(a[3]), ArgInt16(a[4])));
                  })
          .Method("Convert_Currency",
                  {"strTargetCurrency", "dblPrice", "strInitialCurrency", "strProject", "strConnection"},
                  [](KeyAdvantages& self, Args& a) {
                    return Variant(self.Convert_Currency(ArgText(a[0]), ArgDouble(a[1]), ArgText(a[2]),
                                                         ArgText(a[3]), ArgText(a[4])));
                  });
  return table;
}

}  // namespace

Variant KeyAdvantages::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return Table().Invoke(*this, name, kind, args);
}

std::string KeyAdvantages::version() { return ComponentVersion(); }

void RegisterKeyAdvantagesClass() {
  RegisterCreatableClass(kKeyAdvantagesProgId, [] { return std::make_shared<KeyAdvantages>(); });
}

}  // namespace trelix

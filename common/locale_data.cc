#include "common/locale_data.h"

#include <algorithm>
#include <array>

namespace trelix {
namespace {

constexpr std::string_view kPoint = ".";
constexpr std::string_view kComma = ",";
constexpr std::string_view kNoBreakSpace = "\xC2\xA0";  // U+00A0
constexpr std::string_view kApostrophe = "'";
// Every locale of the site groups by threes.
constexpr std::string_view kGrouping = "3;0";

// Sorted by locale identifier for the binary search.
constexpr std::array kLocales = {
    LocaleNumberData{1027, kComma, kPoint, kGrouping},  // ca-ES
    LocaleNumberData{1028, kPoint, kComma, kGrouping},  // zh-TW
    LocaleNumberData{1029, kComma, kNoBreakSpace, kGrouping},  // cs-CZ
    LocaleNumberData{1030, kComma, kPoint, kGrouping},  // da-DK
    LocaleNumberData{1031, kComma, kPoint, kGrouping},  // de-DE
    LocaleNumberData{1032, kComma, kPoint, kGrouping},  // el-GR
    LocaleNumberData{1033, kPoint, kComma, kGrouping},  // en-US
    LocaleNumberData{1034, kComma, kPoint, kGrouping},  // es-ES_tradnl
    LocaleNumberData{1035, kComma, kNoBreakSpace, kGrouping},  // fi-FI
    LocaleNumberData{1036, kComma, kNoBreakSpace, kGrouping},  // fr-FR
    LocaleNumberData{1037, kPoint, kComma, kGrouping},  // he-IL
    LocaleNumberData{1038, kComma, kNoBreakSpace, kGrouping},  // hu-HU
    LocaleNumberData{1040, kComma, kPoint, kGrouping},  // it-IT
    LocaleNumberData{1041, kPoint, kComma, kGrouping},  // ja-JP
    LocaleNumberData{1042, kPoint, kComma, kGrouping},  // ko-KR
    LocaleNumberData{1043, kComma, kPoint, kGrouping},  // nl-NL
    LocaleNumberData{1044, kComma, kNoBreakSpace, kGrouping},  // nb-NO
    LocaleNumberData{1045, kComma, kNoBreakSpace, kGrouping},  // pl-PL
    LocaleNumberData{1046, kComma, kPoint, kGrouping},  // pt-BR
    LocaleNumberData{1049, kComma, kNoBreakSpace, kGrouping},  // ru-RU
    LocaleNumberData{1051, kComma, kNoBreakSpace, kGrouping},  // sk-SK
    LocaleNumberData{1053, kComma, kNoBreakSpace, kGrouping},  // sv-SE
    LocaleNumberData{1054, kPoint, kComma, kGrouping},  // th-TH
    LocaleNumberData{1055, kComma, kPoint, kGrouping},  // tr-TR
    LocaleNumberData{1060, kComma, kPoint, kGrouping},  // sl-SI
    LocaleNumberData{2052, kPoint, kComma, kGrouping},  // zh-CN
    LocaleNumberData{2055, kPoint, kApostrophe, kGrouping},  // de-CH
    LocaleNumberData{2057, kPoint, kComma, kGrouping},  // en-GB
    LocaleNumberData{2058, kPoint, kComma, kGrouping},  // es-MX
    LocaleNumberData{2060, kComma, kPoint, kGrouping},  // fr-BE
    LocaleNumberData{2067, kComma, kPoint, kGrouping},  // nl-BE
    LocaleNumberData{2070, kComma, kPoint, kGrouping},  // pt-PT
    LocaleNumberData{3081, kPoint, kComma, kGrouping},  // en-AU
    LocaleNumberData{3084, kComma, kNoBreakSpace, kGrouping},  // fr-CA
    LocaleNumberData{4108, kPoint, kApostrophe, kGrouping},  // fr-CH
    LocaleNumberData{6153, kPoint, kComma, kGrouping},  // en-IE
    LocaleNumberData{11274, kComma, kPoint, kGrouping},  // es-AR
    LocaleNumberData{13322, kComma, kPoint, kGrouping},  // es-CL
};

static_assert(std::is_sorted(kLocales.begin(), kLocales.end(),
                             [](const LocaleNumberData& a, const LocaleNumberData& b) { return a.lcid < b.lcid; }));

}  // namespace

const LocaleNumberData* FindLocaleNumberData(int32_t lcid) {
  auto it = std::lower_bound(kLocales.begin(), kLocales.end(), lcid,
                             [](const LocaleNumberData& entry, int32_t key) { return entry.lcid < key; });
  return it != kLocales.end() && it->lcid == lcid ? &*it : nullptr;
}

}  // namespace trelix

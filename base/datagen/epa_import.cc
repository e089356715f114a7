// A real-data site from the US fuel-economy "all vehicles" table: each useful
// column becomes an item under a parent item per topic
// (powertrain, economy, emissions, electric drive, interior, record), with
// value texts, sheet lines, key advantages and standard texts over them, and
// competitor sets by (model year, EPA class).
//
// Sparsity is real: -1, 0 and blank mean "not available" in most columns.
// Such a value gets no equipment row (the sheet then falls back to the
// parent item); presence items (turbo, supercharger, guzzler tax, electric
// drive) store '-' instead, so that a vehicle without the feature loses a
// presence advantage. The table has no options and no prices: the only
// option rows are the alternative-fuel figures of dual-fuel vehicles
// (E85, electricity, natural gas, propane), labelled derived in option_list
// (derived = 1, name ending "(derived)") and in dataset_info; they carry no
// price. Texts of the source are English; value texts of coded items and the
// site's own texts are also in German, French and Japanese.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/datagen/csv_input.h"
#include "base/datagen/generators.h"
#include "base/datagen/row_sink.h"
#include "base/datagen/site_common.h"
#include "base/datagen/site_writer.h"

namespace trelix::datagen {
namespace {

constexpr const std::array<int, 4>& kLanguages = kSiteLanguages;

// Items. Parents first; every item of a topic refines the topic's item.
enum Item : int {
  kPowertrain = 100,
  kCylinders = 101,
  kDisplacement = 102,
  kTransmission = 103,
  kDrive = 104,
  kTurbo = 105,
  kSupercharger = 106,
  kStartStop = 107,
  kEngineDescription = 108,
  kEconomy = 200,
  kCityMpg = 201,
  kHighwayMpg = 202,
  kCombinedMpg = 203,
  kFuelType = 205,
  kFuelCost = 206,
  kSaveSpend = 207,
  kFeScore = 208,
  kBarrels = 209,
  kAltFuel = 210,
  kEmissions = 300,
  kCo2 = 301,
  kGhgScore = 302,
  kGuzzler = 303,
  kElectric = 400,
  kRange = 401,
  kElectricity = 402,
  kCharge240 = 403,
  kMotor = 404,
  kInterior = 500,
  kPassengerVolume = 501,
  kLuggageVolume = 502,
  kHatchback = 503,
  kRecord = 900,
  kModified = 901,
  kEpaClass = 902,
};

struct ItemDef {
  int id;
  int parent;
  const char* name;
  const char* data_type;
  const char* unit;
};

constexpr ItemDef kItems[] = {
    {kPowertrain, 0, "Powertrain type", "text", nullptr},
    {kCylinders, kPowertrain, "Cylinders", "number", nullptr},
    {kDisplacement, kPowertrain, "Displacement", "number", "l"},
    {kTransmission, kPowertrain, "Transmission", "text", nullptr},
    {kDrive, kPowertrain, "Drive", "text", nullptr},
    {kTurbo, kPowertrain, "Turbocharger", "feature", nullptr},
    {kSupercharger, kPowertrain, "Supercharger", "feature", nullptr},
    {kStartStop, kPowertrain, "Start-stop system", "feature", nullptr},
    {kEngineDescription, kPowertrain, "Engine description", "text", nullptr},
    {kEconomy, 0, "Fuel economy data", "feature", nullptr},
    {kCityMpg, kEconomy, "City fuel economy", "number", "mpg"},
    {kHighwayMpg, kEconomy, "Highway fuel economy", "number", "mpg"},
    {kCombinedMpg, kEconomy, "Combined fuel economy", "number", "mpg"},
    {kFuelType, kEconomy, "Fuel type", "text", nullptr},
    {kFuelCost, kEconomy, "Annual fuel cost", "price", "USD"},
    {kSaveSpend, kEconomy, "Five-year fuel cost against the average car", "number", "USD"},
    {kFeScore, kEconomy, "Fuel economy score", "number", nullptr},
    {kBarrels, kEconomy, "Annual petroleum consumption", "number", "barrels"},
    {kAltFuel, kEconomy, "Alternative fuel", "text", nullptr},
    {kEmissions, 0, "Emissions data", "feature", nullptr},
    {kCo2, kEmissions, "Tailpipe CO2", "number", "g/mi"},
    {kGhgScore, kEmissions, "Greenhouse gas score", "number", nullptr},
    {kGuzzler, kEmissions, "Gas guzzler tax", "feature", nullptr},
    {kElectric, 0, "Electric drive", "feature", nullptr},
    {kRange, kElectric, "Electric range", "number", "mi"},
    {kElectricity, kElectric, "Electricity consumption", "number", "kWh/100 mi"},
    {kCharge240, kElectric, "Charge time at 240 V", "number", "h"},
    {kMotor, kElectric, "Electric motor and battery", "text", nullptr},
    {kInterior, 0, "Interior volume data", "feature", nullptr},
    {kPassengerVolume, kInterior, "Passenger volume", "number", "cu ft"},
    {kLuggageVolume, kInterior, "Luggage volume", "number", "cu ft"},
    {kHatchback, kInterior, "Hatchback", "feature", nullptr},
    {kRecord, 0, "EPA record", "feature", nullptr},
    {kModified, kRecord, "EPA record modified", "date", nullptr},
    {kEpaClass, kRecord, "EPA size class", "text", nullptr},
};

struct Code {
  const char* source;  // text in the table
  const char* code;    // stored data_value
  Tr text;
};

const Code kPowertrainCodes[] = {
    {"", "GAS", {"gasoline", "Benzin", "essence", "ガソリン"}},
    {"Diesel", "DSL", {"diesel", "Diesel", "gazole", "ディーゼル"}},
    {"Hybrid", "HEV", {"hybrid", "Hybrid", "hybride", "ハイブリッド"}},
    {"Plug-in Hybrid", "PHEV", {"plug-in hybrid", "Plug-in-Hybrid", "hybride rechargeable", "プラグインハイブリッド"}},
    {"EV", "EV", {"electric", "Elektro", "électrique", "電気自動車"}},
    {"FFV", "FFV", {"flexible fuel", "Flexfuel", "carburant modulable", "フレックス燃料"}},
    {"CNG", "CNG", {"natural gas", "Erdgas", "gaz naturel", "天然ガス"}},
    {"Bifuel (CNG)", "BIF", {"bi-fuel natural gas", "bivalent Erdgas", "bicarburation gaz naturel", "バイフューエル（天然ガス）"}},
};

const Code kDriveCodes[] = {
    {"Front-Wheel Drive", "FWD", {"front-wheel drive", "Frontantrieb", "traction avant", "前輪駆動"}},
    {"Rear-Wheel Drive", "RWD", {"rear-wheel drive", "Heckantrieb", "propulsion", "後輪駆動"}},
    {"4-Wheel or All-Wheel Drive", "4WA", {"four- or all-wheel drive", "Allrad- oder Vierradantrieb",
                                           "quatre roues motrices ou intégrale", "四輪駆動または全輪駆動"}},
    {"All-Wheel Drive", "AWD", {"all-wheel drive", "Allradantrieb", "transmission intégrale", "全輪駆動"}},
    {"4-Wheel Drive", "4WD", {"four-wheel drive", "Vierradantrieb", "quatre roues motrices", "四輪駆動"}},
    {"2-Wheel Drive", "2WD", {"two-wheel drive", "Zweiradantrieb", "deux roues motrices", "二輪駆動"}},
    {"Part-time 4-Wheel Drive", "PT4", {"part-time four-wheel drive", "zuschaltbarer Vierradantrieb",
                                        "quatre roues motrices temporaires", "パートタイム四輪駆動"}},
};

const Code kFuelCodes[] = {
    {"Regular Gasoline", "REG", {"regular gasoline", "Normalbenzin", "essence ordinaire", "レギュラーガソリン"}},
    {"Premium Gasoline", "PRE", {"premium gasoline", "Superbenzin", "essence super", "ハイオクガソリン"}},
    {"Midgrade Gasoline", "MID", {"midgrade gasoline", "Benzin mittlerer Oktanzahl", "essence intermédiaire",
                                  "ミッドグレードガソリン"}},
    {"Diesel", "DSL", {"diesel", "Diesel", "gazole", "軽油"}},
    {"Electricity", "ELE", {"electricity", "Strom", "électricité", "電気"}},
    {"Natural Gas", "CNG", {"natural gas", "Erdgas", "gaz naturel", "天然ガス"}},
    {"E85", "E85", {"E85 ethanol", "E85-Ethanol", "éthanol E85", "E85エタノール"}},
    {"Propane", "LPG", {"propane", "Propan", "propane", "プロパン"}},
};

const char* FindCode(const Code* codes, size_t count, std::string_view source) {
  for (size_t i = 0; i < count; ++i) {
    if (source == codes[i].source) return codes[i].code;
  }
  return nullptr;
}

struct LineDef {
  const char* category;
  int schema_id;
  const char* sought;
  const char* text;
  const char* format;
  const char* custom;
  Tr description;
};

struct CategoryDef {
  const char* code;
  Tr name;
};

constexpr CategoryDef kCategories[] = {
    {"PWR", {"Powertrain", "Antrieb", "Motorisation", "パワートレイン"}},
    {"FUEL", {"Fuel economy", "Verbrauch", "Consommation", "燃費"}},
    {"ENV", {"Emissions", "Emissionen", "Émissions", "排出ガス"}},
    {"ELEC", {"Electric drive", "Elektroantrieb", "Propulsion électrique", "電動駆動"}},
    {"INT", {"Interior", "Innenraum", "Habitacle", "室内"}},
    {"INFO", {"EPA record", "EPA-Datensatz", "Fiche EPA", "EPAデータ"}},
};

const std::vector<LineDef>& Lines() {
  static const std::vector<LineDef> lines = {
      {"PWR", 0, nullptr, "Powertrain", nullptr, nullptr, {"Powertrain", "Antrieb", "Motorisation", "パワートレイン"}},
      {"PWR", kPowertrain, "", "", "T", nullptr, {"Powertrain type", "Antriebsart", "Type de motorisation", "パワートレイン形式"}},
      {"PWR", kCylinders, "", " cylinders", "#0", nullptr, {"Cylinders", "Zylinder", "Cylindres", "気筒数"}},
      {"PWR", kDisplacement, "", " l", "#1", nullptr, {"Displacement", "Hubraum", "Cylindrée", "排気量"}},
      {"PWR", kTransmission, "", "", "T", nullptr, {"Transmission", "Getriebe", "Transmission", "トランスミッション"}},
      {"PWR", kDrive, "", "", "T", nullptr, {"Drive", "Antrieb", "Transmission aux roues", "駆動方式"}},
      {"PWR", kDrive, "AWD", "", "A", "epa_awd", {"All-wheel drive", "Allradantrieb", "Transmission intégrale", "全輪駆動"}},
      {"PWR", kTurbo, "", "", "A", "epa_turbo", {"Turbocharger", "Turbolader", "Turbocompresseur", "ターボチャージャー"}},
      {"PWR", kSupercharger, "", "", "A", "epa_super", {"Supercharger", "Kompressor", "Compresseur", "スーパーチャージャー"}},
      {"PWR", kStartStop, "", "", "A", "epa_startstop", {"Start-stop system", "Start-Stopp-System", "Système start-stop", "アイドリングストップ"}},
      {"PWR", kEngineDescription, "", "", "V", nullptr, {"Engine description", "Motorbeschreibung", "Description du moteur", "エンジン概要"}},
      {"FUEL", 0, nullptr, "Fuel economy", nullptr, nullptr, {"Fuel economy", "Verbrauch", "Consommation", "燃費"}},
      {"FUEL", kCityMpg, "", " mpg city", "#0", nullptr, {"City", "Stadt", "Ville", "市街地"}},
      {"FUEL", kHighwayMpg, "", " mpg highway", "#0", nullptr, {"Highway", "Autobahn", "Autoroute", "高速道路"}},
      {"FUEL", kCombinedMpg, "", " mpg combined", "#0", nullptr, {"Combined", "Kombiniert", "Mixte", "複合"}},
      {"FUEL", kCombinedMpg, "", " l/100 km", "#1=235.215/?", nullptr,
       {"Combined (l/100 km)", "Kombiniert (l/100 km)", "Mixte (l/100 km)", "複合（l/100 km）"}},
      {"FUEL", kCombinedMpg, "", " km/l", "#1=?*0.425144", nullptr,
       {"Combined (km/l)", "Kombiniert (km/l)", "Mixte (km/l)", "複合（km/l）"}},
      {"FUEL", kFuelType, "", "", "T", nullptr, {"Fuel", "Kraftstoff", "Carburant", "燃料"}},
      {"FUEL", kFuelCost, "", "", "#C", nullptr, {"Annual fuel cost", "Jährliche Kraftstoffkosten", "Coût annuel du carburant", "年間燃料費"}},
      {"FUEL", kSaveSpend, "", " USD", "#0", nullptr,
       {"Five-year cost against the average car", "Fünfjahreskosten gegenüber dem Durchschnitt",
        "Coût sur cinq ans par rapport à la moyenne", "平均車との5年間燃料費差"}},
      {"FUEL", kFeScore, "", "/10", "#0", nullptr, {"Fuel economy score", "Verbrauchswertung", "Note de consommation", "燃費スコア"}},
      {"FUEL", kBarrels, "", " barrels a year", "#1", nullptr,
       {"Petroleum consumption", "Erdölverbrauch", "Consommation de pétrole", "石油消費量"}},
      {"FUEL", kAltFuel, "", "", "T", nullptr, {"Alternative fuel", "Alternativer Kraftstoff", "Carburant alternatif", "代替燃料"}},
      {"ENV", 0, nullptr, "Emissions", nullptr, nullptr, {"Emissions", "Emissionen", "Émissions", "排出ガス"}},
      {"ENV", kCo2, "", " g/mi", "#0", nullptr, {"Tailpipe CO2", "CO2 am Auspuff", "CO2 à l'échappement", "排出CO2"}},
      {"ENV", kCo2, "", " g/km", "#0=?/1.609344", nullptr,
       {"Tailpipe CO2 (g/km)", "CO2 am Auspuff (g/km)", "CO2 à l'échappement (g/km)", "排出CO2（g/km）"}},
      {"ENV", kGhgScore, "", "/10", "#0", nullptr, {"Greenhouse gas score", "Treibhausgaswertung", "Note gaz à effet de serre", "温室効果ガススコア"}},
      {"ENV", kGuzzler, "", "", "A", "epa_guzzler", {"Gas guzzler tax", "Spritfresser-Steuer", "Taxe sur les gros consommateurs", "ガソリン浪費税"}},
      {"ELEC", 0, nullptr, "Electric drive", nullptr, nullptr, {"Electric drive", "Elektroantrieb", "Propulsion électrique", "電動駆動"}},
      {"ELEC", kElectric, "", "", "A", "epa_electric", {"Electric drive", "Elektroantrieb", "Propulsion électrique", "電動駆動"}},
      {"ELEC", kRange, "", " mi", "#0", nullptr, {"Electric range", "Elektrische Reichweite", "Autonomie électrique", "EV航続距離"}},
      {"ELEC", kRange, "", " km", "#0=?*1.609344", nullptr,
       {"Electric range (km)", "Elektrische Reichweite (km)", "Autonomie électrique (km)", "EV航続距離（km）"}},
      {"ELEC", kElectricity, "", " kWh/100 mi", "#0", nullptr, {"Electricity consumption", "Stromverbrauch", "Consommation électrique", "電力消費率"}},
      {"ELEC", kCharge240, "", " h", "#1", nullptr, {"Charge time at 240 V", "Ladezeit an 240 V", "Temps de charge sous 240 V", "240V充電時間"}},
      {"ELEC", kMotor, "", "", "V", nullptr, {"Motor and battery", "Motor und Batterie", "Moteur et batterie", "モーター・バッテリー"}},
      {"INT", 0, nullptr, "Interior", nullptr, nullptr, {"Interior", "Innenraum", "Habitacle", "室内"}},
      {"INT", kPassengerVolume, "", " cu ft", "#0", nullptr, {"Passenger volume", "Innenraumvolumen", "Volume habitable", "室内容積"}},
      {"INT", kLuggageVolume, "", " cu ft", "#0", nullptr, {"Luggage volume", "Kofferraumvolumen", "Volume du coffre", "荷室容積"}},
      {"INT", kHatchback, "", "", "A", "epa_hatchback", {"Hatchback", "Schrägheck", "Hayon", "ハッチバック"}},
      {"INFO", kModified, "", "", "#D", nullptr, {"Record modified", "Datensatz geändert", "Fiche modifiée", "データ更新日"}},
      {"INFO", kEpaClass, "", "", "V", nullptr, {"EPA size class", "EPA-Größenklasse", "Catégorie EPA", "EPAサイズクラス"}},
  };
  return lines;
}

struct CustomText {
  const char* id;
  Tr text;
};

const CustomText kCustomTexts[] = {
    {"epa_awd", {" all-wheel drive", " Allradantrieb", " transmission intégrale", " 全輪駆動"}},
    {"epa_turbo", {" turbocharger", " Turbolader", " turbocompresseur", " ターボチャージャー"}},
    {"epa_super", {" supercharger", " Kompressor", " compresseur", " スーパーチャージャー"}},
    {"epa_startstop", {" start-stop system", " Start-Stopp-System", " système start-stop", " アイドリングストップ"}},
    {"epa_guzzler", {" gas guzzler tax", " Spritfresser-Steuer", " taxe gros consommateur", " ガソリン浪費税"}},
    {"epa_electric", {" electric drive", " Elektroantrieb", " propulsion électrique", " 電動駆動"}},
    {"epa_hatchback", {" hatchback", " Schrägheck", " hayon", " ハッチバック"}},
};

struct AdvantageDef {
  const char* category;
  int schema_id;
  const char* value;
  const char* format;
  const char* rule;
  Tr text;
};

const std::vector<AdvantageDef>& Advantages() {
  static const std::vector<AdvantageDef> advantages = {
      {"FUEL", kCombinedMpg, "", "#0", "#>",
       {"=? mpg combined (competitor =! mpg)", "=? mpg kombiniert (Wettbewerber =! mpg)",
        "=? mpg en cycle mixte (concurrent =! mpg)", "複合燃費=? mpg（競合車=! mpg）"}},
      {"FUEL", kCityMpg, "", "#0", "#>2",
       {"=? mpg in the city, =# mpg more", "=? mpg in der Stadt, =# mpg mehr", "=? mpg en ville, =# mpg de plus",
        "市街地燃費=? mpg（=# mpg優れる）"}},
      {"FUEL", kFuelCost, "", "#C", "#<",
       {"Fuel costs =? a year, =# less", "Kraftstoffkosten =? pro Jahr, =# weniger",
        "Carburant : =? par an, =# de moins", "年間燃料費=?（=#安い）"}},
      {"FUEL", kFeScore, "", "#0", "#>",
       {"Fuel economy score =?/10 (competitor =!/10)", "Verbrauchswertung =?/10 (Wettbewerber =!/10)",
        "Note de consommation =?/10 (concurrent =!/10)", "燃費スコア=?/10（競合車=!/10）"}},
      {"ENV", kCo2, "", "#0", "#<5%",
       {"=? g/mi CO2, =# g/mi less", "=? g/mi CO2, =# g/mi weniger", "=? g/mi de CO2, =# g/mi de moins",
        "CO2 =? g/mi（=# g/mi少ない）"}},
      {"ENV", kGhgScore, "", "#0", "#>",
       {"Greenhouse gas score =?/10", "Treibhausgaswertung =?/10", "Note gaz à effet de serre =?/10",
        "温室効果ガススコア=?/10"}},
      {"ENV", kGuzzler, "", "T", "-,S",
       {"No gas guzzler tax", "Keine Spritfresser-Steuer", "Pas de taxe gros consommateur", "ガソリン浪費税なし"}},
      {"PWR", kDrive, "", "T", "AWD,4WA,4WD,PT4",
       {"=? instead of =!", "=? statt =!", "=? au lieu de =!", "=!ではなく=?"}},
      {"PWR", kTurbo, "", "T", "@", {"Turbocharged engine", "Turbomotor", "Moteur turbo", "ターボエンジン"}},
      {"PWR", kStartStop, "", "T", "@", {"Start-stop system", "Start-Stopp-System", "Système start-stop", "アイドリングストップ"}},
      {"ELEC", kElectric, "", "T", "@", {"Electric drive", "Elektroantrieb", "Propulsion électrique", "電動駆動"}},
      {"ELEC", kRange, "", "#0", "#>10",
       {"=? mi electric range, =# mi more", "=? mi elektrische Reichweite, =# mi mehr",
        "=? mi d'autonomie électrique, =# mi de plus", "EV航続距離=? mi（=# mi長い）"}},
      {"ELEC", kCharge240, "", "#1", "#<",
       {"Charges in =? h at 240 V", "Lädt in =? h an 240 V", "Se recharge en =? h sous 240 V", "240Vで=?時間で充電"}},
      {"INT", kPassengerVolume, "", "#0", "#>5%",
       {"=? cu ft passenger volume", "=? cu ft Innenraum", "=? pi³ d'habitacle", "室内容積=? cu ft"}},
      {"INT", kLuggageVolume, "", "#0", "#>",
       {"=? cu ft luggage volume, =# cu ft more", "=? cu ft Kofferraum, =# cu ft mehr",
        "=? pi³ de coffre, =# pi³ de plus", "荷室容積=? cu ft（=# cu ft大きい）"}},
  };
  return advantages;
}

// --------------------------------------------------------------- the table

const char* const kRequiredColumns[] = {
    "id",        "year",      "make",      "model",    "VClass",    "atvType",        "cylinders",  "displ",
    "trany",     "drive",     "tCharger",  "sCharger", "startStop", "eng_dscr",       "city08",     "highway08",
    "comb08",    "fuelType1", "fuelType2", "cityA08",  "highwayA08", "combA08",       "fuelCost08", "fuelCostA08",
    "youSaveSpend", "feScore", "barrels08", "co2TailpipeGpm", "co2TailpipeAGpm", "ghgScore", "guzzler", "range",
    "combE",     "charge240", "evMotor",   "pv2",      "pv4",       "hpv",            "lv2",        "lv4",
    "hlv",       "modifiedOn",
};

std::optional<double> Number(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A positive number as stored text (the table already uses '.'), or empty
// for -1, 0, blank and junk.
std::string Positive(std::string_view text) {
  const auto value = Number(text);
  if (!value || *value <= 0) return {};
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

// Collapses runs of blanks and trims; cuts to the 50 characters a value may
// have (only a handful of motor descriptions are longer).
std::string CleanText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (out.size() > 50) out.resize(50);
  return out;
}

// "Tue Jan 01 00:00:00 EST 2013" -> "20130101"; empty when not of that form.
std::string DateValue(std::string_view text) {
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (text.size() < 28) return {};
  int month = 0;
  for (int m = 0; m < 12; ++m) {
    if (text.substr(4, 3) == kMonths[m]) month = m + 1;
  }
  const std::string_view day = text.substr(8, 2);
  const std::string_view year = text.substr(text.size() - 4);
  if (month == 0 || !Number(day) || !Number(year)) return {};
  return std::string(year) + (month < 10 ? "0" : "") + std::to_string(month) + std::string(day);
}

// Transmission texts in the other languages, for the common forms
// ("Automatic 6-spd", "Manual 5-spd", "Automatic (S8)", "Automatic (AM7)",
// "Automatic (AV-S6)", "Automatic (variable gear ratios)").
std::array<std::string, 4> TransmissionTexts(const std::string& value) {
  std::array<std::string, 4> out = {value, "", "", ""};
  auto digits_after = [&](size_t pos) {
    std::string d;
    while (pos < value.size() && std::isdigit(static_cast<unsigned char>(value[pos]))) d += value[pos++];
    return d;
  };
  const bool automatic = value.rfind("Automatic", 0) == 0;
  const bool manual = value.rfind("Manual", 0) == 0;
  const size_t spd = value.find("-spd");
  if ((automatic || manual) && spd != std::string::npos) {
    size_t start = spd;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(value[start - 1]))) --start;
    const std::string n = value.substr(start, spd - start);
    if (automatic) out = {value, n + "-Gang-Automatik", "automatique " + n + " rapports", n + "速AT"};
    else out = {value, n + "-Gang-Schaltgetriebe", "manuelle " + n + " rapports", n + "速MT"};
    return out;
  }
  if (!automatic) return out;
  if (value.find("(AV") != std::string::npos || value.find("variable") != std::string::npos) {
    return {value, "stufenloses Getriebe", "transmission à variation continue", "CVT"};
  }
  if (value.find("(AM") != std::string::npos) {
    const size_t at = value.find("(AM");
    std::string n = digits_after(at + 3);
    if (n.empty()) n = digits_after(at + 5);  // (AM-S7)
    if (!n.empty()) return {value, n + "-Gang automatisiertes Schaltgetriebe", "robotisée " + n + " rapports", n + "速AMT"};
    return out;
  }
  const size_t s = value.find("(S");
  if (s != std::string::npos) {
    const std::string n = digits_after(s + 2);
    if (!n.empty()) {
      return {value, n + "-Gang-Automatik mit manuellem Modus", "automatique " + n + " rapports à mode manuel",
              n + "速AT（マニュアルモード付）"};
    }
  }
  const size_t a = value.find("(A");
  if (a != std::string::npos) {
    const std::string n = digits_after(a + 2);
    if (!n.empty()) return {value, n + "-Gang-Automatik", "automatique " + n + " rapports", n + "速AT"};
  }
  return out;
}

class EpaImporter {
 public:
  EpaImporter(RowSink& sink, const EpaImportOptions& options) : sink_(sink), options_(options) {}

  Status Run(CsvInput& input) {
    std::vector<std::string> fields;
    if (!input.Next(fields)) {
      Status closed = input.Close();
      return closed.ok() ? Status::Corruption("the table is empty") : closed;
    }
    for (size_t i = 0; i < fields.size(); ++i) header_[fields[i]] = i;
    for (const char* column : kRequiredColumns) {
      if (!header_.count(column)) return Status::Corruption(std::string("the table has no column '") + column + "'");
    }
    WriteSite();
    while (sink_.ok() && input.Next(fields)) {
      if (options_.max_vehicles > 0 && stats_.vehicles >= options_.max_vehicles) break;
      ImportVehicle(fields);
    }
    Status closed = input.Close();
    if (!closed.ok()) return closed;
    if (stats_.vehicles == 0) return Status::Corruption("the table holds no usable vehicle");
    WriteCollected();
    return sink_.status();
  }

  const EpaImportStats& stats() const { return stats_; }

 private:
  std::string_view Field(const std::vector<std::string>& fields, const char* column) const {
    const size_t index = header_.at(column);
    return index < fields.size() ? std::string_view(fields[index]) : std::string_view();
  }

  void Value(int vehicle, int option, int schema, const std::string& value) {
    if (value.empty()) return;
    sink_.Add(TableId::kEquipment, {vehicle, option, ++record_id_, schema, "-", value, Cell()});
    ++stats_.equipment_rows;
  }

  void ImportVehicle(const std::vector<std::string>& fields) {
    const auto id = Number(Field(fields, "id"));
    const auto year = Number(Field(fields, "year"));
    const std::string make = CleanText(Field(fields, "make"));
    const std::string model(Field(fields, "model"));
    if (!id || *id <= 0 || *id > 2147483647 || *id != std::floor(*id) || !year || *year < 1900 || *year > 2100 ||
        make.empty() || model.empty() || model.size() > 100 || !seen_ids_.insert(static_cast<int64_t>(*id)).second) {
      ++stats_.skipped_rows;
      return;
    }
    const int vehicle = static_cast<int>(*id);
    const int model_year = static_cast<int>(*year);
    const std::string vclass = CleanText(Field(fields, "VClass"));
    record_id_ = 0;

    // Competitor sets by (year, class), numbered in order of appearance.
    int set_id = 0;
    if (!vclass.empty()) {
      auto [it, inserted] = sets_.try_emplace({model_year, vclass}, static_cast<int>(sets_.size()) + 1);
      set_id = it->second;
    }
    const std::string modified = DateValue(Field(fields, "modifiedOn"));
    const std::string modified_on =
        modified.empty() ? std::string() : modified.substr(0, 4) + "-" + modified.substr(4, 2) + "-" + modified.substr(6, 2) + " 00:00:00";
    sink_.Add(TableId::kVehicles, {vehicle, make, model, Cell(), model_year, vclass.empty() ? Cell() : Cell(vclass),
                                   set_id ? Cell(set_id) : Cell(), static_cast<int64_t>(*id), Cell(),
                                   modified_on.empty() ? Cell() : Cell(modified_on)});

    // Powertrain.
    const std::string_view atv = Field(fields, "atvType");
    const std::string_view fuel1 = Field(fields, "fuelType1");
    const char* powertrain = FindCode(kPowertrainCodes, std::size(kPowertrainCodes), atv);
    if (atv.empty()) powertrain = fuel1 == "Diesel" ? "DSL" : fuel1 == "Electricity" ? "EV" : fuel1 == "Natural Gas" ? "CNG" : "GAS";
    Value(vehicle, 0, kPowertrain, powertrain ? powertrain : "GAS");
    Value(vehicle, 0, kCylinders, Positive(Field(fields, "cylinders")));
    Value(vehicle, 0, kDisplacement, Positive(Field(fields, "displ")));
    const std::string trany = CleanText(Field(fields, "trany"));
    if (!trany.empty()) {
      Value(vehicle, 0, kTransmission, trany);
      transmissions_.insert(trany);
    }
    if (const char* drive = FindCode(kDriveCodes, std::size(kDriveCodes), Field(fields, "drive"))) {
      Value(vehicle, 0, kDrive, drive);
    }
    Value(vehicle, 0, kTurbo, Field(fields, "tCharger") == "T" ? "S" : "-");
    Value(vehicle, 0, kSupercharger, Field(fields, "sCharger") == "S" ? "S" : "-");
    const std::string_view start_stop = Field(fields, "startStop");
    if (start_stop == "Y" || start_stop == "N") Value(vehicle, 0, kStartStop, start_stop == "Y" ? "S" : "-");
    Value(vehicle, 0, kEngineDescription, CleanText(Field(fields, "eng_dscr")));

    // Economy.
    const std::string city = Positive(Field(fields, "city08"));
    const std::string highway = Positive(Field(fields, "highway08"));
    const std::string combined = Positive(Field(fields, "comb08"));
    Value(vehicle, 0, kEconomy, combined.empty() ? "-" : "S");
    Value(vehicle, 0, kCityMpg, city);
    Value(vehicle, 0, kHighwayMpg, highway);
    Value(vehicle, 0, kCombinedMpg, combined);
    if (const char* fuel = FindCode(kFuelCodes, std::size(kFuelCodes), fuel1)) Value(vehicle, 0, kFuelType, fuel);
    Value(vehicle, 0, kFuelCost, Positive(Field(fields, "fuelCost08")));
    // Savings against the average car are signed, and 0 is a real value.
    if (Number(Field(fields, "youSaveSpend"))) Value(vehicle, 0, kSaveSpend, std::string(Field(fields, "youSaveSpend")));
    Value(vehicle, 0, kFeScore, Positive(Field(fields, "feScore")));
    Value(vehicle, 0, kBarrels, Positive(Field(fields, "barrels08")));

    // Emissions: an electric car's tailpipe CO2 of 0 is a real value.
    const auto co2 = Number(Field(fields, "co2TailpipeGpm"));
    const bool electric_only = std::string_view(powertrain ? powertrain : "") == "EV";
    if (co2 && (*co2 > 0 || (electric_only && *co2 == 0))) Value(vehicle, 0, kCo2, std::string(Field(fields, "co2TailpipeGpm")));
    Value(vehicle, 0, kEmissions, co2 ? "S" : "-");
    Value(vehicle, 0, kGhgScore, Positive(Field(fields, "ghgScore")));
    Value(vehicle, 0, kGuzzler, Field(fields, "guzzler").empty() ? "-" : "S");

    // Electric drive.
    const bool plug_in = atv == "EV" || atv == "Plug-in Hybrid";
    Value(vehicle, 0, kElectric, plug_in ? "S" : "-");
    Value(vehicle, 0, kRange, Positive(Field(fields, "range")));
    Value(vehicle, 0, kElectricity, Positive(Field(fields, "combE")));
    Value(vehicle, 0, kCharge240, Positive(Field(fields, "charge240")));
    Value(vehicle, 0, kMotor, CleanText(Field(fields, "evMotor")));

    // Interior: four-door volumes first, then two-door, then hatchback.
    std::string passenger = Positive(Field(fields, "pv4"));
    if (passenger.empty()) passenger = Positive(Field(fields, "pv2"));
    if (passenger.empty()) passenger = Positive(Field(fields, "hpv"));
    std::string luggage = Positive(Field(fields, "lv4"));
    if (luggage.empty()) luggage = Positive(Field(fields, "lv2"));
    if (luggage.empty()) luggage = Positive(Field(fields, "hlv"));
    const bool hatchback = !Positive(Field(fields, "hlv")).empty() || !Positive(Field(fields, "hpv")).empty();
    const bool interior_known = !passenger.empty() || !luggage.empty();
    if (interior_known) {
      Value(vehicle, 0, kInterior, "S");
      Value(vehicle, 0, kHatchback, hatchback ? "S" : "-");
    }
    Value(vehicle, 0, kPassengerVolume, passenger);
    Value(vehicle, 0, kLuggageVolume, luggage);

    Value(vehicle, 0, kRecord, "S");
    Value(vehicle, 0, kModified, modified);
    if (!vclass.empty()) Value(vehicle, 0, kEpaClass, vclass);

    // Dual-fuel vehicles: the second fuel's figures as a derived option.
    const std::string_view fuel2 = Field(fields, "fuelType2");
    if (const char* fuel2_code = FindCode(kFuelCodes, std::size(kFuelCodes), fuel2)) {
      constexpr int kAltOption = 1;
      const std::string name = "Operation on " + std::string(fuel2) + " (derived)";
      sink_.Add(TableId::kOptionList, {vehicle, kAltOption, "ALT-" + std::string(fuel2_code), name, Cell(), Cell(),
                                       Cell(), 1, Cell()});
      Value(vehicle, kAltOption, kAltFuel, fuel2_code);
      Value(vehicle, kAltOption, kFuelType, fuel2_code);
      Value(vehicle, kAltOption, kCityMpg, Positive(Field(fields, "cityA08")));
      Value(vehicle, kAltOption, kHighwayMpg, Positive(Field(fields, "highwayA08")));
      Value(vehicle, kAltOption, kCombinedMpg, Positive(Field(fields, "combA08")));
      Value(vehicle, kAltOption, kFuelCost, Positive(Field(fields, "fuelCostA08")));
      Value(vehicle, kAltOption, kCo2, Positive(Field(fields, "co2TailpipeAGpm")));
      ++stats_.derived_options;
    }

    WriteStandardTexts(vehicle, powertrain ? powertrain : "GAS", fields, combined, city, highway, plug_in, passenger,
                       luggage);
    ++stats_.vehicles;
  }

  // Feature texts composed from the vehicle's own values (English only: the
  // source is English).
  void WriteStandardTexts(int vehicle, std::string_view powertrain, const std::vector<std::string>& fields,
                          const std::string& combined, const std::string& city, const std::string& highway,
                          bool plug_in, const std::string& passenger, const std::string& luggage) {
    std::string engine;
    const std::string displ = Positive(Field(fields, "displ"));
    const std::string cylinders = Positive(Field(fields, "cylinders"));
    if (!displ.empty()) engine += displ + " l ";
    if (!cylinders.empty()) engine += cylinders + "-cylinder ";
    if (Field(fields, "tCharger") == "T") engine += "turbo ";
    if (Field(fields, "sCharger") == "S") engine += "supercharged ";
    engine += std::string(powertrain == "GAS" ? "gasoline" : powertrain == "DSL" ? "diesel" : powertrain == "EV" ? "electric" : std::string(powertrain));
    const std::string trany = CleanText(Field(fields, "trany"));
    if (!trany.empty()) engine += ", " + trany;
    const std::string drive = CleanText(Field(fields, "drive"));
    if (!drive.empty()) engine += ", " + drive;
    sink_.Add(TableId::kStandardText, {vehicle, kPowertrain, 1, engine});

    if (!combined.empty()) {
      std::string economy = combined + " mpg combined";
      if (!city.empty() && !highway.empty()) economy += " (" + city + " city / " + highway + " highway)";
      const std::string fuel = CleanText(Field(fields, "fuelType1"));
      if (!fuel.empty()) economy += ", " + fuel;
      sink_.Add(TableId::kStandardText, {vehicle, kEconomy, 1, economy});
    }
    const auto co2 = Number(Field(fields, "co2TailpipeGpm"));
    if (co2) {
      std::string emissions = std::to_string(static_cast<int>(std::lround(*co2))) + " g/mi tailpipe CO2";
      const std::string ghg = Positive(Field(fields, "ghgScore"));
      if (!ghg.empty()) emissions += ", greenhouse gas score " + ghg + "/10";
      sink_.Add(TableId::kStandardText, {vehicle, kEmissions, 1, emissions});
    }
    if (plug_in) {
      std::string electric = "Plug-in electric drive";
      const std::string range = Positive(Field(fields, "range"));
      if (!range.empty()) electric += ", " + range + " mi electric range";
      sink_.Add(TableId::kStandardText, {vehicle, kElectric, 1, electric});
    }
    if (!passenger.empty() || !luggage.empty()) {
      std::string interior;
      if (!passenger.empty()) interior += passenger + " cu ft passenger volume";
      if (!luggage.empty()) interior += (interior.empty() ? "" : ", ") + luggage + " cu ft luggage volume";
      sink_.Add(TableId::kStandardText, {vehicle, kInterior, 1, interior});
    }
  }

  void WriteSite() {
    for (const ItemDef& item : kItems) {
      sink_.Add(TableId::kSchemaInfo, {item.id, item.parent, item.name, item.data_type, item.unit ? Cell(item.unit) : Cell()});
    }
    auto code_texts = [&](int schema, const Code* codes, size_t count) {
      for (size_t i = 0; i < count; ++i) {
        for (size_t lang = 0; lang < kLanguages.size(); ++lang) {
          sink_.Add(TableId::kSchemaText, {schema, codes[i].code, kLanguages[lang], codes[i].text.In(lang)});
        }
      }
    };
    code_texts(kPowertrain, kPowertrainCodes, std::size(kPowertrainCodes));
    code_texts(kDrive, kDriveCodes, std::size(kDriveCodes));
    code_texts(kFuelType, kFuelCodes, std::size(kFuelCodes));
    code_texts(kAltFuel, kFuelCodes, std::size(kFuelCodes));
    const Tr yes = {"yes", "ja", "oui", "あり"};
    const Tr no = {"no", "nein", "non", "なし"};
    for (int schema : {kTurbo, kSupercharger, kStartStop, kGuzzler, kElectric, kHatchback, kEconomy, kEmissions,
                       kInterior, kRecord}) {
      for (size_t lang = 0; lang < kLanguages.size(); ++lang) {
        sink_.Add(TableId::kSchemaText, {schema, "S", kLanguages[lang], yes.In(lang)});
        sink_.Add(TableId::kSchemaText, {schema, "-", kLanguages[lang], no.In(lang)});
      }
    }

    // Project database.
    int eb_order = 0;
    for (const CategoryDef& category : kCategories) {
      ++eb_order;
      sink_.Add(TableId::kCategories, {category.code, eb_order, eb_order, eb_order});
      AddTranslations(sink_, TableId::kApplicationTexts, category.code, category.name);
    }
    for (const CustomText& text : kCustomTexts) AddTranslations(sink_, TableId::kApplicationTexts, text.id, text.text);
    AddTranslations(sink_, TableId::kApplicationTexts, "unlimited", {"unlimited", "unbegrenzt", "illimité", "無制限"});
    const Tr adds = {"/img/en/added.png", "/img/de/added.png", "/img/fr/added.png", "/img/ja/added.png"};
    const Tr deletes = {"/img/en/deleted.png", "/img/de/deleted.png", "/img/fr/deleted.png", "/img/ja/deleted.png"};
    const Tr changes = {"/img/en/changed.png", "/img/de/changed.png", "/img/fr/changed.png", "/img/ja/changed.png"};
    AddTranslations(sink_, TableId::kApplicationTexts, "icon_equipment_adds", adds);
    AddTranslations(sink_, TableId::kApplicationTexts, "icon_equipment_deletes", deletes);
    AddTranslations(sink_, TableId::kApplicationTexts, "icon_equipment_changes", changes);

    int row_id = 0;
    std::map<std::string, int> order;
    for (const LineDef& line : Lines()) {
      ++row_id;
      sink_.Add(TableId::kEBrochure,
                {row_id, line.category, ++order[line.category], line.schema_id, line.sought ? Cell(line.sought) : Cell(),
                 line.text, line.schema_id ? Cell("-") : Cell(), line.format ? Cell(line.format) : Cell(),
                 line.custom ? Cell(line.custom) : Cell()});
      AddTranslations(sink_, TableId::kEBrochureText, row_id, line.description);
    }
    // Segmentation 1: the economy figures a buyer compares first.
    int segment_order = 0;
    row_id = 0;
    for (const LineDef& line : Lines()) {
      ++row_id;
      if (line.schema_id == kCombinedMpg || line.schema_id == kFuelCost || line.schema_id == kCo2 ||
          line.schema_id == kRange) {
        ++segment_order;
        sink_.Add(TableId::kSegmentation, {1, row_id, segment_order});
        sink_.Add(TableId::kEbSegmentation, {1, row_id, segment_order});
      }
    }

    int advantage_id = 0;
    for (const AdvantageDef& advantage : Advantages()) {
      ++advantage_id;
      sink_.Add(TableId::kKeyAdvantages, {advantage_id, advantage.category, advantage.schema_id, advantage.value, "-",
                                          advantage.format, advantage.rule});
      AddTranslations(sink_, TableId::kKeyAdvantageText, advantage_id, advantage.text);
      if (std::string_view(advantage.category) == "FUEL") {
        sink_.Add(TableId::kKaSegmentation, {1, advantage_id, advantage_id});
      }
    }

    AddCurrencies(sink_);

    const std::pair<int, const char*> features[] = {
        {kPowertrain, "PWR"}, {kEconomy, "FUEL"}, {kEmissions, "ENV"}, {kElectric, "ELEC"}, {kInterior, "INT"}};
    int content_row = 0;
    for (const auto& [schema, category] : features) {
      ++content_row;
      sink_.Add(TableId::kStandardContent, {content_row, schema, category, "Default", content_row * 10});
    }

    const char* source =
        "US DOE/EPA fuel-economy 'all vehicles' table of 2022-11-08 (public domain in the US); vehicle ids are its "
        "id column";
    for (TableId table : {TableId::kProjectDatasetInfo, TableId::kSpecsDatasetInfo}) {
      sink_.Add(table, {"source", source});
      sink_.Add(table, {"generator", "trelix_eb import-epa"});
      sink_.Add(table, {"derived",
                        "option_list rows (derived = 1) and their equipment rows: alternative-fuel figures of dual-fuel "
                        "vehicles shown as option 1; no prices exist in the source; standard_text is composed from "
                        "the vehicle's values; competitor sets group vehicles by model year and EPA class"});
    }
  }

  // Rows that need the whole table first.
  void WriteCollected() {
    for (const std::string& trany : transmissions_) {
      const auto texts = TransmissionTexts(trany);
      for (size_t lang = 0; lang < kLanguages.size(); ++lang) {
        if (!texts[lang].empty()) sink_.Add(TableId::kSchemaText, {kTransmission, trany, kLanguages[lang], texts[lang]});
      }
    }
    for (const auto& [key, id] : sets_) {
      const std::string name = std::to_string(key.first) + " " + key.second;
      sink_.Add(TableId::kCompetitorSets, {id, key.first, key.second, name});
    }
    stats_.competitor_sets = static_cast<int64_t>(sets_.size());
  }

  RowSink& sink_;
  const EpaImportOptions& options_;
  std::unordered_map<std::string, size_t> header_;
  std::set<int64_t> seen_ids_;
  std::map<std::pair<int, std::string>, int> sets_;
  std::set<std::string> transmissions_;
  int record_id_ = 0;
  EpaImportStats stats_;
};

}  // namespace

Result<EpaImportStats> ImportEpa(std::string_view path, std::string_view connection, const EpaImportOptions& options) {
  if (options.max_vehicles < 0) return Status::InvalidArgument("max_vehicles must not be negative");
  // Open the input first: a missing file should not touch the target.
  auto input = CsvInput::Open(std::string(path), "vehicles.csv");
  if (!input.ok()) return input.status();
  auto writer = SiteWriter::Open(connection, options.project_name, options.specs_name);
  if (!writer.ok()) return writer.status();
  RowSink sink(*writer.value());
  EpaImporter importer(sink, options);
  if (Status s = importer.Run(*input.value()); !s.ok()) return s;
  if (Status s = sink.Commit(); !s.ok()) return s;
  return importer.stats();
}

}  // namespace trelix::datagen

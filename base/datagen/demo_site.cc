// The demo site: two fictional makes (Norvik, Castellan), three models, eight
// vehicles with options, in English (language 1), German (3), French (5) and
// Japanese (8), plus a few texts in language 7 to show missing translations.
// Tests and the demo pages rely on the ids below; change them only together.
//
// Vehicles (model year 2024; competitor set 1 = 1001..1006, set 2 = 1007, 1008)
//   1001 Norvik Kestrel 1.5 Core        petrol, 6-speed manual, 96 kW, 24,950
//   1002 Norvik Kestrel 1.5 Style       petrol, 7-speed DCT, 110 kW, 28,400
//   1003 Norvik Kestrel 2.0 Diesel      diesel, 110 kW, option 30 all-wheel drive
//   1004 Castellan Ravel 1.2 Entry      petrol, 81 kW, no air conditioning
//   1005 Castellan Ravel 1.6 Premium    petrol, 121 kW, leather
//   1006 Castellan Ravel E-Drive        electric, 150 kW, rear-wheel drive
//   1007 Norvik Arden 2.0 AWD           petrol SUV, 140 kW, unlimited warranty
//   1008 Norvik Arden 2.5 Hybrid AWD    hybrid SUV, 165 kW, launch 99991231,
//                                       standard texts in English only
//
// Options. Kestrel (1001-1003): 5 winter package (heated seats), 7 keyless
// pack, 9 leather, 12 comfort package (2 climate zones, heated seats,
// keyless, front sensors), 15 navigation pro (its 2020 row has condition
// {12}: without option 12 the whole option is dropped, even when not chosen),
// 20 sport package (microfibre, sunroof), 21 run-flat tyres (spare wheel '-',
// condition "not {20}"), 25 leather comfort package (upholstery row condition
// "({12} or {15}) and not {20}", heated seat row without condition), 30
// all-wheel drive (1003 only). Ravel (1004-1006): 12 comfort pack (heated
// seats, keyless; on 1004 also air conditioning and climate zones), 15 tech
// pack (navigation, ACC, lane assist), 21 safety pack (prc90001 NULL). Arden
// (1007-1008): 12 panorama roof, 15 assist pack. Two price columns: msrp and prc90001 order options 5 and 12
// oppositely, and tie options 7 and Ravel 12 by msrp only.
//
// Items (schema_info; parent in brackets): 10000 engine type, 10010 cc [10000],
// 10020 kW [10000], 10030 Nm [10000], 10040 km/h, 10050 0-100 s, 10060 l/100km
// [10000], 10070 g/km, 10080 electric range, 10090 gearbox, 10095 gears
// [10090], 10100 drive, 2000 air conditioning, 2001 climate zones [2000], 2010
// seats, 2011 upholstery [2010], 2012 heated seats [2010], 2020 navigation,
// 2021 screen inches [2020], 2030 sunroof, 2040 cruise control, 2050 parking
// sensors at F and R, 2060 keyless, 5000 airbags, 5001 front [5000], 5002 side
// at F and R [5000], 5003 curtain [5000], 5009 driver assistance, 5010 ESP
// [5009], 5020 lane assist [5009], 5030 emergency braking [5009], 5040 NCAP
// stars, 5050 spare wheel, 30010..30100 dimensions, 30090 launch date, 90001
// base price (the price item of column prc90001), 23502 / 23602 years and
// 23503 / 23603 km with unlimited sentinels, 23504 service km (no sentinel).
//
// Spec sheet (categories ENG, DIM, Comfort, Safety, Price, Warranty; XERR has
// no categories row; line 116 is filed under 'eng' in lower case):
//   heading lines 100 200 300 400 (con_schema_id 0): column headings only
//   T: 101 engine type, 113 gearbox, 303 upholstery; 304 sought value LEA
//      (empty description unless the vehicle has leather: 1005, 1007, 1008)
//   A: 301 air conditioning (@S; 1004 @O: only its option 12 has it), 305 heated
//      seats (1001 has no standard row: @O cheapest by the price column, option
//      5 by msrp, 12 by prc90001; with option 12 chosen the parent 2010 answers
//      @U), 306 navigation (1001 with options 12,15: @O), 309 sought value ACC
//      (1003, 1006 'acc' lower case: @S; 1004, 1005: @O via option 15), 310/311
//      locations F/R (1004 has no F row), 312 keyless, 313 sunroof, 115 sought
//      AWD (1007 @S, 1003 @O option 30), 401-406, 409 spare wheel (1001 with
//      option 21: @D; with options 20,21 option 21 is dropped: @S)
//   S: 307 navigation details (content of 2020's standard text; 1001 @X via
//      parent '-'), 407 emergency braking (content of 5009; 1004 @X, 1006 @U)
//   #n: 102 #0 (1006 @U: parent engine type ELE), 103, 105, 106, 108 #1 (9.4),
//      109, 110, 112 (@X for non-electric: no parent), 201-207 (207 @X for
//      1006), 210 #2 with three blanks in con_text, 302 #0 (1006 @U via parent
//      'S'; 1004 @X: only an option row, no standard row; three blanks), 308
//      #1 (10.25; 1001 @X via parent '-'), 408
//   formulas: 104 #0=?*1.36 (PS), 107 #0=?/1.609 (mph), 111 #0=?*1.609 (1006
//      value 0: formula not applied)
//   #D: 209 (20240115 -> 2024-01-15; 1008 99991231 unchanged)
//   #C: 500 (CUR|24950); 501 #0
//   #<letter> / # alone: 208 #P, 114 #
//   other first letter: 116 V (raw value) in category 'eng'
//   unlimited: 600 (23502: 1007 9999, 1008 999), 601 (23503: 1007 999999,
//      1008 9999999), 602 (23602: 1007/1008 999), 603 (23603: 1008 9999999),
//      604 (23504: 1006 999999 printed as a number)
//   custom texts: ct_* application texts; ct_lane starts with two blanks; no
//      custom texts in language 7 (NULL); 'unlimited' empty in language 7
//   XERR 900: a # line over a text value (fails: not numeric)
//   segmentation 2: lines 103 109 301 305 401 500 (sheet) / same in
//      eb_segmentation; segmentation 3: 201 202
// Key advantages (categories by ka_order_id: Comfort, ENG, Safety, Price, DIM,
// Warranty):
//   presence '@': 1 air conditioning (1001 beats 1004), 2 heated seats
//      (1002 vs 1004: neither standard; optional: 1002 option 5 is cheaper),
//      3 required value ACC (1006 'acc' beats 1002; 1001 with option 15 chosen
//      beats 1004), 4 location F (1002 vs 1004: 1004 has no F row but an R row,
//      so it lacks the feature), 7 keyless (1001 vs 1004 optional: equal msrp
//      990 ties, prc90001 950 < 990 wins), 8 sunroof (texts in English only:
//      other languages print the loser as '-'), 16 AWD with format X (=? stays),
//      20 lane assist (1001 vs 1004: only the competitor offers it as an
//      option), 21 emergency braking (1004 has no row, parent 5009 '-': 1001
//      wins; 1006 has no row, parent 'S': no winner), 22 location R, 25 empty
//      location
//   ranking: 5 LEA,MIC,CLO (1003 MIC beats 1004 CLO; 1002 loses to 1005 LEA;
//      1001 and 1004 both CLO: tie, no row)
//   numeric: 10 #>10 (1001 +15 wins, 1002 -11 loses, 1007 vs 1006 exactly 10:
//      no winner), 11 #< (1007 7.2 loses to 1008 6.9), 12 #<5% (1007 vs 1008
//      4.2%: no winner; 1001 vs 1005 wins), 13 formula #0=?/1.609, 14 #1, 15
//      #0 (1006 value 0), 17 electric range (one side without a row: no
//      winner), 6 #1 with =# (difference), 23 #0
//   price item: 30 schema 90001 #C #< (price field prc90001 -> total prices)
//   #D 41, #2 42, #K 43, unlimited 50 (23502), 51 (23503), 52 (23504 no
//      sentinel), 53 (23602)
//   NULL rule: 24 (never returned); ka_segmentation 2: 10 30 1 20; 3: 40
// Feature comparison (standard_content, segment Default unless noted):
//   Safety 5000 5009 5050, Comfort 2000 2010 2020, 'comfort' 2040 (lower-case
//   category), Comfort 2050 2060; segment Sport: ENG 10000, Comfort 2030.
//   1002 and 1005 share the air conditioning text (same), 1006 differs only in
//   case (changed), 1004 lacks it (added/deleted), 1006's seats text is empty
//   (present), 1008 has English texts only. Icons: icon_equipment_* in every
//   language (German ids in capitals), 'changes' missing in Japanese, a decoy
//   icon_equipment_legend.
// Currencies: EUR (before), GBP (after), USD (before), CHF (symbolafter NULL),
// JPY (0 decimals).

#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "base/datagen/generators.h"
#include "base/datagen/row_sink.h"
#include "base/datagen/site_common.h"
#include "base/datagen/site_writer.h"

namespace trelix::datagen {
namespace {

constexpr int kVehicleCount = 8;
constexpr int kFirstVehicle = 1001;
constexpr const std::array<int, 4>& kLanguages = kSiteLanguages;

// --------------------------------------------------------------- specs

struct Item {
  int schema_id;
  int parent;
  const char* name;
  const char* data_type;
  const char* unit;
};

constexpr Item kItems[] = {
    {10000, 0, "Engine type", "text", nullptr},
    {10010, 10000, "Displacement", "number", "cc"},
    {10020, 10000, "Power", "number", "kW"},
    {10030, 10000, "Torque", "number", "Nm"},
    {10040, 0, "Top speed", "number", "km/h"},
    {10050, 0, "Acceleration 0-100 km/h", "number", "s"},
    {10060, 10000, "Fuel consumption combined", "number", "l/100 km"},
    {10070, 0, "CO2 emissions", "number", "g/km"},
    {10080, 0, "Electric range", "number", "km"},
    {10090, 0, "Gearbox", "text", nullptr},
    {10095, 10090, "Number of gears", "number", nullptr},
    {10100, 0, "Drive", "text", nullptr},
    {2000, 0, "Air conditioning", "feature", nullptr},
    {2001, 2000, "Climate zones", "number", nullptr},
    {2010, 0, "Seats", "feature", nullptr},
    {2011, 2010, "Upholstery", "text", nullptr},
    {2012, 2010, "Heated front seats", "feature", nullptr},
    {2020, 0, "Navigation system", "feature", nullptr},
    {2021, 2020, "Screen size", "number", "in"},
    {2030, 0, "Sunroof", "feature", nullptr},
    {2040, 0, "Cruise control", "text", nullptr},
    {2050, 0, "Parking sensors", "feature", nullptr},
    {2060, 0, "Keyless entry", "feature", nullptr},
    {5000, 0, "Airbags", "feature", nullptr},
    {5001, 5000, "Front airbags", "feature", nullptr},
    {5002, 5000, "Side airbags", "feature", nullptr},
    {5003, 5000, "Curtain airbags", "feature", nullptr},
    {5009, 0, "Driver assistance", "feature", nullptr},
    {5010, 5009, "Electronic stability control", "feature", nullptr},
    {5020, 5009, "Lane keeping assist", "feature", nullptr},
    {5030, 5009, "Autonomous emergency braking", "feature", nullptr},
    {5040, 0, "Euro NCAP stars", "number", nullptr},
    {5050, 0, "Spare wheel", "feature", nullptr},
    {30010, 0, "Length", "number", "mm"},
    {30020, 0, "Width", "number", "mm"},
    {30030, 0, "Height", "number", "mm"},
    {30040, 0, "Wheelbase", "number", "mm"},
    {30050, 0, "Luggage capacity", "number", "l"},
    {30060, 0, "Kerb weight", "number", "kg"},
    {30070, 0, "Fuel tank", "number", "l"},
    {30080, 0, "Seats", "number", nullptr},
    {30090, 0, "Market launch", "date", nullptr},
    {30100, 0, "Turning circle", "number", "m"},
    {90001, 0, "Base price", "price", "EUR"},
    {23502, 0, "Warranty years", "number", "years"},
    {23503, 0, "Warranty mileage", "number", "km"},
    {23504, 0, "Service interval", "number", "km"},
    {23602, 0, "Roadside assistance years", "number", "years"},
    {23603, 0, "Battery warranty mileage", "number", "km"},
};

// Standard rows: one value per vehicle 1001..1008; nullptr = no row at all.
struct StandardRow {
  int schema_id;
  const char* location;
  std::array<const char*, kVehicleCount> values;
};

const StandardRow kStandardRows[] = {
    {10000, "-", {"PET", "PET", "DSL", "PET", "PET", "ELE", "PET", "HYB"}},
    {10010, "-", {"1498", "1498", "1968", "1199", "1598", nullptr, "1984", "2487"}},
    {10020, "-", {"96", "110", "110", "81", "121", "150", "140", "165"}},
    {10030, "-", {"200", "250", "340", "205", "250", "310", "320", "350"}},
    {10040, "-", {"205", "215", "212", "188", "220", "160", "225", "210"}},
    {10050, "-", {"9.4", "8.5", "8.9", "11.2", "8.1", "7.6", "7.3", "6.9"}},
    {10060, "-", {"5.4", "5.7", "4.6", "5.2", "6.1", nullptr, "7.2", "6.9"}},
    {10070, "-", {"123", "130", "121", "119", "139", "0", "164", "157"}},
    {10080, "-", {nullptr, nullptr, nullptr, nullptr, nullptr, "410", nullptr, "52"}},
    {10090, "-", {"MAN6", "AUT7", "AUT7", "MAN6", "AUT8", "1SP", "AUT8", "AUT8"}},
    {10095, "-", {"6", "7", "7", "6", "8", "1", "8", "8"}},
    {10100, "-", {"FWD", "FWD", "FWD", "FWD", "FWD", "RWD", "AWD", "AWD"}},
    {2000, "-", {"S", "S", "S", "-", "S", "S", "S", "S"}},
    {2001, "-", {"1", "2", "2", nullptr, "2", nullptr, "3", "3"}},
    {2010, "-", {"S", "S", "S", "S", "S", "S", "S", "S"}},
    {2011, "-", {"CLO", "CLO", "MIC", "CLO", "LEA", "MIC", "LEA", "LEA"}},
    {2012, "-", {nullptr, "-", "S", "-", "S", "S", "S", "S"}},
    {2020, "-", {"-", "S", "S", "-", "S", "S", "S", "S"}},
    {2021, "-", {nullptr, "8.0", "10.25", nullptr, "9.0", "9.0", "10.25", "12.3"}},
    {2030, "-", {"-", "-", "-", "-", "S", "-", "-", "S"}},
    {2040, "-", {"CC", "CC", "ACC", "-", "CC", "acc", "CC", "ACC"}},
    {2050, "F", {"-", "S", "S", nullptr, "S", "S", "S", "S"}},
    {2050, "R", {"S", "S", "S", "S", "S", "S", "S", "S"}},
    {2060, "-", {nullptr, "S", "S", "-", "S", "S", "S", "S"}},
    {5000, "-", {"S", "S", "S", "S", "S", "S", "S", "S"}},
    {5001, "-", {"S", "S", "S", "S", "S", "S", "S", "S"}},
    {5002, "F", {"S", "S", "S", "S", "S", "S", "S", "S"}},
    {5002, "R", {"-", "-", "S", "-", "S", "S", "S", "S"}},
    {5003, "-", {"S", "S", "S", "S", "S", "S", "S", "S"}},
    {5009, "-", {"S", "S", "S", "-", "S", "S", "S", "S"}},
    {5010, "-", {"S", "S", "S", "S", "S", "S", "S", "S"}},
    {5020, "-", {"-", "S", "S", "-", "S", "S", "-", "S"}},
    {5030, "-", {"S", "S", "S", nullptr, "S", nullptr, "S", "S"}},
    {5040, "-", {"5", "5", "5", "4", "5", "5", "5", "5"}},
    {5050, "-", {"S", "S", "S", "S", "S", "-", "S", "S"}},
    {30010, "-", {"4250", "4250", "4250", "4080", "4080", "4080", "4590", "4590"}},
    {30020, "-", {"1790", "1790", "1790", "1765", "1765", "1765", "1860", "1860"}},
    {30030, "-", {"1460", "1460", "1460", "1435", "1435", "1450", "1680", "1690"}},
    {30040, "-", {"2630", "2630", "2630", "2560", "2560", "2560", "2780", "2780"}},
    {30050, "-", {"380", "380", "380", "352", "352", "300", "520", "480"}},
    {30060, "-", {"1280", "1320", "1420", "1155", "1290", "1560", "1610", "1790"}},
    {30070, "-", {"50", "50", "50", "45", "45", nullptr, "58", "52"}},
    {30080, "-", {"5", "5", "5", "5", "5", "5", "5", "5"}},
    {30090, "-", {"20240115", "20240115", "20240301", "20230901", "20230901", "20240601", "20240915", "99991231"}},
    {30100, "-", {"10.9", "10.9", "10.9", "10.4", "10.4", "10.6", "11.6", "11.6"}},
    {90001, "-", {"24950", "28400", "31200", "22900", "29750", "38500", "41300", "46900"}},
    {23502, "-", {"3", "3", "3", "7", "7", "8", "9999", "999"}},
    {23503, "-", {"100000", "100000", "100000", "150000", "150000", "160000", "999999", "9999999"}},
    {23504, "-", {"30000", "30000", "30000", "20000", "20000", "999999", "30000", "30000"}},
    {23602, "-", {"3", "3", "3", "1", "1", "1", "999", "999"}},
    {23603, "-", {nullptr, nullptr, nullptr, nullptr, nullptr, "160000", nullptr, "9999999"}},
};

struct OptionRow {
  int schema_id;
  const char* location;
  const char* value;
  const char* condition;  // nullptr: no condition
};

struct Option {
  std::vector<int> vehicles;
  int option_id;
  const char* code;
  const char* name;
  double msrp;
  double prc90001;  // < 0: NULL
  double weight_kg;
  std::vector<OptionRow> rows;
};

const std::vector<Option>& Options() {
  static const std::vector<Option> options = {
      {{1001, 1002, 1003}, 5, "WPK", "Winter package", 450, 1350, 4.5, {{2012, "-", "S", nullptr}}},
      {{1001, 1002, 1003}, 7, "KLP", "Keyless pack", 990, 950, 0.3, {{2060, "-", "S", nullptr}}},
      {{1001, 1002, 1003}, 9, "LTR", "Leather trim", 1900, 1800, 3.2, {{2011, "-", "LEA", nullptr}}},
      {{1001, 1002, 1003},
       12,
       "CPK",
       "Comfort package",
       1200,
       1100,
       6.0,
       {{2001, "-", "2", nullptr}, {2012, "-", "S", nullptr}, {2060, "-", "S", nullptr}, {2050, "F", "S", nullptr}}},
      {{1001, 1002, 1003},
       15,
       "NAV",
       "Navigation Pro",
       1450,
       1390,
       1.1,
       {{2020, "-", "S", "{12}"}, {2021, "-", "10.25", nullptr}, {2040, "-", "ACC", nullptr}}},
      {{1001, 1002, 1003}, 20, "SPK", "Sport package", 800, 950, 12.5, {{2011, "-", "MIC", nullptr}, {2030, "-", "S", nullptr}}},
      {{1001, 1002, 1003}, 21, "RFT", "Run-flat tyres", 300, 280, -8.0, {{5050, "-", "-", "not {20}"}}},
      {{1001, 1002, 1003},
       25,
       "LCP",
       "Leather comfort package",
       2400,
       2300,
       7.4,
       {{2011, "-", "LEA", "({12} or {15}) and not {20}"}, {2012, "-", "S", nullptr}}},
      {{1003}, 30, "AWD", "All-wheel drive", 2200, 2100, 85.0, {{10100, "-", "AWD", nullptr}, {30060, "-", "1505", nullptr}}},
      // The entry model's comfort pack adds air conditioning; on the others
      // it has no climate rows, so their sheets fall back to the parent item.
      {{1004},
       12,
       "CP1",
       "Comfort pack",
       990,
       990,
       9.0,
       {{2000, "-", "S", nullptr}, {2001, "-", "1", nullptr}, {2012, "-", "S", nullptr}, {2060, "-", "S", nullptr}}},
      {{1005, 1006}, 12, "CP1", "Comfort pack", 990, 990, 9.0, {{2012, "-", "S", nullptr}, {2060, "-", "S", nullptr}}},
      {{1004, 1005, 1006},
       15,
       "TP1",
       "Tech pack",
       1450,
       1500,
       1.4,
       {{2020, "-", "S", nullptr}, {2021, "-", "9.0", nullptr}, {2040, "-", "ACC", nullptr}, {5020, "-", "S", nullptr}}},
      {{1004, 1005, 1006}, 21, "SP1", "Safety pack", 650, -1, 2.0, {{5002, "R", "S", nullptr}, {5020, "-", "S", nullptr}}},
      {{1007, 1008}, 12, "PRF", "Panorama roof", 1350, 1200, 24.0, {{2030, "-", "S", nullptr}}},
      {{1007, 1008}, 15, "ASP", "Assist pack", 1600, 1500, 1.9, {{5020, "-", "S", nullptr}, {2040, "-", "ACC", nullptr}}},
  };
  return options;
}

struct ValueText {
  int schema_id;
  const char* value;
  Tr text;
};

constexpr Tr kStandard = {"standard", "Serienausstattung", "de série", "標準装備"};
constexpr Tr kNotAvailable = {"not available", "nicht erhältlich", "non disponible", "設定なし"};

const std::vector<ValueText>& ValueTexts() {
  static const std::vector<ValueText> texts = [] {
    std::vector<ValueText> t = {
        {10000, "PET", {"petrol", "Benzin", "essence", "ガソリン"}},
        {10000, "DSL", {"diesel", "Diesel", "gazole", "ディーゼル"}},
        {10000, "ELE", {"electric", "Elektro", "électrique", "電気"}},
        {10000, "HYB", {"petrol hybrid", "Benzin-Hybrid", "hybride essence", "ハイブリッド"}},
        {10090, "MAN6", {"6-speed manual", "6-Gang-Schaltgetriebe", "boîte manuelle 6 vitesses", "6速マニュアル"}},
        {10090, "AUT7", {"7-speed dual-clutch", "7-Gang-Doppelkupplungsgetriebe", "double embrayage 7 rapports",
                         "7速デュアルクラッチ"}},
        {10090, "AUT8", {"8-speed automatic", "8-Gang-Automatik", "boîte automatique 8 rapports", "8速オートマチック"}},
        {10090, "1SP", {"single-speed reduction gear", "1-Gang-Untersetzungsgetriebe", "réducteur à un rapport",
                        "1速減速機"}},
        {10100, "FWD", {"front-wheel drive", "Frontantrieb", "traction avant", "前輪駆動"}},
        {10100, "RWD", {"rear-wheel drive", "Heckantrieb", "propulsion", "後輪駆動"}},
        {10100, "AWD", {"all-wheel drive", "Allradantrieb", "transmission intégrale", "四輪駆動"}},
        {2011, "CLO", {"cloth", "Stoff", "tissu", "ファブリック"}},
        {2011, "MIC", {"microfibre", "Mikrofaser", "microfibre", "マイクロファイバー"}},
        {2011, "LEA", {"leather", "Leder", "cuir", "本革"}},
        {2040, "CC", {"cruise control", "Tempomat", "régulateur de vitesse", "クルーズコントロール"}},
        {2040, "ACC", {"adaptive cruise control", "Abstandsregeltempomat", "régulateur adaptatif",
                       "アダプティブクルーズコントロール"}},
        {2040, "-", kNotAvailable},
        {2010, "S", {"yes", "ja", "oui", "あり"}},
        {5000, "S", {"yes", "ja", "oui", "あり"}},
        {5009, "S", {"yes", "ja", "oui", "あり"}},
        {5009, "-", kNotAvailable},
        // Sunroof texts exist in English only.
        {2030, "S", {"standard", nullptr, nullptr, nullptr}},
        {2030, "-", {"not available", nullptr, nullptr, nullptr}},
    };
    for (int schema : {2000, 2012, 2020, 2050, 2060, 5001, 5002, 5003, 5010, 5020, 5030, 5050}) {
      t.push_back({schema, "S", kStandard});
      // The spare wheel's '-' has no Japanese text (an advantage then shows '-').
      Tr missing = kNotAvailable;
      if (schema == 5050) missing.ja = nullptr;
      t.push_back({schema, "-", missing});
    }
    return t;
  }();
  return texts;
}

struct Vehicle {
  int id;
  const char* make;
  const char* model;
  const char* trim;
  const char* body_class;
  int competitor_set;
  double price;
  // Words used in its standard texts.
  Tr engine;
};

const Vehicle kVehicles[kVehicleCount] = {
    {1001, "Norvik", "Kestrel", "1.5 Core", "Compact hatchback", 1, 24950,
     {"1.5-litre turbo petrol engine, 96 kW", "1,5-Liter-Turbobenziner, 96 kW", "moteur essence turbo 1,5 l, 96 kW",
      "1.5Lターボガソリンエンジン 96kW"}},
    {1002, "Norvik", "Kestrel", "1.5 Style", "Compact hatchback", 1, 28400,
     {"1.5-litre turbo petrol engine, 110 kW", "1,5-Liter-Turbobenziner, 110 kW",
      "moteur essence turbo 1,5 l, 110 kW", "1.5Lターボガソリンエンジン 110kW"}},
    {1003, "Norvik", "Kestrel", "2.0 Diesel Style", "Compact hatchback", 1, 31200,
     {"2.0-litre turbo diesel engine, 110 kW", "2,0-Liter-Turbodiesel, 110 kW", "moteur diesel turbo 2,0 l, 110 kW",
      "2.0Lターボディーゼルエンジン 110kW"}},
    {1004, "Castellan", "Ravel", "1.2 Entry", "Compact hatchback", 1, 22900,
     {"1.2-litre petrol engine, 81 kW", "1,2-Liter-Benziner, 81 kW", "moteur essence 1,2 l, 81 kW",
      "1.2Lガソリンエンジン 81kW"}},
    {1005, "Castellan", "Ravel", "1.6 Premium", "Compact hatchback", 1, 29750,
     {"1.6-litre turbo petrol engine, 121 kW", "1,6-Liter-Turbobenziner, 121 kW",
      "moteur essence turbo 1,6 l, 121 kW", "1.6Lターボガソリンエンジン 121kW"}},
    {1006, "Castellan", "Ravel", "E-Drive", "Compact hatchback", 1, 38500,
     {"Electric motor, 150 kW, 58 kWh battery", "Elektromotor, 150 kW, 58-kWh-Batterie",
      "moteur électrique, 150 kW, batterie 58 kWh", "電気モーター 150kW、58kWhバッテリー"}},
    {1007, "Norvik", "Arden", "2.0 AWD", "Compact SUV", 2, 41300,
     {"2.0-litre turbo petrol engine, 140 kW", "2,0-Liter-Turbobenziner, 140 kW",
      "moteur essence turbo 2,0 l, 140 kW", "2.0Lターボガソリンエンジン 140kW"}},
    {1008, "Norvik", "Arden", "2.5 Hybrid AWD", "Compact SUV", 2, 46900,
     {"2.5-litre petrol plug-in hybrid, 165 kW system power", nullptr, nullptr, nullptr}},
};

// Standard texts per vehicle (index 0..7); nullptr: the vehicle lacks it.
struct FeatureTexts {
  int schema_id;
  std::array<const Tr*, kVehicleCount> texts;
};

constexpr Tr kManualAc = {"Manual air conditioning", "Manuelle Klimaanlage", "Climatisation manuelle", "マニュアルエアコン"};
constexpr Tr kTwoZone = {"Two-zone automatic climate control", "2-Zonen-Klimaautomatik",
                         "Climatisation automatique bizone", "2ゾーンオートエアコン"};
constexpr Tr kTwoZoneLower = {"two-zone automatic climate control", "2-zonen-Klimaautomatik",
                              "climatisation automatique bizone", "2ゾーンオートエアコン"};
constexpr Tr kThreeZone = {"Three-zone automatic climate control", "3-Zonen-Klimaautomatik",
                           "Climatisation automatique trizone", "3ゾーンオートエアコン"};
constexpr Tr kClothSeats = {"Cloth seats, height-adjustable driver's seat", "Stoffsitze, höhenverstellbarer Fahrersitz",
                            "Sièges en tissu, siège conducteur réglable en hauteur", "ファブリックシート、運転席高さ調整"};
constexpr Tr kMicroSeats = {"Microfibre sport seats", "Sportsitze in Mikrofaser", "Sièges sport en microfibre",
                            "マイクロファイバースポーツシート"};
constexpr Tr kLeatherSeats = {"Heated leather seats", "Beheizte Ledersitze", "Sièges en cuir chauffants",
                              "シートヒーター付き本革シート"};
constexpr Tr kEmpty = {"", "", "", ""};
constexpr Tr kNav8 = {"Navigation with 8-inch touchscreen", "Navigation mit 8-Zoll-Touchscreen",
                      "Navigation avec écran tactile 8 pouces", "8インチタッチスクリーン付きナビゲーション"};
constexpr Tr kNav9 = {"Navigation with 9-inch touchscreen", "Navigation mit 9-Zoll-Touchscreen",
                      "Navigation avec écran tactile 9 pouces", "9インチタッチスクリーン付きナビゲーション"};
constexpr Tr kNav10 = {"Navigation with 10.25-inch touchscreen", "Navigation mit 10,25-Zoll-Touchscreen",
                       "Navigation avec écran tactile 10,25 pouces", "10.25インチタッチスクリーン付きナビゲーション"};
constexpr Tr kNav12 = {"Navigation with 12.3-inch touchscreen", "Navigation mit 12,3-Zoll-Touchscreen",
                       "Navigation avec écran tactile 12,3 pouces", "12.3インチタッチスクリーン付きナビゲーション"};
constexpr Tr kCruise = {"Cruise control", "Tempomat", "Régulateur de vitesse", "クルーズコントロール"};
constexpr Tr kAcc = {"Adaptive cruise control", "Abstandsregeltempomat", "Régulateur de vitesse adaptatif",
                     "アダプティブクルーズコントロール"};
constexpr Tr kRearSensors = {"Rear parking sensors", "Parksensoren hinten", "Radar de recul", "リアパーキングセンサー"};
constexpr Tr kAllSensors = {"Front and rear parking sensors", "Parksensoren vorn und hinten",
                            "Radars de stationnement avant et arrière", "前後パーキングセンサー"};
constexpr Tr kKeyless = {"Keyless entry and start", "Schlüsselloses Zugangs- und Startsystem",
                         "Accès et démarrage sans clé", "キーレスエントリー＆スタート"};
constexpr Tr kSixAirbags = {"6 airbags", "6 Airbags", "6 airbags", "エアバッグ6個"};
constexpr Tr kEightAirbags = {"8 airbags including rear side airbags", "8 Airbags inklusive Seitenairbags hinten",
                              "8 airbags dont airbags latéraux arrière", "後席サイドを含むエアバッグ8個"};
constexpr Tr kAebOnly = {"Autonomous emergency braking", "Notbremsassistent", "Freinage d'urgence automatique",
                         "衝突被害軽減ブレーキ"};
constexpr Tr kAebLane = {"Autonomous emergency braking, lane keeping assist", "Notbremsassistent, Spurhalteassistent",
                         "Freinage d'urgence automatique, aide au maintien de voie",
                         "衝突被害軽減ブレーキ、レーンキープアシスト"};
constexpr Tr kSunroof = {"Panoramic sunroof", "Panorama-Schiebedach", "Toit ouvrant panoramique", "パノラマサンルーフ"};
constexpr Tr kSpaceSaver = {"Space-saver spare wheel", "Notrad", "Roue de secours galette", "テンパースペアタイヤ"};
constexpr Tr kRepairKit = {"Tyre repair kit", "Reifenreparaturset", "Kit de réparation", "パンク修理キット"};

const std::vector<FeatureTexts>& StandardTexts() {
  static const std::vector<FeatureTexts> texts = {
      {2000, {&kManualAc, &kTwoZone, &kTwoZone, nullptr, &kTwoZone, &kTwoZoneLower, &kThreeZone, &kThreeZone}},
      {2010, {&kClothSeats, &kClothSeats, &kMicroSeats, &kClothSeats, &kLeatherSeats, &kEmpty, &kLeatherSeats,
              &kLeatherSeats}},
      {2020, {nullptr, &kNav8, &kNav10, nullptr, &kNav9, &kNav9, &kNav10, &kNav12}},
      {2030, {nullptr, nullptr, nullptr, nullptr, &kSunroof, nullptr, nullptr, &kSunroof}},
      {2040, {&kCruise, &kCruise, &kAcc, nullptr, &kCruise, &kAcc, &kCruise, &kAcc}},
      {2050, {&kRearSensors, &kAllSensors, &kAllSensors, &kRearSensors, &kAllSensors, &kAllSensors, &kAllSensors,
              &kAllSensors}},
      {2060, {nullptr, &kKeyless, &kKeyless, nullptr, &kKeyless, &kKeyless, &kKeyless, &kKeyless}},
      {5000, {&kSixAirbags, &kSixAirbags, &kEightAirbags, &kSixAirbags, &kEightAirbags, &kEightAirbags, &kEightAirbags,
              &kEightAirbags}},
      {5009, {&kAebOnly, &kAebLane, &kAebLane, nullptr, &kAebLane, &kAebLane, &kAebOnly, &kAebLane}},
      {5050, {&kSpaceSaver, &kSpaceSaver, &kSpaceSaver, &kSpaceSaver, &kSpaceSaver, &kRepairKit, &kSpaceSaver,
              &kSpaceSaver}},
  };
  return texts;
}

// ------------------------------------------------------------------ project

struct Category {
  const char* code;
  int eb_order, ka_order, sc_order;
  Tr name;
};

constexpr Category kCategories[] = {
    {"ENG", 1, 2, 3, {"Engine and performance", "Motor und Fahrleistungen", "Moteur et performances", "エンジン・性能"}},
    {"DIM", 2, 5, 4, {"Dimensions and weights", "Abmessungen und Gewichte", "Dimensions et poids", "寸法・重量"}},
    {"Comfort", 3, 1, 2, {"Comfort", "Komfort", "Confort", "快適装備"}},
    {"Safety", 4, 3, 1, {"Safety", "Sicherheit", "Sécurité", "安全装備"}},
    {"Price", 5, 4, 5, {"Price", "Preis", "Prix", "価格"}},
    {"Warranty", 6, 6, 6, {"Warranty and service", "Garantie und Service", "Garantie et entretien", "保証・サービス"}},
};

struct CustomText {
  const char* id;
  Tr text;
};

const CustomText kCustomTexts[] = {
    {"ct_ps", {" PS", " PS", " ch", " 馬力"}},
    {"ct_mph", {" mph", " mph", " mph", " mph"}},
    {"ct_awd", {" all-wheel drive", " Allradantrieb", " transmission intégrale", " 四輪駆動"}},
    {"ct_raw", {" kW (raw value)", " kW (Rohwert)", " kW (valeur brute)", " kW（生データ）"}},
    {"ct_ac", {" air conditioning", " Klimaanlage", " climatisation", " エアコン"}},
    {"ct_heated", {" heated front seats", " Sitzheizung vorn", " sièges avant chauffants", " フロントシートヒーター"}},
    {"ct_nav", {" navigation system", " Navigationssystem", " système de navigation", " ナビゲーションシステム"}},
    {"ct_acc", {" adaptive cruise control", " Abstandsregeltempomat", " régulateur adaptatif",
                " アダプティブクルーズコントロール"}},
    {"ct_park_f", {" front parking sensors", " Parksensoren vorn", " radars avant", " フロントパーキングセンサー"}},
    {"ct_park_r", {" rear parking sensors", " Parksensoren hinten", " radars arrière", " リアパーキングセンサー"}},
    {"ct_keyless", {" keyless entry", " schlüsselloser Zugang", " accès sans clé", " キーレスエントリー"}},
    {"ct_sunroof", {" sunroof", " Schiebedach", " toit ouvrant", " サンルーフ"}},
    {"ct_airbag_front", {" front airbags", " Frontairbags", " airbags frontaux", " フロントエアバッグ"}},
    {"ct_side_f", {" front side airbags", " Seitenairbags vorn", " airbags latéraux avant", " フロントサイドエアバッグ"}},
    {"ct_side_r", {" rear side airbags", " Seitenairbags hinten", " airbags latéraux arrière", " リアサイドエアバッグ"}},
    {"ct_curtain", {" curtain airbags", " Kopfairbags", " airbags rideaux", " カーテンエアバッグ"}},
    {"ct_esp", {" electronic stability control", " ESP", " contrôle de stabilité", " 横滑り防止装置"}},
    // Two leading blanks: the sheet folds a double blank into one.
    {"ct_lane", {"  lane keeping assist", "  Spurhalteassistent", "  aide au maintien de voie", "  レーンキープアシスト"}},
    {"ct_spare", {" spare wheel", " Reserverad", " roue de secours", " スペアタイヤ"}},
};

struct Line {
  int row_id;
  const char* category;
  int order_id;
  int schema_id;
  const char* sought;  // con_schema_id_val
  const char* text;    // con_text
  const char* location;
  const char* format;
  const char* custom;  // con_customtextid
  Tr description;      // e_brochure_text
};

const std::vector<Line>& Lines() {
  static const std::vector<Line> lines = {
      {100, "ENG", 1, 0, nullptr, "Engine data", nullptr, nullptr, nullptr,
       {"Engine", "Motor", "Moteur", "エンジン"}},
      {101, "ENG", 2, 10000, "", "", "-", "T", nullptr, {"Engine type", "Motorart", "Type de moteur", "エンジン形式"}},
      {102, "ENG", 3, 10010, "", " cc", "-", "#0", nullptr, {"Displacement", "Hubraum", "Cylindrée", "排気量"}},
      {103, "ENG", 4, 10020, "", " kW", "-", "#0", nullptr, {"Power", "Leistung", "Puissance", "最高出力"}},
      {104, "ENG", 5, 10020, "", "  (DIN)", "-", "#0=?*1.36", "ct_ps",
       {"Power (PS)", "Leistung (PS)", "Puissance (ch)", "最高出力（馬力）"}},
      {105, "ENG", 6, 10030, "", " Nm", "-", "#0", nullptr, {"Torque", "Drehmoment", "Couple", "最大トルク"}},
      {106, "ENG", 7, 10040, "", " km/h", "-", "#0", nullptr,
       {"Top speed", "Höchstgeschwindigkeit", "Vitesse maximale", "最高速度"}},
      {107, "ENG", 8, 10040, "", "", "-", "#0=?/1.609", "ct_mph",
       {"Top speed (mph)", "Höchstgeschwindigkeit (mph)", "Vitesse maximale (mph)", "最高速度（mph）"}},
      {108, "ENG", 9, 10050, "", " s", "-", "#1", nullptr,
       {"Acceleration 0-100 km/h", "Beschleunigung 0-100 km/h", "Accélération 0-100 km/h", "0-100km/h加速"}},
      {109, "ENG", 10, 10060, "", " l/100 km", "-", "#1", nullptr,
       {"Fuel consumption (combined)", "Verbrauch (kombiniert)", "Consommation (mixte)", "燃料消費率（複合）"}},
      {110, "ENG", 11, 10070, "", " g/km", "-", "#0", nullptr,
       {"CO2 emissions", "CO2-Emissionen", "Émissions de CO2", "CO2排出量"}},
      {111, "ENG", 12, 10070, "", " g/mi", "-", "#0=?*1.609", nullptr,
       {"CO2 emissions per mile", "CO2-Emissionen pro Meile", "Émissions de CO2 par mile", "CO2排出量（マイル当たり）"}},
      {112, "ENG", 13, 10080, "", " km", "-", "#0", nullptr,
       {"Electric range", "Elektrische Reichweite", "Autonomie électrique", "EV航続距離"}},
      {113, "ENG", 14, 10090, "", "", "-", "T", nullptr, {"Gearbox", "Getriebe", "Boîte de vitesses", "トランスミッション"}},
      {114, "ENG", 15, 10095, "", " gears", "-", "#", nullptr, {"Gears", "Gänge", "Rapports", "変速段数"}},
      {115, "ENG", 16, 10100, "AWD", "", "-", "A", "ct_awd",
       {"All-wheel drive", "Allradantrieb", "Transmission intégrale", "四輪駆動"}},
      {116, "eng", 17, 10020, "", "", "-", "V", "ct_raw",
       {"Power (raw value)", "Leistung (Rohwert)", "Puissance (valeur brute)", "最高出力（生データ）"}},

      {200, "DIM", 1, 0, nullptr, "Dimensions", nullptr, nullptr, nullptr, {"Dimensions", "Abmessungen", "Dimensions", "寸法"}},
      {201, "DIM", 2, 30010, "", " mm", "-", "#0", nullptr, {"Length", "Länge", "Longueur", "全長"}},
      {202, "DIM", 3, 30020, "", " mm", "-", "#0", nullptr, {"Width", "Breite", "Largeur", "全幅"}},
      {203, "DIM", 4, 30030, "", " mm", "-", "#0", nullptr, {"Height", "Höhe", "Hauteur", "全高"}},
      {204, "DIM", 5, 30040, "", " mm", "-", "#0", nullptr, {"Wheelbase", "Radstand", "Empattement", "ホイールベース"}},
      {205, "DIM", 6, 30050, "", " l", "-", "#0", nullptr,
       {"Luggage capacity", "Kofferraumvolumen", "Volume du coffre", "荷室容量"}},
      {206, "DIM", 7, 30060, "", " kg", "-", "#0", nullptr, {"Kerb weight", "Leergewicht", "Poids à vide", "車両重量"}},
      {207, "DIM", 8, 30070, "", " l", "-", "#0", nullptr, {"Fuel tank", "Tankinhalt", "Réservoir", "燃料タンク容量"}},
      {208, "DIM", 9, 30080, "", " seats", "-", "#P", nullptr, {"Seats", "Sitzplätze", "Places", "乗車定員"}},
      {209, "DIM", 10, 30090, "", "", "-", "#D", nullptr,
       {"Market launch", "Markteinführung", "Lancement commercial", "発売日"}},
      {210, "DIM", 11, 30100, "", "   m", "-", "#2", nullptr,
       {"Turning circle", "Wendekreis", "Diamètre de braquage", "最小回転直径"}},

      {300, "Comfort", 1, 0, nullptr, "Comfort", nullptr, nullptr, nullptr, {"Comfort", "Komfort", "Confort", "快適装備"}},
      {301, "Comfort", 2, 2000, "", "", "-", "A", "ct_ac",
       {"Air conditioning", "Klimaanlage", "Climatisation", "エアコン"}},
      {302, "Comfort", 3, 2001, "", "   climate zones", "-", "#0", nullptr,
       {"Climate zones", "Klimazonen", "Zones de climatisation", "温度調整ゾーン"}},
      {303, "Comfort", 4, 2011, "", "", "-", "T", nullptr, {"Upholstery", "Polsterung", "Sellerie", "シート表皮"}},
      {304, "Comfort", 5, 2011, "LEA", "", "-", "T", nullptr,
       {"Leather upholstery", "Lederausstattung", "Sellerie cuir", "本革シート"}},
      {305, "Comfort", 6, 2012, "", "", "-", "A", "ct_heated",
       {"Heated front seats", "Sitzheizung vorn", "Sièges avant chauffants", "フロントシートヒーター"}},
      {306, "Comfort", 7, 2020, "", "", "-", "A", "ct_nav",
       {"Navigation system", "Navigationssystem", "Système de navigation", "ナビゲーションシステム"}},
      {307, "Comfort", 8, 2021, "", "", "-", "S", nullptr,
       {"Navigation details", "Details Navigation", "Détails navigation", "ナビゲーション詳細"}},
      {308, "Comfort", 9, 2021, "", " inch", "-", "#1", nullptr,
       {"Screen size", "Bildschirmgröße", "Taille de l'écran", "画面サイズ"}},
      {309, "Comfort", 10, 2040, "ACC", "", "-", "A", "ct_acc",
       {"Adaptive cruise control", "Abstandsregeltempomat", "Régulateur adaptatif", "アダプティブクルーズコントロール"}},
      {310, "Comfort", 11, 2050, "", "", "F", "A", "ct_park_f",
       {"Front parking sensors", "Parksensoren vorn", "Radars avant", "フロントパーキングセンサー"}},
      {311, "Comfort", 12, 2050, "", "", "R", "A", "ct_park_r",
       {"Rear parking sensors", "Parksensoren hinten", "Radars arrière", "リアパーキングセンサー"}},
      {312, "Comfort", 13, 2060, "", "", "-", "A", "ct_keyless",
       {"Keyless entry", "Schlüsselloser Zugang", "Accès sans clé", "キーレスエントリー"}},
      {313, "Comfort", 14, 2030, "", "", "-", "A", "ct_sunroof", {"Sunroof", "Schiebedach", "Toit ouvrant", "サンルーフ"}},

      {400, "Safety", 1, 0, nullptr, "Safety", nullptr, nullptr, nullptr, {"Safety", "Sicherheit", "Sécurité", "安全装備"}},
      {401, "Safety", 2, 5001, "", "", "-", "A", "ct_airbag_front",
       {"Front airbags", "Frontairbags", "Airbags frontaux", "フロントエアバッグ"}},
      {402, "Safety", 3, 5002, "", "", "F", "A", "ct_side_f",
       {"Front side airbags", "Seitenairbags vorn", "Airbags latéraux avant", "フロントサイドエアバッグ"}},
      {403, "Safety", 4, 5002, "", "", "R", "A", "ct_side_r",
       {"Rear side airbags", "Seitenairbags hinten", "Airbags latéraux arrière", "リアサイドエアバッグ"}},
      {404, "Safety", 5, 5003, "", "", "-", "A", "ct_curtain",
       {"Curtain airbags", "Kopfairbags", "Airbags rideaux", "カーテンエアバッグ"}},
      {405, "Safety", 6, 5010, "", "", "-", "A", "ct_esp",
       {"Electronic stability control", "ESP", "Contrôle de stabilité", "横滑り防止装置"}},
      {406, "Safety", 7, 5020, "", "", "-", "A", "ct_lane",
       {"Lane keeping assist", "Spurhalteassistent", "Aide au maintien de voie", "レーンキープアシスト"}},
      {407, "Safety", 8, 5030, "", "", "-", "S", nullptr,
       {"Driver assistance", "Fahrerassistenz", "Aides à la conduite", "運転支援"}},
      {408, "Safety", 9, 5040, "", " stars", "-", "#0", nullptr,
       {"Euro NCAP rating", "Euro-NCAP-Wertung", "Note Euro NCAP", "ユーロNCAP評価"}},
      {409, "Safety", 10, 5050, "", "", "-", "A", "ct_spare",
       {"Spare wheel", "Reserverad", "Roue de secours", "スペアタイヤ"}},

      {500, "Price", 1, 90001, "", "", "-", "#C", nullptr, {"Base price", "Grundpreis", "Prix de base", "車両本体価格"}},
      {501, "Price", 2, 90001, "", " EUR", "-", "#0", nullptr,
       {"Base price in euros", "Grundpreis in Euro", "Prix de base en euros", "車両本体価格（ユーロ）"}},

      {600, "Warranty", 1, 23502, "", " years", "-", "#0", nullptr,
       {"Warranty", "Garantie", "Garantie", "保証期間"}},
      {601, "Warranty", 2, 23503, "", " km", "-", "#0", nullptr,
       {"Warranty mileage", "Garantie-Laufleistung", "Kilométrage garanti", "保証走行距離"}},
      {602, "Warranty", 3, 23602, "", " years", "-", "#0", nullptr,
       {"Roadside assistance", "Pannenhilfe", "Assistance routière", "ロードサービス"}},
      {603, "Warranty", 4, 23603, "", " km", "-", "#0", nullptr,
       {"Battery warranty", "Batteriegarantie", "Garantie batterie", "バッテリー保証"}},
      {604, "Warranty", 5, 23504, "", " km", "-", "#0", nullptr,
       {"Service interval", "Wartungsintervall", "Intervalle d'entretien", "点検間隔"}},

      {900, "XERR", 1, 10090, "", "", "-", "#0", nullptr,
       {"Gearbox as a number (fails)", "Getriebe als Zahl (Fehler)", "Boîte en nombre (erreur)", "変速機（数値・エラー）"}},
  };
  return lines;
}

struct Advantage {
  int row_id;
  const char* category;
  int schema_id;
  const char* value;
  const char* location;
  const char* format;
  const char* rule;  // nullptr: NULL rule
  Tr text;
};

const std::vector<Advantage>& Advantages() {
  static const std::vector<Advantage> advantages = {
      {1, "Comfort", 2000, "", "-", "T", "@",
       {"Air conditioning: =? (competitor: =!)", "Klimaanlage: =? (Wettbewerber: =!)",
        "Climatisation : =? (concurrent : =!)", "エアコン：=?（競合車：=!）"}},
      {2, "Comfort", 2012, "", "-", "T", "@",
       {"Heated front seats: =?", "Sitzheizung vorn: =?", "Sièges avant chauffants : =?", "フロントシートヒーター：=?"}},
      {3, "Comfort", 2040, "ACC", "-", "T", "@",
       {"Adaptive cruise control: =?", "Abstandsregeltempomat: =?", "Régulateur adaptatif : =?",
        "アダプティブクルーズコントロール：=?"}},
      {4, "Comfort", 2050, "", "F", "T", "@",
       {"Front parking sensors: =?", "Parksensoren vorn: =?", "Radars avant : =?", "フロントパーキングセンサー：=?"}},
      {5, "Comfort", 2011, "", "-", "T", "LEA,MIC,CLO",
       {"=? upholstery instead of =!", "Polsterung =? statt =!", "Sellerie =? au lieu de =!", "=!ではなく=?シート"}},
      {6, "Comfort", 2021, "", "-", "#1", "#>",
       {"=? inch touchscreen, =# inch larger than the competitor's =! inch",
        "=? Zoll Touchscreen, =# Zoll größer als beim Wettbewerber (=! Zoll)",
        "Écran tactile de =? pouces, =# pouce de plus que le concurrent (=! pouces)",
        "=?インチのタッチスクリーン（競合車=!インチより=#インチ大きい）"}},
      {7, "Comfort", 2060, "", "-", "T", "@",
       {"Keyless entry: =?", "Schlüsselloser Zugang: =?", "Accès sans clé : =?", "キーレスエントリー：=?"}},
      {8, "Comfort", 2030, "", "-", "T", "@",
       {"Sunroof: =? (competitor: =!)", "Schiebedach: =? (Wettbewerber: =!)", "Toit ouvrant : =? (concurrent : =!)",
        "サンルーフ：=?（競合車：=!）"}},
      {10, "ENG", 10020, "", "-", "#0", "#>10",
       {"=? kW: =# kW more power than =! kW", "=? kW: =# kW mehr Leistung als =! kW",
        "=? kW : =# kW de plus que =! kW", "=? kW：=! kWより=# kW高出力"}},
      {11, "ENG", 10060, "", "-", "#1", "#<",
       {"Only =? l/100 km (competitor =! l/100 km)", "Nur =? l/100 km (Wettbewerber =! l/100 km)",
        "Seulement =? l/100 km (concurrent =! l/100 km)", "わずか=? l/100 km（競合車=! l/100 km）"}},
      {12, "ENG", 10060, "", "-", "#1", "#<5%",
       {"=# l/100 km lower fuel consumption", "=# l/100 km weniger Verbrauch", "=# l/100 km de consommation en moins",
        "燃費が=# l/100 km優れる"}},
      {13, "ENG", 10040, "", "-", "#0=?/1.609", "#>",
       {"Top speed =? mph (competitor =! mph)", "Höchstgeschwindigkeit =? mph (Wettbewerber =! mph)",
        "Vitesse maximale =? mph (concurrent =! mph)", "最高速度=? mph（競合車=! mph）"}},
      {14, "ENG", 10050, "", "-", "#1", "#<",
       {"0-100 km/h in =? s, =# s quicker", "0-100 km/h in =? s, =# s schneller", "0-100 km/h en =? s, =# s de mieux",
        "0-100km/h加速=?秒（=#秒速い）"}},
      {15, "ENG", 10070, "", "-", "#0", "#<",
       {"CO2 emissions =? g/km instead of =! g/km", "CO2-Emissionen =? g/km statt =! g/km",
        "Émissions de CO2 de =? g/km au lieu de =! g/km", "CO2排出量=? g/km（競合車=! g/km）"}},
      {16, "ENG", 10100, "AWD", "-", "X", "@",
       {"All-wheel drive (=?)", "Allradantrieb (=?)", "Transmission intégrale (=?)", "四輪駆動（=?）"}},
      {17, "ENG", 10080, "", "-", "#0", "#>",
       {"Electric range =? km", "Elektrische Reichweite =? km", "Autonomie électrique de =? km", "EV航続距離=? km"}},
      {20, "Safety", 5020, "", "-", "T", "@",
       {"Lane keeping assist: =?", "Spurhalteassistent: =?", "Aide au maintien de voie : =?", "レーンキープアシスト：=?"}},
      {21, "Safety", 5030, "", "-", "T", "@",
       {"Autonomous emergency braking: =?", "Notbremsassistent: =?", "Freinage d'urgence automatique : =?",
        "衝突被害軽減ブレーキ：=?"}},
      {22, "Safety", 5002, "", "R", "T", "@",
       {"Rear side airbags: =?", "Seitenairbags hinten: =?", "Airbags latéraux arrière : =?", "リアサイドエアバッグ：=?"}},
      {23, "Safety", 5040, "", "-", "#0", "#>",
       {"=? Euro NCAP stars (competitor =!)", "=? Euro-NCAP-Sterne (Wettbewerber =!)",
        "=? étoiles Euro NCAP (concurrent =!)", "ユーロNCAP =?つ星（競合車=!）"}},
      {24, "Safety", 5050, "", "-", "T", nullptr,
       {"Spare wheel: =?", "Reserverad: =?", "Roue de secours : =?", "スペアタイヤ：=?"}},
      {25, "Safety", 5010, "", "", "T", "@",
       {"Electronic stability control: =?", "ESP: =?", "Contrôle de stabilité : =?", "横滑り防止装置：=?"}},
      {30, "Price", 90001, "", "-", "#C", "#<",
       {"=? instead of =! (=# less)", "=? statt =! (=# günstiger)", "=? au lieu de =! (=# de moins)",
        "=!に対し=?（=#安い）"}},
      {40, "DIM", 30050, "", "-", "#0", "#>",
       {"=? l luggage capacity, =# l more", "=? l Kofferraum, =# l mehr", "Coffre de =? l, =# l de plus",
        "荷室容量=? l（=# l大きい）"}},
      {41, "DIM", 30090, "", "-", "#D", "#>",
       {"Newer model: on sale since =?", "Neueres Modell: im Handel seit =?", "Modèle plus récent : en vente depuis =?",
        "新しいモデル：=?発売"}},
      {42, "DIM", 30100, "", "-", "#2", "#<",
       {"Turning circle =? m (=# m tighter)", "Wendekreis =? m (=# m kleiner)", "Braquage de =? m (=# m de moins)",
        "最小回転直径=? m（=# m小さい）"}},
      {43, "DIM", 30060, "", "-", "#K", "#<",
       {"Kerb weight =? kg, =# kg lighter", "Leergewicht =? kg, =# kg leichter", "Poids à vide =? kg, =# kg de moins",
        "車両重量=? kg（=# kg軽い）"}},
      {50, "Warranty", 23502, "", "-", "#0", "#>",
       {"=? years warranty (competitor: =! years)", "=? Jahre Garantie (Wettbewerber: =! Jahre)",
        "Garantie de =? ans (concurrent : =! ans)", "保証=?年（競合車=!年）"}},
      {51, "Warranty", 23503, "", "-", "#0", "#>",
       {"Warranty up to =? km", "Garantie bis =? km", "Garantie jusqu'à =? km", "保証走行距離=? km"}},
      {52, "Warranty", 23504, "", "-", "#0", "#>",
       {"Service interval =? km", "Wartungsintervall =? km", "Intervalle d'entretien de =? km", "点検間隔=? km"}},
      {53, "Warranty", 23602, "", "-", "#0", "#>",
       {"Roadside assistance =? years", "Pannenhilfe =? Jahre", "Assistance routière =? ans", "ロードサービス=?年"}},
  };
  return advantages;
}

struct StandardContent {
  int row_id;
  int schema_id;
  const char* category;
  const char* segment;
  int order_id;
};

// Each item belongs to one segment: the standard descriptions list every
// row of standard_content whatever its segment.
constexpr StandardContent kStandardContent[] = {
    {1, 5000, "Safety", "Default", 10},  {2, 5009, "Safety", "Default", 20},  {3, 5050, "Safety", "Default", 30},
    {4, 2000, "Comfort", "Default", 40}, {5, 2010, "Comfort", "Default", 50}, {6, 2020, "Comfort", "Default", 60},
    // Filed under a lower-case spelling of the category on purpose.
    {7, 2040, "comfort", "Default", 70}, {8, 2050, "Comfort", "Default", 80}, {9, 2060, "Comfort", "Default", 90},
    {10, 10000, "ENG", "Sport", 10},     {11, 2030, "Comfort", "Sport", 20},
};

// --------------------------------------------------------------- generation

void WriteSpecs(RowSink& sink) {
  for (const Item& item : kItems) {
    sink.Add(TableId::kSchemaInfo, {item.schema_id, item.parent, item.name, item.data_type,
                                    item.unit ? Cell(item.unit) : Cell()});
  }
  for (const ValueText& vt : ValueTexts()) {
    for (size_t i = 0; i < kLanguages.size(); ++i) {
      if (const char* t = vt.text.In(i)) {
        sink.Add(TableId::kSchemaText, {vt.schema_id, vt.value, kLanguages[i], t});
      }
    }
  }

  std::array<int, kVehicleCount> record_ids{};
  for (int v = 0; v < kVehicleCount; ++v) {
    const int vehicle = kFirstVehicle + v;
    for (const StandardRow& row : kStandardRows) {
      if (row.values[v] == nullptr) continue;
      sink.Add(TableId::kEquipment, {vehicle, 0, ++record_ids[v], row.schema_id, row.location, row.values[v], Cell()});
    }
  }
  for (const Option& option : Options()) {
    for (int vehicle : option.vehicles) {
      sink.Add(TableId::kOptionList,
               {vehicle, option.option_id, option.code, option.name, option.msrp,
                option.prc90001 < 0 ? Cell() : Cell(option.prc90001), option.weight_kg, 0, "2024-01-01 00:00:00"});
      for (const OptionRow& row : option.rows) {
        sink.Add(TableId::kEquipment, {vehicle, option.option_id, ++record_ids[vehicle - kFirstVehicle],
                                       row.schema_id, row.location, row.value,
                                       row.condition ? Cell(row.condition) : Cell()});
      }
    }
  }

  for (const Vehicle& vehicle : kVehicles) {
    sink.Add(TableId::kVehicles, {vehicle.id, vehicle.make, vehicle.model, vehicle.trim, 2024, vehicle.body_class,
                                  vehicle.competitor_set, Cell(), vehicle.price, "2024-06-01 12:00:00"});
    const int index = vehicle.id - kFirstVehicle;
    for (size_t lang = 0; lang < kLanguages.size(); ++lang) {
      // The hybrid's texts exist in English only.
      if (vehicle.id == 1008 && lang > 0) continue;
      if (const char* engine = vehicle.engine.In(lang)) {
        sink.Add(TableId::kStandardText, {vehicle.id, 10000, kLanguages[lang], engine});
      }
      for (const FeatureTexts& feature : StandardTexts()) {
        const Tr* text = feature.texts[index];
        if (text == nullptr) continue;
        sink.Add(TableId::kStandardText, {vehicle.id, feature.schema_id, kLanguages[lang], text->In(lang)});
      }
    }
  }
  sink.Add(TableId::kCompetitorSets, {1, 2024, "Compact hatchback", "Compact hatchbacks 2024"});
  sink.Add(TableId::kCompetitorSets, {2, 2024, "Compact SUV", "Compact SUVs 2024"});

  sink.Add(TableId::kSpecsDatasetInfo,
           {"source", "Fictional demo site: makes, models, options, prices and texts are invented."});
  sink.Add(TableId::kSpecsDatasetInfo, {"generator", "trelix_eb demo-db"});
  sink.Add(TableId::kSpecsDatasetInfo, {"vehicle_ids", "1001-1008"});
  sink.Add(TableId::kSpecsDatasetInfo, {"derived", "none"});
}

void WriteProject(RowSink& sink) {
  for (const Category& category : kCategories) {
    sink.Add(TableId::kCategories, {category.code, category.eb_order, category.ka_order, category.sc_order});
    AddTranslations(sink, TableId::kApplicationTexts, category.code, category.name);
  }
  for (const CustomText& text : kCustomTexts) AddTranslations(sink, TableId::kApplicationTexts, text.id, text.text);
  AddTranslations(sink, TableId::kApplicationTexts, "unlimited", {"unlimited", "unbegrenzt", "illimité", "無制限"});
  // Language 7 has an empty "unlimited" (the sheet falls back to the word
  // itself) and descriptions for three lines only.
  sink.Add(TableId::kApplicationTexts, {"unlimited", 7, ""});

  // Icon texts: German ids written in capitals (they are matched in lower
  // case), no "changes" icon in Japanese, and a decoy that matches the LIKE.
  const char* kIconIds[] = {"icon_equipment_adds", "icon_equipment_deletes", "icon_equipment_changes"};
  const char* kIconFiles[] = {"added", "deleted", "changed"};
  const char* kIconLanguages[] = {"en", "de", "fr", "ja"};
  for (size_t lang = 0; lang < kLanguages.size(); ++lang) {
    for (int icon = 0; icon < 3; ++icon) {
      if (kLanguages[lang] == 8 && icon == 2) continue;
      std::string id = kIconIds[icon];
      if (kLanguages[lang] == 3) {
        for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      const std::string file = std::string("/img/") + kIconLanguages[lang] + "/" + kIconFiles[icon] + ".png";
      sink.Add(TableId::kApplicationTexts, {id, kLanguages[lang], file});
    }
  }
  sink.Add(TableId::kApplicationTexts, {"icon_equipment_legend", 1, "/img/en/legend.png"});

  for (const Line& line : Lines()) {
    sink.Add(TableId::kEBrochure,
             {line.row_id, line.category, line.order_id, line.schema_id, line.sought ? Cell(line.sought) : Cell(),
              line.text ? Cell(line.text) : Cell(), line.location ? Cell(line.location) : Cell(),
              line.format ? Cell(line.format) : Cell(), line.custom ? Cell(line.custom) : Cell()});
    AddTranslations(sink, TableId::kEBrochureText, line.row_id, line.description);
    if (line.row_id >= 101 && line.row_id <= 103) {
      sink.Add(TableId::kEBrochureText, {line.row_id, 7, line.description.en});
    }
  }
  const int kSegmentLines[] = {103, 109, 301, 305, 401, 500};
  for (int i = 0; i < 6; ++i) {
    sink.Add(TableId::kSegmentation, {2, kSegmentLines[i], i + 1});
    sink.Add(TableId::kEbSegmentation, {2, kSegmentLines[i], i + 1});
  }
  for (int i = 0; i < 2; ++i) {
    sink.Add(TableId::kSegmentation, {3, 201 + i, i + 1});
    sink.Add(TableId::kEbSegmentation, {3, 201 + i, i + 1});
  }

  for (const Advantage& advantage : Advantages()) {
    sink.Add(TableId::kKeyAdvantages, {advantage.row_id, advantage.category, advantage.schema_id, advantage.value,
                                       advantage.location, advantage.format,
                                       advantage.rule ? Cell(advantage.rule) : Cell()});
    AddTranslations(sink, TableId::kKeyAdvantageText, advantage.row_id, advantage.text);
  }
  const int kSegmentAdvantages[] = {10, 30, 1, 20};
  for (int i = 0; i < 4; ++i) sink.Add(TableId::kKaSegmentation, {2, kSegmentAdvantages[i], i + 1});
  sink.Add(TableId::kKaSegmentation, {3, 40, 1});

  AddCurrencies(sink);

  for (const StandardContent& sc : kStandardContent) {
    sink.Add(TableId::kStandardContent, {sc.row_id, sc.schema_id, sc.category, sc.segment, sc.order_id});
  }

  sink.Add(TableId::kProjectDatasetInfo,
           {"source", "Fictional demo site: makes, models, options, prices and texts are invented."});
  sink.Add(TableId::kProjectDatasetInfo, {"generator", "trelix_eb demo-db"});
  sink.Add(TableId::kProjectDatasetInfo, {"languages", "1 English, 3 German, 5 French, 8 Japanese; 7 partial"});
}

}  // namespace

Status CreateDemoSite(std::string_view connection, std::string_view project_name, std::string_view specs_name) {
  auto writer = SiteWriter::Open(connection, project_name, specs_name);
  if (!writer.ok()) return writer.status();
  RowSink sink(*writer.value());
  WriteProject(sink);
  WriteSpecs(sink);
  return sink.Commit();
}

}  // namespace trelix::datagen

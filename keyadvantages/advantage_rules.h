#pragma once
// The rules that decide one key advantage between the base vehicle and the
// competitor, over the equipment records already filtered to the
// advantage's feature and the two vehicles' standard records and chosen
// options. The rule text selects the family:
//   "@"            presence: the vehicle that has the feature wins
//   "#>", "#<"     numeric: the higher / lower value wins, optionally only by
//                  more than a threshold ("#>10", "#<5%")
//   anything else  ranking: a comma-separated list of values, best first
// Besides the winner, a rule leaves the raw and translated values the
// sentence shows and which side won.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "common/recordset.h"
#include "common/variant.h"

namespace trelix::keyadvantages_internal {

// The fields of one advantage description the rules read.
struct AdvantageDefinition {
  std::string rule;            // "Advantage_rule"
  std::string schema_id;       // "schema_id", as text
  std::string required_value;  // "schema_id_value": the value the feature must have, "" for any
  std::string location;        // "location": "-" or "" for none
  std::string format;          // "format": format code, optionally "=" and a formula

  bool HasLocation() const { return !location.empty() && location != "-"; }
  // "schema_id=S", with " AND Location='L'" when the advantage has a location.
  std::string FeatureFilter() const;
};

// What the rules need to know about the call.
struct ComparisonSides {
  std::string base_vehicle;        // vehicle 0 as listed
  std::string competitor_vehicle;  // vehicle 1 as listed
  std::string decimal_separator;   // of the process's regional settings
  std::string option_price_field;  // option price column of the equipment records
  std::string price_field;         // recognises the price schema (from its fourth character)
  double base_total_price = 0;
  double competitor_total_price = 0;
  bool display_optional = false;   // options that are not chosen may win presence rules
};

// One vehicle's side of an advantage.
struct SideState {
  std::string value;       // "data_value" as read (numeric rules: normalised)
  std::string translated;  // "full_text"
  bool has = false;        // has the feature / is the winner
  bool missing = false;    // no record at all: nothing is known
  bool optional = false;   // offers the feature as an option and wins on it
  double option_price = 0;

  bool Counts() const { return has || optional; }
};

struct AdvantageOutcome {
  enum class Side { kNone, kBase, kCompetitor };

  SideState base;
  SideState competitor;
  Variant winner;     // vehicle id; Empty when none, 0 for a tie
  Variant option_id;  // option that gives the winner its value; Empty when unset
  bool optional_advantage = false;

  // The side whose values the sentence shows as the winner's.
  Side WinningSide() const {
    if (base.Counts()) return Side::kBase;
    if (competitor.Counts()) return Side::kCompetitor;
    return Side::kNone;
  }
  bool HasWinner() const;
};

class AdvantageRules {
 public:
  // `specs` stays owned by the caller and is filtered, sorted and moved.
  AdvantageRules(Recordset& specs, const ComparisonSides& sides) : specs_(specs), sides_(sides) {}

  // Decides one advantage. `advantage_filter` is the filter currently set on
  // the records; the rules set it again after looking at other records.
  AdvantageOutcome Decide(const AdvantageDefinition& advantage, const std::string& advantage_filter);

 private:
  void Presence(const AdvantageDefinition& advantage, const std::string& advantage_filter, AdvantageOutcome& out);
  void OptionalOffers(const AdvantageDefinition& advantage, AdvantageOutcome& out);
  void Numeric(const AdvantageDefinition& advantage, AdvantageOutcome& out);
  void Ranking(const AdvantageDefinition& advantage, const std::string& advantage_filter, AdvantageOutcome& out);
  // A vehicle without a record must not lose for missing data, but does lose
  // when the data shows it lacks the feature; clears `missing` then.
  void ResolveMissingData(const AdvantageDefinition& advantage, const std::string& advantage_filter,
                          AdvantageOutcome& out);

  // Finds the vehicle's first record, chosen options before the standard
  // record. `sort` re-sorts by option id first. False at the end.
  bool Locate(const std::string& vehicle, bool sort = true);
  // Sorts the records by option id, descending.
  void SortByOption();
  // Takes the current record as the side's value and the row's option.
  void TakeRecord(SideState& side, AdvantageOutcome& out);
  void Refilter(const std::string& criteria);
  // The Find criteria of a vehicle's records, made once per vehicle.
  const std::string& CriteriaOf(const std::string& vehicle);
  int32_t CurrentParentSchema() const;
  double CurrentOptionPrice() const;

  Recordset& specs_;
  const ComparisonSides& sides_;
  // Parent schema of the last record taken as a vehicle's value; carried
  // from one advantage to the next.
  int32_t parent_schema_ = 0;
  std::unordered_map<std::string, std::string> vehicle_criteria_;
};

}  // namespace trelix::keyadvantages_internal

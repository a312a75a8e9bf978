// The learned rules, as scripts/learn-rewrite-rules wrote them into rule_table.inc: one entry
// per rule, pattern and replacement over slots, and the places that may be live after it.
#include <iterator>

#include "superopt/rewrite_rule.h"

namespace tarvek {
namespace {

inline constexpr int kLongestRule = 8;

struct TableRule {
  int pattern_length;
  SlotInstruction pattern[kLongestRule];
  int replacement_length;
  SlotInstruction replacement[kLongestRule];
  WindowDemand may_read;
  WindowKnown precondition;
};

// The table ends with an empty entry, which also keeps it an array when no rule is learned.
constexpr TableRule kTable[] = {
#include "superopt/rule_table.inc"
    {},
};

}  // namespace

std::vector<RewriteRule> learned_rules() {
  std::vector<RewriteRule> rules;
  rules.reserve(std::size(kTable));
  for (const TableRule& entry : kTable) {
    if (entry.pattern_length == 0) continue;
    RewriteRule rule;
    rule.pattern.assign(entry.pattern, entry.pattern + entry.pattern_length);
    rule.replacement.assign(entry.replacement, entry.replacement + entry.replacement_length);
    rule.may_read = entry.may_read;
    rule.precondition = entry.precondition;
    rules.push_back(std::move(rule));
  }
  return rules;
}

}  // namespace tarvek

// The learned rules, as scripts/learn-rewrite-rules wrote them into rule_table.inc: one entry
// per rule, pattern and replacement over slots, the bits that may be read after it and what it
// requires known where it starts.
#include <iterator>

#include "superopt/rewrite_rule.h"

namespace tarvek {
namespace {

constexpr RewriteRule kTable[] = {
#include "superopt/rule_table.inc"
};

}  // namespace

std::span<const RewriteRule> learned_rules() {
  return kTable;
}

}  // namespace tarvek

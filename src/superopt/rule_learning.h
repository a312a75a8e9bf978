// Learning rules offline: a replacement the window search made in one routine becomes a rule
// for every routine. The window is trimmed to the instructions the replacement changes (so that
// the rule matches wherever those do), its slots renumbered in the order the pattern names
// them, and the bits it may leave read proven one by one (rewrite_rule.h's widest_reads); a
// rule is kept only when it would have held where it was found, and only when its literals are
// the masks and steps of byte arithmetic (0, 1, 0x0F, 0x7F, 0x80, 0xF0, 0xFE, 0xFF), never a
// request's own constant.
//
// RuleBook gathers the rules of many routines, each once with the number of windows it came
// from, and writes them as the table rule_table.cc compiles (rule_table.inc). The book's order
// is fixed by the rules themselves, so the same routines always give the same table.
#ifndef TARVEK_SUPEROPT_RULE_LEARNING_H
#define TARVEK_SUPEROPT_RULE_LEARNING_H

#include <optional>
#include <string>
#include <vector>

#include "superopt/rewrite_rule.h"
#include "superopt/superoptimizer.h"

namespace tarvek {

// The most starting bits a learned rule's proofs range over, per bit read after it: what the
// table's own test proves again.
inline constexpr int kLearnedRuleBits = 20;

// The rule a replacement makes, trimmed to what it changes; nullopt when no trimming of it
// can be proven within kLearnedRuleBits or none would have held where it was found.
std::optional<RewriteRule> rule_from(const FoundReplacement& found);

class RuleBook {
 public:
  // The book starts with the rules of the table so far, which keep their place.
  explicit RuleBook(std::span<const RewriteRule> known);

  // Adds the rule, or counts it again when the book has it.
  void add(const RewriteRule& rule);

  // Rules the book did not start with.
  int learned() const;
  const std::vector<RewriteRule>& rules() const { return rules_; }

  // The text of rule_table.inc: one commented entry per rule, the known ones first, then the
  // learned ones, most often found first.
  std::string table_text() const;

 private:
  std::vector<RewriteRule> rules_;
  std::vector<long> found_;
  std::size_t known_;
};

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_RULE_LEARNING_H

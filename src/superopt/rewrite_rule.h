// Rewrite rules: a pattern of instructions over abstract bytes, the shorter stretch that
// replaces it, and the places that may still be read after it. Rules are learned offline by the
// window search (scripts/learn-rewrite-rules writes rule_table.inc) and applied at every
// effort, where a search would cost a web request too much.
//
// A rule holds wherever its pattern matches: its slots bound to distinct bytes of the routine
// (one slot always the same byte), its literals and bit numbers equal, the stretch a window
// (window.h: not after a skip, not ending on one) and no bit outside `may_read` read after it.
// Each rule is proven (prove_rule) for every state of its inputs, bit by bit of `may_read`, so
// it changes nothing the routine reads. A rule names no divisor, no width, no name.
#ifndef TARVEK_SUPEROPT_REWRITE_RULE_H
#define TARVEK_SUPEROPT_REWRITE_RULE_H

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "superopt/liveness.h"
#include "superopt/window.h"

namespace tarvek {

// Instructions a rule's pattern or replacement may hold.
inline constexpr std::size_t kLongestRule = 8;

// A rule's pattern or replacement: up to kLongestRule instructions held in place, so that the
// learned table is a constant array that costs a request nothing to set up.
class RuleCode {
 public:
  constexpr RuleCode() = default;
  // Requires: at most kLongestRule instructions.
  constexpr RuleCode(std::initializer_list<SlotInstruction> code) {
    for (const SlotInstruction& in : code) push_back(in);
  }
  explicit RuleCode(std::span<const SlotInstruction> code) {
    for (const SlotInstruction& in : code) push_back(in);
  }

  constexpr void push_back(const SlotInstruction& in) { items_[size_++] = in; }
  constexpr std::size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  constexpr const SlotInstruction& operator[](std::size_t k) const { return items_[k]; }
  constexpr const SlotInstruction& front() const { return items_[0]; }
  constexpr const SlotInstruction& back() const { return items_[size_ - 1]; }
  constexpr const SlotInstruction* begin() const { return items_.data(); }
  constexpr const SlotInstruction* end() const { return items_.data() + size_; }
  operator std::span<const SlotInstruction>() const { return {begin(), size_}; }
  std::vector<SlotInstruction> to_vector() const { return {begin(), end()}; }

  friend constexpr bool operator==(const RuleCode& a, const RuleCode& b) {
    if (a.size_ != b.size_) return false;
    for (std::size_t k = 0; k < a.size_; ++k) {
      if (!(a.items_[k] == b.items_[k])) return false;
    }
    return true;
  }

 private:
  std::array<SlotInstruction, kLongestRule> items_{};
  std::size_t size_ = 0;
};

struct RewriteRule {
  RuleCode pattern;
  RuleCode replacement;
  // Per place, the bits that may be read after the pattern: 0xFF for a flag that may be read.
  WindowDemand may_read{};
  // What must be known where the pattern starts (known_bits.h): the rule is proven only from
  // the states that agree with it.
  WindowKnown precondition;
};

// The rule as one line of text: "clrc; rrf 0,f => rrf 0,f | unread C 0:80" (slots by number,
// literals in hexadecimal, then the places, and the bits of a byte, that must not be read
// after it, then what it requires known: "| known W&F0=00"), as the table's comments and test
// messages show it.
std::string describe(const RewriteRule& rule);

// The most bits that may be read after `pattern` for `replacement` to stand in for it, each
// bit proven on its own (the bits are independent: the replacement must leave each read bit
// as the pattern does), a bit whose proof would range over more than `most_input_bits` left
// unread; nullopt when the replacement names a slot the pattern does not.
std::optional<WindowDemand> widest_reads(std::span<const SlotInstruction> pattern,
                                         std::span<const SlotInstruction> replacement,
                                         int most_input_bits, const WindowKnown& precondition = {});

// Whether the replacement leaves every bit of may_read as the pattern does, from every state
// that agrees with the rule's precondition.
bool prove_rule(const RewriteRule& rule, int most_input_bits);

// Where the rule matches the routine at instruction `at`: the window it makes (its slots
// bound as the pattern names them); nullopt when it does not match, reads after it more than
// it may or knows less at its start than its precondition. `known` as known_before gives it,
// or null when nothing is known (a rule without a precondition may still match).
std::optional<Window> match_rule(const RewriteRule& rule, const Code& code,
                                 const RoutineBytes& bytes, const std::vector<Demand>& demand,
                                 std::size_t at, const std::vector<Known>* known = nullptr);

// The places a stretch reads or writes: 0xFF for each, 0 for the others.
WindowDemand touched_places(std::span<const SlotInstruction> code);

// The rules of rule_table.inc.
std::span<const RewriteRule> learned_rules();

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_REWRITE_RULE_H

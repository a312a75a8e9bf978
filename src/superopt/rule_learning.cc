#include "superopt/rule_learning.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace tarvek {
namespace {

bool has_file(Op op) {
  const OperandKind kind = operand_kind(op);
  return kind == OperandKind::kFileDest || kind == OperandKind::kFile ||
         kind == OperandKind::kFileBit;
}

// Literals that say nothing of a request: the masks and steps of byte arithmetic. A literal
// outside them may be a request's own constant (a divisor in a correction step), which no rule
// may name.
bool generic_literals(std::span<const SlotInstruction> code) {
  constexpr uint8_t kGeneric[] = {0x00, 0x01, 0x0F, 0x7F, 0x80, 0xF0, 0xFE, 0xFF};
  return std::all_of(code.begin(), code.end(), [&](const SlotInstruction& in) {
    return operand_kind(in.op) != OperandKind::kLiteral ||
           std::find(std::begin(kGeneric), std::end(kGeneric), in.value) != std::end(kGeneric);
  });
}

bool ends_on_skip(std::span<const SlotInstruction> code) {
  return !code.empty() && is_skip(code.back().op);
}

// The trimmed pattern and replacement with their slots renumbered in the order the pattern
// names them, and what was read after the pattern where it was found, in the new numbering;
// nullopt when the replacement names a slot the pattern no longer does.
struct Trimmed {
  RewriteRule rule;
  WindowDemand read_after{};
  WindowKnown known_before;
};

std::optional<Trimmed> trim(const FoundReplacement& found, std::size_t prefix, std::size_t suffix) {
  const std::vector<SlotInstruction>& p = found.window.code;
  const std::vector<SlotInstruction>& r = found.replacement;
  Trimmed t;
  std::vector<SlotInstruction> pattern(p.begin() + static_cast<std::ptrdiff_t>(prefix),
                                       p.end() - static_cast<std::ptrdiff_t>(suffix));
  std::vector<SlotInstruction> replacement(r.begin() + static_cast<std::ptrdiff_t>(prefix),
                                           r.end() - static_cast<std::ptrdiff_t>(suffix));
  // A rule holds at most kLongestRule instructions.
  if (pattern.size() > kLongestRule) return std::nullopt;
  // What the routine read after the trimmed pattern: what the dropped suffix reads.
  const std::vector<SlotInstruction> tail(p.end() - static_cast<std::ptrdiff_t>(suffix), p.end());
  const WindowDemand after = demand_before(tail, found.window.read_after);
  int renumbered[kWindowSlots];
  std::fill(std::begin(renumbered), std::end(renumbered), -1);
  int next = 0;
  for (SlotInstruction& in : pattern) {
    if (!has_file(in.op)) continue;
    if (renumbered[in.slot] < 0) renumbered[in.slot] = next++;
    in.slot = static_cast<uint8_t>(renumbered[in.slot]);
  }
  for (SlotInstruction& in : replacement) {
    if (!has_file(in.op)) continue;
    if (renumbered[in.slot] < 0) return std::nullopt;
    in.slot = static_cast<uint8_t>(renumbered[in.slot]);
  }
  t.rule.pattern = RuleCode(pattern);
  t.rule.replacement = RuleCode(replacement);
  // What was known where the trimmed pattern starts.
  const WindowKnown known = known_at(p, prefix, found.window.known_before);
  for (int place = 0; place < kFirstBytePlace; ++place) {
    t.read_after[place] = after[place];
    t.known_before.mask[place] = known.mask[place];
    t.known_before.value[place] = known.value[place];
  }
  for (int slot = 0; slot < kWindowSlots; ++slot) {
    if (renumbered[slot] < 0) continue;
    const int to = kFirstBytePlace + renumbered[slot];
    t.read_after[to] = after[kFirstBytePlace + slot];
    t.known_before.mask[to] = known.mask[kFirstBytePlace + slot];
    t.known_before.value[to] = known.value[kFirstBytePlace + slot];
  }
  return t;
}

// The trimmed rule with what it may leave read, if that covers what was read where it was found.
std::optional<WindowDemand> reads_that_held(const Trimmed& t, const WindowKnown& precondition) {
  const std::optional<WindowDemand> reads =
      widest_reads(t.rule.pattern, t.rule.replacement, kLearnedRuleBits, precondition);
  if (!reads) return std::nullopt;
  for (int place = 0; place < kWindowPlaces; ++place) {
    if ((t.read_after[place] & ~(*reads)[place]) != 0) return std::nullopt;
  }
  return reads;
}

// The rule with the least of what was known where it was found that it needs: nothing when it
// holds without, else what was known of the places it touches, less each place it holds
// without in turn.
std::optional<RewriteRule> with_least_precondition(const Trimmed& t) {
  RewriteRule rule = t.rule;
  if (const auto reads = reads_that_held(t, {})) {
    rule.may_read = *reads;
    return rule;
  }
  const WindowDemand places = touched_places(t.rule.pattern);
  WindowKnown precondition;
  for (int p = 0; p < kWindowPlaces; ++p) {
    precondition.mask[p] = t.known_before.mask[p] & places[p];
    precondition.value[p] = t.known_before.value[p] & precondition.mask[p];
  }
  std::optional<WindowDemand> reads = reads_that_held(t, precondition);
  if (!reads) return std::nullopt;
  for (int p = 0; p < kWindowPlaces; ++p) {
    if (precondition.mask[p] == 0) continue;
    WindowKnown less = precondition;
    less.mask[p] = less.value[p] = 0;
    if (const auto fewer = reads_that_held(t, less)) {
      precondition = less;
      reads = fewer;
    }
  }
  rule.may_read = *reads;
  rule.precondition = precondition;
  return rule;
}

}  // namespace

std::optional<RewriteRule> rule_from(const FoundReplacement& found) {
  const std::vector<SlotInstruction>& p = found.window.code;
  const std::vector<SlotInstruction>& r = found.replacement;
  std::size_t most_prefix = 0;
  while (most_prefix < r.size() && p[most_prefix] == r[most_prefix]) ++most_prefix;
  std::size_t most_suffix = 0;
  while (most_suffix < r.size() - most_prefix &&
         p[p.size() - 1 - most_suffix] == r[r.size() - 1 - most_suffix]) {
    ++most_suffix;
  }
  // Every trimming, the shortest pattern first.
  std::vector<std::pair<std::size_t, std::size_t>> trims;
  for (std::size_t prefix = 0; prefix <= most_prefix; ++prefix) {
    for (std::size_t suffix = 0; suffix <= most_suffix && prefix + suffix <= r.size(); ++suffix) {
      trims.emplace_back(prefix, suffix);
    }
  }
  std::stable_sort(trims.begin(), trims.end(), [](const auto& a, const auto& b) {
    return a.first + a.second > b.first + b.second;
  });
  for (const auto& [prefix, suffix] : trims) {
    // The trimmed pattern is a window wherever the whole one was: it follows no skip and ends
    // on none.
    if (prefix > 0 && is_skip(p[prefix - 1].op)) continue;
    std::optional<Trimmed> t = trim(found, prefix, suffix);
    if (!t || t->rule.pattern.empty() || ends_on_skip(t->rule.pattern) ||
        ends_on_skip(t->rule.replacement) || !generic_literals(t->rule.pattern) ||
        !generic_literals(t->rule.replacement)) {
      continue;
    }
    // A single instruction dropped is the rule pass's own work.
    if (t->rule.pattern.size() == 1 && t->rule.replacement.empty()) continue;
    if (const std::optional<RewriteRule> rule = with_least_precondition(*t)) return rule;
  }
  return std::nullopt;
}

RuleBook::RuleBook(std::span<const RewriteRule> known)
    : rules_(known.begin(), known.end()), found_(rules_.size(), 0), known_(rules_.size()) {}

void RuleBook::add(const RewriteRule& rule) {
  for (std::size_t k = 0; k < rules_.size(); ++k) {
    if (rules_[k].pattern == rule.pattern && rules_[k].replacement == rule.replacement &&
        rules_[k].precondition == rule.precondition) {
      ++found_[k];
      return;
    }
  }
  rules_.push_back(rule);
  found_.push_back(1);
}

int RuleBook::learned() const {
  return static_cast<int>(rules_.size() - known_);
}

namespace {

std::string op_name(Op op) {
  std::string name = mnemonic(op);
  name[0] = static_cast<char>(name[0] - 'a' + 'A');
  return "Op::k" + name;
}

std::string entry(const RuleCode& code) {
  std::string text = "{";
  for (std::size_t k = 0; k < code.size(); ++k) {
    char item[80];
    std::snprintf(item, sizeof item, "%s{%s, %d, %s, 0x%02X}", k > 0 ? ", " : "",
                  op_name(code[k].op).c_str(), code[k].slot, code[k].to_w ? "true" : "false",
                  code[k].value);
    text += item;
  }
  return text + "}";
}

}  // namespace

std::string RuleBook::table_text() const {
  std::vector<std::size_t> order(rules_.size());
  std::iota(order.begin(), order.end(), 0);
  // The learned rules: the most instructions saved first, then the most often found, then by
  // their text, so that the order depends on nothing but the rules.
  std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(known_), order.end(),
                   [&](std::size_t a, std::size_t b) {
                     const auto saved = [&](std::size_t k) {
                       return rules_[k].pattern.size() - rules_[k].replacement.size();
                     };
                     if (saved(a) != saved(b)) return saved(a) > saved(b);
                     if (found_[a] != found_[b]) return found_[a] > found_[b];
                     return describe(rules_[a]) < describe(rules_[b]);
                   });
  std::string text = "// Written by scripts/learn-rewrite-rules; do not edit.\n";
  for (const std::size_t k : order) {
    const RewriteRule& rule = rules_[k];
    text += "// " + describe(rule) + "\n{" + entry(rule.pattern) + ", " + entry(rule.replacement) +
            ", {";
    for (int place = 0; place < kWindowPlaces; ++place) {
      char mask[8];
      std::snprintf(mask, sizeof mask, "%s0x%02X", place > 0 ? ", " : "", rule.may_read[place]);
      text += mask;
    }
    text += "}, {";
    for (const WindowDemand* known : {&rule.precondition.mask, &rule.precondition.value}) {
      text += known == &rule.precondition.mask ? "{" : ", {";
      for (int place = 0; place < kWindowPlaces; ++place) {
        char mask[8];
        std::snprintf(mask, sizeof mask, "%s0x%02X", place > 0 ? ", " : "", (*known)[place]);
        text += mask;
      }
      text += "}";
    }
    text += "}},\n";
  }
  return text;
}

}  // namespace tarvek

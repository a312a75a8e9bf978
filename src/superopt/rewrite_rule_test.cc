#include "superopt/rewrite_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codegen/listing_for_tests.h"
#include "superopt/simulator_check_for_tests.h"

namespace tarvek {
namespace {

const std::vector<std::string> kNames = {"ACC", "TEMP"};

// A rule from two listings over ACC (slot k is ACC byte k), with the bits it may leave read
// proven by widest_reads.
RewriteRule rule_of(const std::string& pattern, const std::string& replacement) {
  const auto stretch = [](const std::string& listing) {
    std::vector<SlotInstruction> out;
    if (listing.empty()) return out;
    const Code code = code_from_listing(lines(listing), kNames);
    for (const Instruction& in : code.instructions()) {
      const OperandKind kind = operand_kind(in.op);
      const bool file = kind == OperandKind::kFileDest || kind == OperandKind::kFile ||
                        kind == OperandKind::kFileBit;
      out.push_back({in.op, file ? static_cast<uint8_t>(in.byte) : uint8_t{0}, in.to_w,
                     static_cast<uint8_t>(in.value)});
    }
    return out;
  };
  RewriteRule rule{RuleCode(stretch(pattern)), RuleCode(stretch(replacement)), {}, {}};
  const std::optional<WindowDemand> reads = widest_reads(rule.pattern, rule.replacement, 24);
  EXPECT_TRUE(reads) << pattern;
  if (reads) rule.may_read = *reads;
  return rule;
}

// Whether the slots of a stretch are numbered in the order it first names them.
bool canonical(std::span<const SlotInstruction> code) {
  int next = 0;
  for (const SlotInstruction& in : code) {
    const OperandKind kind = operand_kind(in.op);
    if (kind != OperandKind::kFileDest && kind != OperandKind::kFile &&
        kind != OperandKind::kFileBit) {
      continue;
    }
    if (in.slot > next) return false;
    if (in.slot == next) ++next;
  }
  return true;
}

// Every rule of the table: shorter than its pattern, a window's shape, and proven for every
// state of its inputs, each bit it lets be read on its own, by the window machine (held to the
// simulator by window_machine_test) and, where the states are few enough to run them there in
// a test's time, on the simulator itself.
TEST(RewriteRuleTest, EveryLearnedRuleHoldsOnEveryState) {
  for (const RewriteRule& rule : learned_rules()) {
    const std::string text = describe(rule);
    ASSERT_FALSE(rule.pattern.empty()) << text;
    EXPECT_LT(rule.replacement.size(), rule.pattern.size()) << text;
    EXPECT_TRUE(canonical(rule.pattern)) << text;
    EXPECT_FALSE(is_skip(rule.pattern.back().op)) << text;
    EXPECT_TRUE(rule.replacement.empty() || !is_skip(rule.replacement.back().op)) << text;
    EXPECT_TRUE(prove_rule(rule, 26)) << text;
    // A rule with an enhanced instruction on either side is for that core alone.
    const auto enhanced_only = [](const RuleCode& code) {
      return std::any_of(code.begin(), code.end(), [](const SlotInstruction& in) {
        return !runnable(in.op, Core::kMidrange);
      });
    };
    const bool enhanced = enhanced_only(rule.pattern) || enhanced_only(rule.replacement);
    const WindowDemand places = touched_places(rule.pattern);
    for (int place = 0; place < kWindowPlaces; ++place) {
      WindowDemand one{};
      one[place] = static_cast<uint8_t>(rule.may_read[place] & places[place]);
      if (place >= 1 && place < kFirstBytePlace) one[place] &= 1;
      if (one[place] == 0) continue;
      EXPECT_TRUE(same_on_simulator(rule.pattern.to_vector(), rule.replacement.to_vector(), one,
                                    enhanced ? PicCore::kEnhanced : PicCore::kMidrange, 16,
                                    rule.precondition) ||
                  simulator_inputs(rule.pattern.to_vector(), rule.replacement.to_vector(), one,
                                   rule.precondition) > 16)
          << text << " (place " << place << ")";
    }
    if (HasFailure()) return;
  }
}

TEST(RewriteRuleTest, WidestReadsLeavesUnreadOnlyWhatTheReplacementChanges) {
  struct Case {
    const char* pattern;
    const char* replacement;
    const char* described;
  };
  const Case kCases[] = {
      {"clrc; rrf ACC0, f", "rrf ACC0, f", "clrc; rrf 0,f => rrf 0,f | unread 0:80"},
      {"movf ACC0, w; movwf ACC1; movf ACC1, w", "movf ACC0, w; movwf ACC1",
       "movf 0,w; movwf 1; movf 1,w => movf 0,w; movwf 1 | unread -"},
      {"clrc; rlf ACC0, f", "movf ACC0, w; addwf ACC0, f",
       "clrc; rlf 0,f => movf 0,w; addwf 0,f | unread W DC Z"},
      {"movlw 1; skpnc; addwf ACC0, f", "skpnc; incf ACC0, f",
       "movlw 0x01; skpnc; addwf 0,f => skpnc; incf 0,f | unread W C DC"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(describe(rule_of(c.pattern, c.replacement)), c.described);
  }
}

TEST(RewriteRuleTest, MatchesWhereThePatternIsAWindowAndLeavesTheRestUnread) {
  const RewriteRule doubling = rule_of("clrc; rlf ACC0, f", "movf ACC0, w; addwf ACC0, f");
  const RewriteRule reload =
      rule_of("movf ACC0, w; movwf ACC1; movf ACC1, w", "movf ACC0, w; movwf ACC1");
  struct Case {
    const char* what;
    const RewriteRule& rule;
    std::string code;
    std::size_t at;
    bool matches;
  };
  const Case kCases[] = {
      {"the doubling with W written before it is read", doubling,
       lines("clrc; rlf ACC0, f; movlw 3; addwf ACC1, f"), 0, true},
      {"W read afterwards", doubling, lines("clrc; rlf ACC0, f; addwf ACC1, f"), 0, false},
      {"Z read afterwards", doubling, lines("clrc; rlf ACC0, f; movlw 1; skpnz; addwf ACC1, f"), 0,
       false},
      {"after a skip", doubling, lines("skpc; clrc; rlf ACC0, f; clrf ACC1"), 1, false},
      {"another place in the routine", doubling, lines("clrf ACC1; clrc; rlf ACC0, f; clrf TEMP0"),
       1, true},
      {"two slots bound to two bytes", reload, lines("movf ACC0, w; movwf TEMP0; movf TEMP0, w"), 0,
       true},
      {"two slots bound to one byte", reload, lines("movf ACC0, w; movwf ACC0; movf ACC0, w"), 0,
       false},
      {"one slot bound to two bytes", reload, lines("movf ACC0, w; movwf TEMP0; movf TEMP1, w"), 0,
       false},
  };
  for (const Case& c : kCases) {
    const Code code = code_from_listing(c.code, kNames);
    const RoutineBytes bytes(code);
    Demand at_end{};
    for (int b = 0; b < 2; ++b) {
      const int number = bytes.number_of(ByteRef{0, static_cast<int16_t>(b)});
      if (number >= 0) at_end[kFirstBytePlace + number] = 0xFF;
    }
    const std::vector<Demand> demand = demand_after(code, bytes, at_end);
    EXPECT_EQ(match_rule(c.rule, code, bytes, demand, c.at).has_value(), c.matches) << c.what;
  }
}

}  // namespace
}  // namespace tarvek

#include "superopt/rule_learning.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvek {
namespace {

std::vector<SlotInstruction> code(std::initializer_list<SlotInstruction> list) {
  return list;
}

FoundReplacement found(std::vector<SlotInstruction> window, std::vector<SlotInstruction> with,
                       WindowDemand read_after, WindowKnown known = {}) {
  FoundReplacement f;
  f.window.code = std::move(window);
  f.window.read_after = read_after;
  f.window.known_before = known;
  f.replacement = std::move(with);
  return f;
}

WindowDemand reading(std::initializer_list<std::pair<int, uint8_t>> places) {
  WindowDemand demand{};
  for (const auto& [place, bits] : places) demand[place] = bits;
  return demand;
}

constexpr int kSlot0 = kFirstBytePlace;

TEST(RuleLearningTest, ARuleIsTrimmedToWhatTheReplacementChanges) {
  struct Case {
    const char* what;
    FoundReplacement found;
    // describe() of the rule, or empty for none.
    std::string rule;
  };
  const Case kCases[] = {
      {"a reload after a store, between a load and an addition that both stay",
       found(code({{Op::kMovf, 0, true, 0},
                   {Op::kMovwf, 1, false, 0},
                   {Op::kMovf, 1, true, 0},
                   {Op::kAddwf, 2, false, 0}}),
             code({{Op::kMovf, 0, true, 0}, {Op::kMovwf, 1, false, 0}, {Op::kAddwf, 2, false, 0}}),
             reading({{kSlot0 + 2, 0xFF}})),
       "movwf 0; movf 0,w => movwf 0 | unread Z"},
      {"a carry known clear where it was found becomes the rule's precondition",
       found(code({{Op::kMovf, 0, true, 0},
                   {Op::kSkpnc},
                   {Op::kIncfsz, 0, true, 0},
                   {Op::kAddwf, 1, false, 0}}),
             code({{Op::kMovf, 0, true, 0}, {Op::kAddwf, 1, false, 0}}),
             reading({{kSlot0 + 1, 0xFF}}),
             [] {
               WindowKnown k;
               k.mask[1] = 1;
               k.mask[kSlot0 + 3] = 0xFF;  // known too, but not needed: left out
               return k;
             }()),
       // Without its load the addition's result would depend on more bits than a proof ranges
       // over: the shortest rule proven keeps it.
       "movf 0,w; skpnc; incfsz 0,w; addwf 1,f => movf 0,w; addwf 1,f | unread - | known "
       "C&01=00"},
      {"a literal that may be a request's own constant makes no rule",
       found(code({{Op::kMovlw, 0, false, 0xF3},
                   {Op::kAddwf, 0, false, 0},
                   {Op::kMovlw, 0, false, 0xF3}}),
             code({{Op::kMovlw, 0, false, 0xF3}, {Op::kAddwf, 0, false, 0}}),
             reading({{0, 0xFF}, {kSlot0, 0xFF}})),
       ""},
  };
  for (const Case& c : kCases) {
    const std::optional<RewriteRule> rule = rule_from(c.found);
    EXPECT_EQ(rule ? describe(*rule) : "", c.rule) << c.what;
    EXPECT_TRUE(!rule || prove_rule(*rule, 24)) << c.what;
  }
}

TEST(RuleLearningTest, TheBookKeepsEachRuleOnceAndWritesTheTable) {
  RewriteRule known;
  known.pattern = RuleCode({{Op::kClrc}, {Op::kRlf, 0, false, 0}});
  known.replacement = RuleCode({{Op::kMovf, 0, true, 0}, {Op::kAddwf, 0, false, 0}});
  known.may_read.fill(0xFF);
  known.may_read[0] = known.may_read[2] = known.may_read[3] = 0;
  RewriteRule reload;
  reload.pattern = RuleCode({{Op::kMovwf, 0, false, 0}, {Op::kMovf, 0, true, 0}});
  reload.replacement = RuleCode({{Op::kMovwf, 0, false, 0}});
  reload.may_read.fill(0xFF);
  reload.may_read[3] = 0;
  const std::vector<RewriteRule> start = {known};
  RuleBook book(start);
  book.add(reload);
  book.add(reload);
  book.add(known);
  EXPECT_EQ(book.learned(), 1);
  ASSERT_EQ(book.rules().size(), 2u);
  const std::string table = book.table_text();
  EXPECT_NE(table.find("// clrc; rlf 0,f => movf 0,w; addwf 0,f | unread W DC Z\n{"
                       "{{Op::kClrc, 0, false, 0x00}, {Op::kRlf, 0, false, 0x00}}, "
                       "{{Op::kMovf, 0, true, 0x00}, {Op::kAddwf, 0, false, 0x00}}, "),
            std::string::npos)
      << table;
  // The known rule first, then the learned one.
  EXPECT_LT(table.find("clrc"), table.find("movwf 0; movf 0,w"));
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5);
}

}  // namespace
}  // namespace tarvek

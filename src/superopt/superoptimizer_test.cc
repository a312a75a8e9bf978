#include "superopt/superoptimizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codegen/listing_for_tests.h"

namespace tarvek {
namespace {

const std::vector<std::string> kNames = {"ACC", "TEMP"};

RoutineContract outputs(int bytes, Core core = Core::kMidrange) {
  RoutineContract contract;
  contract.core = core;
  for (int b = 0; b < bytes; ++b) contract.outputs.push_back({0, static_cast<int16_t>(b)});
  return contract;
}

SuperoptEffort rules_only() {
  return SuperoptEffort{};
}

struct Case {
  const char* what;
  std::string code;
  int output_bytes;
  std::string expected;
};

TEST(SuperoptimizerTest, DropsWhatNothingReads) {
  const Case kCases[] = {
      {"a store into a byte that is not an output", "movf ACC0, w; movwf TEMP0; incf ACC0, f", 1,
       "incf ACC0, f"},
      {"a clear of C that reaches only an unread bit",
       "clrc; rrf ACC0, f; rrf ACC1, f; movf ACC1, w; movwf ACC0", 1,
       "rrf ACC0, f; rrf ACC1, f; movf ACC1, w; movwf ACC0"},
      {"an instruction right after a skip stays, whatever it writes",
       "skpnc; movwf TEMP0; incf ACC0, f", 1, "skpnc; movwf TEMP0; incf ACC0, f"},
      {"a skip stays", "movf ACC0, w; skpnz; incf ACC0, f", 1, "movf ACC0, w; skpnz; incf ACC0, f"},
      {"what only an unread instruction read goes with it",
       "movf ACC1, w; movwf TEMP0; movf TEMP0, w; movwf TEMP1; clrf ACC0", 1, "clrf ACC0"},
  };
  for (const Case& c : kCases) {
    const Code code = code_from_listing(lines(c.code), kNames);
    EXPECT_EQ(superoptimize_with(code, outputs(c.output_bytes), rules_only(), {}).text(),
              lines(c.expected))
        << c.what;
  }
}

TEST(SuperoptimizerTest, AppliesARuleWhereverItHolds) {
  // movf 0,w; movwf 1; movf 1,w => movf 0,w; movwf 1, which holds wherever it matches.
  RewriteRule reload;
  reload.pattern = {{Op::kMovf, 0, true, 0}, {Op::kMovwf, 1, false, 0}, {Op::kMovf, 1, true, 0}};
  reload.replacement = {{Op::kMovf, 0, true, 0}, {Op::kMovwf, 1, false, 0}};
  reload.may_read.fill(0xFF);
  // clrc; rlf 0,f => movf 0,w; addwf 0,f where W, DC and Z are not read afterwards.
  RewriteRule doubling;
  doubling.pattern = {{Op::kClrc}, {Op::kRlf, 0, false, 0}};
  doubling.replacement = {{Op::kMovf, 0, true, 0}, {Op::kAddwf, 0, false, 0}};
  doubling.may_read.fill(0xFF);
  doubling.may_read[0] = doubling.may_read[2] = doubling.may_read[3] = 0;
  const std::vector<RewriteRule> rules = {reload, doubling};
  const Case kCases[] = {
      {"twice, on other bytes each time",
       "movf ACC1, w; movwf ACC2; movf ACC2, w; addwf ACC0, f; movf ACC0, w; movwf ACC3; "
       "movf ACC3, w; addwf ACC1, f",
       4, "movf ACC1, w; movwf ACC2; addwf ACC0, f; movf ACC0, w; movwf ACC3; addwf ACC1, f"},
      {"not where W is read afterwards", "clrc; rlf ACC0, f; addwf ACC1, f", 2,
       "clrc; rlf ACC0, f; addwf ACC1, f"},
      {"where W is written before it is read (the doubling is no shorter: it stays)",
       "clrc; rlf ACC0, f; movlw 3; addwf ACC1, f", 2, "clrc; rlf ACC0, f; movlw 3; addwf ACC1, f"},
  };
  for (const Case& c : kCases) {
    const Code code = code_from_listing(lines(c.code), kNames);
    std::vector<long> fired(rules.size());
    const Code out =
        superoptimize_traced(code, outputs(c.output_bytes), rules_only(), rules, {nullptr, &fired});
    EXPECT_EQ(out.text(), lines(c.expected)) << c.what;
  }
}

// A rule that relies on something known keeps whatever makes it known: here the clear of C,
// which nothing reads once the carry's add is gone, but without which the rule would not hold.
TEST(SuperoptimizerTest, KeepsWhatARuleReliedOnKnowing) {
  RewriteRule no_carry;
  no_carry.pattern = {
      {Op::kMovf, 0, true, 0}, {Op::kSkpnc}, {Op::kIncfsz, 0, true, 0}, {Op::kAddwf, 1, false, 0}};
  no_carry.replacement = {{Op::kMovf, 0, true, 0}, {Op::kAddwf, 1, false, 0}};
  no_carry.may_read.fill(0xFF);
  no_carry.precondition.mask[1] = 1;
  const Case kCases[] = {
      {"the clear of C stays", "clrc; movf TEMP0, w; skpnc; incfsz TEMP0, w; addwf ACC0, f", 1,
       "clrc; movf TEMP0, w; addwf ACC0, f"},
      {"and so does a carry known clear from an addition of nibbles",
       "movf ACC1, w; andlw 15; movwf TEMP1; addwf TEMP1, w; movf TEMP0, w; skpnc; "
       "incfsz TEMP0, w; addwf ACC0, f",
       1, "movf ACC1, w; andlw D'15'; movwf TEMP1; addwf TEMP1, w; movf TEMP0, w; addwf ACC0, f"},
      {"nothing known of C: the rule does not fire",
       "movf TEMP0, w; skpnc; incfsz TEMP0, w; addwf ACC0, f", 1,
       "movf TEMP0, w; skpnc; incfsz TEMP0, w; addwf ACC0, f"},
  };
  for (const Case& c : kCases) {
    const Code code = code_from_listing(lines(c.code), kNames);
    EXPECT_EQ(
        superoptimize_with(code, outputs(c.output_bytes), rules_only(), std::span(&no_carry, 1))
            .text(),
        lines(c.expected))
        << c.what;
  }
}

TEST(SuperoptimizerTest, CountsEachRuleThatFires) {
  RewriteRule reload;
  reload.pattern = {{Op::kMovf, 0, true, 0}, {Op::kMovwf, 1, false, 0}, {Op::kMovf, 1, true, 0}};
  reload.replacement = {{Op::kMovf, 0, true, 0}, {Op::kMovwf, 1, false, 0}};
  reload.may_read.fill(0xFF);
  const Code code = code_from_listing(
      lines("movf ACC1, w; movwf ACC2; movf ACC2, w; addwf ACC0, f; movf ACC0, w; movwf ACC3; "
            "movf ACC3, w; addwf ACC1, f"),
      kNames);
  std::vector<long> fired(1);
  superoptimize_traced(code, outputs(4), rules_only(), std::span(&reload, 1), {nullptr, &fired});
  EXPECT_EQ(fired[0], 2);
}

TEST(SuperoptimizerTest, TheWindowSearchFindsWhatNoRuleKnows) {
  const Case kCases[] = {
      {"a byte cleared and or-ed into", "clrf ACC0; swapf ACC1, w; andlw 15; iorwf ACC0, f", 2,
       "swapf ACC1, w; andlw D'15'; movwf ACC0"},
      {"a doubling through a clear carry", "movf ACC1, w; movwf ACC0; clrc; rlf ACC0, f", 2,
       "movf ACC1, w; movwf ACC0; addwf ACC0, f"},
  };
  for (const Case& c : kCases) {
    const Code code = code_from_listing(lines(c.code), kNames);
    EXPECT_EQ(superoptimize_with(code, outputs(c.output_bytes), superopt_effort(7), {}).text(),
              lines(c.expected))
        << c.what;
    // No window search below level 6.
    EXPECT_EQ(superoptimize_with(code, outputs(c.output_bytes), superopt_effort(5), {}).text(),
              code.text())
        << c.what;
  }
}

TEST(SuperoptimizerTest, LevelsSearchWiderAsTheyRise) {
  EXPECT_EQ(superopt_effort(1).longest_window, 0);
  EXPECT_EQ(superopt_effort(5).longest_window, 0);
  EXPECT_EQ(superopt_effort(5).longest_routine, 400);
  EXPECT_GT(superopt_effort(6).longest_routine, 1000);
  for (int level = 6; level < 9; ++level) {
    const SuperoptEffort lower = superopt_effort(level);
    const SuperoptEffort higher = superopt_effort(level + 1);
    EXPECT_GE(lower.longest_window, 2);
    EXPECT_TRUE(higher.longest_window > lower.longest_window ||
                higher.search.enumerated_length > lower.search.enumerated_length ||
                higher.search.most_input_bits > lower.search.most_input_bits);
    EXPECT_TRUE(higher.rule_pass && lower.rule_pass);
  }
}

// Names play no part: the same instructions under other register names give the same result.
TEST(SuperoptimizerTest, TheSameRoutineUnderOtherNamesGivesTheSameResult) {
  const std::string code =
      "clrf ACC0; swapf ACC1, w; andlw 15; iorwf ACC0, f; movf ACC1, w; "
      "movwf TEMP0; clrc; rrf ACC0, f; rrf ACC1, f";
  const Code first = code_from_listing(lines(code), kNames);
  const std::string renamed =
      "clrf w00; swapf w01, w; andlw 15; iorwf w00, f; movf w01, w; "
      "movwf A0; clrc; rrf w00, f; rrf w01, f";
  const Code second = code_from_listing(lines(renamed), {"w0", "A"});
  const Code a = superoptimize_with(first, outputs(2), superopt_effort(7), {});
  const Code b = superoptimize_with(second, outputs(2), superopt_effort(7), {});
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(a.instructions(), b.instructions());
  EXPECT_LT(a.size(), first.size());
}

TEST(SuperoptimizerTest, LeavesARoutineLongerThanTheEffortTakesAsItIs) {
  const std::string unread = "movlw 3; movwf TEMP0; ";
  std::string text;
  for (int k = 0; k < 201; ++k) text += unread;
  text += "clrf ACC0";
  const Code code = code_from_listing(lines(text), kNames);
  ASSERT_EQ(code.size(), 403u);
  EXPECT_EQ(superoptimize_with(code, outputs(1), superopt_effort(1), {}).size(), 403u);
  EXPECT_EQ(superoptimize_with(code, outputs(1), superopt_effort(6), {}).text(),
            lines("clrf ACC0"));
}

TEST(SuperoptimizerTest, LeavesARoutineItCannotModelAsItIs) {
  const Code code =
      code_from_listing(lines("movlw 1; xorwf STATUS, w; movwf STATUS; clrc"), kNames);
  EXPECT_EQ(superoptimize_with(code, outputs(1), superopt_effort(7), {}).text(), code.text());
}

}  // namespace
}  // namespace tarvek

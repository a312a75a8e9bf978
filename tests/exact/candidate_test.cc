// Every candidate the search makes, not only the ones that win: whenever the proof says a
// candidate holds, its routine must leave the target's result for every input on our
// simulator, on either core, and the enhanced core's routine is never the longer one; and a
// proof that evaluated every input must refuse exactly the candidates whose exact model misses
// somewhere.
#include <gtest/gtest.h>

#include "exact/chain.h"
#include "exact/exact_generator.h"
#include "exact/search.h"
#include "sim/routine_check.h"

namespace tarvek {
namespace {

struct Case {
  uint64_t p;
  uint64_t q;
  ResultMode mode;
};

// The block of a candidate's routine as the generator would print it for an unsigned input.
std::string block_of(const Candidate& c, const ResultTarget& target, const ProofOutcome& proof,
                     const EmittedRoutine& routine, const RoutineNames& names) {
  const ExactSpec spec = make_spec(target.constant, target.mode, target.input_bits, false);
  const SpecResult found{Form{FormKind::kDirect, target, 0}, SearchResult{c, proof, routine},
                         routine};
  return exact_block(spec, found, names);
}

TEST(CandidateTest, EveryProvenCandidateRunsRight) {
  const Case cases[] = {
      {1, 3, ResultMode::kFloor},       {1, 10, ResultMode::kFloor},
      {1, 7, ResultMode::kNearest},     {3, 5, ResultMode::kNearest},
      {5000, 1023, ResultMode::kFloor}, {1, 25, ResultMode::kFloor},
      {7, 4, ResultMode::kFloor},       {2, 3, ResultMode::kNearest},
      {1, 100, ResultMode::kNearest},
  };
  long proven = 0;
  long with_corrections = 0;
  long factored = 0;
  for (const Case& c : cases) {
    for (const int bits : {1, 4, 7, 8, 9, 12, 13}) {
      const ResultTarget target = make_target(
          Fraction::of(BigInt::from_unsigned(c.p), BigInt::from_unsigned(c.q)), c.mode, bits);
      if (target.result_bits == 0) continue;
      const ExactPromise promise{c.p, c.q, c.mode == ResultMode::kNearest};
      // The enhanced core changes the instructions, not the arithmetic the proof covers: its
      // routines run every input up to 10 bits and edges and a sample above.
      const std::vector<uint64_t> all_inputs = sample_inputs(bits, 13, 0, 1);
      const std::vector<uint64_t> enhanced_inputs = sample_inputs(bits, 10, 256, 1);
      std::vector<Candidate> all = make_candidates(target);
      for (const Candidate& factored : make_factored_candidates(target)) all.push_back(factored);
      for (const Candidate& made : all) {
        const std::optional<Candidate> candidate = with_offset(made, target);
        if (!candidate) continue;
        const ProofOutcome proof = prove(*candidate, target);
        if (!proof.holds) continue;
        ++proven;
        if (candidate->corrections > 0) ++with_corrections;
        if (!candidate->factors.empty()) ++factored;
        for (const bool little : {false, true}) {
          int midrange_instructions = 0;
          for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
            const bool enhanced = core == Core::kEnhanced;
            const RoutineNames names{"ACC", "TEMP", little, core};
            const EmittedRoutine emitted = emit_candidate(*candidate, target, names);
            const std::string block = block_of(*candidate, target, proof, emitted, names);
            const std::string what = std::to_string(c.p) + "/" + std::to_string(c.q) + " " +
                                     std::to_string(bits) + " bits " + describe(*candidate) +
                                     (enhanced ? ", enhanced core" : "");
            if (enhanced) {
              ASSERT_LE(emitted.instructions, midrange_instructions) << what;
            }
            midrange_instructions = emitted.instructions;
            const RoutineUnderCheck routine{block,
                                            "ACC",
                                            "TEMP",
                                            little,
                                            bits,
                                            target.result_bits,
                                            enhanced ? PicCore::kEnhanced : PicCore::kMidrange};
            const CheckReport report =
                check_routine(routine, enhanced ? enhanced_inputs : all_inputs, 99);
            ASSERT_TRUE(report.passed) << what << ": " << report.failure << "\n" << block;
            const std::optional<ExactPromise> read =
                prepare_routine(routine).routine->promise.exact;
            ASSERT_TRUE(read && read->numerator == promise.numerator &&
                        read->denominator == promise.denominator &&
                        read->nearest == promise.nearest);
          }
        }
      }
    }
  }
  // The families the search draws from are all represented.
  EXPECT_GT(proven, 500);
  EXPECT_GT(with_corrections, 50);
  EXPECT_GT(factored, 50);
}

// The offset the search gives a candidate is the smallest the proof allows, and the proof's
// refusal of one less is real: with every input evaluated, that routine leaves a wrong result
// for some input on the simulator.
TEST(CandidateTest, OneOffsetLessMissesSomewhere) {
  const Case cases[] = {{1, 10, ResultMode::kFloor}, {2, 3, ResultMode::kNearest}};
  int refused = 0;
  for (const Case& c : cases) {
    const ResultTarget target = make_target(
        Fraction::of(BigInt::from_unsigned(c.p), BigInt::from_unsigned(c.q)), c.mode, 9);
    const RoutineNames names{"ACC", "TEMP", false, Core::kMidrange};
    for (const Candidate& made : make_candidates(target)) {
      std::optional<Candidate> lower = with_offset(made, target);
      if (!lower || lower->offset == 0 || !prove(*lower, target).holds) continue;
      lower->offset -= 1;
      const ProofOutcome proof = prove(*lower, target);
      ASSERT_FALSE(proof.holds) << describe(*lower);
      const EmittedRoutine emitted = emit_candidate(*lower, target, names);
      const std::string block = block_of(*lower, target, proof, emitted, names);
      const RoutineUnderCheck routine{
          block, "ACC", "TEMP", false, 9, target.result_bits, PicCore::kMidrange};
      const CheckReport report = check_routine(routine, sample_inputs(9, 9, 0, 1), 7);
      EXPECT_FALSE(report.passed) << describe(*lower) << "\n" << block;
      ++refused;
    }
  }
  EXPECT_GT(refused, 10);
}

}  // namespace
}  // namespace tarvek

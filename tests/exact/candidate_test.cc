// Every candidate the search makes, not only the ones that win: whenever the proof says a
// candidate holds, its routine must leave the target's result for every input on our
// simulator; and a proof that evaluated every input must refuse exactly the candidates whose
// exact model misses somewhere.
#include <gtest/gtest.h>

#include "exact/chain.h"
#include "exact/comment_block.h"
#include "exact/search.h"
#include "sim/routine_check.h"

namespace tarvek {
namespace {

struct Case {
  uint64_t p;
  uint64_t q;
  ResultMode mode;
};

// The block of a candidate as the generator would print it for an unsigned input.
std::string block_of(const Candidate& c, const ResultTarget& target, const ProofOutcome& proof,
                     const RoutineNames& names) {
  const EmittedRoutine routine = emit_candidate(c, target, names);
  const ExactSpec spec = make_spec(target.constant, target.mode, target.input_bits, false);
  const SpecResult found{Form{FormKind::kDirect, target, 0}, SearchResult{c, proof, routine},
                         routine};
  return exact_comment_block(spec, found, names.acc) + "\n\n\tcblock\n" +
         declaration_lines(routine, names) + "\tendc\n\n" + routine.code + "\n";
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
          const RoutineNames names{"ACC", "TEMP", little};
          const std::string block = block_of(*candidate, target, proof, names);
          const RoutineUnderCheck routine{block, "ACC", "TEMP", little, bits, target.result_bits};
          const CheckReport report = check_routine(routine, sample_inputs(bits, 13, 0, 1), 99);
          ASSERT_TRUE(report.passed) << c.p << "/" << c.q << " " << bits << " bits "
                                     << describe(*candidate) << ": " << report.failure << "\n"
                                     << block;
          const std::optional<ExactPromise> read = prepare_routine(routine).routine->promise.exact;
          ASSERT_TRUE(read && read->numerator == promise.numerator &&
                      read->denominator == promise.denominator && read->nearest == promise.nearest);
        }
      }
    }
  }
  // The families the search draws from are all represented.
  EXPECT_GT(proven, 500);
  EXPECT_GT(with_corrections, 50);
  EXPECT_GT(factored, 50);
}

TEST(CandidateTest, ExhaustiveProofRefusesExactlyTheWrongCandidates) {
  // With every input evaluated, holding means the exact model matches everywhere.
  const ResultTarget target =
      make_target(Fraction::of(BigInt(1), BigInt(10)), ResultMode::kFloor, 9);
  int refused = 0;
  for (Candidate c : make_candidates(target)) {
    for (uint64_t offset = 0; offset < 4; ++offset) {
      c.offset = offset;
      const ProofOutcome proof = prove(c, target);
      const Chain chain = make_chain(c.multiplier, c.shift - c.guard, 9);
      int worst = 0;
      bool above = false;
      for (uint64_t x = 0; x < 512; ++x) {
        const Int128 q = (walk_value(chain, c.factors, x) + static_cast<Int128>(offset)) >> c.guard;
        const Int128 wanted = static_cast<Int128>(x / 10);
        above = above || q > wanted;
        if (!above) worst = std::max(worst, static_cast<int>(wanted - q));
      }
      EXPECT_EQ(proof.holds, !above && worst <= c.corrections) << describe(c);
      if (!proof.holds) ++refused;
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace tarvek

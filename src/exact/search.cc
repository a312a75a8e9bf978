#include "exact/search.h"

#include <algorithm>
#include <bit>
#include <cassert>

#include "exact/chain.h"
#include "exact/remainder.h"

namespace tarvek {

int estimate_cost(const Candidate& c, const ResultTarget& target) {
  const BigInt& m = c.multiplier;
  const int fraction_bits = c.shift - c.guard;
  // Nonzero signed digits, about as the walk recodes them: M xor 3M has a one at each end of
  // every run of ones.
  const int terms = std::max(1, (m ^ (m * 3)).popcount());
  const int lowest = m.trailing_zeros() - fraction_bits;
  const int highest = m.bit_length() - 1 - fraction_bits;
  // The accumulator's bytes while the walk runs: the input, the multiplier's integer bits, a
  // carry and the guard bits.
  const int bytes = (target.input_bits + std::max(0, highest + 1) + 8) / 8;
  const int input_bytes = (target.input_bits + 7) / 8;
  // Shifts: the accumulator right from the lowest digit up to the units position, the
  // temporary register left up to the highest digit, and the guard bits away; whole bytes
  // are moved, the other bits cost a pass over every byte each.
  const auto shift = [&](int n) { return (n / 8) * 2 * bytes + (n % 8) * (bytes + 1); };
  int cost = 2 * input_bytes + (terms - 1) * (4 * bytes - 2);
  cost += shift(std::max(0, -lowest)) + shift(std::max(0, highest)) + shift(c.guard);
  if (c.guard > 0) cost += 3 * bytes;  // an offset, almost always
  // Each factor: a copy, a shift of the copy and an addition.
  const int value_bytes = (target.input_bits + std::max(0, highest + 1) + c.guard + 8) / 8;
  for (const int k : c.factors) {
    if (k > 0 && k % 8 == 0) {
      // In place: the upper bytes added into the lower ones, the carry rippled on.
      cost += 4 * value_bytes - 2 * (k / 8);
    } else if (k > 0) {
      // A shifted copy (whole bytes read from their places, a nibble by swapf, other bits a
      // pass each) and an addition.
      const int copied = value_bytes - k / 8;
      const int bits = k % 8;
      cost += bits == 4 ? 6 * copied : 2 * copied + 1 + (bits - 1) * (copied + 1);
      cost += 4 * value_bytes - 2;
    } else {
      cost += 2 * value_bytes + shift(-k) + 4 * value_bytes - 2;
    }
  }
  if (c.corrections > 0) {
    // The remainder: d times the quotient's low byte (a doubling per bit, an addition per one
    // bit), the input's copy and a subtraction; then per step a comparison and an increment
    // over the result's bytes.
    const int d = static_cast<int>(*target.d.to_u64());
    const int result_bytes = (target.result_bits + 7) / 8;
    cost += 2 * std::bit_width(static_cast<unsigned>(d)) +
            2 * std::popcount(static_cast<unsigned>(d)) + 4;
    cost += c.corrections * (4 + 2 * result_bytes) + 2 * (c.corrections - 1);
  }
  return cost;
}

int remainder_estimate(const Candidate& c, const ResultTarget& target, const RoutineNames& names) {
  if (names.rem.empty()) return 0;
  // The correction steps have the remainder already: it is kept in the register's byte.
  if (c.corrections > 0) return 3;
  // The input's copy, then d q subtracted: a doubling per bit of d and an addition per signed
  // digit over every byte, the quotient copied first when there is more than one.
  const int bytes = names.rem_bytes;
  const BigInt& d = target.d;
  const int digits = std::max(1, (d ^ (d * 3)).popcount() / 2);
  if (bytes == 1) return 3 + 2 * std::min(8, d.bit_length()) + digits;
  return 4 * bytes + std::min(8 * bytes, d.bit_length()) * (bytes + 1) + digits * (4 * bytes);
}

SearchEffort search_effort(int level) {
  assert(level >= 1 && level <= 9);
  SearchEffort effort;
  const int search_level = std::min(level, 5);
  effort.priced = 4 * search_level;
  effort.priced_instructions = 700 * search_level;
  effort.exhaustive_bits = kDefaultExhaustiveBits + 2 * (search_level - 1);
  effort.superopt = superopt_effort(level);
  return effort;
}

namespace {

// The inputs the search evaluates one by one when it chooses an offset: all of them where the
// effort evaluates every input in its proofs, else only 0.
uint64_t offset_split(const ResultTarget& target, const SearchEffort& effort) {
  return target.input_bits <= effort.exhaustive_bits ? *target.max_input.to_u64() + 1 : 1;
}

}  // namespace

std::optional<Candidate> with_offset(const Candidate& candidate, const ResultTarget& target,
                                     const SearchEffort& effort) {
  const OffsetRange range = allowed_offsets(candidate, target, offset_split(target, effort));
  if (range.is_empty()) return std::nullopt;
  Candidate result = candidate;
  result.offset = *range.low.to_u64();
  return result;
}

namespace {

// The best routine so far, and what it was judged as.
struct Kept {
  std::optional<SearchResult> result;
  // The whole routine when there is a WholeRoutine to judge by; empty otherwise.
  EmittedRoutine judged;
};

// The candidate with the offset it needs and its proof, nullopt when no offset fits (the walk
// strays too far) or the proof fails; from the effort's memo when it has them. Where every
// input was evaluated for the offset, the proof reads the same range.
ProofMemo::Proven offset_and_proof(const Candidate& made, const ResultTarget& target,
                                   const SearchEffort& effort) {
  std::string key;
  if (effort.proofs) {
    key = describe(made) + " | " + target.a.to_decimal() + " " + target.b.to_decimal() + " " +
          target.d.to_decimal() + " " + target.max_input.to_decimal() + " " +
          std::to_string(effort.exhaustive_bits);
    if (const ProofMemo::Proven* known = effort.proofs->find(key)) return *known;
  }
  ProofMemo::Proven proven;
  const uint64_t split = offset_split(target, effort);
  const OffsetRange range = allowed_offsets(made, target, split);
  if (!range.is_empty()) {
    Candidate candidate = made;
    candidate.offset = *range.low.to_u64();
    const ProofOutcome proof = split > *target.max_input.to_u64()
                                   ? prove_every_input(candidate, target, range)
                                   : prove(candidate, target, effort.exhaustive_bits);
    if (proof.holds) proven = std::pair(candidate, proof);
  }
  if (effort.proofs) effort.proofs->add(key, proven);
  return proven;
}

// Proves and prices `candidates` cheapest estimate first, within the budget of `effort`, and
// keeps the cheapest proven routine in `best` (a later one only when better_routine says so of
// it, or of the whole routine `whole` makes of it).
void search_group(const std::vector<Candidate>& candidates, const ResultTarget& target,
                  const RoutineNames& names, const SearchEffort& effort, int output_bytes,
                  const WholeRoutine& whole, Kept& best, SearchResult& counts) {
  // Ordered by estimate; stable, so ties keep the order in which they were made.
  struct Ranked {
    Candidate candidate;
    int estimate;
  };
  std::vector<Ranked> ranked;
  for (const Candidate& candidate : candidates) {
    ++counts.made;
    ranked.push_back(Ranked{candidate, estimate_cost(candidate, target) +
                                           remainder_estimate(candidate, target, names)});
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const Ranked& a, const Ranked& b) { return a.estimate < b.estimate; });

  int priced = 0;
  int priced_instructions = 0;
  // A routine for the baseline core may take one instruction more than the mid-range one (a
  // correction step compares without addlw): the budget allows for it, so that the search
  // there prices every candidate the mid-range search prices, and finds no dearer routine
  // than one more instruction. The other cores spend the budget as they always have.
  const int allowance = names.core == Core::kBaseline ? 1 : 0;
  for (const Ranked& entry : ranked) {
    // Enough routines priced: the count asked for, or fewer when they are long, which keeps a
    // request for a long routine about as cheap as one for a short one.
    if (priced >= effort.priced ||
        priced_instructions - allowance * priced >= effort.priced_instructions) {
      break;
    }
    const ProofMemo::Proven proven = offset_and_proof(entry.candidate, target, effort);
    if (!proven) continue;
    const auto& [candidate, proof] = *proven;
    ++counts.proven;
    EmittedRoutine routine = emit_candidate(candidate, target, names, output_bytes);
    ++priced;
    ++counts.priced;
    priced_instructions += routine.instructions;
    EmittedRoutine judged = whole ? whole(routine) : EmittedRoutine{};
    if (!best.result || (whole ? better_routine(judged, best.judged, names)
                               : better_routine(routine, best.result->routine, names))) {
      best.result = SearchResult{candidate, proof, std::move(routine), 0, 0, 0};
      best.judged = std::move(judged);
    }
  }
}

}  // namespace

std::optional<SearchResult> find_cheapest(const ResultTarget& target, const RoutineNames& names,
                                          const SearchEffort& effort, int output_bytes,
                                          const WholeRoutine& whole) {
  Kept best;
  SearchResult counts;
  // The plain walks first, then the factored forms with a budget of their own: a factored
  // routine replaces a plain one only when it is cheaper, so adding forms never makes a
  // routine dearer.
  std::vector<Candidate> plain = make_candidates(target, effort.exhaustive_bits);
  if (!names.rem.empty()) {
    // With a remainder the correction steps have it almost for free while another walk must
    // make it from scratch: the estimates of the two kinds compare poorly, so each kind gets
    // a budget of its own, the corrected ones first.
    std::vector<Candidate> corrected;
    std::erase_if(plain, [&](const Candidate& c) {
      if (c.corrections > 0) corrected.push_back(c);
      return c.corrections > 0;
    });
    search_group(corrected, target, names, effort, output_bytes, whole, best, counts);
  }
  search_group(plain, target, names, effort, output_bytes, whole, best, counts);
  if (effort.factored) {
    // Their estimates are rougher: more of them are priced, within the same budget of
    // instructions.
    SearchEffort factored = effort;
    factored.priced = 2 * effort.priced;
    search_group(make_factored_candidates(target), target, names, factored, output_bytes, whole,
                 best, counts);
  }
  if (effort.other && !whole) {
    std::optional<SearchResult> other =
        effort.other(target, names, output_bytes, effort.exhaustive_bits);
    if (other && (!best.result || better_routine(other->routine, best.result->routine, names))) {
      best.result = std::move(*other);
    }
  }
  if (best.result) {
    best.result->made = counts.made;
    best.result->proven = counts.proven;
    best.result->priced = counts.priced;
  }
  return best.result;
}

std::optional<SpecResult> find_cheapest_routine(const ExactSpec& spec, const RoutineNames& names,
                                                const SearchEffort& effort) {
  std::optional<SpecResult> best = find_cheapest_form_on_core(spec, names, effort);
  if (best || spec.input_bits <= effort.exhaustive_bits) return best;
  // Nothing proven: the affine bound is too loose for these candidates. Evaluating every input
  // (up to 16 bits) proves what it could not, at a cost that only such requests pay.
  SearchEffort thorough = effort;
  thorough.exhaustive_bits = std::max(effort.exhaustive_bits, 16);
  return find_cheapest_form_on_core(spec, names, thorough);
}

const ProofMemo::Proven* ProofMemo::find(const std::string& key) const {
  const auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

void ProofMemo::add(const std::string& key, Proven proven) {
  entries_.emplace(key, std::move(proven));
}

std::optional<SpecResult> find_cheapest_form_on_core(const ExactSpec& spec,
                                                     const RoutineNames& names,
                                                     const SearchEffort& given) {
  if (names.core != Core::kEnhanced) return find_cheapest_form(spec, names, given);
  // The enhanced core runs every mid-range routine too. The superoptimizer's rules, learned
  // mostly from mid-range routines, may shorten that one further: the shorter of the two, so
  // that no request gets a longer routine on the enhanced core. Both searches prove the same
  // candidates: once, for both.
  ProofMemo memo;
  SearchEffort effort = given;
  if (!effort.proofs) effort.proofs = &memo;
  std::optional<SpecResult> best = find_cheapest_form(spec, names, effort);
  RoutineNames midrange = names;
  midrange.core = Core::kMidrange;
  std::optional<SpecResult> other = find_cheapest_form(spec, midrange, effort);
  if (other && (!best || other->routine.instructions < best->routine.instructions)) return other;
  return best;
}

std::optional<SpecResult> find_cheapest_form(const ExactSpec& spec, const RoutineNames& names,
                                             const SearchEffort& effort) {
  std::optional<SpecResult> best;
  for (const Form& form : forms_of(spec)) {
    if (!form_agrees(form, spec) || form.inner.result_bits == 0) continue;
    // A remainder only from a form whose unsigned routine's remainder is the request's.
    if (!names.rem.empty() && !remainder_fits(make_remainder_spec(spec), form.inner)) continue;
    // The baseline core's search judges each routine as the whole routine it ends up in, the
    // cleanup of the whole included, which may favour another than the unsigned routine
    // alone would. The other cores choose as they always have.
    const WholeRoutine whole = names.core == Core::kBaseline
                                   ? WholeRoutine([&](const EmittedRoutine& r) {
                                       return wrap_form(form, r, spec, names, effort.superopt);
                                     })
                                   : WholeRoutine();
    std::optional<SearchResult> inner =
        find_cheapest(form.inner, names, effort, spec_output_bytes(spec), whole);
    if (!inner) continue;
    EmittedRoutine routine = wrap_form(form, inner->routine, spec, names, effort.superopt);
    if (!best || better_routine(routine, best->routine, names)) {
      best = SpecResult{form, std::move(*inner), std::move(routine)};
    }
  }
  return best;
}

}  // namespace tarvek

#include "digits/plan_proof.h"

#include <vector>

#include "digits/plan_analysis.h"

namespace tarvek {
namespace {

__extension__ typedef __int128 Int128;

bool valid_source(const ColumnPlan& plan, const Source& source) {
  const std::size_t count =
      source.kind == SourceKind::kPart ? plan.parts.size() : plan.groups.size();
  return source.index >= 0 && static_cast<std::size_t>(source.index) < count;
}

// (a): every input bit in exactly one part, each part within one byte.
bool parts_cover_input(const ColumnPlan& plan, const DigitSpec& spec) {
  std::vector<int> covered(static_cast<std::size_t>(spec.input_bits), 0);
  for (const InputPart& part : plan.parts) {
    if (part.bits < 1 || part.bits > 8 || part.low < 0 || part.low + part.bits > spec.input_bits ||
        part.low / 8 != (part.low + part.bits - 1) / 8) {
      return false;
    }
    for (int i = part.low; i < part.low + part.bits; ++i) ++covered[static_cast<std::size_t>(i)];
  }
  for (const int c : covered) {
    if (c != 1) return false;
  }
  return true;
}

// (b): each part's coefficients, through every source that reaches it, weigh 2^low over the
// columns' places, and the constants weigh 0. Every term is below 2^9 times a place below
// 2^41 over at most 32 columns: Int128 holds every sum.
bool terms_keep_value(const ColumnPlan& plan, const DigitSpec& spec) {
  std::vector<Int128> part_weight(plan.parts.size(), 0);
  std::vector<Int128> group_weight(plan.groups.size(), 0);
  std::vector<Int128> half_weight(plan.groups.size(), 0);
  std::vector<Int128> odd_weight(plan.groups.size(), 0);
  Int128 constants = 0;
  Int128 place = 1;
  for (const Column& column : plan.columns) {
    for (const Chunk& chunk : column.chunks) {
      constants += place * chunk.constant;
      for (const ColumnTerm& term : chunk.terms) {
        const auto index = static_cast<std::size_t>(term.source.index);
        const Int128 weight = place * term.coefficient;
        switch (term.source.kind) {
          case SourceKind::kPart:
            part_weight[index] += weight;
            break;
          case SourceKind::kGroup:
            group_weight[index] += weight;
            break;
          case SourceKind::kHalf:
            half_weight[index] += weight;
            break;
          case SourceKind::kOdd:
            odd_weight[index] += weight;
            break;
        }
      }
    }
    place *= spec.base;
  }
  if (constants != 0) return false;
  for (std::size_t g = 0; g < plan.groups.size(); ++g) {
    // h (g >> 1) + o (g & 1) is o g exactly when h = 2 o.
    if (half_weight[g] != 2 * odd_weight[g]) return false;
    for (const int p : plan.groups[g].parts) {
      part_weight[static_cast<std::size_t>(p)] += group_weight[g] + odd_weight[g];
    }
  }
  for (std::size_t p = 0; p < plan.parts.size(); ++p) {
    if (part_weight[p] != Int128{1} << plan.parts[p].low) return false;
  }
  return true;
}

// The plan run on x with exact integers: every chunk's value in 0..255 and the digits of x.
bool model_gives_digits(const ColumnPlan& plan, const DigitSpec& spec, uint64_t x) {
  std::vector<int64_t> groups(plan.groups.size(), 0);
  const auto part = [&](int p) {
    const InputPart& field = plan.parts[static_cast<std::size_t>(p)];
    return static_cast<int64_t>((x >> field.low) & ((uint64_t{1} << field.bits) - 1));
  };
  for (std::size_t g = 0; g < plan.groups.size(); ++g) {
    for (const int p : plan.groups[g].parts) groups[g] += part(p);
  }
  const auto value = [&](const Source& source) -> int64_t {
    if (source.kind == SourceKind::kPart) return part(source.index);
    const int64_t g = groups[static_cast<std::size_t>(source.index)];
    return source.kind == SourceKind::kGroup ? g : source.kind == SourceKind::kHalf ? g / 2 : g % 2;
  };
  std::vector<int64_t> carried(plan.columns.size(), 0);
  uint64_t rest = x;
  for (std::size_t k = 0; k < plan.columns.size(); ++k) {
    int64_t remainder = 0;
    for (std::size_t c = 0; c < plan.columns[k].chunks.size(); ++c) {
      const Chunk& chunk = plan.columns[k].chunks[c];
      const int64_t before = remainder;
      int64_t v = (c == 0 ? carried[k] : chunk.fresh ? 0 : remainder) + chunk.constant;
      for (const ColumnTerm& term : chunk.terms) v += term.coefficient * value(term.source);
      if (chunk.levels > 0 && (v < 0 || v > 255)) return false;
      for (int i = chunk.levels; i >= 1; --i) {
        int64_t p = 1;
        for (int j = 0; j < i; ++j) p *= spec.base;
        if (v / p != 0 && k + static_cast<std::size_t>(i) >= plan.columns.size()) return false;
        if (v / p != 0) carried[k + static_cast<std::size_t>(i)] += v / p;
        v %= p;
      }
      remainder = v;
      if (chunk.fresh) {
        remainder = before + v;
        if (remainder >= spec.base) {
          remainder -= spec.base;
          if (k + 1 >= plan.columns.size()) return false;
          ++carried[k + 1];
        }
      }
    }
    if (remainder != static_cast<int64_t>(rest % static_cast<uint64_t>(spec.base))) return false;
    rest /= static_cast<uint64_t>(spec.base);
  }
  return true;
}

}  // namespace

bool is_well_formed(const ColumnPlan& plan, const DigitSpec& spec) {
  if (static_cast<int>(plan.columns.size()) != spec.count || !parts_cover_input(plan, spec)) {
    return false;
  }
  for (const Group& group : plan.groups) {
    if (group.parts.empty()) return false;
    for (const int p : group.parts) {
      if (p < 0 || static_cast<std::size_t>(p) >= plan.parts.size()) return false;
    }
  }
  for (std::size_t g = 0; g < plan.groups.size(); ++g) {
    // A group is summed in one byte.
    if (source_max(plan, Source{SourceKind::kGroup, static_cast<int>(g)}) > 255) return false;
  }
  for (std::size_t k = 0; k < plan.columns.size(); ++k) {
    const std::vector<Chunk>& chunks = plan.columns[k].chunks;
    const bool top = k + 1 == plan.columns.size();
    if (chunks.empty() || (top && chunks.size() != 1)) return false;
    for (std::size_t c = 0; c < chunks.size(); ++c) {
      const Chunk& chunk = chunks[c];
      if (top ? chunk.levels != 0 : chunk.levels < 1) return false;
      if (chunk.fresh && (c == 0 || top)) return false;
      for (const ColumnTerm& term : chunk.terms) {
        if (!valid_source(plan, term.source) || term.coefficient == 0) return false;
      }
    }
  }
  return true;
}

DigitProof prove_plan(const ColumnPlan& plan, const DigitSpec& spec, int exhaustive_bits) {
  DigitProof proof;
  if (!is_well_formed(plan, spec)) {
    proof.failure = "not well formed";
    return proof;
  }
  if (!terms_keep_value(plan, spec)) {
    proof.failure = "the terms do not add up to the input";
    return proof;
  }
  proof.analysis = analyze(plan, spec);
  if (!proof.analysis) {
    proof.failure = "a chunk's value leaves a byte or its comparisons fail";
    return proof;
  }
  if (spec.input_bits <= exhaustive_bits) {
    const uint64_t largest = (uint64_t{1} << spec.input_bits) - 1;
    for (uint64_t x = 0; x <= largest; ++x) {
      if (!model_gives_digits(plan, spec, x)) {
        proof.failure = "the model misses the digits of " + std::to_string(x);
        return proof;
      }
    }
    proof.inputs_evaluated = largest + 1;
  }
  // A plan whose ranges are those of every input had every input evaluated by the analysis.
  if (plan.every_input) proof.inputs_evaluated = uint64_t{1} << spec.input_bits;
  proof.holds = true;
  return proof;
}

}  // namespace tarvek

#include "digits/plan_families.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

#include "digits/every_input.h"
#include "digits/plan_analysis.h"

namespace tarvek {
namespace {

// The digits of 2^low in base b, least significant first; a digit above `balance_above`
// becomes digit - b with one carried up, except in the top column, which no carry may leave.
std::vector<int> weight_digits(const DigitSpec& spec, int low, int balance_above) {
  std::vector<int> digits(static_cast<std::size_t>(spec.count), 0);
  uint64_t value = uint64_t{1} << low;
  for (int& digit : digits) {
    digit = static_cast<int>(value % static_cast<uint64_t>(spec.base));
    value /= static_cast<uint64_t>(spec.base);
  }
  int carry = 0;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    int w = digits[k] + carry;
    carry = 0;
    if (w > balance_above && k + 1 < digits.size()) {
      w -= spec.base;
      carry = 1;
    }
    digits[k] = w;
  }
  return digits;
}

// The group of exactly these parts, made when new.
int group_of(ColumnPlan& plan, std::vector<int> parts) {
  std::sort(parts.begin(), parts.end());
  for (std::size_t g = 0; g < plan.groups.size(); ++g) {
    if (plan.groups[g].parts == parts) return static_cast<int>(g);
  }
  plan.groups.push_back(Group{parts});
  return static_cast<int>(plan.groups.size() - 1);
}

bool is_one_bit(const ColumnPlan& plan, const Source& source) {
  return source.kind == SourceKind::kPart &&
         plan.parts[static_cast<std::size_t>(source.index)].bits == 1;
}

// The parts' terms of every column, the parts that share a coefficient of two or more in a
// column summed in a group (a one-bit part is added as a literal anyway).
std::vector<std::vector<ColumnTerm>> grouped_terms(ColumnPlan& plan, const DigitSpec& spec,
                                                   int balance_above) {
  std::vector<std::vector<ColumnTerm>> columns(static_cast<std::size_t>(spec.count));
  std::vector<std::vector<int>> weights;
  for (const InputPart& part : plan.parts) {
    weights.push_back(weight_digits(spec, part.low, balance_above));
  }
  for (std::size_t k = 0; k < columns.size(); ++k) {
    std::vector<std::pair<int, std::vector<int>>> shared;
    for (std::size_t p = 0; p < plan.parts.size(); ++p) {
      const int w = weights[p][k];
      if (w == 0) continue;
      const Source part{SourceKind::kPart, static_cast<int>(p)};
      if (std::abs(w) < 2 || is_one_bit(plan, part)) {
        columns[k].push_back(ColumnTerm{part, w});
        continue;
      }
      auto same =
          std::find_if(shared.begin(), shared.end(), [&](const auto& s) { return s.first == w; });
      if (same == shared.end()) {
        shared.push_back({w, {static_cast<int>(p)}});
      } else {
        same->second.push_back(static_cast<int>(p));
      }
    }
    for (const auto& [w, parts] : shared) {
      if (parts.size() == 1) {
        columns[k].push_back(ColumnTerm{Source{SourceKind::kPart, parts[0]}, w});
      } else {
        columns[k].push_back(ColumnTerm{Source{SourceKind::kGroup, group_of(plan, parts)}, w});
      }
    }
  }
  return columns;
}

// w g as (w - s b/2) g + s (b/2) (g & 1) and s (g >> 1) one column up (s the sign of w), for
// every term whose coefficient reaches `from` in size, below the top column: |w| g shrinks to
// |w - s b/2| g, for b/2 and half of g one column up.
void halve_terms(ColumnPlan& plan, const DigitSpec& spec, int from,
                 std::vector<std::vector<ColumnTerm>>& columns) {
  const int half = spec.base / 2;
  for (std::size_t k = 0; k + 1 < columns.size(); ++k) {
    std::vector<ColumnTerm> kept;
    for (const ColumnTerm& term : columns[k]) {
      const bool halvable =
          std::abs(term.coefficient) >= from && !is_one_bit(plan, term.source) &&
          (term.source.kind == SourceKind::kPart || term.source.kind == SourceKind::kGroup);
      if (!halvable) {
        kept.push_back(term);
        continue;
      }
      const int g = term.source.kind == SourceKind::kGroup ? term.source.index
                                                           : group_of(plan, {term.source.index});
      const int sign = term.coefficient > 0 ? 1 : -1;
      if (term.coefficient != sign * half) {
        kept.push_back(ColumnTerm{Source{SourceKind::kGroup, g}, term.coefficient - sign * half});
      }
      kept.push_back(ColumnTerm{Source{SourceKind::kOdd, g}, sign * half});
      columns[k + 1].push_back(ColumnTerm{Source{SourceKind::kHalf, g}, sign});
    }
    columns[k] = kept;
  }
}

// The column-by-column packing of terms into chunks, with the carries and constants that
// pass from one column to the next.
class Packer {
 public:
  Packer(ColumnPlan& plan, const DigitSpec& spec, bool deep)
      : plan_(plan),
        spec_(spec),
        deep_(deep),
        every_(plan.every_input ? std::optional<EveryInput>(std::in_place, plan, spec)
                                : std::nullopt),
        carries_(static_cast<std::size_t>(spec.count)),
        constants_(static_cast<std::size_t>(spec.count), 0) {}

  // Packs column k's terms; false when some chunk cannot be made.
  bool pack(int k, std::vector<ColumnTerm> terms) {
    Column& column = plan_.columns[static_cast<std::size_t>(k)];
    if (k == spec_.count - 1) {
      column.chunks.push_back(Chunk{terms, constants_[static_cast<std::size_t>(k)], 0});
      return true;
    }
    std::stable_sort(terms.begin(), terms.end(), [&](const ColumnTerm& a, const ColumnTerm& b) {
      return extent(a) > extent(b);
    });
    Chunk chunk;
    for (const ColumnTerm& term : terms) {
      chunk.terms.push_back(term);
      if (fits(k, column, chunk)) continue;
      chunk.terms.pop_back();
      // A chunk that cannot take the term with the remainder before it leaves that aside.
      if (chunk.terms.empty() && !column.chunks.empty()) {
        if (chunk.fresh) return false;
        chunk.fresh = true;
        chunk.terms.push_back(term);
        if (fits(k, column, chunk)) continue;
        return false;
      }
      // The term starts a chunk of its own; a first chunk may hold the carries alone.
      if (!close(k, column, chunk)) return false;
      chunk = Chunk{{term}, 0, 1, false};
      if (fits(k, column, chunk)) continue;
      chunk.fresh = true;
      if (!fits(k, column, chunk)) return false;
    }
    return close(k, column, chunk);
  }

 private:
  int64_t extent(const ColumnTerm& term) const {
    return std::abs(static_cast<int64_t>(term.coefficient)) * source_max(plan_, term.source);
  }

  // The chunk's raw range, with the carries into a first chunk or the remainder before a
  // later one, and the constant it starts with.
  std::pair<int64_t, int64_t> raw_range(int k, const Column& column, const Chunk& chunk) const {
    auto [low, high] = term_range(plan_, chunk);
    if (column.chunks.empty()) {
      for (const Carry& carry : carries_[static_cast<std::size_t>(k)]) {
        low += carry.low;
        high += carry.high;
      }
    } else if (!chunk.fresh) {
      high += spec_.base - 1;
    }
    return {low, high};
  }

  int starting_constant(int k, const Column& column) const {
    return column.chunks.empty() ? constants_[static_cast<std::size_t>(k)] : 0;
  }

  // The least multiple of the base that makes the chunk's value non-negative.
  int64_t offset(int64_t low, int constant) const {
    const int64_t below = -(low + constant);
    return below <= 0 ? 0 : (below + spec_.base - 1) / spec_.base * spec_.base;
  }

  bool fits(int k, const Column& column, const Chunk& chunk) const {
    const auto [low, high] = raw_range(k, column, chunk);
    const int constant = starting_constant(k, column);
    return high + constant + offset(low, constant) <= 255;
  }

  // Gives the chunk its constant and levels and passes its carries and offset on.
  bool close(int k, Column& column, Chunk chunk) {
    const int c = static_cast<int>(column.chunks.size());
    std::vector<int32_t> values;
    int64_t low = 0;
    int64_t high = 0;
    if (every_) {
      values = every_->raw_values(k, c, chunk);
      const auto [least, most] = std::minmax_element(values.begin(), values.end());
      low = *least;
      high = *most;
    } else {
      std::tie(low, high) = raw_range(k, column, chunk);
    }
    const int start = starting_constant(k, column);
    const int64_t added = offset(low, start);
    chunk.constant = static_cast<int>(start + added);
    chunk.levels = 1;
    const int64_t value_high = high + chunk.constant;
    int64_t next = static_cast<int64_t>(spec_.base) * spec_.base;
    while (deep_ && k + chunk.levels + 1 < spec_.count && next <= value_high) {
      ++chunk.levels;
      next *= spec_.base;
    }
    const std::optional<ChunkShape> shape =
        make_shape(spec_.base, chunk.levels, low, high, chunk.constant);
    if (!shape) return false;
    for (int i = 1; i <= chunk.levels; ++i) {
      const auto [q_low, q_high] = shape->quotients[static_cast<std::size_t>(i - 1)];
      if (q_high == 0) continue;
      if (k + i >= spec_.count) return false;
      carries_[static_cast<std::size_t>(k + i)].push_back(
          Carry{k, static_cast<int>(column.chunks.size()), i, q_low, q_high});
    }
    if (chunk.fresh) {
      if (k + 1 >= spec_.count) return false;
      carries_[static_cast<std::size_t>(k + 1)].push_back(
          Carry{k, static_cast<int>(column.chunks.size()), 0, 0, 1});
    }
    constants_[static_cast<std::size_t>(k + 1)] -= static_cast<int>(added / spec_.base);
    if (every_) every_->split(k, c, chunk, std::move(values));
    column.chunks.push_back(chunk);
    return true;
  }

  ColumnPlan& plan_;
  const DigitSpec& spec_;
  bool deep_;
  // Every input's values, for a plan whose ranges are taken over every input.
  std::optional<EveryInput> every_;
  std::vector<std::vector<Carry>> carries_;
  std::vector<int> constants_;
};

std::string plan_name(const PlanChoices& choices) {
  std::string name = choices.part_bits == 8 ? "bytes" : choices.part_bits == 4 ? "nibbles" : "bits";
  if (choices.balance_above < 256) {
    name += ", digits above ";
    name += std::to_string(choices.balance_above);
    name += " balanced";
  }
  if (choices.halve_from > 0) {
    name += ", halves from ";
    name += std::to_string(choices.halve_from);
  }
  if (choices.deep_levels) name += ", several places at once";
  if (choices.every_input) name += ", ranges of every input";
  return name;
}

}  // namespace

std::optional<ColumnPlan> make_plan(const DigitSpec& spec, const PlanChoices& choices) {
  if (choices.every_input && spec.input_bits > kEveryInputBits) return std::nullopt;
  ColumnPlan plan;
  plan.name = plan_name(choices);
  plan.choices = choices;
  plan.every_input = choices.every_input;
  for (int low = 0; low < spec.input_bits; low += choices.part_bits) {
    plan.parts.push_back(InputPart{low, std::min(choices.part_bits, spec.input_bits - low)});
  }
  std::vector<std::vector<ColumnTerm>> columns = grouped_terms(plan, spec, choices.balance_above);
  if (choices.halve_from > 0 && spec.base % 2 == 0 && spec.base >= 4) {
    halve_terms(plan, spec, choices.halve_from, columns);
  }
  plan.columns.resize(static_cast<std::size_t>(spec.count));
  Packer packer(plan, spec, choices.deep_levels);
  for (int k = 0; k < spec.count; ++k) {
    if (!packer.pack(k, columns[static_cast<std::size_t>(k)])) return std::nullopt;
  }
  return plan;
}

std::vector<ColumnPlan> make_plans(const DigitSpec& spec) {
  std::vector<ColumnPlan> plans;
  // Digits balanced above half the base, or only those above it by one or two; terms halved
  // from half the base on, or from one less.
  const int half = spec.base / 2;
  const bool halving = spec.base % 2 == 0 && spec.base >= 4;
  for (const int part_bits : {8, 4, 1}) {
    for (const int balance_above : {256, half, half + 1, half + 2}) {
      for (const int halve_from : {0, half, half - 1}) {
        if (halve_from > 0 && (!halving || halve_from < 2)) continue;
        for (const bool deep : {false, true}) {
          if (std::optional<ColumnPlan> plan =
                  make_plan(spec, PlanChoices{part_bits, balance_above, halve_from, deep})) {
            plans.push_back(std::move(*plan));
          }
        }
      }
    }
  }
  return plans;
}

}  // namespace tarvek

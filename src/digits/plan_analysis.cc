#include "digits/plan_analysis.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <tuple>

#include "digits/every_input.h"

namespace tarvek {
namespace {

int64_t power_of(int base, int level) {
  int64_t p = 1;
  for (int i = 0; i < level; ++i) p *= base;
  return p;
}

}  // namespace

int comparison_value(int base, int level, int bit) {
  return static_cast<int>(power_of(base, level) << bit);
}

std::pair<int64_t, int64_t> term_range(const ColumnPlan& plan, const Chunk& chunk) {
  int64_t low = 0;
  int64_t high = 0;
  for (const ColumnTerm& term : chunk.terms) {
    const int64_t extreme = static_cast<int64_t>(term.coefficient) * source_max(plan, term.source);
    low += std::min<int64_t>(0, extreme);
    high += std::max<int64_t>(0, extreme);
  }
  return {low, high};
}

std::optional<ChunkShape> make_shape(int base, int levels, int64_t raw_low, int64_t raw_high,
                                     int constant) {
  ChunkShape shape;
  shape.raw_low = raw_low;
  shape.raw_high = raw_high;
  shape.constant = constant;
  shape.levels = levels;
  if (levels == 0) return shape;
  const int64_t low = raw_low + constant;
  const int64_t high = raw_high + constant;
  if (low < 0 || high > 255) return std::nullopt;
  shape.level_bits.assign(static_cast<std::size_t>(levels), 0);
  shape.quotients.assign(static_cast<std::size_t>(levels), {0, 0});
  // The value each level splits is below base^(i + 1) once the levels above have taken their
  // quotients.
  int64_t top = high;
  bool compares = false;
  for (int i = levels; i >= 1; --i) {
    const int64_t p = power_of(base, i);
    const int64_t most = top / p;
    const auto index = static_cast<std::size_t>(i - 1);
    shape.level_bits[index] = std::bit_width(static_cast<uint64_t>(most));
    shape.quotients[index] = {i == levels ? low / p : 0, most};
    compares = compares || most > 0;
    top = std::min(high, p - 1);
  }
  if (constant != 0 && compares) {
    shape.folded = true;
    if (shape_holds(base, shape)) return shape;
    shape.folded = false;
  }
  if (!shape_holds(base, shape)) return std::nullopt;
  return shape;
}

bool shape_holds(int base, const ChunkShape& shape) {
  if (shape.levels == 0) return true;
  assert(shape.raw_high - shape.raw_low < (int64_t{1} << 16));
  for (int64_t raw = shape.raw_low; raw <= shape.raw_high; ++raw) {
    // W holds the raw value modulo 256.
    int w = static_cast<int>(((raw % 256) + 256) % 256);
    if (shape.constant != 0 && !shape.folded) w = (w + shape.constant) & 0xFF;
    bool first = true;
    int64_t value = raw + shape.constant;
    for (int i = shape.levels; i >= 1; --i) {
      int quotient = 0;
      for (int j = shape.level_bits[static_cast<std::size_t>(i - 1)] - 1; j >= 0; --j) {
        const int k = comparison_value(base, i, j);
        const int literal = (first && shape.folded ? shape.constant - k : -k) & 0xFF;
        first = false;
        const int sum = w + literal;
        const bool bit = sum >= 256;
        w = sum & 0xFF;
        if (!bit) w = (w + k) & 0xFF;
        quotient = 2 * quotient + (bit ? 1 : 0);
      }
      const int64_t p = power_of(base, i);
      if (quotient != value / p) return false;
      value -= quotient * p;
    }
    if (value >= base || w != value) return false;
  }
  return true;
}

bool remainders_add_up(int base) {
  for (int r = 0; r < base; ++r) {
    for (int before = 0; before < base; ++before) {
      const int sum = ((r - base) & 0xFF) + before;
      const bool carry = sum >= 256;
      int w = sum & 0xFF;
      if (!carry) w = (w + base) & 0xFF;
      if (carry != (r + before >= base) || w != (r + before) % base) return false;
    }
  }
  return true;
}

std::optional<PlanAnalysis> analyze(const ColumnPlan& plan, const DigitSpec& spec) {
  const int count = static_cast<int>(plan.columns.size());
  if (plan.every_input && spec.input_bits > kEveryInputBits) return std::nullopt;
  std::optional<EveryInput> every;
  if (plan.every_input) every.emplace(plan, spec);
  PlanAnalysis analysis;
  analysis.shapes.resize(static_cast<std::size_t>(count));
  analysis.carries.resize(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    const Column& column = plan.columns[static_cast<std::size_t>(k)];
    for (std::size_t c = 0; c < column.chunks.size(); ++c) {
      const Chunk& chunk = column.chunks[c];
      auto [low, high] = term_range(plan, chunk);
      // Every input's values, split as they go when the chunk is below the top column.
      if (every) {
        std::tie(low, high) = k + 1 < count ? every->split(k, static_cast<int>(c), chunk)
                                            : every->raw_range(k, static_cast<int>(c), chunk);
      } else if (c == 0) {
        for (const Carry& carry : analysis.carries[static_cast<std::size_t>(k)]) {
          low += carry.low;
          high += carry.high;
        }
      } else if (!chunk.fresh) {
        // The remainder the chunk before left.
        high += spec.base - 1;
      }
      const std::optional<ChunkShape> shape =
          make_shape(spec.base, chunk.levels, low, high, chunk.constant);
      if (!shape) return std::nullopt;
      for (int i = 1; i <= chunk.levels; ++i) {
        const auto [q_low, q_high] = shape->quotients[static_cast<std::size_t>(i - 1)];
        if (q_high == 0) continue;
        if (k + i >= count) return std::nullopt;
        analysis.carries[static_cast<std::size_t>(k + i)].push_back(
            Carry{k, static_cast<int>(c), i, q_low, q_high});
      }
      if (chunk.fresh) {
        // The two remainders, each below b, add up to less than 2 b.
        if (c == 0 || k + 1 >= count || !remainders_add_up(spec.base)) return std::nullopt;
        analysis.carries[static_cast<std::size_t>(k + 1)].push_back(
            Carry{k, static_cast<int>(c), 0, 0, 1});
      }
      analysis.shapes[static_cast<std::size_t>(k)].push_back(*shape);
    }
  }
  return analysis;
}

}  // namespace tarvek

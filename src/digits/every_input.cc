#include "digits/every_input.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace tarvek {

EveryInput::EveryInput(const ColumnPlan& plan, const DigitSpec& spec)
    : plan_(plan),
      spec_(spec),
      carried_(static_cast<std::size_t>(spec.count),
               std::vector<int32_t>(std::size_t{1} << spec.input_bits, 0)),
      remainder_(std::size_t{1} << spec.input_bits, 0) {
  assert(spec.input_bits <= kEveryInputBits);
  for (const Group& group : plan.groups) {
    std::vector<int16_t> values(remainder_.size(), 0);
    for (const int p : group.parts) {
      const InputPart& field = plan.parts[static_cast<std::size_t>(p)];
      const uint32_t mask = (1u << field.bits) - 1;
      for (std::size_t x = 0; x < values.size(); ++x) {
        values[x] = static_cast<int16_t>(values[x] + ((x >> field.low) & mask));
      }
    }
    groups_.push_back(std::move(values));
  }
}

std::vector<int32_t> EveryInput::raw_values(int k, int c, const Chunk& chunk) const {
  std::vector<int32_t> values = c == 0        ? carried_[static_cast<std::size_t>(k)]
                                : chunk.fresh ? std::vector<int32_t>(remainder_.size(), 0)
                                              : remainder_;
  const std::size_t count = values.size();
  for (const ColumnTerm& term : chunk.terms) {
    const int32_t w = term.coefficient;
    const auto index = static_cast<std::size_t>(term.source.index);
    switch (term.source.kind) {
      case SourceKind::kPart: {
        const InputPart& field = plan_.parts[index];
        const uint32_t mask = (1u << field.bits) - 1;
        for (std::size_t x = 0; x < count; ++x) {
          values[x] += w * static_cast<int32_t>((x >> field.low) & mask);
        }
        break;
      }
      case SourceKind::kGroup:
        for (std::size_t x = 0; x < count; ++x) values[x] += w * groups_[index][x];
        break;
      case SourceKind::kHalf:
        for (std::size_t x = 0; x < count; ++x) values[x] += w * (groups_[index][x] >> 1);
        break;
      case SourceKind::kOdd:
        for (std::size_t x = 0; x < count; ++x) values[x] += w * (groups_[index][x] & 1);
        break;
    }
  }
  return values;
}

std::pair<int64_t, int64_t> EveryInput::raw_range(int k, int c, const Chunk& chunk) const {
  const std::vector<int32_t> values = raw_values(k, c, chunk);
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  return {*low, *high};
}

std::pair<int64_t, int64_t> EveryInput::split(int k, int c, const Chunk& chunk,
                                              std::vector<int32_t> values) {
  const auto count = static_cast<int>(carried_.size());
  assert(k + 1 < count);
  if (values.empty()) values = raw_values(k, c, chunk);
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  // The quotient and what is left, at every level, of every value a byte holds: looked up
  // rather than divided. A value outside a byte has no shape, and is left as it is.
  struct Level {
    std::array<int16_t, 256> quotient;
    std::array<int16_t, 256> left;
    int32_t* carried;
  };
  std::vector<Level> levels;
  for (int i = chunk.levels; i >= 1; --i) {
    int32_t p = 1;
    for (int j = 0; j < i; ++j) p *= spec_.base;
    Level level{};
    for (int32_t v = 0; v < 256; ++v) {
      level.quotient[static_cast<std::size_t>(v)] = static_cast<int16_t>(v / p);
      level.left[static_cast<std::size_t>(v)] = static_cast<int16_t>(v % p);
    }
    level.carried = k + i < count ? carried_[static_cast<std::size_t>(k + i)].data() : nullptr;
    levels.push_back(level);
  }
  int32_t* next = carried_[static_cast<std::size_t>(k + 1)].data();
  const int32_t base = spec_.base;
  for (std::size_t x = 0; x < values.size(); ++x) {
    int32_t v = values[x] + chunk.constant;
    if (v >= 0 && v < 256) {
      for (const Level& level : levels) {
        const auto index = static_cast<std::size_t>(v);
        if (level.carried != nullptr) level.carried[x] += level.quotient[index];
        v = level.left[index];
      }
    }
    if (chunk.fresh) {
      v += remainder_[x];
      if (v >= base) {
        v -= base;
        ++next[x];
      }
    }
    remainder_[x] = v;
  }
  return {*low, *high};
}

}  // namespace tarvek

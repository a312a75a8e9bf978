#include "exact/byte_sharing.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <vector>

namespace tarvek {

SharedBytes share_scratch_bytes(const Code& code, int scratch) {
  SharedBytes shared{code, 0};
  if (scratch < 0) return shared;
  std::vector<Instruction>& instructions = shared.code.instructions();
  // Where each byte is used first and last, by instruction index; ordered by byte number.
  struct Use {
    std::size_t first = 0;
    std::size_t last = 0;
  };
  std::map<int, Use> uses;
  for (std::size_t i = 0; i < instructions.size(); ++i) {
    const Instruction& in = instructions[i];
    if (static_cast<int>(in.file) != scratch) continue;
    const auto [at, fresh] = uses.try_emplace(in.byte, Use{i, i});
    if (!fresh) at->second.last = i;
  }
  std::vector<std::pair<Use, int>> by_first;
  for (const auto& [byte, use] : uses) by_first.emplace_back(use, byte);
  std::sort(by_first.begin(), by_first.end(),
            [](const auto& a, const auto& b) { return a.first.first < b.first.first; });
  // Greedy by first use: an interval schedule, so no assignment needs fewer slots. Each slot
  // keeps the last use of its latest occupant.
  std::vector<std::size_t> slot_ends;
  std::map<int, int> slot_of;
  for (const auto& [use, byte] : by_first) {
    std::size_t slot = 0;
    while (slot < slot_ends.size() && slot_ends[slot] >= use.first) ++slot;
    if (slot == slot_ends.size()) slot_ends.push_back(0);
    slot_ends[slot] = use.last;
    slot_of[byte] = static_cast<int>(slot);
  }
  for (Instruction& in : instructions) {
    if (static_cast<int>(in.file) == scratch) in.byte = static_cast<int16_t>(slot_of[in.byte]);
  }
  shared.bytes = static_cast<int>(slot_ends.size());
  return shared;
}

}  // namespace tarvek

// Test-only: two stretches over slots run on the project's simulator (PicMachine, src/sim)
// rather than on the superoptimizer's own window machine, from every starting state of the
// bits either one's read results depend on, so that a replacement the superoptimizer proved is
// held to the oracle as well.
#ifndef TARVEK_SUPEROPT_SIMULATOR_CHECK_FOR_TESTS_H
#define TARVEK_SUPEROPT_SIMULATOR_CHECK_FOR_TESTS_H

#include <bit>
#include <string>
#include <vector>

#include "codegen/code.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"
#include "superopt/window.h"

namespace tarvek {

// Slot k of a stretch is the declared byte "S<k>".
inline std::vector<std::string> slot_byte_names() {
  std::vector<std::string> names;
  for (int k = 0; k < kWindowSlots; ++k) {
    std::string name = "S";
    name += std::to_string(k);
    names.push_back(name);
  }
  return names;
}

// The stretch as Code::text prints it, its slots as bytes of register S.
inline std::string stretch_text(const std::vector<SlotInstruction>& stretch) {
  Code code;
  const uint8_t s = code.register_number("S");
  Window window;
  for (int k = 0; k < kWindowSlots; ++k) window.slots.push_back({s, static_cast<int16_t>(k)});
  for (const Instruction& in : routine_instructions(window, stretch)) code.push_back(in);
  return code.text();
}

// The bits of starting state same_on_simulator ranges over.
inline int simulator_inputs(const std::vector<SlotInstruction>& original,
                            const std::vector<SlotInstruction>& replacement,
                            const WindowDemand& read_after, const WindowKnown& known = {}) {
  WindowDemand inputs = demand_before(original, read_after);
  const WindowDemand other = demand_before(replacement, read_after);
  int bits = 0;
  for (int p = 0; p < kWindowPlaces; ++p) {
    uint8_t mask = static_cast<uint8_t>((inputs[p] | other[p]) & ~known.mask[p]);
    if (p >= 1 && p < kFirstBytePlace) mask &= 1;
    bits += std::popcount(mask);
  }
  return bits;
}

// Whether the two leave every bit of `read_after` alike on the simulator from every state of
// the bits either one reads (at most `most_bits` of them) that agrees with `known`; false when
// they differ somewhere, when one does not parse for `core` or when the inputs are wider.
inline bool same_on_simulator(const std::vector<SlotInstruction>& original,
                              const std::vector<SlotInstruction>& replacement,
                              const WindowDemand& read_after, PicCore core, int most_bits = 22,
                              const WindowKnown& known = {}) {
  const ParseOutcome a = parse_instructions(stretch_text(original), slot_byte_names(), core);
  const ParseOutcome b = parse_instructions(stretch_text(replacement), slot_byte_names(), core);
  if (!a.program || !b.program) return false;
  WindowDemand inputs = demand_before(original, read_after);
  const WindowDemand other = demand_before(replacement, read_after);
  std::vector<std::pair<int, int>> bits;  // (place, bit)
  for (int p = 0; p < kWindowPlaces; ++p) {
    inputs[p] |= other[p];
    inputs[p] &= static_cast<uint8_t>(~known.mask[p]);
    for (int bit = 0; bit < (p >= 1 && p < kFirstBytePlace ? 1 : 8); ++bit) {
      if ((inputs[p] >> bit) & 1) bits.emplace_back(p, bit);
    }
  }
  if (static_cast<int>(bits.size()) > most_bits) return false;
  PicMachine x(*a.program);
  PicMachine y(*b.program);
  for (uint64_t v = 0; v < (uint64_t{1} << bits.size()); ++v) {
    for (PicMachine* m : {&x, &y}) {
      for (int k = 0; k < kWindowSlots; ++k) {
        m->set_byte_at(k, known.value[kFirstBytePlace + k]);
      }
      m->w = known.value[0];
      m->carry = (known.value[1] & 1) != 0;
      m->digit_carry = (known.value[2] & 1) != 0;
      m->zero = (known.value[3] & 1) != 0;
      for (std::size_t j = 0; j < bits.size(); ++j) {
        if (((v >> j) & 1) == 0) continue;
        const auto [place, bit] = bits[j];
        if (place == 0) m->w = static_cast<uint8_t>(m->w | (1u << bit));
        if (place == 1) m->carry = true;
        if (place == 2) m->digit_carry = true;
        if (place == 3) m->zero = true;
        if (place >= kFirstBytePlace) {
          const int k = place - kFirstBytePlace;
          m->set_byte_at(k, static_cast<uint8_t>(m->byte_at(k) | (1u << bit)));
        }
      }
      if (m->run().skipped_past_end) return false;
    }
    if (((x.w ^ y.w) & read_after[0]) != 0) return false;
    if ((read_after[1] && x.carry != y.carry) ||
        (read_after[2] && x.digit_carry != y.digit_carry) || (read_after[3] && x.zero != y.zero)) {
      return false;
    }
    for (int k = 0; k < kWindowSlots; ++k) {
      if (((x.byte_at(k) ^ y.byte_at(k)) & read_after[kFirstBytePlace + k]) != 0) return false;
    }
  }
  return true;
}

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_SIMULATOR_CHECK_FOR_TESTS_H

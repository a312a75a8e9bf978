#include "superopt/window.h"

#include <algorithm>
#include <bit>
#include <cassert>

namespace tarvek {
namespace {

bool has_file(Op op) {
  const OperandKind kind = operand_kind(op);
  return kind == OperandKind::kFileDest || kind == OperandKind::kFile ||
         kind == OperandKind::kFileBit;
}

// splitmix64, for the sample states.
uint64_t mix(uint64_t k) {
  uint64_t z = (k + 1) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<WindowState> make_samples() {
  std::vector<WindowState> states;
  // The extremes first: they catch a wrong carry or a wrong zero test at once.
  for (const uint8_t fill : {0x00, 0xFF, 0x80, 0x01}) {
    for (const bool flags : {false, true}) {
      WindowState s;
      s.bytes.fill(fill);
      s.w = fill;
      s.c = s.dc = s.z = flags;
      states.push_back(s);
    }
  }
  for (uint64_t k = 0; k < 56; ++k) {
    const uint64_t bits = mix(2 * k);
    const uint64_t more = mix(2 * k + 1);
    WindowState s;
    for (int i = 0; i < kWindowSlots; ++i) s.bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    s.w = static_cast<uint8_t>(more);
    s.c = (more & 0x100) != 0;
    s.dc = (more & 0x200) != 0;
    s.z = (more & 0x400) != 0;
    // Small values and equal bytes are where additions and comparisons turn.
    if (k % 4 == 1) s.bytes[1] = s.bytes[0];
    if (k % 4 == 2) s.w = s.bytes[0];
    if (k % 8 == 3) s.bytes[0] = static_cast<uint8_t>(k);
    states.push_back(s);
  }
  return states;
}

}  // namespace

std::optional<Window> make_window(const Code& code, const RoutineBytes& bytes,
                                  const std::vector<Demand>& demand, std::size_t start,
                                  std::size_t end, const std::vector<Known>* known) {
  assert(start < end && end <= code.size());
  const std::vector<Instruction>& ins = code.instructions();
  if (start > 0 && is_skip(ins[start - 1].op)) return std::nullopt;
  if (is_skip(ins[end - 1].op)) return std::nullopt;
  Window window;
  window.start = start;
  window.end = end;
  for (std::size_t i = start; i < end; ++i) {
    const Instruction& in = ins[i];
    SlotInstruction slot_in{in.op, 0, in.to_w, static_cast<uint8_t>(in.value)};
    if (has_file(in.op)) {
      const ByteRef byte{in.file, in.byte};
      std::size_t slot = 0;
      while (slot < window.slots.size() && !(window.slots[slot] == byte)) ++slot;
      if (slot == window.slots.size()) {
        if (slot == kWindowSlots) return std::nullopt;
        window.slots.push_back(byte);
      }
      slot_in.slot = static_cast<uint8_t>(slot);
    }
    window.code.push_back(slot_in);
  }
  const Demand& after = demand[end - 1];
  const Known* at_start = known ? &(*known)[start] : nullptr;
  for (int place = 0; place < kWindowPlaces; ++place) {
    int routine_place = place;
    if (place >= kFirstBytePlace) {
      const auto slot = static_cast<std::size_t>(place - kFirstBytePlace);
      if (slot >= window.slots.size()) break;
      routine_place = kFirstBytePlace + bytes.number_of(window.slots[slot]);
    }
    window.read_after[place] = after[routine_place];
    if (at_start) {
      window.known_before.mask[place] = at_start->mask[routine_place];
      window.known_before.value[place] = at_start->value[routine_place];
    }
  }
  return window;
}

std::vector<Instruction> routine_instructions(const Window& window,
                                              std::span<const SlotInstruction> code) {
  std::vector<Instruction> out;
  for (const SlotInstruction& s : code) {
    Instruction in;
    in.op = s.op;
    in.to_w = s.to_w && operand_kind(s.op) == OperandKind::kFileDest;
    if (has_file(s.op)) {
      assert(s.slot < window.slots.size());
      in.file = window.slots[s.slot].file;
      in.byte = window.slots[s.slot].byte;
    }
    const OperandKind kind = operand_kind(s.op);
    if (kind == OperandKind::kLiteral) in.value = static_cast<int8_t>(s.value);
    if (kind == OperandKind::kFileBit) in.value = s.value;
    out.push_back(in);
  }
  return out;
}

WindowDemand demand_before(std::span<const SlotInstruction> code, const WindowDemand& read_after) {
  const std::size_t n = code.size();
  // before[k] is what is read before instruction k; before[n] what is read after the stretch.
  std::vector<WindowDemand> before(n + 1);
  before[n] = read_after;
  for (std::size_t k = n; k-- > 0;) {
    WindowDemand m = before[k + 1];
    const SlotInstruction& in = code[k];
    if (is_skip(in.op)) {
      const WindowDemand& passed = before[std::min(n, k + 2)];
      for (int p = 0; p < kWindowPlaces; ++p) m[p] |= passed[p];
    }
    demand_through(in.op, in.to_w, in.value, has_file(in.op) ? kFirstBytePlace + in.slot : -1,
                   m.data());
    before[k] = m;
  }
  return before[0];
}

bool any_bit(const WindowDemand& demand) {
  for (const uint8_t bits : demand) {
    if (bits != 0) return true;
  }
  return false;
}

bool same_bits(const WindowState& a, const WindowState& b, const WindowDemand& demand) {
  if (((a.w ^ b.w) & demand[0]) != 0) return false;
  if (demand[1] != 0 && a.c != b.c) return false;
  if (demand[2] != 0 && a.dc != b.dc) return false;
  if (demand[3] != 0 && a.z != b.z) return false;
  for (int slot = 0; slot < kWindowSlots; ++slot) {
    if (((a.bytes[slot] ^ b.bytes[slot]) & demand[kFirstBytePlace + slot]) != 0) return false;
  }
  return true;
}

WindowState conform(WindowState state, const WindowKnown& known) {
  state.w = static_cast<uint8_t>((state.w & ~known.mask[0]) | known.value[0]);
  if (known.mask[1] & 1) state.c = known.value[1] & 1;
  if (known.mask[2] & 1) state.dc = known.value[2] & 1;
  if (known.mask[3] & 1) state.z = known.value[3] & 1;
  for (int slot = 0; slot < kWindowSlots; ++slot) {
    const int p = kFirstBytePlace + slot;
    state.bytes[slot] = static_cast<uint8_t>((state.bytes[slot] & ~known.mask[p]) | known.value[p]);
  }
  return state;
}

bool knows_all(const WindowKnown& wider, const WindowKnown& narrower) {
  for (int p = 0; p < kWindowPlaces; ++p) {
    if ((narrower.mask[p] & ~wider.mask[p]) != 0) return false;
    if (((wider.value[p] ^ narrower.value[p]) & narrower.mask[p]) != 0) return false;
  }
  return true;
}

WindowKnown known_at(std::span<const SlotInstruction> code, std::size_t position,
                     const WindowKnown& at_start) {
  // As known_before over a routine: after a skip, the instruction after next joins what the
  // skip left.
  std::vector<WindowKnown> before(position + 2);
  std::vector<bool> reached(position + 2, false);
  before[0] = at_start;
  reached[0] = true;
  const auto join = [&](std::size_t at, const WindowKnown& k) {
    if (!reached[at]) {
      before[at] = k;
      reached[at] = true;
      return;
    }
    for (int p = 0; p < kWindowPlaces; ++p) {
      const auto agree = static_cast<uint8_t>(before[at].mask[p] & k.mask[p] &
                                              ~(before[at].value[p] ^ k.value[p]));
      before[at].mask[p] = agree;
      before[at].value[p] &= agree;
    }
  };
  for (std::size_t i = 0; i < position; ++i) {
    WindowKnown after = before[i];
    const SlotInstruction& in = code[i];
    known_through(in.op, in.to_w, in.value, has_file(in.op) ? kFirstBytePlace + in.slot : -1,
                  after.mask.data(), after.value.data());
    join(i + 1, after);
    if (is_skip(in.op)) join(std::min(position, i + 2), after);
  }
  return before[position];
}

Equivalence prove_same(std::span<const SlotInstruction> original,
                       std::span<const SlotInstruction> replacement, const WindowDemand& read_after,
                       int most_input_bits, const WindowKnown& known) {
  // The bits either stretch's read results can depend on and that are not known; the known
  // ones take their values, the rest stay 0.
  WindowDemand inputs = demand_before(original, read_after);
  const WindowDemand other = demand_before(replacement, read_after);
  int bits = 0;
  for (int p = 0; p < kWindowPlaces; ++p) {
    inputs[p] |= other[p];
    if (p >= 1 && p <= 3) inputs[p] &= 1;
    inputs[p] &= static_cast<uint8_t>(~known.mask[p]);
    bits += std::popcount(inputs[p]);
  }
  if (bits > most_input_bits) return Equivalence::kTooWide;
  // Input bit j of the counter goes to bit `bit` of place `place`.
  struct Target {
    int place;
    uint8_t bit;
  };
  std::vector<Target> targets;
  for (int p = 0; p < kWindowPlaces; ++p) {
    for (int b = 0; b < 8; ++b) {
      if ((inputs[p] >> b) & 1) targets.push_back({p, static_cast<uint8_t>(1u << b)});
    }
  }
  const uint64_t count = uint64_t{1} << bits;
  const WindowState base = conform(WindowState{}, known);
  for (uint64_t v = 0; v < count; ++v) {
    WindowState start = base;
    for (std::size_t j = 0; j < targets.size(); ++j) {
      if (((v >> j) & 1) == 0) continue;
      const Target& t = targets[j];
      switch (t.place) {
        case 0:
          start.w |= t.bit;
          break;
        case 1:
          start.c = true;
          break;
        case 2:
          start.dc = true;
          break;
        case 3:
          start.z = true;
          break;
        default:
          start.bytes[t.place - kFirstBytePlace] |= t.bit;
      }
    }
    WindowState a = start;
    WindowState b = start;
    run(original, a);
    run(replacement, b);
    if (!same_bits(a, b, read_after)) return Equivalence::kDiffers;
  }
  return Equivalence::kSame;
}

const std::vector<WindowState>& sample_states() {
  static const std::vector<WindowState> states = make_samples();
  return states;
}

}  // namespace tarvek

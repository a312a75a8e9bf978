#include "superopt/liveness.h"

#include <algorithm>
#include <cassert>

#include "codegen/instruction_set.h"
#include "superopt/window_machine.h"

namespace tarvek {
namespace {

constexpr int kW = 0;
constexpr int kC = 1;
constexpr int kDC = 2;
constexpr int kZ = 3;

uint8_t all_if(uint8_t flag) {
  return flag != 0 ? 0xFF : 0;
}

// Every bit from the highest set one down: the operand bits a sum's result bits depend on.
uint8_t and_below(uint8_t x) {
  x |= static_cast<uint8_t>(x >> 1);
  x |= static_cast<uint8_t>(x >> 2);
  x |= static_cast<uint8_t>(x >> 4);
  return x;
}

uint8_t swap_nibbles(uint8_t v) {
  return static_cast<uint8_t>((v << 4) | (v >> 4));
}

// What an addition or subtraction reads of each operand for the demanded result and flags.
uint8_t sum_operands(uint8_t result, const uint8_t* m) {
  return static_cast<uint8_t>(and_below(result) | all_if(m[kC] | m[kZ]) | (m[kDC] ? 0x0F : 0));
}

// Stores what an operation reading the file byte (and W when `reads_w`) needs of it, its
// result having gone to W or to the byte. `need` was computed from the demand after.
void file_operation(uint8_t need, bool to_w, bool reads_w, uint8_t* m, uint8_t* f) {
  if (to_w) {
    m[kW] = reads_w ? need : 0;
    *f |= need;
  } else {
    *f = need;
    if (reads_w) m[kW] |= need;
  }
}

}  // namespace

RoutineBytes::RoutineBytes(const Code& code) {
  for (const Instruction& in : code.instructions()) {
    if (in.file == kNoFile || in.file == kStatusFile || in.byte < 0) continue;
    if (numbers_.size() <= in.file) numbers_.resize(in.file + std::size_t{1});
    std::vector<int>& of_file = numbers_[in.file];
    const auto byte = static_cast<std::size_t>(in.byte);
    if (of_file.size() <= byte) of_file.resize(byte + 1, -1);
    if (of_file[byte] >= 0) continue;
    of_file[byte] = static_cast<int>(bytes_.size());
    bytes_.push_back({in.file, in.byte});
  }
}

int RoutineBytes::number_of(const Instruction& in) const {
  if (in.file == kNoFile || in.file == kStatusFile) return -1;
  return number_of(ByteRef{in.file, in.byte});
}

int RoutineBytes::number_of(ByteRef byte) const {
  if (byte.file >= numbers_.size() || byte.byte < 0) return -1;
  const std::vector<int>& of_file = numbers_[byte.file];
  const auto index = static_cast<std::size_t>(byte.byte);
  return index < of_file.size() ? of_file[index] : -1;
}

bool modelled(const Code& code, const RoutineBytes& bytes, Core core) {
  // The windows are proven on the mid-range family's flags; a core that sets them otherwise
  // would make a proven window wrong there.
  if (bytes.too_many() || !instruction_set(core).follows_midrange_flags()) return false;
  for (const Instruction& in : code.instructions()) {
    if (!runnable(in.op, core) || in.file == kStatusFile) return false;
    // Every file operand is a numbered byte.
    if (in.file != kNoFile && bytes.number_of(in) < 0) return false;
  }
  return true;
}

namespace {

// demand_through for a rotation or a shift, `result` being what is read of its result.
void demand_through_shift(Op op, bool to_w, uint8_t result, uint8_t* m, uint8_t* f) {
  if (op == Op::kRlf || op == Op::kRrf) {
    const bool left = op == Op::kRlf;
    const uint8_t need = left ? static_cast<uint8_t>((result >> 1) | (m[kC] ? 0x80 : 0))
                              : static_cast<uint8_t>((result << 1) | (m[kC] ? 0x01 : 0));
    const uint8_t carry_in = left ? result & 0x01 : result & 0x80;
    file_operation(need, to_w, false, m, f);
    m[kC] = carry_in != 0 ? 1 : 0;
    return;
  }
  uint8_t need = 0;
  if (op == Op::kLslf) {
    need = static_cast<uint8_t>((result >> 1) | (m[kC] ? 0x80 : 0) | (m[kZ] ? 0x7F : 0));
  } else {
    need = static_cast<uint8_t>((result << 1) | (m[kC] ? 0x01 : 0) | (m[kZ] ? 0xFE : 0));
    if (op == Op::kAsrf && (result & 0x80) != 0) need |= 0x80;
  }
  m[kC] = m[kZ] = 0;
  file_operation(need, to_w, false, m, f);
}

// demand_through for an instruction without a file operand.
void demand_through_without_file(Op op, uint8_t value, uint8_t* m) {
  switch (op) {
    case Op::kMovlw:
      m[kW] = 0;
      return;
    case Op::kAndlw:
      m[kW] = static_cast<uint8_t>((m[kW] | all_if(m[kZ])) & value);
      m[kZ] = 0;
      return;
    case Op::kIorlw:
      m[kW] = static_cast<uint8_t>((m[kW] | all_if(m[kZ])) & ~value);
      m[kZ] = 0;
      return;
    case Op::kAddlw:
      m[kW] = sum_operands(m[kW], m);
      m[kC] = m[kDC] = m[kZ] = 0;
      return;
    case Op::kClrc:
      m[kC] = 0;
      return;
    case Op::kSkpc:
    case Op::kSkpnc:
      m[kC] = 1;
      return;
    case Op::kSkpnz:
      m[kZ] = 1;
      return;
    default:
      assert(false && "not runnable");
      return;
  }
}

}  // namespace

void demand_through(Op op, bool to_w, uint8_t value, int file_place, uint8_t* m) {
  if (op >= Op::kMovlw) {
    demand_through_without_file(op, value, m);
    return;
  }
  uint8_t unused = 0;
  uint8_t* f = file_place >= 0 ? &m[file_place] : &unused;
  // What is read of the result where the instruction puts it.
  const uint8_t result = to_w ? m[kW] : *f;
  switch (op) {
    case Op::kMovwf:
      m[kW] |= *f;
      *f = 0;
      return;
    case Op::kMovf: {
      const uint8_t need = static_cast<uint8_t>((to_w ? m[kW] : 0) | all_if(m[kZ]));
      if (to_w) m[kW] = 0;
      m[kZ] = 0;
      *f |= need;
      return;
    }
    case Op::kClrf:
      *f = 0;
      m[kZ] = 0;
      return;
    case Op::kSwapf:
      file_operation(swap_nibbles(result), to_w, false, m, f);
      return;
    case Op::kBtfsc:
      *f |= static_cast<uint8_t>(1u << (value & 7));
      return;
    case Op::kBsf:
      *f &= static_cast<uint8_t>(~(1u << (value & 7)));
      return;
    case Op::kComf:
    case Op::kIorwf:
    case Op::kXorwf: {
      const uint8_t need = static_cast<uint8_t>(result | all_if(m[kZ]));
      m[kZ] = 0;
      file_operation(need, to_w, op != Op::kComf, m, f);
      return;
    }
    case Op::kRlf:
    case Op::kRrf:
    case Op::kLslf:
    case Op::kLsrf:
    case Op::kAsrf:
      demand_through_shift(op, to_w, result, m, f);
      return;
    case Op::kAddwf:
    case Op::kSubwf:
    case Op::kAddwfc:
    case Op::kSubwfb: {
      const uint8_t need = sum_operands(result, m);
      const bool carry_in = op == Op::kAddwfc || op == Op::kSubwfb;
      m[kC] = carry_in && need != 0 ? 1 : 0;
      m[kDC] = m[kZ] = 0;
      file_operation(need, to_w, true, m, f);
      return;
    }
    case Op::kIncf: {
      const uint8_t need = static_cast<uint8_t>(and_below(result) | all_if(m[kZ]));
      m[kZ] = 0;
      file_operation(need, to_w, false, m, f);
      return;
    }
    case Op::kIncfsz:
      // Whether it skips depends on every bit.
      file_operation(0xFF, to_w, false, m, f);
      return;
    default:
      // Never analysed: a routine holding anything else is not modelled.
      assert(false && "not runnable");
      return;
  }
}

void add_pins(const LinePins& pins, uint8_t* demand) {
  for (const Pin& pin : pins) demand[pin.place] |= pin.bits;
}

LinePins pins_at_start(std::span<const Instruction> lines, std::span<const int> places,
                       std::span<const LinePins> pins) {
  const std::size_t n = lines.size();
  // before[k]: what the pins of lines k and after read before line k.
  std::vector<Demand> before(n + 1);
  for (std::size_t k = n; k-- > 0;) {
    Demand d = before[k + 1];
    if (is_skip(lines[k].op)) {
      const Demand& passed = before[std::min(n, k + 2)];
      for (int p = 0; p < kRoutinePlaces; ++p) d[p] |= passed[p];
    }
    demand_through(lines[k].op, lines[k].to_w, static_cast<uint8_t>(lines[k].value), places[k],
                   d.data());
    add_pins(pins[k], d.data());
    before[k] = d;
  }
  LinePins out;
  for (int p = 0; p < kRoutinePlaces; ++p) {
    if (before[0][p] != 0) out.push_back({static_cast<uint8_t>(p), before[0][p]});
  }
  return out;
}

std::vector<Demand> demand_after(const Code& code, const RoutineBytes& bytes, const Demand& at_end,
                                 const std::vector<LinePins>* pins) {
  const std::vector<Instruction>& ins = code.instructions();
  const std::size_t n = ins.size();
  // before[i] is what is read before line i runs; before[n] what is read at the end.
  std::vector<Demand> before(n + 1);
  std::vector<Demand> after(n);
  before[n] = at_end;
  for (std::size_t i = n; i-- > 0;) {
    after[i] = before[i + 1];
    // A skip may pass over the next line: then the one after it runs next (or the routine
    // ends).
    if (is_skip(ins[i].op)) {
      const Demand& passed = before[std::min(n, i + 2)];
      for (int p = 0; p < kRoutinePlaces; ++p) after[i][p] |= passed[p];
    }
    before[i] = after[i];
    const int number = bytes.number_of(ins[i]);
    demand_through(ins[i].op, ins[i].to_w, static_cast<uint8_t>(ins[i].value),
                   number < 0 ? -1 : kFirstBytePlace + number, before[i].data());
    if (pins) add_pins((*pins)[i], before[i].data());
  }
  return after;
}

Demand output_demand(const RoutineBytes& bytes, const std::vector<ByteRef>& outputs) {
  Demand demand{};
  for (const ByteRef& out : outputs) {
    const int number = bytes.number_of(out);
    if (number >= 0) demand[kFirstBytePlace + number] = 0xFF;
  }
  return demand;
}

}  // namespace tarvek

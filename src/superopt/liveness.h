// Which bits of a finished routine's state are still read: for every instruction, the bits of
// each byte, of W and of the flags whose value at that point can reach the routine's outputs.
// A rewrite of a stretch need only keep those bits; everything else is free for it to change.
//
// A routine's places are W, C, DC and Z (places 0 to 3, a flag as bit 0 of its mask) and each
// byte its instructions name (place 4 + its number in RoutineBytes), bytes told apart by
// register number and byte number alone. At the end only the output bytes are read: the
// routine promises nothing of W, the flags or any other byte.
//
// The analysis runs backward. Each instruction's rule says which input bits its demanded
// result bits depend on, never fewer than they do (liveness_test holds every rule to the
// window machine on random states): an addition's result bit depends on every lower bit of
// both operands, a rotation moves the demand by one place and onto C, a mask drops the bits it
// forces, a test of Z or a skip's condition reads all it looks at. After a skip both the next
// instruction and the one after it may run, so what is read after it is what either needs.
#ifndef TARVEK_SUPEROPT_LIVENESS_H
#define TARVEK_SUPEROPT_LIVENESS_H

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codegen/code.h"
#include "codegen/core.h"

namespace tarvek {

inline constexpr int kFirstBytePlace = 4;
// Bytes a routine may name for the superoptimizer to take it on.
inline constexpr int kMostRoutineBytes = 60;
inline constexpr int kRoutinePlaces = kFirstBytePlace + kMostRoutineBytes;

// Per place, the bits still read.
using Demand = std::array<uint8_t, kRoutinePlaces>;

// A byte of a routine: its register's number in the Code and the byte number.
struct ByteRef {
  uint8_t file = 0;
  int16_t byte = 0;

  friend bool operator==(const ByteRef&, const ByteRef&) = default;
};

// The bytes a routine names, numbered in the order the routine first names them (which does
// not depend on the names the request gave).
class RoutineBytes {
 public:
  explicit RoutineBytes(const Code& code);

  // The number of the instruction's file operand, or -1 without one (or for STATUS).
  int number_of(const Instruction& in) const;
  // The number of `byte`, or -1 when the routine never names it.
  int number_of(ByteRef byte) const;
  const std::vector<ByteRef>& bytes() const { return bytes_; }
  // More bytes than a Demand holds: the routine is left alone.
  bool too_many() const { return bytes_.size() > static_cast<std::size_t>(kMostRoutineBytes); }

 private:
  std::vector<ByteRef> bytes_;
  // The number of byte b of register f at numbers_[f][b], -1 for none: looked up once per
  // instruction in every pass, so a lookup costs no search.
  std::vector<std::vector<int>> numbers_;
};

// Whether every instruction of the routine is one the superoptimizer models on `core`
// (window_machine.h's runnable) with no STATUS operand, and its bytes fit a Demand.
bool modelled(const Code& code, const RoutineBytes& bytes, Core core);

// Turns `masks` from what is read after the instruction into what is read before it (a skip's
// own successors are the caller's: this only adds what decides the skip). `file_place` is the
// place of its file operand (unused without one). Works on any array of places laid out as
// above: a routine's Demand or a window's.
void demand_through(Op op, bool to_w, uint8_t value, int file_place, uint8_t* masks);

// Bits that must keep their values before a line, as if the line read them: a replacement made
// there was proven only for the states in which they are what the routine knew them to be
// (known_bits.h), so whatever establishes them must stay. Empty for most lines.
struct Pin {
  uint8_t place = 0;
  uint8_t bits = 0;
};
using LinePins = std::vector<Pin>;

// Adds the pins to what is read before a line.
void add_pins(const LinePins& pins, uint8_t* demand);

// The pins of a stretch's lines carried back to its start: what the bits pinned inside it
// depend on where it starts. A stretch that replaces these lines keeps them, so that what the
// replaced lines were proven under stays true. `places` are the lines' file operand places.
LinePins pins_at_start(std::span<const Instruction> lines, std::span<const int> places,
                       std::span<const LinePins> pins);

// The demand after each instruction, given what is read at the end and, when not null, the
// lines' pins (one entry per line).
// Requires: modelled(code, bytes, core).
std::vector<Demand> demand_after(const Code& code, const RoutineBytes& bytes, const Demand& at_end,
                                 const std::vector<LinePins>* pins = nullptr);

// What is read at the end of a routine: its output bytes, whole.
Demand output_demand(const RoutineBytes& bytes, const std::vector<ByteRef>& outputs);

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_LIVENESS_H

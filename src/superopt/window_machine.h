// A small machine for the superoptimizer: it runs a short stretch of a routine on a handful of
// bytes, W and the flags C, DC and Z, millions of times a second, so that two stretches can be
// compared on every state their inputs can take.
//
// Guarantees: an instruction does here exactly what the simulator's PicMachine (src/sim) does
// with it, for every instruction the simulator runs on the routine's core (window_machine_test
// holds the two to each other on random programs and states). Only those instructions are
// runnable: anything else (STATUS as an operand, an instruction the simulator lacks) is refused
// by `runnable`, and a stretch holding one is never rewritten.
//
// The bytes of a stretch are slots 0 to kWindowSlots - 1; which byte of the routine a slot
// stands for is the caller's business (window.h).
#ifndef TARVEK_SUPEROPT_WINDOW_MACHINE_H
#define TARVEK_SUPEROPT_WINDOW_MACHINE_H

#include <array>
#include <cstdint>
#include <span>

#include "codegen/core.h"
#include "codegen/instruction.h"

namespace tarvek {

// Bytes one stretch may name.
inline constexpr int kWindowSlots = 8;

// The state a stretch runs on.
struct WindowState {
  std::array<uint8_t, kWindowSlots> bytes{};
  uint8_t w = 0;
  bool c = false;
  bool dc = false;
  bool z = false;

  friend bool operator==(const WindowState&, const WindowState&) = default;
};

// One instruction over slots: `slot` is the file operand's slot (unused without one), `value`
// the literal's bit pattern or the bit number.
struct SlotInstruction {
  Op op = Op::kClrc;
  uint8_t slot = 0;
  bool to_w = false;
  uint8_t value = 0;

  friend bool operator==(const SlotInstruction&, const SlotInstruction&) = default;
};

// What an instruction reads and writes, as masks of Place bits: a file operand as kPlaceFile.
enum Place : uint8_t {
  kPlaceW = 1,
  kPlaceC = 2,
  kPlaceDC = 4,
  kPlaceZ = 8,
  kPlaceFile = 16,
};

struct Effects {
  uint8_t reads = 0;
  // Written whenever the instruction runs.
  uint8_t writes = 0;
  bool skips = false;
};

// Whether the simulator runs `op` on `core` (with a file operand other than STATUS).
bool runnable(Op op, Core core);

// Requires: runnable(op, core) for some core.
Effects effects_of(Op op, bool to_w);

// Runs one instruction; returns whether it skips the next one.
// Requires: runnable for the core of the stretch, slot < kWindowSlots.
bool step(const SlotInstruction& in, WindowState& state);

// Runs a stretch from its first instruction to its end; a skip on the last instruction skips
// nothing (stretches never end on one).
void run(std::span<const SlotInstruction> code, WindowState& state);

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_WINDOW_MACHINE_H

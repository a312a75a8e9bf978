// A window: a stretch of a finished routine taken out to be replaced, with what the rest of the
// routine reads of its results, and the proof that a replacement does the same.
//
// A window runs whenever the routine reaches its first instruction and always leaves at its
// end: it neither follows a skip (which could pass over its first instruction) nor ends on one
// (which could pass over the instruction after it); skips inside it are run as they are. Its
// bytes are slots, in the order the window first names them.
//
// Two stretches are the same for the routine when, from every starting state the routine can
// reach there, they leave the same value in every bit read after the window. The proof runs
// both from every value of the bits their results can depend on (liveness.h's analysis run over
// each stretch: for two stretches that read only the low nibble of a byte that is 16 runs, for
// one that reads two bytes and C 2^17), the bits known at the window's start (known_bits.h) at
// their values; every other bit is fixed at 0, since neither stretch's read results depend on
// it. Wider inputs are not proven, and no replacement is made.
#ifndef TARVEK_SUPEROPT_WINDOW_H
#define TARVEK_SUPEROPT_WINDOW_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "superopt/known_bits.h"
#include "superopt/liveness.h"
#include "superopt/window_machine.h"

namespace tarvek {

inline constexpr int kWindowPlaces = kFirstBytePlace + kWindowSlots;

// Per place of a window (W, C, DC, Z, then slot k at kFirstBytePlace + k), the bits read.
using WindowDemand = std::array<uint8_t, kWindowPlaces>;

// Per place of a window, the bits known at its start and their values (no value bit outside
// the mask; a flag as bit 0).
struct WindowKnown {
  WindowDemand mask{};
  WindowDemand value{};

  friend bool operator==(const WindowKnown&, const WindowKnown&) = default;
};

struct Window {
  // Instructions [start, end) of the routine.
  std::size_t start = 0;
  std::size_t end = 0;
  std::vector<SlotInstruction> code;
  // The routine's byte each slot stands for.
  std::vector<ByteRef> slots;
  // What the routine reads after the window.
  WindowDemand read_after{};
  // What is known at its start.
  WindowKnown known_before;
};

// The window [start, end) of the routine; nullopt when the stretch cannot be one (it follows or
// ends on a skip, or names more than kWindowSlots bytes).
// Requires: start < end <= code.size(), modelled(code, bytes, core), demand as demand_after
// gives it, known (when not null) as known_before gives it.
std::optional<Window> make_window(const Code& code, const RoutineBytes& bytes,
                                  const std::vector<Demand>& demand, std::size_t start,
                                  std::size_t end, const std::vector<Known>* known = nullptr);

// A stretch over the window's slots as instructions on the routine's bytes.
std::vector<Instruction> routine_instructions(const Window& window,
                                              std::span<const SlotInstruction> code);

// What a stretch reads before it runs, for `read_after` read after it.
WindowDemand demand_before(std::span<const SlotInstruction> code, const WindowDemand& read_after);

// Whether any bit of `demand` is set.
bool any_bit(const WindowDemand& demand);

enum class Equivalence {
  kSame,
  kDiffers,
  // More starting bits than the proof may range over: undecided, so not the same.
  kTooWide,
};

// Whether `replacement` leaves every bit of `read_after` as `original` does, from every state
// that agrees with `known`.
Equivalence prove_same(std::span<const SlotInstruction> original,
                       std::span<const SlotInstruction> replacement, const WindowDemand& read_after,
                       int most_input_bits, const WindowKnown& known = {});

// `state` with the known bits set to their values.
WindowState conform(WindowState state, const WindowKnown& known);

// Whether `wider` knows everything `narrower` knows, with the same values.
bool knows_all(const WindowKnown& wider, const WindowKnown& narrower);

// What is known before instruction `position` of a stretch, given what is known at its start.
WindowKnown known_at(std::span<const SlotInstruction> code, std::size_t position,
                     const WindowKnown& at_start);

// Whether two states agree on the bits of `demand`.
bool same_bits(const WindowState& a, const WindowState& b, const WindowDemand& demand);

// A fixed set of starting states that tells most different stretches apart cheaply: the filter
// run before a proof. Deterministic.
const std::vector<WindowState>& sample_states();

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_WINDOW_H

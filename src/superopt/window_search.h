// The search for a shorter stretch that does what a window does: candidates are enumerated
// from the window's own material (its bytes, every instruction of the core over them, its
// literals and a few that byte arithmetic keeps needing), shortest first, each run on a fixed
// sample of states against the window and, when it agrees on all of them, proven the same on
// every state (window.h). The first proven candidate of the shortest length wins; the order of
// the enumeration is fixed, so the same window always gets the same replacement.
//
// Besides the full enumeration up to a length, every stretch that drops one or two of the
// window's instructions, or drops one and changes another, is tried: that reaches replacements
// longer than the enumeration could afford.
#ifndef TARVEK_SUPEROPT_WINDOW_SEARCH_H
#define TARVEK_SUPEROPT_WINDOW_SEARCH_H

#include <optional>
#include <vector>

#include "codegen/core.h"
#include "superopt/window.h"

namespace tarvek {

struct WindowSearchLimits {
  // Replacements of up to this many instructions are enumerated in full.
  int enumerated_length = 2;
  // Proofs range over at most this many bits of starting state.
  int most_input_bits = 20;
  // Stretches of one length tried at most: the enumeration stops there, the same place every
  // time, so that a long alphabet cannot make one window cost minutes.
  long most_stretches = 2'000'000;
};

// The instructions a replacement for `window` is made of, in a fixed order.
std::vector<SlotInstruction> window_alphabet(const Window& window, Core core);

// A stretch shorter than the window's that proves the same, shortest first; nullopt when the
// limits find none.
std::optional<std::vector<SlotInstruction>> find_shorter(const Window& window, Core core,
                                                         const WindowSearchLimits& limits);

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_WINDOW_SEARCH_H

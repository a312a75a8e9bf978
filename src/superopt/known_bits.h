// The bits of a finished routine's state that are known before each instruction, whatever the
// inputs: a byte just cleared, a nibble a mask left zero, a carry just cleared, the bits of an
// input byte above the input's width. A stretch that only ever starts from such states need
// only do the same as the original from those states, which lets shorter stretches stand in
// (a nibble can take the carry in with addlw 1 where a whole byte could not).
//
// The analysis runs forward over the routine's places (liveness.h's numbering): each
// instruction's rule computes every bit of its results that its known inputs decide, an
// addition bit by bit with the carry, and never claims a bit it does not decide (known_bits_test
// holds every rule to the window machine on random states). Where two ways meet, after the
// instruction a skip may pass over, only what both agree on stays known.
#ifndef TARVEK_SUPEROPT_KNOWN_BITS_H
#define TARVEK_SUPEROPT_KNOWN_BITS_H

#include <array>
#include <cstdint>
#include <vector>

#include "codegen/code.h"
#include "superopt/liveness.h"

namespace tarvek {

// Per place, which bits are known and their values (a flag as bit 0). value has no bit outside
// mask.
struct Known {
  std::array<uint8_t, kRoutinePlaces> mask{};
  std::array<uint8_t, kRoutinePlaces> value{};
};

// What is known of one place.
struct KnownBits {
  uint8_t mask = 0;
  uint8_t value = 0;
};

// Turns what is known of `places` (mask and value arrays, laid out as liveness.h's places)
// before the instruction into what is known after it runs; `file_place` as for demand_through.
void known_through(Op op, bool to_w, uint8_t value, int file_place, uint8_t* mask,
                   uint8_t* known_value);

// What two ways into the same instruction both know, into `into`.
void join_known(Known& into, const Known& other, int places);

// What is known before each instruction, given what is known at the start.
// Requires: modelled(code, bytes, core).
std::vector<Known> known_before(const Code& code, const RoutineBytes& bytes, const Known& at_start);

}  // namespace tarvek

#endif  // TARVEK_SUPEROPT_KNOWN_BITS_H

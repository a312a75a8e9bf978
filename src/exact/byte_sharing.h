// Lets the scratch bytes of a finished routine share RAM: a byte whose last use comes before
// another's first takes that one's place, so the routine declares as many scratch bytes as it
// ever holds values at once. The baseline parts have as little as 16 bytes of RAM, and their
// routines are the ones this is for; on the other cores the routine is left as it is.
//
// Why a byte may move into a slot whose old occupant is dead: the scratch register is no part
// of the result, and a routine holds its promise whatever its scratch bytes held on entry, so
// a byte that starts with what another left in its slot is a start the routine already holds
// for. Only the byte numbers of the scratch register change; the instructions, their order and
// every other byte stay, so cycles and results are the same.
#ifndef TARVEK_EXACT_BYTE_SHARING_H
#define TARVEK_EXACT_BYTE_SHARING_H

#include "codegen/code.h"

namespace tarvek {

struct SharedBytes {
  // The routine with its scratch bytes renumbered.
  Code code;
  // Scratch bytes it names now: 0 to bytes - 1, every one of them named.
  int bytes = 0;
};

// Renumbers the bytes of register `scratch` (its number in `code`; -1 for none) by first use,
// each into the lowest byte whose earlier occupants are all used for the last time before it
// is first used. A byte no instruction names is dropped.
SharedBytes share_scratch_bytes(const Code& code, int scratch);

}  // namespace tarvek

#endif  // TARVEK_EXACT_BYTE_SHARING_H

// Cleans up a finished exact routine. The generators each leave a value where their own
// conventions put it and store what a later step might read; only the whole routine shows
// which of those instructions do nothing for the result. The passes keep every byte the
// Output line names, C and DC exactly as they were, and never touch an instruction behind a
// skip or change what a skip skips; what W and Z end as is not part of the routine's promise,
// so they may differ where nothing reads them afterwards.
//
// The passes see bytes as register numbers and byte numbers (codegen/instruction.h), never as
// text, so the names a request gives cannot make one byte pass for another.
#ifndef TARVEK_EXACT_ROUTINE_CLEANUP_H
#define TARVEK_EXACT_ROUTINE_CLEANUP_H

#include "codegen/code.h"

namespace tarvek {

// Drops the byte moves a routine undoes: a stretch of plain moves (movf into W, movwf,
// clrf) that leaves every byte it writes either as it was or cleared keeps only its clears
// (a big-endian right shift moves a value down to byte 0 when its top bytes empty, and the
// output fit moves it back up), where W, and Z unless the clears leave it as it was, are
// written again before anything reads them.
Code drop_undone_moves(const Code& code);

// Drops each movwf into a byte of the scratch register (register number `scratch` of `code`;
// -1 for none) that nothing reads before the byte is written again or the routine ends: the
// scratch register is not part of the result.
Code drop_unread_scratch_stores(const Code& code, int scratch);

// Leaves an operation's result in W instead of a scratch byte when the next thing done with
// it is loading it into W: "iorwf TEMP1, f ... movf TEMP1, w" becomes "iorwf TEMP1, w ...",
// where nothing between touches W or the byte or skips, the byte is not read afterwards, and
// Z ends as it did or is not read before it is written.
Code keep_scratch_results_in_w(const Code& code, int scratch);

// The scans grow with the square of a routine's length, and in a long routine they save a few
// instructions of hundreds: routines longer than this are left as generated, which keeps the
// cost of a web request bounded.
inline constexpr int kLongestCleanedUp = 400;

// The three passes in that order; a routine of more than kLongestCleanedUp instructions, or
// one with labels (a loop), is returned as it is.
Code clean_up_routine(const Code& code, int scratch);

}  // namespace tarvek

#endif  // TARVEK_EXACT_ROUTINE_CLEANUP_H

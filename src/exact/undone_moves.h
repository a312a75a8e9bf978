// Removes byte moves that a finished routine undoes. The generators each leave a value where
// their own conventions put it: a big-endian right shift moves a value down to byte 0 when
// its top bytes empty, and the output fit moves it back up when the Output line names more
// bytes. Run on the whole routine, this pass finds such a stretch of plain moves (movf into W,
// movwf, clrf, none of them behind a skip) that leaves every byte it writes either as it was
// or cleared, and keeps only the clears. It does so only where W, and Z unless the clears
// leave it as it was, are written before anything reads them again, or never read: the
// routine promises its output bytes, not W or the flags. The bytes, C and DC end exactly as
// before, so the routine computes what it did, in fewer instructions.
#ifndef TARVEK_EXACT_UNDONE_MOVES_H
#define TARVEK_EXACT_UNDONE_MOVES_H

#include <string>

namespace tarvek {

// `code`: instruction lines "\tmnemonic\toperands\n", straight-line with skips, ending where
// the routine ends.
std::string drop_undone_moves(const std::string& code);

}  // namespace tarvek

#endif  // TARVEK_EXACT_UNDONE_MOVES_H

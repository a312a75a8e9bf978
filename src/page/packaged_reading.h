// Reads a packaged routine (routine_packaging.h) back into the block the simulator reads, so
// that what is printed, not what it was printed from, is what the check before printing, the
// JSON counts and tarvek-asm --verify run.
//
// The block keeps every comment line of the text in order (the title, term, Input, Output
// and core lines the check reads among them), declares in one bare cblock section the bytes
// the text declares (cblock lines, "NAME\tres\t1", "NAME:\tDS\t1" or "NAME\tEQU\t0x.."), and
// holds the text's instruction lines exactly as printed, pic-as's 0x.. literals and STATUS
// bit instructions included, and the label lines of a routine with loops (pic-as's without
// their colons). Every other line must be one the packaging writes around the instructions (a
// section or psect line, a global or GLOBAL list, the label or the macro line with the
// request's name, a macro's local line, the bank selection, the closing return, endm or ENDM,
// and end; a whole program's processor, include and org lines and its closing "bra $"); the
// instructions stand in one run after the label or macro line and before the closing line. A
// text with any other line is not read.
#ifndef TARVEK_PAGE_PACKAGED_READING_H
#define TARVEK_PAGE_PACKAGED_READING_H

#include <optional>
#include <string>
#include <string_view>

#include "codegen/packaging.h"

namespace tarvek {

// The block of `text`, printed with `packaging`; the text itself for inline MPASM, which is
// such a block already; nullopt when a line is out of place.
std::optional<std::string> checkable_block(std::string_view text, const Packaging& packaging);

}  // namespace tarvek

#endif  // TARVEK_PAGE_PACKAGED_READING_H

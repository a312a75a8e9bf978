// Where a routine's registers go in RAM: the request's Ram field (tarvek-asm --ram) read into
// a cblock start address, and the comment lines that tell the user what the cblock section
// assumes.
//
// A routine names its registers in a cblock section. Without an address that section
// continues the including program's last cblock, which is right inside a program that opened
// one with an address and wrong in any other (the assembler then starts at 0, on the special
// function registers). Either way every register must be reachable without a bank switch, as
// the routine never touches the bank bits; the comment lines say both. On the PIC18 core that
// place is the access bank, which every instruction of a routine reaches whatever BSR holds.
#ifndef TARVEK_PAGE_REGISTER_PLACEMENT_H
#define TARVEK_PAGE_REGISTER_PLACEMENT_H

#include <optional>
#include <string>
#include <string_view>

#include "codegen/core.h"

namespace tarvek {

// The numbered error of a Ram value that is no address.
inline constexpr int kRamAddressError = 16;
// The numbered error of a PIC18 routine whose registers would reach the end of access RAM
// (kAccessRamEnd) from the Ram address.
inline constexpr int kAccessBankError = 45;

// Highest address a Ram value may give: the end of bank 3 of a mid-range part.
inline constexpr int kLastRamAddress = 0x1FF;

// The address a Ram value gives: hexadecimal after 0x or 0X ("0x20", "0x1a0") or decimal
// ("32"), with optional white space around, from 0 to kLastRamAddress; nullopt for anything
// else, the empty text included (which asks for no address).
std::optional<int> read_ram_address(std::string_view text);

// The comment lines of a block whose request named where its registers go: for an address
// (0 to kLastRamAddress) the bank it lies in; for -1 (no address) that the bare cblock
// continues the including program's last one, whose first cblock needs an address; and
// either way that every register must be in the bank selected when the routine runs, or in
// common RAM. On the PIC18 core the bank is the access bank, where every register must lie.
// Each line is "; ..." and a line feed.
// Requires: a PIC18 address is below kAccessRamEnd (codegen/routine_packaging.h).
std::string ram_notes(int address, Core core);

}  // namespace tarvek

#endif  // TARVEK_PAGE_REGISTER_PLACEMENT_H

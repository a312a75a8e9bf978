// The instructions of a routine spelled so that the MPLAB XC8 PIC Assembler (pic-as) and
// gpasm read them alike and as the MPASM text means them.
//
// pic-as reads a bare number as decimal where MPASM and gpasm read it as hexadecimal, knows
// no D'15' literal and none of MPASM's carry and zero macros. So every literal is a single
// digit (the same in every radix) or 0x and two upper-case hexadecimal digits, and each macro
// becomes the bit instruction on STATUS it stands for: clrc bcf STATUS, 0; setc bsf STATUS, 0;
// skpc btfss STATUS, 0; skpnc btfsc STATUS, 0; skpz btfss STATUS, 2; skpnz btfsc STATUS, 2
// (C is bit 0 and Z bit 2 of STATUS on the mid-range and the enhanced mid-range cores).
// A label line of a routine with loops is its name with a colon ("acc_div10_f16_loop:"), as
// pic-as requires and gpasm accepts. Everything else is printed as Code::text prints it, so
// the two texts of a routine differ only in those lines, and in the same order.
#ifndef TARVEK_CODEGEN_PORTABLE_TEXT_H
#define TARVEK_CODEGEN_PORTABLE_TEXT_H

#include <string>

#include "codegen/code.h"

namespace tarvek {

// One line per instruction, "\tmnemonic\toperands\n", and per label, "NAME:\n", spelled as
// above.
std::string portable_text(const Code& code);

// The instruction a carry or zero macro stands for (a bit operation on STATUS), or the
// instruction itself when it is none.
Instruction without_status_macro(const Instruction& instruction);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_PORTABLE_TEXT_H

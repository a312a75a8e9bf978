// Prints a finished routine in the packaging its request names: the text a user's build takes
// in, made once here from the routine's comment block, declared bytes and instructions.
//
// Inline MPASM is the block every routine has always been, byte for byte. Every other
// packaging keeps the comment block up to its Output line and then tells, in comment lines,
// what the routine costs (an exact routine's Routine line already does), how to call or
// include it, and where its registers go; then come the declarations, the wrap and the
// instructions:
//   - MPASM: the same cblock section; a subroutine is the label, the instructions and
//     return, a macro the instructions between "NAME\tmacro" and "\tendm".
//   - MPASM, a whole PIC18 program: processor 18f452 and its include, the cblock at the Ram
//     address (0x00 without one), org 0, the label, the instructions, "bra $" and end.
//   - gpasm-reloc: a udata section named NAME_ram (at the Ram address when there is one), the
//     input and result bytes global; a subroutine is a module of its own (global label, code
//     section, banksel, return, end), a macro an include file for a relocatable module.
//     Inline cannot be: gpasm keeps each section of an object in one piece. On PIC18 the
//     section is udata_acs, which the linker puts in access RAM, and nothing selects a bank;
//     the core's registers the instructions name (STATUS, PRODL, PRODH, WREG) are given their
//     addresses unless an include has.
//   - pic-as: bytes reserved with DS in PSECT udata_bank0, or with DABS at the Ram address
//     (below 0x80); the input and result bytes GLOBAL; labels with colons; the instructions
//     as portable_text spells them. A subroutine is a module (#include <xc.inc>, PSECT code,
//     the label and its C name _NAME, both GLOBAL, BANKSEL unless every byte lies in common
//     memory, return); a macro an include file; inline returns to PSECT code for its
//     instructions.
// Whatever the packaging, the instructions are the routine's own, in its order, with nothing
// between them.
#ifndef TARVEK_CODEGEN_ROUTINE_PACKAGING_H
#define TARVEK_CODEGEN_ROUTINE_PACKAGING_H

#include <string>

#include "codegen/finished_routine.h"
#include "codegen/generator.h"

namespace tarvek {

// First address above bank 0 and its common memory: pic-as registers lie below it, where an
// instruction operand needs no bank mask.
inline constexpr int kPicAsRamEnd = 0x80;
// First address of the common memory most mid-range parts and every enhanced mid-range part
// map into every bank.
inline constexpr int kCommonRamStart = 0x70;
// First address above the PIC18F452's access RAM: a PIC18 routine's registers lie below it,
// where its instructions address them whatever BSR holds (parts with more special function
// registers in the access bank have less RAM below it, up to 0x60 on many).
inline constexpr int kAccessRamEnd = 0x80;
// The part a whole PIC18 program is written for, as its processor line and its include name
// it.
inline constexpr const char* kPic18ProgramPart = "18f452";

// The text of `routine` in request.packaging, with request.notes after its Output line.
// Requires: a packaging other than inline MPASM has a name; gpasm-reloc is not inline; a
// pic-as routine with a Ram address ends below kPicAsRamEnd; a whole program is an MPASM PIC18
// one with a Ram address, its registers below kAccessRamEnd.
std::string printed_routine(const FinishedRoutine& routine, const GeneratorRequest& request);

// The instructions as the packaging spells them: Code::text, or portable_text for pic-as.
std::string printed_instructions(const FinishedRoutine& routine, Syntax syntax);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_ROUTINE_PACKAGING_H

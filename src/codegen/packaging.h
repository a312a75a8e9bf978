// How a finished routine is handed to the user's build: the assembler it is written for and
// what wraps its instructions. The default, inline MPASM, is the include file every routine
// has always been, byte for byte; routine_packaging.h prints every other combination.
//
// The wrap and the syntax change only the text around the instructions and the spelling of
// the instructions, never what they compute: every packaging of a request holds the same
// instructions in the same order.
#ifndef TARVEK_CODEGEN_PACKAGING_H
#define TARVEK_CODEGEN_PACKAGING_H

#include <cstdint>
#include <string>

namespace tarvek {

enum class Wrap : uint8_t {
  // The instructions alone, run where the text is included.
  kInline,
  // A label, the instructions and a return: called with call.
  kSubroutine,
  // A macro without arguments, whose every use is a copy of the instructions.
  kMacro,
  // A whole PIC18 program, MPASM syntax only: the processor and its include, the registers in
  // access RAM, the routine from the reset vector and a branch to itself after it.
  kProgram,
};

enum class Syntax : uint8_t {
  // MPASM, which gpasm reads too: an include file for an absolute-mode program, its registers
  // in a cblock section.
  kMpasm,
  // The MPLAB XC8 PIC Assembler (pic-as): registers reserved with DS in a PSECT (or with DABS
  // at an address), labels with colons, literals as 0x.., no MPASM pseudo-instructions.
  kPicAs,
  // A relocatable gputils module: registers in a udata section, a code section, global
  // symbols, assembled with gpasm -c and linked with gplink.
  kGpasmReloc,
};

struct Packaging {
  Wrap wrap = Wrap::kInline;
  Syntax syntax = Syntax::kMpasm;
  // The subroutine's label or the macro's name: an assembler identifier that no register
  // byte of the routine spells. Unused by inline MPASM.
  std::string name{};

  bool is_default() const { return wrap == Wrap::kInline && syntax == Syntax::kMpasm; }
};

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_PACKAGING_H

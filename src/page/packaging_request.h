// The request's Wrap, Syntax and Name fields (tarvek-asm's --wrap, --syntax and --name) read
// into the packaging of its routine (codegen/packaging.h), with their numbered messages.
//
// Absent or empty, Wrap and Syntax keep the block every routine has always been (inline
// MPASM), except that a gpasm-reloc module is a subroutine unless Wrap says otherwise: gpasm
// keeps each section of an object in one piece, so a routine that declares its own registers
// cannot stand inline in the includer's code section. A Name is an identifier that MPASM,
// gpasm and pic-as all take as a label; without one the name is made from the register and
// the request (acc_div10_floor).
#ifndef TARVEK_PAGE_PACKAGING_REQUEST_H
#define TARVEK_PAGE_PACKAGING_REQUEST_H

#include <optional>
#include <string>
#include <string_view>

#include "codegen/generator.h"
#include "codegen/packaging.h"

namespace tarvek {

// The numbered messages of the packaging fields.
inline constexpr int kWrapError = 40;
inline constexpr int kSyntaxError = 41;
inline constexpr int kNameError = 42;
// Wrap=inline with Syntax=gpasm-reloc.
inline constexpr int kInlineModuleError = 43;
// A pic-as routine whose registers would reach 0x80 or beyond, where an operand needs a bank
// mask the routine does not write.
inline constexpr int kPicAsRamError = 44;
// Syntax=pic-as with Core=pic18.
inline constexpr int kPicAsCoreError = 46;

// "", "mpasm", "pic-as" and "gpasm-reloc"; nullopt for anything else (compared byte for byte).
std::optional<Syntax> syntax_named(std::string_view text);
// "inline", "subroutine" and "macro", and on the PIC18 core "program"; empty is inline, or a
// subroutine for gpasm-reloc; nullopt for anything else.
std::optional<Wrap> wrap_named(std::string_view text, Syntax syntax, Core core);

// The field values as JSON and the manual name them.
const char* syntax_name(Syntax syntax);
const char* wrap_name(Wrap wrap);

// An identifier every assembler here takes as a label: a letter or an underscore, then
// letters, digits and underscores, 31 characters at most, and no instruction, MPASM
// pseudo-instruction, directive or operand keyword (w, f) of any of them, in any case; on the
// PIC18 core neither an instruction, register or keyword of that core's.
bool is_routine_name(std::string_view name, Core core);

// The byte of either register spelled as `name` (ACC0 for Name=ACC0 with Acc=ACC), or
// empty: the routine would define that symbol twice.
std::string register_byte_named(std::string_view name, std::string_view acc_name,
                                std::string_view temp_name);

// The name a routine gets without a Name: the register's name in lower case, the constant
// (x10, div10, x3_div7 for an exact fraction; x3p14159 for an approximation's constant to six
// significant digits), the kind of result and, for a signed input, signed, joined by
// underscores; any character an identifier cannot hold becomes an underscore. Beyond 31
// characters the register's part is cut first, then the end.
// Requires: acc_name starts with a letter; request is valid.
std::string default_routine_name(std::string_view acc_name, const GeneratorRequest& request);

}  // namespace tarvek

#endif  // TARVEK_PAGE_PACKAGING_REQUEST_H

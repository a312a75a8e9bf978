// The code generator's entry point: turns a validated request into the generated block of a
// result page (the comment block, the cblock declarations and the routine).
//
// The text written is plain (not HTML-escaped); the page escapes it where it prints it, and
// the command-line tool prints it as it is.
#ifndef TARVEK_CODEGEN_GENERATOR_H
#define TARVEK_CODEGEN_GENERATOR_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

#include "codegen/core.h"
#include "codegen/finished_routine.h"
#include "codegen/packaging.h"
#include "codegen/register.h"

namespace tarvek {

// How the product is rounded to an integer.
enum class ResultMode {
  // The documented multiplication by an approximation of the constant within const_error,
  // truncating as it goes.
  kApprox,
  // floor(x * K) for every input x, proven when the routine is made.
  kFloor,
  // floor(x * K + 1/2) for every input x (ties rounded up), proven likewise.
  kNearest,
  // x * K rounded toward zero, as C's integer division rounds; floor for unsigned inputs.
  kTrunc,
};

// How the digits of the digits mode are stored.
enum class DigitForm {
  // One digit, 0 to base - 1, a byte.
  kUnpacked,
  // One character '0' to '9' a byte (bases 2 to 10).
  kAscii,
  // Two decimal digits a byte, the higher one in the high nibble (base 10).
  kPacked,
};

// What a routine is written for.
enum class Optimize {
  // The fewest cycles: straight-line code, the same cycles for every input.
  kSpeed,
  // The fewest program words: loops where they are shorter (exact modes only), ties going to
  // the fewer cycles in the worst case; never more words than the routine for speed.
  kSize,
};

// The longest label prefix a request may give: the suffixes the loops add keep every label
// within 31 characters.
inline constexpr std::size_t kMaxLabelPrefix = 24;

// The request values the generator reads, all validated by the caller.
struct GeneratorRequest {
  // The constant the input is multiplied by; greater than 0 with fewer than 32 integer bits.
  double const_value = 0;
  // Allowed error of the constant's approximation, in percent, 0 to 50.
  double const_error = 0;
  // Width of the product: input width plus the constant's integer bits, 1 to 63. In the exact
  // modes the bit length of the largest result, 1 to 63; in the digits mode the number of
  // digits, 1 to 32.
  int output_bits = 0;
  ResultMode mode = ResultMode::kApprox;
  // In the exact modes, the constant exactly: numerator / denominator in lowest terms, both
  // from 1 to 2^64 - 1. const_value is then the double nearest to it.
  uint64_t numerator = 0;
  uint64_t denominator = 1;
  // In the exact modes: the input is a two's-complement value of the input width,
  // sign-extended through its bytes, and so is the result through the output bytes;
  // output_bits is then the result's two's-complement width.
  bool is_signed = false;
  // How hard the exact modes search for a cheaper routine, 1 to 9 (the web form's is 1).
  int effort = 1;
  // Before a routine is printed, every input up to this width is run on the simulator (wider
  // inputs run their edges and a fixed sample): 12 for a web request, 16 for the command line.
  int checked_bits = 12;
  // The core the routine is written for. The enhanced core gets the same computation in its
  // own cheaper instructions, and one more comment line naming it after the Output line; the
  // baseline core the same computation without addlw, its core line and a RAM line there.
  Core core = Core::kMidrange;
  // In the floor mode, and the trunc mode of a signed input, with a divisor above 1: the name
  // of the register that also receives the remainder a x - d q (K = a / d in lowest terms,
  // q the result), in the request's byte order; empty for none.
  std::string remainder = {};
  // The digits mode: the unsigned input becomes its digits in base digit_base, each
  // floor(x / base^k) mod base, proven as the exact results are; `mode` is then kFloor and the
  // constant 1. Every digit is kept, leading zeros included.
  bool digits = false;
  // In the digits mode: the base, 2 to 256, and how the digits are stored (ascii for bases
  // up to 10, packed for base 10 only).
  int digit_base = 10;
  DigitForm digit_form = DigitForm::kUnpacked;
  // Comment lines, each "; ..." and a line feed, written after the Output line (or the core
  // line) and before the cblock section: where the registers go, and how an approximation
  // compares with the exact result. Empty for a request from a client that asks for neither,
  // whose block stays what it always was.
  std::string notes{};
  // The start address of the cblock section, 0 to 0x1FF; -1 for a bare cblock, which
  // continues the last cblock of the program that includes the routine.
  int ram_address = -1;
  // How the routine is printed (packaging.h); the default keeps the block it always was.
  Packaging packaging{};
  // The comment block tells the bytes of RAM the routine declares beside its instruction and
  // cycle counts: for a current client's exact routine and for every packaged one. Off, the
  // block stays what it always was. A baseline routine's RAM line (core_lines.h) tells them on
  // every request, so there the Routine line does not tell them again.
  bool counts_ram = false;
  // kSize only in the exact modes.
  Optimize optimize = Optimize::kSpeed;
  // The start of every label a loop of the routine has: an assembler name (a letter or '_',
  // then letters, digits and '_') of at most kMaxLabelPrefix characters; empty for one made
  // from the register names and the request.
  std::string label_prefix = {};
};

// The text between the comment block's last line (which ends without a line break) and the
// first declaration: a line break, the notes, a blank line and "\tcblock", with the start
// address when there is one ("\tcblock 0x20": hexadecimal, whatever the including program's
// default radix, at least two upper-case digits). Without notes or address it is
// "\n\n\tcblock\n", as it always was.
std::string cblock_opening(const GeneratorRequest& request);

// Whether an exact routine's Routine line tells the bytes of RAM: counts_ram, on a core whose
// lines have no RAM line of their own.
inline bool routine_line_counts_ram(const GeneratorRequest& request) {
  return request.counts_ram && request.core != Core::kBaseline;
}

// The approximating routine for `request`: its comment block and its instructions, as
// generate_code writes them. `acc` and `temp` as for generate_code.
FinishedRoutine finish_approximation(const GeneratorRequest& request, Register& acc,
                                     Register& temp);

// Writes the generated block for `request` to `out`. `acc` is the input register (width =
// input bits), which also receives the result; `temp` is the temporary register (width 0);
// both in the request's byte order. Both are left as the generation left them.
void generate_code(std::ostream& out, const GeneratorRequest& request, Register& acc,
                   Register& temp);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_GENERATOR_H

// The last step before a routine leaves the generator. Whatever proved the routine's model,
// the text that is printed is what a user assembles: it is read back by the simulator's own
// parser, with its own declarations, and run for its inputs (every input up to a width, else
// the edges and a fixed sample) against the result its comment block promises (the exact
// result of its title line, or the documented computation of its term lines), and every byte
// its Output line names must be declared. A routine that fails is never printed.
#ifndef TARVEK_PAGE_PRINTED_CHECK_H
#define TARVEK_PAGE_PRINTED_CHECK_H

#include <string_view>

#include "codegen/core.h"
#include "sim/pic_program.h"

namespace tarvek {

// Inputs up to this width are all run before a routine is printed by the web form.
inline constexpr int kPrintedCheckBits = 12;
// Wider inputs run their edges and this many values of a fixed seed.
inline constexpr int kPrintedCheckSample = 64;
// A routine with loops runs one input at a time, each going round its loops tens of times, so
// it runs every input up to this many bits fewer, and above that fewer edges (those where a
// carry crosses a byte) and fewer values of the seed: its proof covers every input, the run
// checks what is printed.
inline constexpr int kLoopCheckFewerBits = 4;
inline constexpr int kLoopCheckSample = 16;

// A generated block and what the request asked for.
struct PrintedRoutine {
  std::string_view block;
  std::string_view acc_name;
  std::string_view temp_name;
  bool little_endian = false;
  // 1 to 32, and the product's width, 1 to 63 (for digits, their count).
  int input_bits = 0;
  int output_bits = 0;
  Core core = Core::kMidrange;
  // The register that receives the remainder; empty for none.
  std::string_view rem_name = {};
};

enum class PrintedCheck {
  // Every input run left the promised result.
  kHolds,
  // Two declared bytes are printed with the same name (names such as X and X1, whose bytes
  // X10 meet once X has eleven bytes): the routine would not assemble, or would overwrite
  // its own input.
  kNamesClash,
  // The routine does not parse, leaves a byte of its Output line undeclared, or some input
  // left another result.
  kFails,
};

// The simulator's name for the core a routine is written for.
PicCore pic_core_of(Core core);

// Runs the check with every input up to `exhaustive_bits` bits (kLoopCheckFewerBits fewer for
// a routine with loops).
PrintedCheck check_printed_routine(const PrintedRoutine& routine, int exhaustive_bits);

}  // namespace tarvek

#endif  // TARVEK_PAGE_PRINTED_CHECK_H

// What the tests of exact routines against gpasm and gpsim share, for either core: the styles
// of a block's instruction lines with literals reduced to their shape, and a check that gpsim
// leaves the same machine state as our simulator after runs from the same starting states.
// The generic pieces (our simulator's run in gpsim's terms, the starting states, the line
// styles) are those of gpsim/crosscheck_support.h.
#ifndef TARVEK_TESTS_EXACT_EXACT_TOOL_CHECKS_H
#define TARVEK_TESTS_EXACT_EXACT_TOOL_CHECKS_H

#include <random>
#include <set>
#include <string>
#include <vector>

#include "gpsim/gpsim_harness.h"
#include "sim/pic_program.h"

namespace tarvek {

// A literal operand written in the shape it has, whatever its value: a bare digit as "N",
// D'12' as "D'N'", D'-12' as "D'-N'". Each shape reads differently in gpasm's default radix.
std::string literal_shape(const std::string& style);

// The styles of a block's instruction lines: mnemonic, the bytes of the two registers as R,
// and literals by their shape.
std::set<std::string> exact_styles(const std::string& block, const std::string& acc_name,
                                   const std::string& temp_name);

// The mnemonic of every instruction line of a block (the lines after its declarations that
// start with a tab), in order.
std::vector<std::string> instruction_mnemonics(const std::string& block);

// The baseline part a routine is run on: the PIC10F200 when its bytes and instructions fit
// that part, else the PIC12F508, with more of both.
GpsimTarget baseline_target_for(const PicProgram& program);

// Runs a routine of registers ACC and TEMP in gpsim, on a part of `core` (for the baseline
// core the one baseline_target_for picks), and on our simulator
// from the edges (as bit patterns 0, 1, the largest and its neighbour, 2^(bits-1) - 1 and
// 2^(bits-1): for a signed input 0, 1, -1, -2 and both ends of the range) and three random
// inputs, each with random other bytes, W and flags, a signed input sign-extended through its
// bytes. Every difference in the bytes, W, STATUS, the cycles or a skip past the end is a test
// failure that names `what` and the run.
void expect_gpsim_agrees(const std::string& block, int bits, bool little_endian, bool is_signed,
                         PicCore core, const std::string& what, std::mt19937& random);

}  // namespace tarvek

#endif  // TARVEK_TESTS_EXACT_EXACT_TOOL_CHECKS_H

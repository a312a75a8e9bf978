// What the cross-checks of generated routines against gpasm and gpsim share: our simulator's
// run of a routine in gpsim's terms, the starting states both are given, and the line styles
// a sample of routines must cover for gpasm.
#ifndef TARVEK_TESTS_GPSIM_CROSSCHECK_SUPPORT_H
#define TARVEK_TESTS_GPSIM_CROSSCHECK_SUPPORT_H

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "gpsim/gpsim_harness.h"
#include "sim/pic_program.h"

namespace tarvek {

// Runs `program` once from `input` (bytes in declaration order) on our simulator and reports
// what gpsim would: every declared byte, W, STATUS, the cycles and a skip past the end, and on
// PIC18 the product bytes.
// Requires: input.bytes has one byte per declared name.
GpsimResult run_ours(const PicProgram& program, const GpsimInput& input);

// What differs between our run and gpsim's from the same state, one clause per differing part
// (the bytes, W, STATUS, the cycles, a skip past the end, the product), e.g. "W 0x12, gpsim
// 0x13"; empty when they agree in every part.
std::string run_difference(const GpsimResult& ours, const GpsimResult& theirs);

// A PIC18 routine run on gpsim's PIC18F452 and on our simulator from the same states.
struct Pic18CrossCheck {
  // Both ran every state: gpasm assembled the routine without a warning or an error (its
  // messages on the core's registers are harmless), gpsim ran it and our parser read it for
  // the PIC18 core with the same declared bytes. `error` says what went wrong otherwise.
  bool ran = false;
  std::string error;
  // Everything gpasm printed.
  std::string assembler_messages;
  // "state K: " and run_difference for each state where the two runs differ, in state order.
  std::vector<std::string> differences;
};

// Runs `routine` once from each of `states` on both and compares every declared byte, W,
// STATUS but OV (C, DC, Z, N and bits 7..5), PRODH:PRODL, the cycles and a skip past the end.
// OV is left out: gpsim 0.31 sets an addition's OV when the sign of its destination's old value
// changes, where the chip sets it on a signed overflow, which the tests pin. A generated block
// comes as routine_from_block(block), instruction lines with their bytes as
// routine_from_instructions(lines, declared).
// Requires: each state has one byte per declared name.
Pic18CrossCheck cross_check_pic18(const GpsimRoutine& routine,
                                  const std::vector<GpsimInput>& states);

// A state to start a routine from: arbitrary bytes, W and flags (drawn from `random`; on PIC18
// also OV, N and the product bytes), with
// `x` in the `input_bits`-bit input register `acc_name` in the given byte order; a signed
// input's bit pattern is sign-extended through the input bytes, as a C integer holds it.
// Requires: x < 2^input_bits; the program declares the input bytes.
GpsimInput starting_state(const PicProgram& program, std::string_view acc_name, int input_bits,
                          bool little_endian, uint64_t x, std::mt19937& random,
                          bool is_signed = false);

// The instruction lines of a generated block, each with a byte operand of one of `registers`
// written as R ("\taddwf\tR, f"): the style of each line, whatever the register names and
// byte indexes. Literals and bit numbers are kept as written.
std::set<std::string> line_styles(std::string_view block,
                                  const std::vector<std::string_view>& registers);

// Names of the registers of the index-th routine of a batch that gpasm assembles as one source
// file, so that the routines declare different bytes; some end in a digit, some are lower
// case.
std::string batch_acc_name(std::size_t index);
std::string batch_temp_name(std::size_t index);

}  // namespace tarvek

#endif  // TARVEK_TESTS_GPSIM_CROSSCHECK_SUPPORT_H

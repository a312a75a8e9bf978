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
// what gpsim would: every declared byte, W, STATUS, the cycles and a skip past the end.
// Requires: input.bytes has one byte per declared name.
GpsimResult run_ours(const PicProgram& program, const GpsimInput& input);

// What differs between our run and gpsim's from the same state, one clause per differing part
// (the bytes, W, STATUS, the cycles, a skip past the end), e.g. "W 0x12, gpsim 0x13"; empty
// when they agree in every part.
std::string run_difference(const GpsimResult& ours, const GpsimResult& theirs);

// A state to start a routine from: arbitrary bytes, W and flags (drawn from `random`), with
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

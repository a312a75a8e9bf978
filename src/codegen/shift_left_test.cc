#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/code_writer.h"
#include "codegen/listing_for_tests.h"
#include "codegen/register.h"
#include "codegen/shift.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

struct Case {
  const char* name;
  bool little_endian;
  bool is_signed;
  int width;
  int n;
  std::string lines;
  int width_after;
  int spare_after;
  int bytes_after;
  bool used_after;
};

const std::string kRot4Le = lines("rlf ACC0, f; rlf ACC1, f; rlf ACC2, f; rlf ACC3, f");
const std::string kRot3Be = lines("rlf ACC2, f; rlf ACC1, f; rlf ACC0, f");

// The worked examples, register ACC with nothing in W and no carry pending.
const Case kCases[] = {
    {"little_8_by_1", true, false, 8, 1, lines("clrc; rlf ACC0, f; clrf ACC1; rlf ACC1, f"), 9, 7,
     2, true},
    {"big_8_by_1", false, false, 8, 1,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; clrc; rlf ACC1, f; rlf ACC0, f"), 9, 7, 2, true},
    {"little_12_by_4", true, false, 12, 4,
     lines("swapf ACC1, f; swapf ACC0, w; andlw D'15'; iorwf ACC1, f; swapf ACC0, w; andlw D'-16'; "
           "movwf ACC0"),
     16, 0, 2, true},
    {"big_12_by_4", false, false, 12, 4,
     lines("swapf ACC0, w; andlw D'-16'; movwf ACC0; swapf ACC1, w; andlw D'15'; iorwf ACC0, f; "
           "swapf ACC1, w; andlw D'-16'; movwf ACC1"),
     16, 0, 2, true},
    {"little_8_by_4", true, false, 8, 4,
     lines("swapf ACC0, w; andlw D'15'; movwf ACC1; swapf ACC0, w; andlw D'-16'; movwf ACC0"), 12,
     4, 2, true},
    {"big_8_by_4", false, false, 8, 4,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; swapf ACC1, w; andlw D'15'; iorwf ACC0, f; "
           "swapf ACC1, w; andlw D'-16'; movwf ACC1"),
     12, 4, 2, true},
    {"little_24_by_4", true, false, 24, 4,
     lines("clrc; rlf ACC0, f; rlf ACC1, f; rlf ACC2, f; clrf ACC3; rlf ACC3, f") +
         repeat(kRot4Le, 3),
     28, 4, 4, true},
    {"little_16_by_4", true, false, 16, 4,
     lines("swapf ACC1, w; andlw D'15'; movwf ACC2; swapf ACC1, w; andlw D'-16'; movwf ACC1; "
           "swapf ACC0, w; andlw D'15'; iorwf ACC1, f; swapf ACC0, w; andlw D'-16'; movwf ACC0"),
     20, 4, 3, true},
    {"big_16_by_4", false, false, 16, 4,
     lines("movf ACC1, w; movwf ACC2; movf ACC0, w; movwf ACC1; clrf ACC0; clrc") +
         repeat(kRot3Be, 4),
     20, 4, 3, true},
    {"big_8_by_5", false, false, 8, 5,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; swapf ACC1, w; andlw D'15'; iorwf ACC0, f; "
           "swapf ACC1, w; andlw D'-16'; movwf ACC1; clrc; rlf ACC1, f; rlf ACC0, f"),
     13, 3, 2, true},
    {"little_2_by_6", true, false, 2, 6,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; rrf ACC1, f; rrf ACC0, f; rrf ACC1, f; "
           "rrf ACC0, f"),
     8, 0, 2, true},
    {"big_8_by_6", false, false, 8, 6,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; clrf ACC2; rrf ACC0, f; rrf ACC1, f; "
           "rrf ACC2, f; rrf ACC0, f; rrf ACC1, f; rrf ACC2, f; movf ACC1, w; movwf ACC0; "
           "movf ACC2, w; movwf ACC1"),
     14, 2, 3, true},
    {"little_8_by_7", true, false, 8, 7,
     lines("clrc; rrf ACC0, w; movwf ACC1; clrf ACC0; rrf ACC0, f"), 15, 1, 2, true},
    {"big_8_by_7", false, false, 8, 7,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; rrf ACC0, f; rrf ACC1, w; movwf ACC0; "
           "clrf ACC1; rrf ACC1, f"),
     15, 1, 2, true},
    {"little_8_by_8", true, false, 8, 8, lines("movf ACC0, w; movwf ACC1; clrf ACC0"), 16, 0, 2,
     true},
    {"big_8_by_8", false, false, 8, 8, lines("clrf ACC1"), 16, 0, 2, false},
    {"little_8_by_10", true, false, 8, 10,
     lines("clrc; rlf ACC0, f; clrf ACC1; rlf ACC1, f; rlf ACC0, f; rlf ACC1, f; movf ACC1, w; "
           "movwf ACC2; movf ACC0, w; movwf ACC1; clrf ACC0"),
     18, 6, 3, true},
    {"big_8_by_10", false, false, 8, 10,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; clrf ACC2; clrc; rlf ACC2, f; rlf ACC1, f; "
           "rlf ACC0, f; rlf ACC2, f; rlf ACC1, f; rlf ACC0, f"),
     18, 6, 3, true},
    {"little_8_by_15", true, false, 8, 15,
     lines("clrc; rrf ACC0, w; movwf ACC1; clrf ACC0; rrf ACC0, f; movwf ACC2; movf ACC0, w; "
           "movwf ACC1; clrf ACC0"),
     23, 1, 3, true},
    // Signed big-endian: the inserted top byte is sign-extended, every rotate pass starts
    // with clrc, and the nibble step does not skip byte 0.
    {"signed_big_8_by_2", false, true, 8, 2,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; btfsc ACC1, 7; comf ACC0, f; clrc; "
           "rlf ACC1, f; rlf ACC0, f; clrc; rlf ACC1, f; rlf ACC0, f"),
     10, 6, 2, true},
    {"signed_big_8_by_5", false, true, 8, 5,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; btfsc ACC1, 7; comf ACC0, f; swapf ACC0, w; "
           "andlw D'-16'; movwf ACC0; swapf ACC1, w; andlw D'15'; iorwf ACC0, f; swapf ACC1, w; "
           "andlw D'-16'; movwf ACC1; clrc; rlf ACC1, f; rlf ACC0, f"),
     13, 3, 2, true},
    {"signed_big_4_by_2", false, true, 4, 2, lines("clrc; rlf ACC0, f; clrc; rlf ACC0, f"), 6, 2, 1,
     true},
    {"signed_big_8_by_7", false, true, 8, 7,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; btfsc ACC1, 7; comf ACC0, f; rrf ACC0, f; "
           "rrf ACC1, w; movwf ACC0; clrf ACC1; rrf ACC1, f"),
     15, 1, 2, true},
    // Signed little-endian: the sign enters the right rotates at the top, a byte added by a
    // rotate pass is sign-extended, and the nibble step gives way to rotate passes.
    {"signed_little_8_by_7", true, true, 8, 7,
     lines("rlf ACC0, w; rrf ACC0, w; movwf ACC1; clrf ACC0; rrf ACC0, f"), 15, 1, 2, true},
    {"signed_little_8_by_6", true, true, 8, 6,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; rlf ACC1, w; rrf ACC1, f; rrf ACC0, f; "
           "rlf ACC1, w; rrf ACC1, f; rrf ACC0, f"),
     14, 2, 2, true},
    {"signed_little_8_by_2", true, true, 8, 2,
     lines("clrc; rlf ACC0, f; clrf ACC1; skpnc; comf ACC1, f; clrc; rlf ACC0, f; rlf ACC1, f"), 10,
     6, 2, true},
    {"signed_little_12_by_4", true, true, 12, 4, repeat(lines("clrc; rlf ACC0, f; rlf ACC1, f"), 4),
     16, 0, 2, true},
};

TEST(ShiftLeftTest, WorkedExamples) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Register acc("ACC", c.width, c.little_endian);
    acc.is_signed = c.is_signed;
    CodeWriter writer;
    const Code& code = shift_left(writer, acc, c.n);
    EXPECT_EQ(code, c.lines);
    EXPECT_EQ(&code, &writer.code);
    EXPECT_EQ(acc.width, c.width_after);
    EXPECT_EQ(acc.spare, c.spare_after);
    EXPECT_EQ(acc.bytes, c.bytes_after);
    EXPECT_EQ(acc.used, c.used_after);
    EXPECT_EQ(acc.is_signed, c.is_signed);
  }
}

TEST(ShiftLeftTest, ClearsZeroFlagAndCarryStateAndEmptiesText) {
  Register acc("ACC", 8, true);
  acc.is_zero = true;
  CodeWriter writer;
  writer.code.text() = "\tstale\n";
  writer.set_carry_known(true, acc);
  shift_left(writer, acc, 8);
  EXPECT_FALSE(acc.is_zero);
  EXPECT_EQ(writer.code.text(), lines("movf ACC0, w; movwf ACC1; clrf ACC0"));
  EXPECT_EQ(writer.carry_register, &acc);
  EXPECT_FALSE(writer.carry_known);
  EXPECT_FALSE(writer.carry_overflow);
}

TEST(ShiftLeftTest, LoadOfByteAlreadyInWIsLeftOut) {
  Register acc("ACC", 8, true);
  CodeWriter writer;
  writer.movwf(acc, 0);
  EXPECT_EQ(shift_left(writer, acc, 8), lines("movwf ACC1; clrf ACC0"));
}

TEST(ShiftLeftTest, PendingCarryOfOtherRegisterIsStoredFirst) {
  for (const bool little : {true, false}) {
    SCOPED_TRACE(little ? "little" : "big");
    Register acc("ACC", 16, little);
    Register temp("TEMP", 8, little);
    CodeWriter writer;
    writer.set_carry_known(true, acc);
    writer.set_carry_overflow(true, acc);
    const std::string flush = little ? lines("clrf ACC2; rlf ACC2, f")
                                     : lines(
                                           "movf ACC1, w; movwf ACC2; movf ACC0, w; movwf ACC1; "
                                           "clrf ACC0; rlf ACC0, f");
    const std::string shift = little ? lines("clrc; rlf TEMP0, f; clrf TEMP1; rlf TEMP1, f")
                                     : lines(
                                           "movf TEMP0, w; movwf TEMP1; clrf TEMP0; clrc; "
                                           "rlf TEMP1, f; rlf TEMP0, f");
    EXPECT_EQ(shift_left(writer, temp, 1), flush + shift);
    EXPECT_EQ(acc.width, 17);
    EXPECT_EQ(acc.spare, 7);
    EXPECT_EQ(acc.bytes, 3);
    EXPECT_EQ(temp.width, 9);
    EXPECT_EQ(writer.carry_register, &temp);
    EXPECT_FALSE(writer.carry_overflow_of(acc));
    EXPECT_FALSE(writer.carry_overflow);
    EXPECT_FALSE(writer.carry_known);
  }
}

TEST(ShiftLeftTest, PendingCarryOfSameRegisterWidensItFirst) {
  Register acc("ACC", 8, true);
  CodeWriter writer;
  writer.set_carry_overflow(true, acc);
  EXPECT_EQ(shift_left(writer, acc, 1),
            lines("clrf ACC1; rlf ACC1, f; clrc; rlf ACC0, f; rlf ACC1, f"));
  EXPECT_EQ(acc.width, 10);
  EXPECT_EQ(acc.spare, 6);
  EXPECT_EQ(acc.bytes, 2);
}

// A signed register gets 8 spare bits from a carry flush; a whole-byte count must still add
// its bytes although it does not exceed the spare bits.
TEST(ShiftLeftTest, WholeBytesAreAddedWhenSpareIsEightOrMore) {
  Register acc("ACC", 8, false);
  acc.is_signed = true;
  CodeWriter writer;
  writer.set_carry_overflow(true, acc);
  EXPECT_EQ(shift_left(writer, acc, 8),
            lines("movf ACC0, w; movwf ACC1; clrf ACC0; skpc; comf ACC0, f; clrf ACC2"));
  EXPECT_EQ(acc.width, 16);
  EXPECT_EQ(acc.spare, 8);
  EXPECT_EQ(acc.bytes, 3);
}

// --- Running the generated code on the simulator ---

// A register state before the shifts, with the pending carry the test gives it.
struct Setup {
  bool little_endian;
  bool is_signed;
  int width;
  int spare;
  // carry_overflow is set for the register before the first shift (needs spare 0).
  bool pending_carry;
  Core core = Core::kMidrange;
};

std::string describe(const Setup& s, const std::vector<int>& counts) {
  std::string text = std::string(s.little_endian ? "little" : "big") +
                     (s.is_signed ? " signed" : "") + " width " + std::to_string(s.width) +
                     " spare " + std::to_string(s.spare) + (s.pending_carry ? " carry" : "") +
                     (s.core == Core::kEnhanced ? " enhanced" : "") + " by";
  for (const int n : counts) {
    text += ' ';
    text += std::to_string(n);
  }
  return text;
}

uint64_t low_bits(uint64_t value, int bits) {
  return bits >= 64 ? value : value & ((uint64_t{1} << bits) - 1);
}

uint64_t next_random(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The values the register can hold: unsigned below 2^bits, signed in [-2^(bits-1),
// 2^(bits-1)), where bits is the width plus the pending carry bit. The edges (0, 1, -1, the
// lowest, the highest, the top bit alone) and a few random ones.
std::vector<int64_t> sample_values(const Setup& s, uint64_t seed) {
  const int bits = s.width + (s.pending_carry ? 1 : 0);
  const int64_t lo = s.is_signed ? -(int64_t{1} << (bits - 1)) : 0;
  const int64_t hi = s.is_signed ? (int64_t{1} << (bits - 1)) - 1 : (int64_t{1} << bits) - 1;
  std::vector<int64_t> values = {0, lo, hi};
  if (hi >= 1) values.push_back(1);
  if (lo <= -1) values.push_back(-1);
  if (!s.is_signed) values.push_back(int64_t{1} << (bits - 1));
  for (int i = 0; i < 3; ++i) {
    values.push_back(lo + static_cast<int64_t>(next_random(seed) % uint64_t(hi - lo + 1)));
  }
  return values;
}

// The register in state `s` after shifts by each of `counts` in turn, written for `core`;
// returns the collected code.
std::string shifted(const Setup& s, const std::vector<int>& counts, Core core, Register& reg) {
  reg.set_width(s.width, s.spare);
  reg.is_signed = s.is_signed;
  CodeWriter writer(core);
  if (s.pending_carry) writer.set_carry_overflow(true, reg);
  std::string text;
  for (const int n : counts) text += shift_left(writer, reg, n);
  return text;
}

// Shifts a register in state `s` by each of `counts` in turn, runs the collected code from
// arbitrary machine contents with each sample value in the value bytes, and checks that the
// value bytes afterwards hold value * 2^(sum of counts) and that the fields agree. The
// enhanced core must leave the fields the mid-range one leaves, in no more instructions.
// Returns the number of failures, reporting the first few.
int check_shifts(const Setup& s, const std::vector<int>& counts) {
  int failures = 0;
  auto fail = [&](const std::string& what) {
    if (++failures <= 3) ADD_FAILURE() << describe(s, counts) << ": " << what;
  };
  Register reg("ACC", 0, s.little_endian);
  const int bytes_in = (s.width + s.spare + 7) / 8;
  const std::string text = shifted(s, counts, s.core, reg);
  int total = 0;
  for (const int n : counts) total += n;
  if (s.core == Core::kEnhanced) {
    Register midrange("ACC", 0, s.little_endian);
    const std::string midrange_text = shifted(s, counts, Core::kMidrange, midrange);
    if (reg.width != midrange.width || reg.spare != midrange.spare || reg.bytes != midrange.bytes ||
        reg.used != midrange.used) {
      fail("fields differ from the mid-range core's");
    }
    if (std::count(text.begin(), text.end(), '\n') >
        std::count(midrange_text.begin(), midrange_text.end(), '\n')) {
      fail("longer than the mid-range code");
    }
  }

  const int grown = total + (s.pending_carry && !s.is_signed ? 1 : 0);
  if (reg.width != s.width + grown) fail("width " + std::to_string(reg.width));
  if ((reg.width + reg.spare) % 8 != 0) fail("width + spare " + std::to_string(reg.spare));
  const bool spare_kept_small = s.spare <= 7 && !(s.is_signed && s.pending_carry);
  if (reg.spare < 0 || (spare_kept_small && reg.spare > 7)) {
    fail("spare " + std::to_string(reg.spare));
  }
  const int bytes_out = reg.value_bytes();
  // At most one byte beyond the value bytes (the six-bit cases) is allocated anew; a byte
  // that was all spare before may also stay allocated.
  if (reg.bytes < bytes_out || reg.bytes > std::max(bytes_out, bytes_in) + 1) {
    fail("bytes " + std::to_string(reg.bytes));
  }
  if (failures > 0) return failures;

  std::vector<std::string> declared;
  for (int k = 0; k < reg.bytes; ++k) declared.push_back("ACC" + std::to_string(k));
  const ParseOutcome parsed = parse_instructions(
      text, declared, s.core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange);
  if (!parsed.program) {
    fail("does not parse: " + parsed.error);
    return failures;
  }
  const PicProgram& program = *parsed.program;
  const std::vector<int> in = program.value_indexes("ACC", bytes_in, s.little_endian);
  const std::vector<int> out = program.value_indexes("ACC", bytes_out, s.little_endian);
  PicMachine machine(program);
  uint64_t seed = uint64_t(s.width) * 1000003u + uint64_t(total) * 7919u + s.spare;
  for (const int64_t value : sample_values(s, seed)) {
    const uint64_t pattern = static_cast<uint64_t>(value);
    const uint64_t expected = low_bits(pattern << total, 8 * bytes_out);
    // The bytes must hold the whole product, not just its low bits.
    const int64_t product = value * (int64_t{1} << total);
    const bool fits =
        8 * bytes_out >= 64 || (s.is_signed ? product >= -(int64_t{1} << (8 * bytes_out - 1)) &&
                                                  product < (int64_t{1} << (8 * bytes_out - 1))
                                            : product < (int64_t{1} << (8 * bytes_out)));
    if (!fits) fail("value " + std::to_string(value) + " does not fit the bytes");
    for (int round = 0; round < 2; ++round) {
      machine.fill(next_random(seed));
      machine.write_value(in, low_bits(pattern, 8 * bytes_in));
      if (s.pending_carry) {
        // The carry holds the bit above the top byte; for a signed value, the inverse of the
        // sign of the value extended by one byte.
        machine.carry = s.is_signed ? value >= 0 : (pattern >> (8 * bytes_in)) & 1;
      }
      const RunStats stats = machine.run();
      const uint64_t got = machine.read_value(out);
      if (got != expected || stats.skipped_past_end || machine.bank_bits != 0) {
        fail("value " + std::to_string(value) + " gives " + std::to_string(got) + ", expected " +
             std::to_string(expected));
      }
    }
  }
  return failures;
}

// Every width 1..32 (or the given widths), every count with width + count <= limit, both byte
// orders, both cores.
int sweep(bool is_signed, bool pending_carry, int extra_spare, const std::vector<int>& widths,
          int limit) {
  int failures = 0;
  for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
    for (const bool little : {true, false}) {
      for (const int width : widths) {
        const int spare = (8 - width % 8) % 8 + extra_spare;
        for (int n = 1; n <= 31 && width + (pending_carry ? 1 : 0) + n <= limit; ++n) {
          failures += check_shifts({little, is_signed, width, spare, pending_carry, core}, {n});
        }
      }
    }
  }
  return failures;
}

std::vector<int> widths_from(int first, int last, int step) {
  std::vector<int> widths;
  for (int w = first; w <= last; w += step) widths.push_back(w);
  return widths;
}

TEST(ShiftLeftSweep, UnsignedProductsForEveryWidthAndCount) {
  EXPECT_EQ(sweep(false, false, 0, widths_from(1, 32, 1), 63), 0);
}

TEST(ShiftLeftSweep, PendingCarryIsStoredAboveTheValue) {
  EXPECT_EQ(sweep(false, true, 0, widths_from(8, 56, 8), 63), 0);
}

TEST(ShiftLeftSweep, SignedProductsForEveryWidthAndCount) {
  EXPECT_EQ(sweep(true, false, 0, widths_from(1, 32, 1), 63), 0);
}

TEST(ShiftLeftSweep, SignedWithPendingCarry) {
  EXPECT_EQ(sweep(true, true, 0, widths_from(8, 48, 8), 62), 0);
}

// The open case: a register with a whole byte of spare bits above the value.
TEST(ShiftLeftSweep, EightOrMoreSpareBits) {
  EXPECT_EQ(sweep(false, false, 8, widths_from(1, 32, 1), 48), 0);
  EXPECT_EQ(sweep(true, false, 8, widths_from(1, 32, 1), 48), 0);
}

TEST(ShiftLeftSweep, RepeatedShiftsAddUp) {
  int failures = 0;
  for (const bool little : {true, false}) {
    for (const int width : {1, 5, 8, 12, 16, 23, 32}) {
      const int spare = (8 - width % 8) % 8;
      for (int a = 1; a <= 15; ++a) {
        for (int b = 1; b <= 15 && width + a + b <= 63; ++b) {
          for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
            failures += check_shifts({little, false, width, spare, false, core}, {a, b});
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace tarvek

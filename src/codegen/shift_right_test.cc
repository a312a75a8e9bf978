#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
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

// Values of up to 64 bits plus a carried bit, and their arithmetic shifts.
__extension__ typedef __int128 Wide;

// A register ACC with the given fields, allocated exactly for its value.
Register make_acc(bool little_endian, bool is_signed, int width, int spare) {
  Register reg("ACC", 0, little_endian);
  reg.is_signed = is_signed;
  reg.set_width(width, spare);
  return reg;
}

// Carry state of ACC on entry: nothing, a carry known to be clear, or a pending overflow
// (set by an addition together with carry_known).
enum class Carry { kNone, kKnown, kOverflow };

void set_carry(CodeWriter& writer, Register& reg, Carry carry) {
  if (carry == Carry::kNone) return;
  writer.set_carry_known(true, reg);
  writer.set_carry_overflow(carry == Carry::kOverflow, reg);
}

struct Case {
  const char* name;
  bool little_endian;
  bool is_signed;
  int width;
  int spare;
  int n;
  Carry carry;
  std::string lines;
  int width_after;
  int spare_after;
  int bytes_after;
};

const std::string kBe16Bit = lines("clrc; rrf ACC0, f; rrf ACC1, f");
const std::string kLe16Bit = lines("clrc; rrf ACC1, f; rrf ACC0, f");

// The worked examples (register ACC, unsigned unless marked, nothing in W), then edge cases.
const Case kCases[] = {
    {"big_16_by_3", false, false, 16, 0, 3, Carry::kNone, repeat(kBe16Bit, 3), 13, 3, 2},
    {"big_16_by_3_known", false, false, 16, 0, 3, Carry::kKnown,
     lines("rrf ACC0, f; rrf ACC1, f") + repeat(kBe16Bit, 2), 13, 3, 2},
    {"big_16_by_7", false, false, 16, 0, 7, Carry::kNone,
     lines("rlf ACC1, f; rlf ACC0, w; movwf ACC1; clrf ACC0; rlf ACC0, f"), 9, 7, 2},
    {"little_16_by_7", true, false, 16, 0, 7, Carry::kNone,
     lines("rlf ACC0, f; rlf ACC1, w; movwf ACC0; clrf ACC1; rlf ACC1, f"), 9, 7, 2},
    {"big_16_by_6", false, false, 16, 0, 6, Carry::kNone,
     lines("movf ACC1, w; movwf ACC2; movf ACC0, w; movwf ACC1; clrf ACC0") +
         repeat(lines("rlf ACC2, f; rlf ACC1, f; rlf ACC0, f"), 2),
     10, 6, 3},
    {"little_16_by_6", true, false, 16, 0, 6, Carry::kNone,
     lines("rlf ACC0, f; rlf ACC1, f; clrf ACC2; rlf ACC2, f; rlf ACC0, f; rlf ACC1, f; "
           "rlf ACC2, f; movf ACC1, w; movwf ACC0; movf ACC2, w; movwf ACC1"),
     10, 6, 3},
    {"big_16_by_8", false, false, 16, 0, 8, Carry::kNone, "", 8, 0, 2},
    {"big_24_by_12", false, false, 24, 0, 12, Carry::kNone, repeat(kBe16Bit, 4), 12, 4, 3},
    {"little_8_by_4_signed", true, true, 8, 0, 4, Carry::kNone,
     lines("swapf ACC0, w; andlw D'15'; btfsc ACC0, 7; iorlw D'-16'; movwf ACC0"), 4, 4, 1},
    // The lines are the worked example's. Its fields (15/1) lose the carried bit: a carry of 1
    // with all bytes 0xFF shifts to 65535, which needs 16 bits; so width falls by n - 1 here.
    {"little_24_by_9_overflow", true, false, 24, 0, 9, Carry::kOverflow,
     lines("movf ACC1, w; movwf ACC0; movf ACC2, w; movwf ACC1; rrf ACC1, f; rrf ACC0, f"), 16, 0,
     3},

    {"big_multiple_of_8_spare_byte", false, false, 16, 8, 8, Carry::kNone,
     lines("movf ACC1, w; movwf ACC0"), 8, 0, 3},
    {"big_by_2_overflow_no_clrc", false, false, 16, 0, 2, Carry::kOverflow,
     lines("rrf ACC0, f; rrf ACC1, f") + kBe16Bit, 15, 1, 2},
    {"big_whole_byte_overflow_flushes", false, false, 16, 0, 8, Carry::kOverflow,
     lines("movf ACC1, w; movwf ACC2; movf ACC0, w; movwf ACC1; clrf ACC0; rlf ACC0, f"), 9, 7, 3},
    // The byte count is taken after the flush, so ACC2 (the carried bit) moves down too.
    {"little_whole_byte_overflow_flushes", true, false, 16, 0, 8, Carry::kOverflow,
     lines("clrf ACC2; rlf ACC2, f; movf ACC1, w; movwf ACC0; movf ACC2, w; movwf ACC1"), 9, 7, 3},
    {"big_signed_bits", false, true, 12, 4, 2, Carry::kNone,
     repeat(lines("rlf ACC0, w; rrf ACC0, f; rrf ACC1, f"), 2), 10, 6, 2},
    {"little_signed_bits", true, true, 12, 4, 2, Carry::kNone,
     repeat(lines("rlf ACC1, w; rrf ACC1, f; rrf ACC0, f"), 2), 10, 6, 2},
    // A pending carry of a signed register is its inverted sign; it enters bit 7 of the top
    // byte and adding 0x80 there turns it into the sign.
    {"big_signed_overflow", false, true, 16, 0, 2, Carry::kOverflow,
     lines("rrf ACC0, f; rrf ACC1, f; movlw D'-128'; addwf ACC0, f; rlf ACC0, w; rrf ACC0, f; "
           "rrf ACC1, f"),
     14, 2, 2},
    {"little_signed_overflow", true, true, 16, 0, 1, Carry::kOverflow,
     lines("rrf ACC1, f; rrf ACC0, f; movlw D'-128'; addwf ACC1, f"), 15, 1, 2},
    {"big_16_by_12_nibble", false, false, 16, 0, 12, Carry::kNone,
     lines("swapf ACC0, w; andlw D'15'; movwf ACC0"), 4, 4, 2},
    {"big_16_by_13_nibble_and_bit", false, false, 16, 0, 13, Carry::kNone,
     lines("swapf ACC0, w; andlw D'15'; movwf ACC0; clrc; rrf ACC0, f"), 3, 5, 2},
    {"big_nibble_overflow", false, false, 8, 0, 4, Carry::kOverflow,
     lines("swapf ACC0, w; andlw D'15'; movwf ACC0; skpnc; bsf ACC0, 4"), 5, 3, 1},
    {"big_nibble_signed", false, true, 8, 0, 5, Carry::kNone,
     lines("swapf ACC0, w; andlw D'15'; movwf ACC0; movlw D'-16'; btfsc ACC0, 3; iorwf ACC0, f; "
           "rlf ACC0, w; rrf ACC0, f"),
     3, 5, 1},
    {"little_16_by_4_bit_passes", true, false, 16, 0, 4, Carry::kNone, repeat(kLe16Bit, 4), 12, 4,
     2},
    {"little_nibble_overflow", true, false, 8, 0, 5, Carry::kOverflow,
     lines("swapf ACC0, w; andlw D'15'; skpnc; iorlw D'16'; movwf ACC0; clrc; rrf ACC0, f"), 4, 4,
     1},
    {"little_nibble_signed_overflow", true, true, 8, 0, 4, Carry::kOverflow,
     lines("swapf ACC0, w; andlw D'15'; skpc; iorlw D'-16'; movwf ACC0"), 4, 4, 1},
    {"little_seven_unsigned_spare", true, false, 15, 1, 7, Carry::kNone,
     lines("rlf ACC0, f; rlf ACC1, w; movwf ACC0"), 8, 0, 2},
    // The sign byte is written and kept (spare 8): with spare 0 the value -32768 would shift
    // to one byte, which cannot hold -256.
    {"little_seven_signed_spare_1", true, true, 15, 1, 7, Carry::kNone,
     lines("rlf ACC0, f; rlf ACC1, w; movwf ACC0; clrf ACC1; skpnc; comf ACC1, f"), 8, 8, 2},
    {"big_seven_signed_spare_1", false, true, 15, 1, 7, Carry::kNone,
     lines("rlf ACC1, f; rlf ACC0, w; movwf ACC1; clrf ACC0; skpnc; comf ACC0, f"), 8, 8, 2},
    {"big_six_room", false, false, 10, 6, 6, Carry::kNone,
     lines("rlf ACC1, f; rlf ACC0, f; rlf ACC1, f; rlf ACC0, f"), 4, 4, 2},
    {"big_six_no_room_overflow", false, false, 8, 0, 6, Carry::kOverflow,
     lines("movf ACC0, w; movwf ACC1; clrf ACC0; skpnc; bsf ACC0, 0; rlf ACC1, f; rlf ACC0, f; "
           "rlf ACC1, f; rlf ACC0, f"),
     3, 5, 2},
    {"big_six_no_room_signed", false, true, 14, 2, 6, Carry::kNone,
     lines("movf ACC1, w; movwf ACC2; movf ACC0, w; movwf ACC1; clrf ACC0; btfsc ACC1, 7; "
           "comf ACC0, f") +
         repeat(lines("rlf ACC2, f; rlf ACC1, f; rlf ACC0, f"), 2),
     8, 8, 3},
    // Compaction keeps one spare bit of a signed register: a negated 9-bit value shifted by 1
    // stays in two bytes (one byte cannot hold -150).
    {"big_signed_compaction_keeps_sign", false, true, 9, 7, 1, Carry::kNone,
     lines("rlf ACC0, w; rrf ACC0, f; rrf ACC1, f"), 8, 8, 2},
    {"big_unsigned_compaction", false, false, 9, 7, 1, Carry::kNone,
     lines("clrc; rrf ACC0, f; rrf ACC1, f; movf ACC1, w; movwf ACC0"), 8, 0, 2},
};

TEST(ShiftRight, ExamplesAndEdges) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Register acc = make_acc(c.little_endian, c.is_signed, c.width, c.spare);
    CodeWriter writer;
    set_carry(writer, acc, c.carry);
    const std::string text = shift_right(writer, acc, c.n).text();
    EXPECT_EQ(text, c.lines);
    EXPECT_EQ(writer.code.text(), c.lines);
    EXPECT_EQ(acc.width, c.width_after);
    EXPECT_EQ(acc.spare, c.spare_after);
    EXPECT_EQ(acc.bytes, c.bytes_after);
    EXPECT_FALSE(acc.is_zero);
    EXPECT_EQ(writer.carry_register, &acc);
    EXPECT_FALSE(writer.carry_overflow);
    EXPECT_FALSE(writer.carry_known);
  }
}

TEST(ShiftRight, ZeroCaseWritesNothingAndKeepsWriterText) {
  for (const int n : {16, 17, 40}) {
    SCOPED_TRACE(n);
    Register acc = make_acc(false, false, 16, 0);
    Register temp("TEMP", 8, false);
    CodeWriter writer;
    writer.code.push_back(Instruction{Op::kClrw, kNoFile, false, 0, 0});
    writer.set_carry_known(true, temp);
    EXPECT_EQ(shift_right(writer, acc, n), "");
    EXPECT_EQ(writer.code.text(), "\tclrw\n");
    EXPECT_EQ(acc.width, 0);
    EXPECT_EQ(acc.spare, 0);
    EXPECT_EQ(acc.bytes, 2);
    EXPECT_TRUE(acc.is_zero);
    EXPECT_FALSE(acc.used);
    EXPECT_EQ(writer.carry_register, &temp);
    EXPECT_TRUE(writer.carry_known);
  }
}

// Shifting out exactly the width leaves a pending carry as the whole value (weight 1, stored
// by whoever flushes it); a longer shift drops it as well.
TEST(ShiftRight, ZeroCaseWithPendingCarry) {
  Register acc = make_acc(true, false, 8, 0);
  CodeWriter writer;
  set_carry(writer, acc, Carry::kOverflow);
  EXPECT_EQ(shift_right(writer, acc, 8), "");
  EXPECT_TRUE(writer.carry_overflow_of(acc));
  EXPECT_EQ(writer.flush_carry(), lines("clrf ACC0; rlf ACC0, f"));
  EXPECT_EQ(acc.width, 1);

  Register longer = make_acc(true, false, 8, 0);
  set_carry(writer, longer, Carry::kOverflow);
  EXPECT_EQ(shift_right(writer, longer, 9), "");
  EXPECT_FALSE(writer.carry_overflow_of(longer));
  EXPECT_TRUE(longer.is_zero);
}

// A signed register keeps its sign: shifting out every bit below it leaves 0 or -1.
TEST(ShiftRight, SignedShiftStopsAtTheSign) {
  Register acc = make_acc(false, true, 4, 4);
  CodeWriter writer;
  // Clamped to the 4 value bits: the nibble step, filling the top nibble with the sign.
  EXPECT_EQ(
      shift_right(writer, acc, 9),
      lines("swapf ACC0, w; andlw D'15'; movwf ACC0; movlw D'-16'; btfsc ACC0, 3; iorwf ACC0, f"));
  EXPECT_EQ(acc.width, 0);
  EXPECT_EQ(acc.spare, 8);
  EXPECT_FALSE(acc.is_zero);
  writer.code.clear();
  writer.code.push_back(Instruction{Op::kClrw, kNoFile, false, 0, 0});
  EXPECT_EQ(shift_right(writer, acc, 3), "");  // Only the sign is left: nothing to do.
  EXPECT_EQ(writer.code.text(), "\tclrw\n");
}

// Another register's pending carry is stored before anything can change the carry.
TEST(ShiftRight, FlushesAnotherRegistersCarryFirst) {
  struct Path {
    const char* name;
    int width;
    int spare;
    int n;
    std::string acc_lines;
  };
  const Path paths[] = {
      {"bits", 16, 0, 3, repeat(kBe16Bit, 3)},
      {"whole_bytes", 16, 0, 8, ""},
      {"six_with_room", 10, 6, 6, lines("rlf ACC1, f; rlf ACC0, f; rlf ACC1, f; rlf ACC0, f")},
  };
  const std::string temp_flush = lines("movf TEMP0, w; movwf TEMP1; clrf TEMP0; rlf TEMP0, f");
  for (const Path& p : paths) {
    SCOPED_TRACE(p.name);
    Register acc = make_acc(false, false, p.width, p.spare);
    Register temp("TEMP", 8, false);
    CodeWriter writer;
    set_carry(writer, temp, Carry::kOverflow);
    const std::string text = shift_right(writer, acc, p.n).text();
    EXPECT_EQ(text, p.width == 16 && p.n == 8 ? temp_flush : temp_flush + p.acc_lines);
    EXPECT_EQ(temp.width, 9);
    EXPECT_EQ(writer.carry_register, &acc);
    EXPECT_FALSE(writer.carry_overflow);
  }
}

// --- Running the generated code on the simulator ---

Wide pow2(int bits) {
  return static_cast<Wide>(1) << bits;
}

// One shift: the generator's output for a register state, checked on the simulator for many
// values. Reports the first disagreement with plain arithmetic through gtest.
struct SweepCase {
  bool little_endian;
  bool is_signed;
  int width;
  int spare;
  int n;
  Carry carry;
  // The W record names this byte of ACC on entry (and the machine's W holds it); -1: nothing.
  int w_byte;
  Core core = Core::kMidrange;

  std::string describe() const {
    return std::string(little_endian ? "little" : "big") + (is_signed ? " signed " : " ") +
           std::to_string(width) + "/" + std::to_string(spare) + " n=" + std::to_string(n) +
           " carry=" + std::to_string(static_cast<int>(carry)) + " w=" + std::to_string(w_byte) +
           (core == Core::kEnhanced ? " enhanced" : "");
  }
};

// The register and writer state after the shift of case `c`, written for `core`. The writer
// refers to `acc`, so the whole stays where it was made.
struct Shifted {
  Shifted(const SweepCase& c, Core core)
      : acc(make_acc(c.little_endian, c.is_signed, c.width, c.spare)), writer(core) {
    set_carry(writer, acc, c.carry);
    if (c.w_byte >= 0) {
      writer.w_register = &acc;
      writer.w_byte = c.w_byte;
    }
    text = shift_right(writer, acc, c.n).text();
  }
  Shifted(const Shifted&) = delete;
  Shifted& operator=(const Shifted&) = delete;

  Register acc;
  CodeWriter writer;
  std::string text;
};

PicCore pic_core(Core core) {
  return core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange;
}

// Bits the entry value may occupy, its sign (signed) or the carried bit included.
int value_bits(const SweepCase& c) {
  const bool extra = c.carry == Carry::kOverflow || (c.is_signed && c.spare > 0);
  return c.width + (extra ? 1 : 0);
}

std::vector<Wide> sample_values(const SweepCase& c, std::mt19937_64& random) {
  const int bits = value_bits(c);
  std::vector<Wide> values;
  auto random_bits = [&]() {
    const Wide r = (static_cast<Wide>(random()) << 64) | random();
    return r & (pow2(bits) - 1);
  };
  if (c.is_signed) {
    const Wide half = pow2(bits - 1);
    values = {0, 1, -1, half - 1, -half};
    for (int i = 0; i < 3; ++i) values.push_back(random_bits() - half);
  } else {
    values = {0, 1, pow2(bits) - 1, pow2(bits - 1)};
    for (int i = 0; i < 3; ++i) values.push_back(random_bits());
  }
  return values;
}

// Adds the number of values run to `runs`.
void run_sweep_case(const SweepCase& c, std::mt19937_64& random, long& runs) {
  SCOPED_TRACE(c.describe());
  const Register entry = make_acc(c.little_endian, c.is_signed, c.width, c.spare);
  const int bytes_in = entry.value_bytes();
  const int bytes_before = entry.bytes;
  Shifted result(c, c.core);
  Register& acc = result.acc;
  CodeWriter& writer = result.writer;
  const std::string& text = result.text;
  const int bytes_out = acc.value_bytes();
  const bool pending = writer.carry_overflow_of(acc);
  if (c.core == Core::kEnhanced) {
    // The same fields and carry state as the mid-range core leaves, in no more instructions.
    const Shifted midrange(c, Core::kMidrange);
    ASSERT_EQ(acc.width, midrange.acc.width);
    ASSERT_EQ(acc.spare, midrange.acc.spare);
    ASSERT_EQ(acc.bytes, midrange.acc.bytes);
    ASSERT_EQ(acc.is_zero, midrange.acc.is_zero);
    ASSERT_EQ(pending, midrange.writer.carry_overflow_of(midrange.acc));
    ASSERT_LE(std::count(text.begin(), text.end(), '\n'),
              std::count(midrange.text.begin(), midrange.text.end(), '\n'));
  }

  // Descriptor invariants.
  ASSERT_EQ((acc.width + acc.spare) % 8, 0);
  ASSERT_GE(acc.bytes, bytes_out);
  ASSERT_GE(acc.bytes, bytes_before);
  if (acc.is_zero) {
    ASSERT_EQ(text, "");
    ASSERT_EQ(acc.width, 0);
    ASSERT_EQ(acc.spare, 0);
  } else {
    ASSERT_EQ(writer.carry_register, &acc);
    ASSERT_FALSE(writer.carry_overflow);
    ASSERT_FALSE(writer.carry_known);
    // A signed register never loses the spare bit that holds its sign.
    EXPECT_GE(acc.spare, c.is_signed && (c.spare > 0 || c.carry == Carry::kOverflow) ? 1 : 0);
    EXPECT_LE(acc.spare, c.is_signed ? 8 : 7);
  }

  std::vector<std::string> declared;
  for (int k = 0; k < acc.bytes; ++k) declared.push_back("ACC" + std::to_string(k));
  const ParseOutcome parsed = parse_instructions(text, declared, pic_core(c.core));
  ASSERT_TRUE(parsed.program) << parsed.error << "\n" << text;
  const PicProgram& program = *parsed.program;
  const std::vector<int> in = program.value_indexes("ACC", bytes_in, c.little_endian);
  const std::vector<int> out =
      bytes_out > 0 ? program.value_indexes("ACC", bytes_out, c.little_endian) : std::vector<int>();
  const int in_bits = 8 * bytes_in;
  const int out_bits = 8 * bytes_out;

  PicMachine machine(program);
  uint64_t seed = random();
  for (const Wide value : sample_values(c, random)) {
    machine.fill(++seed);
    machine.write_value(in, static_cast<uint64_t>(value));
    if (c.carry == Carry::kOverflow) {
      machine.carry = c.is_signed ? value >= 0 : ((value >> in_bits) & 1) != 0;
    } else if (c.carry == Carry::kKnown) {
      machine.carry = false;
    }
    if (c.w_byte >= 0) machine.w = machine.byte("ACC" + std::to_string(c.w_byte));
    const RunStats stats = machine.run();
    ++runs;
    ASSERT_FALSE(stats.skipped_past_end);

    Wide got = out.empty() ? 0 : static_cast<Wide>(machine.read_value(out));
    if (pending) {
      got += machine.carry ? pow2(out_bits) : 0;
      if (c.is_signed) got -= pow2(out_bits);
    } else if (c.is_signed && out_bits > 0 && got >= pow2(out_bits - 1)) {
      got -= pow2(out_bits);
    }
    const Wide expected = value >> c.n;  // Floor division, also for negative values.
    ASSERT_TRUE(got == expected) << "value " << static_cast<int64_t>(value)
                                 << " (low 64 bits) gave " << static_cast<int64_t>(got)
                                 << ", expected " << static_cast<int64_t>(expected) << "\n"
                                 << text;
    // The descriptor must describe the value: width bits, plus the sign when it has a place.
    const int limit = acc.width + (pending && !c.is_signed ? 1 : 0);
    if (c.is_signed) {
      const int room = acc.width + (acc.spare > 0 || pending ? 0 : -1);
      const bool fits = room < 0 ? expected == 0 : expected >= -pow2(room) && expected < pow2(room);
      ASSERT_TRUE(fits) << "width " << acc.width << " spare " << acc.spare << "\n" << text;
    } else {
      ASSERT_TRUE(expected < pow2(limit)) << "width " << acc.width << "\n" << text;
    }
    if (writer.w_register == &acc) {
      ASSERT_EQ(machine.w, machine.byte("ACC" + std::to_string(writer.w_byte)))
          << "W record is wrong\n"
          << text;
    }
  }
}

// Every width up to 63 bits (with its natural spare and with a whole spare byte more), every
// count 1..31 and the counts at and beyond the width, both byte orders, unsigned and signed,
// with no carry information, a carry known to be clear, and a pending overflow carry.
TEST(ShiftRightSweep, MatchesArithmeticOnTheSimulator) {
  std::mt19937_64 random(20240611);
  long cases = 0;
  long runs = 0;
  for (int width = 1; width <= 63; ++width) {
    const int natural = (8 - width % 8) % 8;
    for (const int spare : {natural, natural + 8}) {
      if (width + spare > 64) continue;
      std::vector<int> counts;
      for (int n = 1; n <= 31; ++n) counts.push_back(n);
      for (int n = width; n <= width + 2; ++n) {
        if (n > 31) counts.push_back(n);
      }
      for (const int n : counts) {
        for (const bool little_endian : {false, true}) {
          for (const bool is_signed : {false, true}) {
            for (const Carry carry : {Carry::kNone, Carry::kKnown, Carry::kOverflow}) {
              if (carry == Carry::kOverflow && spare != 0) continue;
              const int last_byte = (width + spare + 7) / 8 - 1;
              const int w_byte = (width + n) % 3 == 0 ? 0 : (width + n) % 3 == 1 ? last_byte : -1;
              for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
                const SweepCase c{little_endian, is_signed, width, spare, n, carry, w_byte, core};
                run_sweep_case(c, random, runs);
                if (::testing::Test::HasFatalFailure()) return;
                ++cases;
              }
            }
          }
        }
      }
    }
  }
  EXPECT_GT(cases, 30000);
  EXPECT_GT(runs, 200000);
}

// Shifts in a row add up: the state each call leaves behind (fields, spare bytes, carry
// state, W record) is what the next call starts from. Random chains, run as one routine.
TEST(ShiftRightSweep, ChainsOfShiftsAddUp) {
  std::mt19937_64 random(7);
  for (int trial = 0; trial < 4000; ++trial) {
    const bool little_endian = random() % 2 == 0;
    const bool is_signed = random() % 2 == 0;
    const int width = 1 + static_cast<int>(random() % 56);
    const int spare = (8 - width % 8) % 8;
    const Carry carry = spare == 0 && random() % 2 == 0 ? Carry::kOverflow : Carry::kNone;
    const Core core = trial % 2 == 0 ? Core::kMidrange : Core::kEnhanced;
    const SweepCase entry{little_endian, is_signed, width, spare, 0, carry, -1, core};
    SCOPED_TRACE(entry.describe() + " trial " + std::to_string(trial));

    Register acc = make_acc(little_endian, is_signed, width, spare);
    const int bytes_in = acc.value_bytes();
    CodeWriter writer(core);
    set_carry(writer, acc, carry);
    std::string routine;
    int total = 0;
    for (int step = 0; step < 3; ++step) {
      const int n = 1 + static_cast<int>(random() % 12);
      routine += shift_right(writer, acc, n);
      total += n;
    }
    const bool pending = writer.carry_overflow_of(acc);
    std::vector<std::string> declared;
    for (int k = 0; k < acc.bytes; ++k) declared.push_back("ACC" + std::to_string(k));
    const ParseOutcome parsed = parse_instructions(routine, declared, pic_core(core));
    ASSERT_TRUE(parsed.program) << parsed.error;
    PicMachine machine(*parsed.program);
    const Wide value = sample_values(entry, random).back();
    machine.fill(random());
    machine.write_value(parsed.program->value_indexes("ACC", bytes_in, little_endian),
                        static_cast<uint64_t>(value));
    if (carry == Carry::kOverflow) {
      machine.carry = is_signed ? value >= 0 : ((value >> (8 * bytes_in)) & 1) != 0;
    }
    machine.run();
    const int bytes_out = acc.value_bytes();
    Wide got = 0;
    if (bytes_out > 0) {
      got = static_cast<Wide>(
          machine.read_value(parsed.program->value_indexes("ACC", bytes_out, little_endian)));
    }
    if (pending) {
      got += machine.carry ? pow2(8 * bytes_out) : 0;
      if (is_signed) got -= pow2(8 * bytes_out);
    } else if (is_signed && bytes_out > 0 && got >= pow2(8 * bytes_out - 1)) {
      got -= pow2(8 * bytes_out);
    }
    ASSERT_TRUE(got == value >> total) << "shifted by " << total << "\n" << routine;
  }
}

}  // namespace
}  // namespace tarvek

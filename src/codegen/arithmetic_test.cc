#include "codegen/arithmetic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "codegen/code_writer.h"
#include "codegen/listing_for_tests.h"
#include "codegen/register.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

enum class Op { kAdd, kSubtract, kNegate };

struct Case {
  const char* name;
  Op op;
  bool little_endian;
  int acc_width;
  int temp_width;
  const char* listing;
  int width_after;
  int spare_after;
  bool carry_known;
  bool carry_overflow;
};

// The worked examples: ACC and TEMP unsigned, constructed with the given widths, nothing in
// W and no carry pending.
TEST(ArithmeticTest, WorkedExamples) {
  const Case cases[] = {
      {"add big 16/0 + 16/0", Op::kAdd, false, 16, 16,
       "movf TEMP1, w; addwf ACC1, f; movf TEMP0, w; skpnc; incfsz TEMP0, w; addwf ACC0, f", 16, 0,
       true, true},
      {"add little 16/0 + 8/0", Op::kAdd, true, 16, 8,
       "movf TEMP0, w; addwf ACC0, f; movlw 1; skpnc; addwf ACC1, f", 16, 0, true, true},
      {"add little 8/0 + 16/0", Op::kAdd, true, 8, 16,
       "clrf ACC1; movf TEMP0, w; addwf ACC0, f; movf TEMP1, w; skpnc; incfsz TEMP1, w; "
       "addwf ACC1, f",
       16, 0, true, true},
      {"add big 12/4 + 16/0", Op::kAdd, false, 12, 16,
       "movf TEMP1, w; addwf ACC1, f; movf TEMP0, w; skpnc; incfsz TEMP0, w; addwf ACC0, f", 16, 0,
       true, true},
      {"add little 12/4 + 12/4", Op::kAdd, true, 12, 12,
       "movf TEMP0, w; addwf ACC0, f; movf TEMP1, w; skpnc; incfsz TEMP1, w; addwf ACC1, f", 13, 3,
       true, false},
      {"subtract big 16/0 - 16/0", Op::kSubtract, false, 16, 16,
       "movf TEMP1, w; subwf ACC1, f; movf TEMP0, w; skpc; incfsz TEMP0, w; subwf ACC0, f", 16, 0,
       false, true},
      {"negate little 16/0", Op::kNegate, true, 16, 0,
       "clrf ACC2; comf ACC0, f; comf ACC1, f; comf ACC2, f; incf ACC0, f; skpnz; incf ACC1, f; "
       "skpnz; incf ACC2, f",
       16, 8, false, false},
      {"negate big 12/4", Op::kNegate, false, 12, 0,
       "comf ACC0, f; comf ACC1, f; incf ACC1, f; skpnz; incf ACC0, f", 12, 4, false, false},
  };
  for (const Case& c : cases) {
    Register acc("ACC", c.acc_width, c.little_endian);
    Register temp("TEMP", c.temp_width, c.little_endian);
    CodeWriter writer;
    writer.code.push_back(Instruction{});  // left over from an earlier call
    std::string text;
    switch (c.op) {
      case Op::kAdd:
        text = add_register(writer, acc, temp).text();
        break;
      case Op::kSubtract:
        text = subtract_register(writer, acc, temp).text();
        break;
      case Op::kNegate:
        text = negate_register(writer, acc).text();
        break;
    }
    EXPECT_EQ(text, lines(c.listing)) << c.name;
    EXPECT_EQ(acc.width, c.width_after) << c.name;
    EXPECT_EQ(acc.spare, c.spare_after) << c.name;
    EXPECT_GE(acc.bytes, acc.value_bytes()) << c.name;
    EXPECT_EQ(writer.carry_known_of(acc), c.carry_known) << c.name;
    EXPECT_EQ(writer.carry_overflow_of(acc), c.carry_overflow) << c.name;
    // temp is never changed, only read.
    EXPECT_EQ(temp.width, c.temp_width) << c.name;
    EXPECT_EQ(temp.used, c.op != Op::kNegate) << c.name;
    EXPECT_TRUE(acc.used) << c.name;
  }
}

TEST(ArithmeticTest, ExtendToWithEqualByteCountsWritesOnlyThePendingWidening) {
  Register acc("ACC", 16, true);
  Register temp("TEMP", 16, true);
  CodeWriter writer;
  extend_to(writer, acc, temp);
  EXPECT_EQ(writer.code.text(), "");
  EXPECT_EQ(acc.spare, 0);

  writer.set_carry_known(true, acc);
  writer.set_carry_overflow(true, acc);
  extend_to(writer, acc, temp);
  EXPECT_EQ(writer.code.text(), lines("clrf ACC2; rlf ACC2, f"));
  EXPECT_EQ(acc.width, 17);
  EXPECT_EQ(acc.spare, 7);
  EXPECT_EQ(acc.bytes, 3);
}

struct ExtendCase {
  const char* name;
  bool little_endian;
  bool is_signed;
  int acc_width;
  int temp_width;
  const char* listing;
  int spare_after;
  int bytes_after;
};

TEST(ArithmeticTest, ExtendToAddsClearedOrSignFilledTopBytes) {
  const ExtendCase cases[] = {
      {"big unsigned, two bytes short", false, false, 8, 24,
       "movf ACC0, w; movwf ACC2; clrf ACC0; clrf ACC1", 16, 3},
      {"big signed, two bytes short", false, true, 8, 24,
       "movf ACC0, w; movwf ACC2; clrf ACC0; btfsc ACC2, 7; comf ACC0, f; clrf ACC1; "
       "btfsc ACC2, 7; comf ACC1, f",
       16, 3},
      {"big unsigned, 16 to 32 bits", false, false, 16, 32,
       "movf ACC1, w; movwf ACC3; movf ACC0, w; movwf ACC2; clrf ACC0; clrf ACC1", 16, 4},
      {"little unsigned, two bytes short", true, false, 8, 24, "clrf ACC1; clrf ACC2", 16, 3},
      {"little signed, two bytes short", true, true, 8, 24,
       "clrf ACC1; btfsc ACC0, 7; comf ACC1, f; clrf ACC2; btfsc ACC1, 7; comf ACC2, f", 16, 3},
      {"big unsigned without bytes", false, false, 0, 16, "clrf ACC0; clrf ACC1", 16, 2},
      {"little unsigned without bytes", true, false, 0, 16, "clrf ACC0; clrf ACC1", 16, 2},
      // A register without bytes holds 0: there is no sign to copy.
      {"big signed without bytes", false, true, 0, 16, "clrf ACC0; clrf ACC1", 16, 2},
      {"little signed without bytes", true, true, 0, 16, "clrf ACC0; clrf ACC1", 16, 2},
      {"acc wider than temp", true, false, 24, 8, "", 0, 3},
  };
  for (const ExtendCase& c : cases) {
    Register acc("ACC", c.acc_width, c.little_endian);
    acc.is_signed = c.is_signed;
    Register temp("TEMP", c.temp_width, c.little_endian);
    CodeWriter writer;
    extend_to(writer, acc, temp);
    EXPECT_EQ(writer.code.text(), lines(c.listing)) << c.name;
    EXPECT_EQ(acc.width, c.acc_width) << c.name;
    EXPECT_EQ(acc.spare, c.spare_after) << c.name;
    EXPECT_EQ(acc.bytes, c.bytes_after) << c.name;
  }
}

TEST(ArithmeticTest, AddOverflowsIntoTheCarryOnlyWithoutSpareBits) {
  // Two 8-bit values: the ninth bit can only go to the carry.
  Register acc("ACC", 8, true);
  Register temp("TEMP", 8, true);
  CodeWriter writer;
  add_register(writer, acc, temp);
  EXPECT_TRUE(writer.carry_overflow_of(acc));
  EXPECT_EQ(acc.width, 8);
  EXPECT_EQ(acc.spare, 0);

  // Two 7-bit values: the sum fits the spare bit.
  Register acc7("ACC", 7, true);
  Register temp7("TEMP", 7, true);
  CodeWriter writer7;
  add_register(writer7, acc7, temp7);
  EXPECT_EQ(writer7.code.text(), lines("movf TEMP0, w; addwf ACC0, f"));
  EXPECT_FALSE(writer7.carry_overflow_of(acc7));
  EXPECT_TRUE(writer7.carry_known_of(acc7));
  EXPECT_EQ(acc7.width, 8);
  EXPECT_EQ(acc7.spare, 0);
}

TEST(ArithmeticTest, AddLeavesOutTheLoadOfTheByteWAlreadyHolds) {
  // As after a copy whose last store went to TEMP0.
  Register acc("ACC", 7, false);
  Register temp("TEMP", 7, false);
  CodeWriter writer;
  writer.movwf(temp, 0);
  EXPECT_EQ(add_register(writer, acc, temp), lines("addwf ACC0, f"));
  EXPECT_FALSE(temp.used);
}

TEST(ArithmeticTest, SubtractFromASignedAccumulatorAddsASignByteFirst) {
  struct SignCase {
    const char* name;
    bool little_endian;
    const char* listing;
  };
  const SignCase cases[] = {
      {"little", true,
       "clrf ACC2; btfsc ACC1, 7; comf ACC2, f; movf TEMP0, w; subwf ACC0, f; movf TEMP1, w; "
       "skpc; incfsz TEMP1, w; subwf ACC1, f; movlw 1; skpc; subwf ACC2, f"},
      {"big", false,
       "movf ACC1, w; movwf ACC2; movf ACC0, w; movwf ACC1; clrf ACC0; btfsc ACC1, 7; "
       "comf ACC0, f; movf TEMP1, w; subwf ACC2, f; movf TEMP0, w; skpc; incfsz TEMP0, w; "
       "subwf ACC1, f; movlw 1; skpc; subwf ACC0, f"},
  };
  for (const SignCase& c : cases) {
    Register acc("ACC", 12, c.little_endian);
    acc.is_signed = true;
    Register temp("TEMP", 16, c.little_endian);
    CodeWriter writer;
    EXPECT_EQ(subtract_register(writer, acc, temp), lines(c.listing)) << c.name;
    // 12 + 4 - 0 bits, then one more for the sign.
    EXPECT_EQ(acc.width, 17) << c.name;
    EXPECT_EQ(acc.spare, 7) << c.name;
    EXPECT_EQ(acc.bytes, 3) << c.name;
    EXPECT_FALSE(writer.carry_known_of(acc)) << c.name;
    EXPECT_FALSE(writer.carry_overflow_of(acc)) << c.name;
  }
}

// The sign byte is needed only while temp has fewer than 2 spare bits.
TEST(ArithmeticTest, SignRoomDependsOnTempsSpareBits) {
  struct RoomCase {
    const char* name;
    int temp_width;
    const char* listing;
    int width_after;
    int spare_after;
  };
  const RoomCase cases[] = {
      {"one spare bit", 15,
       "clrf ACC2; btfsc ACC1, 7; comf ACC2, f; movf TEMP0, w; subwf ACC0, f; movf TEMP1, w; "
       "skpc; incfsz TEMP1, w; subwf ACC1, f; movlw 1; skpc; subwf ACC2, f",
       16, 8},
      {"two spare bits", 14,
       "movf TEMP0, w; subwf ACC0, f; movf TEMP1, w; skpc; incfsz TEMP1, w; subwf ACC1, f", 15, 1},
  };
  for (const RoomCase& c : cases) {
    Register acc("ACC", 12, true);
    acc.is_signed = true;
    Register temp("TEMP", c.temp_width, true);
    CodeWriter writer;
    EXPECT_EQ(subtract_register(writer, acc, temp), lines(c.listing)) << c.name;
    EXPECT_EQ(acc.width, c.width_after) << c.name;
    EXPECT_EQ(acc.spare, c.spare_after) << c.name;
    EXPECT_FALSE(writer.carry_overflow_of(acc)) << c.name;
  }
}

TEST(ArithmeticTest, SubtractFromAnUnsignedAccumulatorNeverAddsASignByte) {
  Register acc("ACC", 12, true);
  Register temp("TEMP", 12, true);
  CodeWriter writer;
  EXPECT_EQ(subtract_register(writer, acc, temp),
            lines("movf TEMP0, w; subwf ACC0, f; movf TEMP1, w; skpc; incfsz TEMP1, w; "
                  "subwf ACC1, f"));
  EXPECT_EQ(acc.width, 12);
  EXPECT_EQ(acc.spare, 4);
  EXPECT_FALSE(writer.carry_overflow_of(acc));
  EXPECT_FALSE(writer.carry_known_of(acc));
}

TEST(ArithmeticTest, SubtractClearsAKnownCarryLeftByAnAddition) {
  Register acc("ACC", 16, true);
  Register temp("TEMP", 8, true);
  CodeWriter writer;
  writer.set_carry_known(true, acc);
  EXPECT_EQ(subtract_register(writer, acc, temp),
            lines("movf TEMP0, w; subwf ACC0, f; movlw 1; skpc; subwf ACC1, f"));
  EXPECT_FALSE(writer.carry_known_of(acc));
  // No spare bit: the sign of the difference is left in the carry.
  EXPECT_TRUE(writer.carry_overflow_of(acc));
  EXPECT_EQ(acc.width, 16);
  EXPECT_EQ(acc.spare, 0);
}

TEST(ArithmeticTest, NegateLeavesTheCarryStateAlone) {
  Register acc("ACC", 7, false);
  Register temp("TEMP", 8, false);
  CodeWriter writer;
  writer.set_carry_known(true, temp);
  writer.set_carry_overflow(true, temp);
  EXPECT_EQ(negate_register(writer, acc), lines("comf ACC0, f; incf ACC0, f"));
  EXPECT_EQ(writer.carry_register, &temp);
  EXPECT_TRUE(writer.carry_known);
  EXPECT_TRUE(writer.carry_overflow);
  EXPECT_EQ(acc.width, 7);
  EXPECT_EQ(acc.spare, 1);
}

TEST(ArithmeticTest, NegateBigEndianWithoutSpareBitMovesTheBytesUp) {
  Register acc("ACC", 16, false);
  CodeWriter writer;
  EXPECT_EQ(negate_register(writer, acc),
            lines("movf ACC1, w; movwf ACC2; movf ACC0, w; movwf ACC1; clrf ACC0; comf ACC0, f; "
                  "comf ACC1, f; comf ACC2, f; incf ACC2, f; skpnz; incf ACC1, f; skpnz; "
                  "incf ACC0, f"));
  EXPECT_EQ(acc.width, 16);
  EXPECT_EQ(acc.spare, 8);
  EXPECT_EQ(acc.bytes, 3);
}

// A signed acc with only the spare bit of its sign, minus a temp with more spare bits: the
// difference gets a sign byte, as with a temp of fewer spare bits. Without it the result
// would end with no spare bit and the sign in the carry, where a negative acc leaves the
// no-borrow instead of the inverted sign, so the widening that stores it made -1 - 1 into
// 65534.
TEST(ArithmeticTest, SubtractFromASignedAccumulatorWithOneSpareBitAddsASignByte) {
  for (bool little_endian : {true, false}) {
    const std::string order = little_endian ? "little" : "big";
    Register acc("ACC", 0, little_endian);
    acc.is_signed = true;
    acc.set_width(15, 1);
    Register temp("TEMP", 14, little_endian);
    CodeWriter writer;
    subtract_register(writer, acc, temp);
    // What a following step does first: store a pending carry (there is none now).
    writer.flush_carry();
    const std::string text = writer.code.text();
    EXPECT_EQ(acc.width, 16) << order;
    EXPECT_EQ(acc.spare, 8) << order;
    EXPECT_EQ(acc.bytes, 3) << order;
    EXPECT_FALSE(writer.carry_overflow_of(acc)) << order;

    // The three bytes hold the difference for the extremes of both operands.
    const std::vector<std::string> declared = {"ACC0", "ACC1", "ACC2", "TEMP0", "TEMP1"};
    const ParseOutcome parsed = parse_instructions(text, declared);
    ASSERT_TRUE(parsed.program) << order << ": " << parsed.error;
    const std::vector<int> a2 = parsed.program->value_indexes("ACC", 2, little_endian);
    const std::vector<int> a3 = parsed.program->value_indexes("ACC", 3, little_endian);
    const std::vector<int> t = parsed.program->value_indexes("TEMP", 2, little_endian);
    for (int64_t a : {-32768, -32767, -2, -1, 0, 1, 16383, 32767}) {
      for (int64_t b : {0, 1, 2, 8191, 16383}) {
        PicMachine machine(*parsed.program);
        machine.fill(static_cast<uint64_t>(a * 31 + b));
        machine.write_value(a2, static_cast<uint64_t>(a) & 0xFFFF);
        machine.write_value(t, static_cast<uint64_t>(b));
        machine.run();
        const int64_t expected = (a - b) & 0xFFFFFF;
        EXPECT_EQ(static_cast<int64_t>(machine.read_value(a3)), expected)
            << order << ": " << a << " - " << b;
      }
    }
  }
}

// --- Both cores on the simulator ---

// `op` on ACC (and TEMP) as program assembly calls it, then the flush a later step would do;
// the carry flags it left are recorded first. The writer refers to the registers, so the
// whole stays where it was made.
struct Operation {
  Operation(Op op, bool little_endian, bool acc_signed, int acc_width, int temp_width, Core core)
      : acc("ACC", 0, little_endian), temp("TEMP", temp_width, little_endian), writer(core) {
    acc.is_signed = acc_signed;
    // A signed accumulator has a spare bit for its sign, as subtraction and negation leave it.
    acc.set_width(acc_width, (8 - (acc_width + acc_signed) % 8) % 8 + acc_signed);
    bytes_in = acc.value_bytes();
    text = (op == Op::kAdd        ? add_register(writer, acc, temp)
            : op == Op::kSubtract ? subtract_register(writer, acc, temp)
                                  : negate_register(writer, acc))
               .text();
    acc.is_signed = op != Op::kAdd;
    flags = {writer.carry_known_of(acc), writer.carry_overflow_of(acc)};
    writer.clear_code();
    text += writer.flush_carry().text();
  }
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  Register acc;
  Register temp;
  CodeWriter writer;
  std::string text;
  int bytes_in = 0;
  std::pair<bool, bool> flags;
};

// Add, subtract and negate for many widths of both registers, both byte orders and a signed
// accumulator where program assembly subtracts from one: on the enhanced core the fields and
// the carry state are those of the mid-range core and the code is no longer; on both, the
// simulated result is exact and W holds what the W record says.
TEST(ArithmeticTest, BothCoresComputeTheExactResult) {
  const int widths[] = {1, 2, 7, 8, 9, 15, 16, 17, 24, 25, 31, 32};
  uint64_t seed = 1;
  for (const Op op : {Op::kAdd, Op::kSubtract, Op::kNegate}) {
    for (const bool little : {false, true}) {
      for (const bool acc_signed : {false, true}) {
        if (op != Op::kSubtract && acc_signed) continue;
        for (const int a_width : widths) {
          for (const int t_width : op == Op::kNegate
                                       ? std::vector<int>{1}
                                       : std::vector<int>(std::begin(widths), std::end(widths))) {
            const Operation mid(op, little, acc_signed, a_width, t_width, Core::kMidrange);
            const Operation o(op, little, acc_signed, a_width, t_width, Core::kEnhanced);
            const std::string name = std::to_string(static_cast<int>(op)) +
                                     (little ? " le " : " be ") + std::to_string(acc_signed) + " " +
                                     std::to_string(a_width) + " " + std::to_string(t_width);
            ASSERT_EQ(o.acc.width, mid.acc.width) << name;
            ASSERT_EQ(o.acc.spare, mid.acc.spare) << name;
            ASSERT_EQ(o.acc.bytes, mid.acc.bytes) << name;
            ASSERT_EQ(o.flags, mid.flags) << name;
            ASSERT_LE(std::count(o.text.begin(), o.text.end(), '\n'),
                      std::count(mid.text.begin(), mid.text.end(), '\n'))
                << name;
            for (const Operation* run : {&mid, &o}) {
              std::vector<std::string> declared;
              for (int k = 0; k < run->acc.bytes; ++k)
                declared.push_back("ACC" + std::to_string(k));
              for (int k = 0; k < run->temp.bytes; ++k)
                declared.push_back("TEMP" + std::to_string(k));
              const ParseOutcome parsed = parse_instructions(
                  run->text, declared, run == &o ? PicCore::kEnhanced : PicCore::kMidrange);
              ASSERT_TRUE(parsed.program) << name << ": " << parsed.error;
              PicMachine machine(*parsed.program);
              const uint64_t a_max = (uint64_t{1} << a_width) - 1;
              const uint64_t t_max = (uint64_t{1} << t_width) - 1;
              for (const uint64_t a_bits : {uint64_t{0}, uint64_t{1}, a_max, a_max / 2, seed}) {
                for (const uint64_t t_bits : {uint64_t{0}, uint64_t{1}, t_max, seed >> 7}) {
                  seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                  // A signed accumulator holds a_bits minus half its range.
                  const int64_t a = static_cast<int64_t>(a_bits & a_max) -
                                    (acc_signed ? static_cast<int64_t>(a_max / 2 + 1) : 0);
                  const int64_t t = static_cast<int64_t>(t_bits & t_max);
                  machine.fill(seed);
                  machine.write_value("ACC", run->bytes_in, little, static_cast<uint64_t>(a));
                  if (op != Op::kNegate) {
                    machine.write_value("TEMP", run->temp.value_bytes(), little,
                                        static_cast<uint64_t>(t));
                  }
                  machine.run();
                  const int bits = 8 * run->acc.value_bytes();
                  const uint64_t got = machine.read_value("ACC", bits / 8, little);
                  const int64_t expected = op == Op::kAdd        ? a + t
                                           : op == Op::kSubtract ? a - t
                                                                 : -a;
                  // Signed results read as two's complement over their bytes.
                  const int64_t shift = 64 - bits;
                  const int64_t value = run->acc.is_signed
                                            ? static_cast<int64_t>(got << shift) >> shift
                                            : static_cast<int64_t>(got);
                  ASSERT_EQ(value, expected) << name << ": a " << a << ", temp " << t;
                  if (const Register* held = run->writer.w_register) {
                    ASSERT_EQ(
                        machine.w,
                        machine.byte(held->name + std::to_string(held->base + run->writer.w_byte)))
                        << name;
                  }
                }
              }
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvek

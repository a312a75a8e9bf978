#include "codegen/register.h"

#include <gtest/gtest.h>

#include <string>

#include "codegen/code_writer.h"
#include "codegen/listing_for_tests.h"

namespace tarvek {
namespace {

TEST(RegisterTest, ConstructionSetsSpareAndBytesFromTheWidth) {
  struct Case {
    const char* name;
    int width;
    int spare;
    int bytes;
  };
  const Case cases[] = {
      {"12 bits", 12, 4, 2}, {"8 bits", 8, 0, 1},   {"temporary register", 0, 0, 0},
      {"1 bit", 1, 7, 1},    {"9 bits", 9, 7, 2},   {"16 bits", 16, 0, 2},
      {"17 bits", 17, 7, 3}, {"32 bits", 32, 0, 4},
  };
  for (const Case& c : cases) {
    for (bool little_endian : {false, true}) {
      const Register reg("ACC", c.width, little_endian);
      EXPECT_EQ(reg.name, "ACC") << c.name;
      EXPECT_EQ(reg.width, c.width) << c.name;
      EXPECT_EQ(reg.spare, c.spare) << c.name;
      EXPECT_EQ(reg.bytes, c.bytes) << c.name;
      EXPECT_EQ(reg.little_endian, little_endian) << c.name;
      EXPECT_FALSE(reg.is_zero) << c.name;
      EXPECT_FALSE(reg.is_signed) << c.name;
      EXPECT_FALSE(reg.used) << c.name;
    }
  }
}

TEST(RegisterTest, UpdateBytesOnlyEverGrows) {
  Register reg("ACC", 8, true);
  reg.width = 17;
  reg.spare = 7;
  reg.update_bytes();
  EXPECT_EQ(reg.bytes, 3);
  // Widened to 3 bytes, then narrowed to 9 bits by right shifts: still 3 bytes.
  reg.width = 9;
  reg.spare = 7;
  reg.update_bytes();
  EXPECT_EQ(reg.bytes, 3);
  reg.set_width(9, 7);
  EXPECT_EQ(reg.bytes, 3);
  reg.used = true;
  EXPECT_EQ(reg.cblock_listing(), "\tACC0\n\tACC1\n\tACC2\n");
}

TEST(RegisterTest, SetWidthAssignsBothAndRaisesBytes) {
  Register reg("ACC", 16, false);
  reg.set_width(16, 8);
  EXPECT_EQ(reg.width, 16);
  EXPECT_EQ(reg.spare, 8);
  EXPECT_EQ(reg.bytes, 3);
}

TEST(RegisterTest, CblockListingDeclaresOnlyUsedRegisters) {
  Register acc("ACC", 12, false);
  EXPECT_EQ(acc.cblock_listing(), "");
  acc.used = true;
  EXPECT_EQ(acc.cblock_listing(), "\tACC0\n\tACC1\n");
  // The byte order changes nothing in the names declared.
  Register little("ACC", 12, true);
  little.used = true;
  EXPECT_EQ(little.cblock_listing(), "\tACC0\n\tACC1\n");
}

TEST(RegisterTest, TemporaryRegisterStoredIntoButNeverReadIsNotDeclared) {
  CodeWriter writer;
  Register acc("ACC", 16, false);
  Register temp("TEMP", 0, false);
  EXPECT_EQ(temp.bytes, 0);
  EXPECT_EQ(temp.copy_from(writer, acc),
            "\tmovf\tACC0, w\n\tmovwf\tTEMP0\n\tmovf\tACC1, w\n\tmovwf\tTEMP1\n");
  EXPECT_EQ(temp.bytes, 2);
  EXPECT_FALSE(temp.used);
  EXPECT_EQ(temp.cblock_listing(), "");
}

TEST(RegisterTest, CopyOfA12BitSource) {
  struct Case {
    const char* name;
    bool w_holds_source_byte_0;
    const char* expected;
  };
  const Case cases[] = {
      {"nothing in W", false, "\tmovf\tACC0, w\n\tmovwf\tTEMP0\n\tmovf\tACC1, w\n\tmovwf\tTEMP1\n"},
      {"W already holds ACC0", true, "\tmovwf\tTEMP0\n\tmovf\tACC1, w\n\tmovwf\tTEMP1\n"},
  };
  for (const Case& c : cases) {
    CodeWriter writer;
    Register acc("ACC", 12, true);
    Register temp("TEMP", 0, true);
    acc.is_signed = true;
    acc.is_zero = false;
    if (c.w_holds_source_byte_0) writer.movwf(acc, 0);
    writer.code.text() = "left over from the previous generator\n";
    EXPECT_EQ(temp.copy_from(writer, acc), c.expected) << c.name;
    EXPECT_EQ(temp.width, 12) << c.name;
    EXPECT_EQ(temp.spare, 4) << c.name;
    EXPECT_EQ(temp.bytes, 2) << c.name;
    EXPECT_TRUE(temp.is_signed) << c.name;
    EXPECT_FALSE(temp.is_zero) << c.name;
    EXPECT_EQ(temp.name, "TEMP") << c.name;
    EXPECT_TRUE(acc.used) << c.name;
    EXPECT_FALSE(temp.used) << c.name;
    // W ends holding the last byte copied, recorded as the destination's byte.
    EXPECT_TRUE(writer.w_holds(temp, 1)) << c.name;
  }
}

TEST(RegisterTest, CopyTakesOverTheZeroFlagAndKeepsWiderBytes) {
  CodeWriter writer;
  Register acc("ACC", 8, false);
  Register temp("TEMP", 24, false);
  acc.is_zero = true;
  acc.width = 0;
  acc.spare = 0;
  EXPECT_EQ(temp.copy_from(writer, acc), "");
  EXPECT_TRUE(temp.is_zero);
  EXPECT_EQ(temp.width, 0);
  EXPECT_EQ(temp.spare, 0);
  EXPECT_EQ(temp.bytes, 3);
}

TEST(RegisterTest, CopyFlushesAPendingCarryFirst) {
  CodeWriter writer;
  Register acc("ACC", 16, true);
  Register temp("TEMP", 0, true);
  writer.set_carry_overflow(true, acc);
  writer.set_carry_known(true, acc);
  EXPECT_EQ(temp.copy_from(writer, acc),
            "\tclrf\tACC2\n\trlf\tACC2, f\n"
            "\tmovf\tACC0, w\n\tmovwf\tTEMP0\n\tmovf\tACC1, w\n\tmovwf\tTEMP1\n"
            "\tmovf\tACC2, w\n\tmovwf\tTEMP2\n");
  EXPECT_EQ(temp.width, 17);
  EXPECT_EQ(temp.spare, 7);
  EXPECT_EQ(temp.bytes, 3);
  EXPECT_FALSE(writer.carry_overflow_of(acc));
}

TEST(RegisterTest, CopyOfASignedSourceTakesItsSignByte) {
  // The flush leaves the sign in a byte of spare bits; the copy must carry it over, or the
  // destination's top byte would be whatever the file register held before.
  CodeWriter writer;
  Register acc("ACC", 16, true);
  Register temp("TEMP", 0, true);
  acc.is_signed = true;
  writer.set_carry_overflow(true, acc);
  EXPECT_EQ(temp.copy_from(writer, acc),
            "\tclrf\tACC2\n\tskpc\n\tcomf\tACC2, f\n"
            "\tmovf\tACC0, w\n\tmovwf\tTEMP0\n\tmovf\tACC1, w\n\tmovwf\tTEMP1\n"
            "\tmovf\tACC2, w\n\tmovwf\tTEMP2\n");
  EXPECT_EQ(temp.width, 16);
  EXPECT_EQ(temp.spare, 8);
  EXPECT_EQ(temp.bytes, 3);
  EXPECT_TRUE(temp.is_signed);
}

}  // namespace
}  // namespace tarvek

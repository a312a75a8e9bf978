#include "page/register_placement.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tarvek {
namespace {

TEST(ReadRamAddressTest, Table) {
  struct Case {
    const char* name;
    std::string text;
    std::optional<int> address;
  };
  const Case cases[] = {
      {"hexadecimal", "0x20", 0x20},
      {"capital X and digits", "0X1A0", 0x1A0},
      {"lower-case digits", "0x1a0", 0x1A0},
      {"decimal", "32", 32},
      {"zero", "0", 0},
      {"hexadecimal zero", "0x0", 0},
      {"the last address", "0x1FF", 0x1FF},
      {"the last address in decimal", "511", 511},
      {"one past it", "0x200", std::nullopt},
      {"one past it in decimal", "512", std::nullopt},
      {"far past it", "99999999999999999999", std::nullopt},
      {"leading zeros", "0x00020", 0x20},
      {"blanks around", " 0x20\t", 0x20},
      {"empty", "", std::nullopt},
      {"0x alone", "0x", std::nullopt},
      {"decimal digits read as decimal, not as the assembler's radix", "20", 20},
      {"hexadecimal digits without 0x", "A0", std::nullopt},
      {"the assembler's H'20'", "H'20'", std::nullopt},
      {"a sign", "-1", std::nullopt},
      {"a plus sign", "+32", std::nullopt},
      {"text after the number", "0x20 bank 0", std::nullopt},
      {"a letter that is no digit", "0x2G", std::nullopt},
      {"a blank inside", "0x 20", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_ram_address(c.text), c.address) << c.name;
  }
}

TEST(RamNotesTest, SayWhereTheRegistersGoAndThatTheyShareABank) {
  const std::string bank_lines =
      "; Every register here must be in the bank selected when the routine runs, or in\n"
      "; common RAM: the routine never changes the bank bits.\n";
  EXPECT_EQ(ram_notes(-1, Core::kMidrange),
            "; Registers: this cblock has no address, so it continues the last cblock before it;\n"
            "; the first cblock of the program needs one (such as cblock 0x20).\n" +
                bank_lines);
  EXPECT_EQ(ram_notes(0x20, Core::kMidrange),
            "; Registers: they start at 0x20, in bank 0.\n" + bank_lines);
  EXPECT_EQ(ram_notes(0xA0, Core::kMidrange),
            "; Registers: they start at 0xA0, in bank 1.\n" + bank_lines);
  EXPECT_EQ(ram_notes(0x1FF, Core::kMidrange),
            "; Registers: they start at 0x1FF, in bank 3.\n" + bank_lines);
  EXPECT_EQ(ram_notes(0, Core::kMidrange),
            "; Registers: they start at 0x00, in bank 0.\n" + bank_lines);
}

// The enhanced and baseline cores have the mid-range banks; a PIC18 routine's registers lie
// in the access bank.
TEST(RamNotesTest, EachCoreSaysWhereItsRegistersMustLie) {
  struct Case {
    const char* name;
    int address;
    Core core;
    std::string notes;
  };
  const std::string bank_lines =
      "; Every register here must be in the bank selected when the routine runs, or in\n"
      "; common RAM: the routine never changes the bank bits.\n";
  const std::string access_lines =
      "; Every register here must lie in the access bank (0x00 to 0x7F on a PIC18F452):\n"
      "; the instructions address it there and the routine never changes BSR.\n";
  const Case cases[] = {
      {"enhanced, bank 1", 0xA0, Core::kEnhanced,
       "; Registers: they start at 0xA0, in bank 1.\n" + bank_lines},
      {"baseline, no address", -1, Core::kBaseline,
       "; Registers: this cblock has no address, so it continues the last cblock before it;\n"
       "; the first cblock of the program needs one (such as cblock 0x20).\n" +
           bank_lines},
      {"PIC18, no address", -1, Core::kPic18,
       "; Registers: this cblock has no address, so it continues the last cblock before it;\n"
       "; the first cblock of the program needs one (such as cblock 0x00).\n" +
           access_lines},
      {"PIC18 at 0", 0, Core::kPic18,
       "; Registers: they start at 0x00, in the access bank.\n" + access_lines},
      {"PIC18 at the last access byte", 0x7F, Core::kPic18,
       "; Registers: they start at 0x7F, in the access bank.\n" + access_lines},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ram_notes(c.address, c.core), c.notes) << c.name;
  }
}

}  // namespace
}  // namespace tarvek

#include "exact/byte_sharing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codegen/listing_for_tests.h"

namespace tarvek {
namespace {

// The registers of the listings below, TEMP the scratch one; A and A0 print bytes alike.
const std::vector<std::string> kNames = {"ACC", "TEMP", "TEMPX", "A0", "A"};
constexpr int kScratch = 1;

TEST(ByteSharingTest, ABytePastItsLastUseLendsItsPlace) {
  struct Case {
    const char* what;
    std::string code;
    std::string expected;
    int bytes;
  };
  const Case kCases[] = {
      {"one after the other: one byte",
       "\tmovwf\tTEMP0\n\tincf\tTEMP0, w\n\tmovwf\tTEMP3\n\taddwf\tTEMP3, w\n",
       "\tmovwf\tTEMP0\n\tincf\tTEMP0, w\n\tmovwf\tTEMP0\n\taddwf\tTEMP0, w\n", 1},
      {"uses that meet: apart, numbered by first use",
       "\tmovwf\tTEMP2\n\tmovwf\tTEMP0\n\taddwf\tTEMP2, w\n\taddwf\tTEMP0, w\n",
       "\tmovwf\tTEMP0\n\tmovwf\tTEMP1\n\taddwf\tTEMP0, w\n\taddwf\tTEMP1, w\n", 2},
      {"a chain of four in two places, each into the lowest free one",
       "\tmovwf\tTEMP0\n\tincf\tTEMP0, w\n\tmovwf\tTEMP1\n\tmovwf\tTEMP2\n\taddwf\tTEMP2, w\n"
       "\tmovwf\tTEMP3\n\taddwf\tTEMP1, w\n\taddwf\tTEMP3, w\n",
       "\tmovwf\tTEMP0\n\tincf\tTEMP0, w\n\tmovwf\tTEMP0\n\tmovwf\tTEMP1\n\taddwf\tTEMP1, w\n"
       "\tmovwf\tTEMP1\n\taddwf\tTEMP0, w\n\taddwf\tTEMP1, w\n",
       2},
      {"a byte declared but never named is gone", "\tmovwf\tTEMP4\n\tincf\tTEMP4, w\n",
       "\tmovwf\tTEMP0\n\tincf\tTEMP0, w\n", 1},
      {"a byte read again late keeps its place",
       "\tmovwf\tTEMP0\n\tmovwf\tTEMP1\n\tincf\tTEMP1, w\n\tmovwf\tTEMP2\n\taddwf\tTEMP0, w\n",
       "\tmovwf\tTEMP0\n\tmovwf\tTEMP1\n\tincf\tTEMP1, w\n\tmovwf\tTEMP1\n\taddwf\tTEMP0, w\n", 2},
      {"other registers stay, those that look alike too",
       "\tmovwf\tTEMPX0\n\tmovwf\tACC3\n\tmovwf\tTEMP5\n\tmovwf\tA00\n",
       "\tmovwf\tTEMPX0\n\tmovwf\tACC3\n\tmovwf\tTEMP0\n\tmovwf\tA00\n", 1},
      {"no scratch byte at all", "\tmovwf\tACC0\n\tincf\tACC0, f\n",
       "\tmovwf\tACC0\n\tincf\tACC0, f\n", 0},
  };
  for (const Case& c : kCases) {
    const SharedBytes shared = share_scratch_bytes(code_from_listing(c.code, kNames), kScratch);
    EXPECT_EQ(shared.code, c.expected) << c.what;
    EXPECT_EQ(shared.bytes, c.bytes) << c.what;
  }
}

TEST(ByteSharingTest, WithoutAScratchRegisterNothingChanges) {
  const std::string code = "\tmovwf\tTEMP3\n\tmovwf\tTEMP0\n";
  const SharedBytes shared = share_scratch_bytes(code_from_listing(code, kNames), -1);
  EXPECT_EQ(shared.code, code);
  EXPECT_EQ(shared.bytes, 0);
}

// A (register 4) is the scratch register here; A0 (register 3) only prints alike.
TEST(ByteSharingTest, TellsRegistersApartWhateverTheirNames) {
  const std::string code = "\tmovwf\tA3\n\tmovwf\tA00\n\tincf\tA3, w\n\tmovwf\tA5\n";
  const SharedBytes shared = share_scratch_bytes(code_from_listing(code, kNames), 4);
  EXPECT_EQ(shared.code, "\tmovwf\tA0\n\tmovwf\tA00\n\tincf\tA0, w\n\tmovwf\tA0\n");
  EXPECT_EQ(shared.bytes, 1);
}

}  // namespace
}  // namespace tarvek

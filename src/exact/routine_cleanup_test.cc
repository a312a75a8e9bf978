#include "exact/routine_cleanup.h"

#include <gtest/gtest.h>

#include <string>

#include "codegen/listing_for_tests.h"

namespace tarvek {
namespace {

// The registers of the listings below, TEMP the scratch one.
const std::vector<std::string> kNames = {"ACC", "TEMP", "TEMPX", "A0", "A"};
constexpr int kScratch = 1;

Code listing(const std::string& text) {
  return code_from_listing(text, kNames);
}

struct Case {
  const char* what;
  std::string code;
  std::string expected;
};

TEST(RoutineCleanupTest, KeepsOnlyTheClearsOfAStretchThatUndoesItself) {
  const std::string shift = "\tclrc\n\trrf\tACC0, f\n\trrf\tACC1, f\n";
  const Case kCases[] = {
      {"a byte moved down and back up: only the clear stays",
       shift + "\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n",
       shift + "\tclrf\tACC0\n"},
      {"two bytes moved down and back up",
       "\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovf\tACC2, w\n\tmovwf\tACC1\n\tmovwf\tACC2\n"
       "\tmovf\tACC0, w\n\tmovwf\tACC1\n\tclrf\tACC0\n",
       "\tclrf\tACC0\n"},
      {"W read afterwards: kept",
       "\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n\tsubwf\tTEMP0, f\n",
       "\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n\tsubwf\tTEMP0, f\n"},
      {"W replaced before it is read: gone",
       "\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n\tmovlw\t3\n\tsubwf\tTEMP0, "
       "f\n",
       "\tclrf\tACC0\n\tmovlw\t3\n\tsubwf\tTEMP0, f\n"},
      {"W replaced only behind a skip: kept",
       "\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n\tskpnc\n\tmovlw\t3\n"
       "\taddwf\tTEMP0, f\n",
       "\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n\tskpnc\n\tmovlw\t3\n"
       "\taddwf\tTEMP0, f\n"},
      {"Z read after a stretch whose last move into W set it: kept",
       "\tclrf\tACC0\n\tmovf\tACC1, w\n\tmovwf\tACC1\n\tskpnz\n\tincf\tACC0, f\n",
       "\tclrf\tACC0\n\tmovf\tACC1, w\n\tmovwf\tACC1\n\tskpnz\n\tincf\tACC0, f\n"},
      {"Z read after a stretch whose last clear set it, as the kept clear does",
       "\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n\tmovlw\t1\n\tskpnz\n"
       "\tincf\tACC1, f\n",
       "\tclrf\tACC0\n\tmovlw\t1\n\tskpnz\n\tincf\tACC1, f\n"},
      {"a byte left holding another's value: kept", "\tmovf\tACC1, w\n\tmovwf\tACC0\n",
       "\tmovf\tACC1, w\n\tmovwf\tACC0\n"},
      {"a move behind a skip is not part of a stretch, so the rest leaves ACC1 changed",
       "\tskpc\n\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n",
       "\tskpc\n\tmovf\tACC1, w\n\tmovwf\tACC0\n\tmovwf\tACC1\n\tclrf\tACC0\n"},
  };
  for (const Case& c : kCases) EXPECT_EQ(drop_undone_moves(listing(c.code)), c.expected) << c.what;
}

TEST(RoutineCleanupTest, DropsOnlyScratchStoresNothingReads) {
  const Case kCases[] = {
      {"never read again: gone", "\tswapf\tACC0, w\n\tmovwf\tTEMP0\n\taddwf\tACC1, f\n",
       "\tswapf\tACC0, w\n\taddwf\tACC1, f\n"},
      {"written again before any read: gone",
       "\tmovwf\tTEMP1\n\tmovlw\t1\n\tmovwf\tTEMP1\n\tsubwf\tTEMP1, w\n",
       "\tmovlw\t1\n\tmovwf\tTEMP1\n\tsubwf\tTEMP1, w\n"},
      {"read later: kept", "\tmovwf\tTEMP0\n\tmovlw\t1\n\taddwf\tTEMP0, w\n",
       "\tmovwf\tTEMP0\n\tmovlw\t1\n\taddwf\tTEMP0, w\n"},
      {"written again only behind a skip, then read: kept",
       "\tmovwf\tTEMP0\n\tskpnc\n\tmovwf\tTEMP0\n\tincf\tTEMP0, w\n",
       "\tmovwf\tTEMP0\n\tskpnc\n\tmovwf\tTEMP0\n\tincf\tTEMP0, w\n"},
      {"behind a skip itself: kept, so the skip skips what it did",
       "\tskpnc\n\tmovwf\tTEMP0\n\tincf\tACC0, f\n", "\tskpnc\n\tmovwf\tTEMP0\n\tincf\tACC0, f\n"},
      {"an output byte or another register that only starts alike: kept",
       "\tmovwf\tACC0\n\tmovwf\tTEMPX0\n", "\tmovwf\tACC0\n\tmovwf\tTEMPX0\n"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(drop_unread_scratch_stores(listing(c.code), kScratch), c.expected) << c.what;
  }
}

TEST(RoutineCleanupTest, KeepsAScratchResultInWWhereNothingElseNeedsIt) {
  const Case kCases[] = {
      {"result loaded after shifts that leave W and the byte alone: kept in W",
       "\tiorwf\tTEMP1, f\n\tclrc\n\trrf\tACC0, f\n\tmovf\tTEMP1, w\n\taddwf\tACC1, f\n",
       "\tiorwf\tTEMP1, w\n\tclrc\n\trrf\tACC0, f\n\taddwf\tACC1, f\n"},
      {"the carry chain goes on through another byte: still the same",
       "\trlf\tTEMP1, f\n\trlf\tTEMP0, f\n\tmovf\tTEMP1, w\n",
       "\trlf\tTEMP1, w\n\trlf\tTEMP0, f\n"},
      {"W read between: kept", "\tiorwf\tTEMP1, f\n\tmovwf\tACC2\n\tmovf\tTEMP1, w\n",
       "\tiorwf\tTEMP1, f\n\tmovwf\tACC2\n\tmovf\tTEMP1, w\n"},
      {"the byte read again later: kept",
       "\taddwf\tTEMP0, f\n\tmovf\tTEMP0, w\n\tincfsz\tTEMP0, w\n",
       "\taddwf\tTEMP0, f\n\tmovf\tTEMP0, w\n\tincfsz\tTEMP0, w\n"},
      {"an output byte: kept", "\tiorwf\tACC1, f\n\tmovf\tACC1, w\n",
       "\tiorwf\tACC1, f\n\tmovf\tACC1, w\n"},
      {"Z from the load read next, the operation not setting it: kept",
       "\trrf\tTEMP0, f\n\tmovf\tTEMP0, w\n\tskpnz\n\tincf\tACC0, f\n",
       "\trrf\tTEMP0, f\n\tmovf\tTEMP0, w\n\tskpnz\n\tincf\tACC0, f\n"},
      {"a skip between: kept", "\taddwf\tTEMP0, f\n\tskpnc\n\tincf\tACC0, f\n\tmovf\tTEMP0, w\n",
       "\taddwf\tTEMP0, f\n\tskpnc\n\tincf\tACC0, f\n\tmovf\tTEMP0, w\n"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(keep_scratch_results_in_w(listing(c.code), kScratch), c.expected) << c.what;
  }
}

// The scratch register A and the output register A0 print bytes that look alike (A00 is byte 0
// of A0); only the register a byte belongs to decides.
TEST(RoutineCleanupTest, TellsRegistersApartWhateverTheirNames) {
  constexpr int kScratchA = 4;
  const std::string stores = "\tswapf\tA01, w\n\tmovwf\tA00\n\tmovwf\tA0\n";
  EXPECT_EQ(drop_unread_scratch_stores(listing(stores), kScratchA),
            "\tswapf\tA01, w\n\tmovwf\tA00\n");
  const std::string result = "\tiorwf\tA00, f\n\tmovf\tA00, w\n\tmovwf\tA1\n";
  EXPECT_EQ(keep_scratch_results_in_w(listing(result), kScratchA), result);
}

}  // namespace
}  // namespace tarvek

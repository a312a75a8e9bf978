#include "exact/undone_moves.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvek {
namespace {

struct Case {
  const char* what;
  std::string code;
  std::string expected;
};

TEST(UndoneMovesTest, KeepsOnlyTheClearsOfAStretchThatUndoesItself) {
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
  for (const Case& c : kCases) EXPECT_EQ(drop_undone_moves(c.code), c.expected) << c.what;
}

}  // namespace
}  // namespace tarvek

// Test-only fixture: the complete block the generator prints for ACC = ACC * 10 with an 8-bit
// big-endian input and temp TEMP, the reference routine the simulator's parser and checker
// tests start from.
#ifndef TARVEK_SIM_TIMES_TEN_BLOCK_FOR_TESTS_H
#define TARVEK_SIM_TIMES_TEN_BLOCK_FOR_TESTS_H

#include <string_view>

namespace tarvek {

inline constexpr std::string_view kTimesTenBlock =
    "; ACC = ACC * 10.000000\n"
    ";\n"
    "; ALGORITHM:\n"
    "; Clear accumulator\n"
    "; Add input * 8 to accumulator\n"
    "; Add input * 2 to accumulator\n"
    "; Move accumulator to result\n"
    ";\n"
    "; Error in constant approximation : 0.000000, %\n"
    "\n"
    "\n"
    "; Input:  ACC0\t(8 bits)\n"
    "; Output: ACC0 .. ACC1\t(12 bits)\n"
    "\n"
    "\tcblock\n"
    "\tACC0\n"
    "\tACC1\n"
    "\tTEMP0\n"
    "\tTEMP1\n"
    "\tendc\n"
    "\n"
    "\tmovf\tACC0, w\n"
    "\tmovwf\tACC1\n"
    "\tclrf\tACC0\n"
    "\tclrc\n"
    "\trlf\tACC1, f\n"
    "\trlf\tACC0, f\n"
    "\tmovf\tACC0, w\n"
    "\tmovwf\tTEMP0\n"
    "\tmovf\tACC1, w\n"
    "\tmovwf\tTEMP1\n"
    "\tclrc\n"
    "\trlf\tTEMP1, f\n"
    "\trlf\tTEMP0, f\n"
    "\trlf\tTEMP1, f\n"
    "\trlf\tTEMP0, f\n"
    "\tmovf\tTEMP1, w\n"
    "\taddwf\tACC1, f\n"
    "\tmovf\tTEMP0, w\n"
    "\tskpnc\n"
    "\tincfsz\tTEMP0, w\n"
    "\taddwf\tACC0, f\n"
    "\n";

}  // namespace tarvek

#endif  // TARVEK_SIM_TIMES_TEN_BLOCK_FOR_TESTS_H

// Test-only PIC18 routine made by hand, for the printers and the readers of packaged text
// while no generator is needed: ACC0 .. ACC1 (big-endian) = 6 * ACC1, an 8-bit input, with the
// line styles a PIC18 routine prints that a mid-range one has not (the multiplier and its
// product bytes, rlcf, clrf WREG, addwfc) beside the skip macro. TEMP0 is scratch: it ends one
// above what it held, since the carry into addwfc is 0 (6 * 255 fits 11 bits).
#ifndef TARVEK_CODEGEN_PIC18_ROUTINE_FOR_TESTS_H
#define TARVEK_CODEGEN_PIC18_ROUTINE_FOR_TESTS_H

#include "codegen/core.h"
#include "codegen/finished_routine.h"

namespace tarvek {

// With `names_status`, a last "bsf STATUS, 0" names STATUS as an operand (which sets the
// carry and leaves the product alone).
inline FinishedRoutine pic18_times_six(bool names_status = false) {
  FinishedRoutine routine;
  routine.comment =
      "; ACC = ACC * 6\n;\n; Input:  ACC1\t(8 bits)\n; Output: ACC0 .. ACC1\t(11 bits)\n" +
      std::string(kPic18CoreLine);
  routine.registers = {"ACC0", "ACC1", "TEMP0"};
  routine.result_registers = 2;
  Code& code = routine.code;
  const uint8_t acc = code.register_number("ACC");
  const uint8_t temp = code.register_number("TEMP");
  code.push_back({Op::kMovf, acc, true, 1, 0});
  code.push_back({Op::kMullw, kNoFile, false, 0, 3});
  code.push_back({Op::kMovf, kProdlFile, true, 0, 0});
  code.push_back({Op::kMovwf, acc, false, 1, 0});
  code.push_back({Op::kMovf, kProdhFile, true, 0, 0});
  code.push_back({Op::kMovwf, acc, false, 0, 0});
  code.push_back({Op::kClrc, kNoFile, false, 0, 0});
  code.push_back({Op::kRlcf, acc, false, 1, 0});
  code.push_back({Op::kRlcf, acc, false, 0, 0});
  code.push_back({Op::kClrf, kWregFile, false, 0, 0});
  code.push_back({Op::kAddwfc, temp, false, 0, 0});
  code.push_back({Op::kSkpc, kNoFile, false, 0, 0});
  code.push_back({Op::kIncf, temp, false, 0, 0});
  if (names_status) code.push_back({Op::kBsf, kStatusFile, false, 0, 0});
  return routine;
}

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_PIC18_ROUTINE_FOR_TESTS_H

// The PIC core a routine is written for.
//
// The enhanced mid-range core (PIC16F1xxx, PIC12F1xxx) runs every mid-range instruction and
// adds add and subtract with the carry (addwfc, subwfb) and shifts that take no carry in
// (lslf, lsrf, asrf). The baseline core (PIC10F, PIC12F5xx, PIC16F5x) runs every mid-range
// instruction a routine is written with except the literal arithmetic addlw and sublw. The
// writer is made for one core; the generators use the enhanced instructions only when its
// core is enhanced and the literal arithmetic only when it is not baseline, so a routine never
// contains an instruction its core lacks.
#ifndef TARVEK_CODEGEN_CORE_H
#define TARVEK_CODEGEN_CORE_H

#include <cstdint>

namespace tarvek {

enum class Core : uint8_t {
  // Every mid-range PIC16 (and the enhanced parts, which run the same code).
  kMidrange,
  // The enhanced mid-range PIC16F1xxx only.
  kEnhanced,
  // The 12-bit baseline core, and every other core, which runs the same code.
  kBaseline,
  // The PIC18 core (PIC18Fxxx), with its 8 x 8 hardware multiplier; registers in the access
  // bank, so no instruction selects a bank.
  kPic18,
};

// The comment line that names the enhanced core, right after a routine's Output line; a
// mid-range routine has none. The routine check reads it to know which core runs the code.
inline constexpr const char* kEnhancedCoreLine = "; Core: enhanced mid-range (PIC16F1xxx)";
// The baseline core's line. A baseline routine has a RAM line after it (core_lines.h).
inline constexpr const char* kBaselineCoreLine = "; Core: baseline (PIC10F, PIC12F5xx, PIC16F5x)";
// The PIC18 core's line: its registers must lie in the access bank, which the routine's
// instructions address whatever the bank select register holds.
inline constexpr const char* kPic18CoreLine =
    "; Core: PIC18 (PIC18Fxxx), registers in the access bank";

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CORE_H

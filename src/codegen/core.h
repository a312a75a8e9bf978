// The PIC16 core a routine is written for.
//
// The enhanced mid-range core (PIC16F1xxx, PIC12F1xxx) runs every mid-range instruction and
// adds add and subtract with the carry (addwfc, subwfb) and shifts that take no carry in
// (lslf, lsrf, asrf). The writer is made for one core; the generators use the enhanced
// instructions only when its core is enhanced, so a mid-range routine never contains one.
#ifndef TARVEK_CODEGEN_CORE_H
#define TARVEK_CODEGEN_CORE_H

#include <cstdint>

namespace tarvek {

enum class Core : uint8_t {
  // Every mid-range PIC16 (and the enhanced parts, which run the same code).
  kMidrange,
  // The enhanced mid-range PIC16F1xxx only.
  kEnhanced,
};

// The comment line that names the enhanced core, right after a routine's Output line; a
// mid-range routine has none. The routine check reads it to know which core runs the code.
inline constexpr const char* kEnhancedCoreLine = "; Core: enhanced mid-range (PIC16F1xxx)";

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CORE_H

// The comment lines that follow a routine's Output line and say what part it needs: none for
// the mid-range core, the core line for the enhanced one, and for the baseline core its line
// and a RAM line. The smallest baseline parts have 16 bytes of RAM, so there the block says
// how many bytes the routine takes: every byte of the input register it reads or writes (the
// input, the result and any byte it works in above them) and every temporary byte.
//
// The RAM line reads "; RAM: 7 bytes (ACC0 .. ACC3, temporary TEMP0 .. TEMP2)", without the
// temporary part when there is none, the byte counted once however many roles it has; a
// routine that leaves a remainder names its bytes before the temporary ones ("REM0 .. REM1").
// The routine check reads it back and holds it to the routine's declarations.
#ifndef TARVEK_CODEGEN_CORE_LINES_H
#define TARVEK_CODEGEN_CORE_LINES_H

#include <string>

#include "codegen/core.h"

namespace tarvek {

// The bytes a routine takes: NAME0 .. NAME(bytes - 1) of each register.
struct RamUse {
  std::string acc;
  // Input, result and working bytes of the input register; at least 1.
  int acc_bytes = 1;
  std::string temp;
  // Bytes of the temporary register; 0 when the routine has none.
  int temp_bytes = 0;
  // The register that receives a remainder, and its bytes; 0 when the routine leaves none.
  std::string rem = {};
  int rem_bytes = 0;
};

// The lines for `core`, each preceded by a line break; empty for the mid-range core.
// Requires: ram.acc_bytes >= 1, ram.temp_bytes >= 0.
std::string core_lines(Core core, const RamUse& ram);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CORE_LINES_H

// What a PIC core offers the code that writes routines for it, so that the generators and the
// searches ask the core instead of naming one.
//
// Routines are written in one shared set of operations (instruction.h), the mid-range family's,
// plus the instructions a core has of its own (the enhanced core's carry arithmetic, the PIC18
// multiplier), which a writer emits only when its core runs them. written_out() turns a routine
// into the instructions its core prints: the identity for the mid-range family, and for PIC18
// the same operations under their PIC18 forms, one for one, so a routine's instruction count
// and straight-line cycles are the same before and after.
#ifndef TARVEK_CODEGEN_INSTRUCTION_SET_H
#define TARVEK_CODEGEN_INSTRUCTION_SET_H

#include "codegen/code.h"
#include "codegen/core.h"

namespace tarvek {

class InstructionSet {
 public:
  virtual ~InstructionSet() = default;

  virtual Core core() const = 0;
  // Whether a routine written out for this core may hold `op`.
  virtual bool runs(Op op) const = 0;
  // The 8 x 8 hardware multiplier: mullw and mulwf into PRODH:PRODL, one cycle, no flag.
  virtual bool has_multiplier() const = 0;
  // Whether the passes over finished routines (superopt/) may rewrite this core's routines:
  // their machine model is the mid-range family's, whose flags a PIC18 does not keep alike
  // (there incf changes C, rlcf changes Z).
  virtual bool follows_midrange_flags() const = 0;
  // `code` in the core's own instructions.
  virtual Code written_out(const Code& code) const = 0;
};

// The instruction set of `core`; it lives as long as the program.
const InstructionSet& instruction_set(Core core);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_INSTRUCTION_SET_H

// Runs a PIC16 or PIC18 routine in gpsim, the independent simulator our own one is checked
// against.
//
// The routine is wrapped into a complete source file for a real chip (processor line, the
// processor include, a cblock start address), assembled with gpasm and run
// once per input in a single gpsim session: each run resets the chip, sets the declared
// bytes, W and STATUS, runs to a label placed right after the routine and reads everything
// back. All files live in a private temporary folder that is removed afterwards, and every
// external program runs under a time limit.
//
// No radix is set: gpasm keeps its default (hexadecimal), as a project that includes a
// routine without saying otherwise does, so the cross-check also proves that every literal
// we write reads the same in that radix.
#ifndef TARVEK_TESTS_GPSIM_GPSIM_HARNESS_H
#define TARVEK_TESTS_GPSIM_GPSIM_HARNESS_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarvek {

// A routine ready to be wrapped: `body` declares exactly `declared` (in that order) in one bare
// "\tcblock" ... "\tendc" section and holds the instruction lines; comment and blank lines
// may stand anywhere. A generated block as the generator prints it is such a body.
struct GpsimRoutine {
  std::string body;
  std::vector<std::string> declared;
};

// Builds a body from instruction lines alone, declaring `declared` in front of them.
GpsimRoutine routine_from_instructions(const std::string& instructions,
                                       const std::vector<std::string>& declared);
// Takes a generated block verbatim; the declared names are read from its cblock section
// (empty when it has none, which gpasm then reports).
GpsimRoutine routine_from_block(const std::string& block);

// The chip the routine is assembled for. The default, a mid-range part, has 80
// general-purpose bytes in bank 0 starting at 0x20.
struct GpsimTarget {
  std::string processor = "16f628a";
  int cblock_start = 0x20;
  int bank_bytes = 80;
  // A baseline part starts at the last word of its program memory (where its oscillator
  // calibration is kept as a movlw) and wraps to 0: the wrapper puts a nop there, so that W
  // is what a run sets, and leaves its cycle out of the count. -1 for a part that starts at 0.
  int reset_vector = -1;
  // Words of program memory the wrapped routine must fit in (0: not checked).
  int program_words = 0;
  // A PIC18 part: STATUS holds N and OV in bits 4 and 3 (no TO, no PD), addresses count bytes
  // of program memory (two per word), the wrapper's closing loops are bra, and each run sets
  // and reads back the product bytes PRODL and PRODH beside the declared ones.
  bool pic18 = false;
};

// An enhanced mid-range part that gpsim models: the PIC16F1823, also with 80 general-purpose
// bytes in bank 0 from 0x20 (and STATUS at the same address, without bank bits).
inline GpsimTarget enhanced_target() {
  return GpsimTarget{"16f1823", 0x20, 80};
}

// The baseline parts gpsim models: the PIC10F200, with 16 general-purpose bytes from 0x10
// and 256 words, and the PIC12F508, with 25 from 0x07 and 512 words.
inline GpsimTarget pic10f200_target() {
  return GpsimTarget{"10f200", 0x10, 16, 0xFF, 256};
}
inline GpsimTarget pic12f508_target() {
  return GpsimTarget{"12f508", 0x07, 25, 0x1FF, 512};
}

// A PIC18F452, whose access bank starts with 128 general-purpose bytes at 0x00: a PIC18
// routine's registers lie there, where no instruction needs a bank.
inline GpsimTarget pic18f452_target() {
  return GpsimTarget{"18f452", 0x00, 128, -1, 0, true};
}

// The machine state before one run. `bytes` follow the declaration order.
struct GpsimInput {
  std::vector<uint8_t> bytes;
  uint8_t w = 0;
  bool carry = false;
  bool digit_carry = false;
  bool zero = false;
  // PIC18 only: the flags OV and N, and the product bytes.
  bool overflow = false;
  bool negative = false;
  uint8_t prodl = 0;
  uint8_t prodh = 0;
};

// The machine state after one run.
struct GpsimResult {
  std::vector<uint8_t> bytes;  // declaration order
  uint8_t w = 0;
  uint8_t status = 0;  // the full STATUS register
  // Instruction cycles the routine took, skipped instructions included.
  long cycles = 0;
  // The routine's last instruction skipped the instruction that follows the routine.
  bool skipped_past_end = false;
  // PIC18 only (0 elsewhere): the product bytes.
  uint8_t prodl = 0;
  uint8_t prodh = 0;
};

struct GpsimOutcome {
  // True when assembling and every run succeeded; `results` then has one entry per input.
  bool ok = false;
  // What went wrong (assembler messages, a timeout, output that could not be read).
  std::string error;
  // Everything gpasm printed (empty when it had nothing to say).
  std::string assembler_messages;
  std::vector<GpsimResult> results;
};

// The complete source file gpasm is given.
std::string wrap_for_gpasm(const GpsimRoutine& routine, const GpsimTarget& target);

// Only assembles; `ok` and `assembler_messages` tell the outcome.
GpsimOutcome assemble_with_gpasm(const GpsimRoutine& routine, const GpsimTarget& target = {});

// Assembles and runs the routine once per input.
// Requires: every input has one byte per declared name.
GpsimOutcome run_in_gpsim(const GpsimRoutine& routine, const std::vector<GpsimInput>& inputs,
                          const GpsimTarget& target = {});

// A relocatable project: every module assembled with gpasm -c for the target's processor,
// and a main source that the harness completes (the processor include, then `head`, then
// a code section at the reset vector holding `code` between a leading nop and its end labels,
// as wrap_for_gpasm places a routine), all linked by gplink with its default linker script.
struct LinkedProject {
  std::vector<std::string> modules;
  // Lines before the main source's code, such as extern lists or an include file's text.
  std::string head;
  // What runs from the reset vector, in the main source's code section.
  std::string code;
};

// The main source of `project`, as run_linked_in_gpsim assembles it.
std::string linked_main(const LinkedProject& project, const GpsimTarget& target);

// Links and runs `project` once per input, as run_in_gpsim runs a routine: `declared` names
// the symbols (global or static) whose bytes each input sets and each run reads back, at the
// addresses gplink's map gives them.
// Requires: every input has one byte per declared name.
GpsimOutcome run_linked_in_gpsim(const LinkedProject& project,
                                 const std::vector<std::string>& declared,
                                 const std::vector<GpsimInput>& inputs,
                                 const GpsimTarget& target = {});

// A complete source file, assembled as it stands.
struct AssembledSource {
  // gpasm succeeded.
  bool ok = false;
  // Everything gpasm printed, and what went wrong when it failed.
  std::string messages;
  // The symbol table of the listing: each name with its value (a register's address).
  std::map<std::string, long> symbols;
  // The Intel HEX file gpasm wrote: the machine code, to compare two sources by.
  std::string hex;
};

AssembledSource assemble_source(const std::string& source);

// True when both gpasm and gpsim can be started.
bool gpsim_tools_available();

}  // namespace tarvek

#endif  // TARVEK_TESTS_GPSIM_GPSIM_HARNESS_H

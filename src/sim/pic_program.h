// A parsed PIC16 routine, ready to be run many times by a PicMachine.
//
// A program is parsed for one core. The enhanced mid-range core (PIC16F1xxx, PIC12F1xxx) runs
// every mid-range instruction and adds addwfc, subwfb, lslf, lsrf and asrf (the last PicOp
// values), which the parser accepts only in a program parsed for that core: a mid-range part
// cannot run them, so a mid-range routine that contains one is refused with a message that
// names the instruction.
//
// The parser reads generated source in its exact line format and nothing else: one
// instruction per line, "\t" mnemonic "\t" operands "\n", file operands naming declared bytes
// (ACC2), destinations ", w" / ", f", bit numbers ", N" (0..7), literals that read the same in
// every default radix (a single digit, or D'n' with n a signed 8-bit decimal: D'-16' stands
// for 0xF0), the operand-less macros clrc, skpc, skpnc
// and skpnz ("\t" name "\n"), and three lines that name STATUS: "\txorwf STATUS, f",
// "\txorwf\tSTATUS, w" and "\tmovwf\tSTATUS". Every other line is a parse error naming its
// line number; nothing is silently skipped.
//
// Names are resolved once, at parse time: every file operand is stored as the index of the
// byte in `byte_names`, so running a program does no string work. An operand naming a byte
// that is not declared is a parse error.
#ifndef TARVEK_SIM_PIC_PROGRAM_H
#define TARVEK_SIM_PIC_PROGRAM_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvek {

// The core a program is written for.
enum class PicCore : uint8_t {
  // Mid-range PIC16: the instructions every PIC16 runs.
  kMidrange,
  // Enhanced mid-range PIC16F1xxx: the mid-range set plus addwfc, subwfb, lslf, lsrf, asrf.
  kEnhanced,
};

// One operation per instruction form the parser accepts. The suffix W or F is the
// destination (", w" or ", f").
enum class PicOp : uint8_t {
  kMovwf,
  kMovfW,
  kMovfF,
  kMovlw,
  kAndlw,
  kIorlw,
  kAddlw,
  kClrf,
  kSwapfW,
  kSwapfF,
  kBtfsc,
  kBtfss,
  kBsf,
  kComfW,
  kComfF,
  kRlfW,
  kRlfF,
  kRrfW,
  kRrfF,
  kAddwfW,
  kAddwfF,
  kSubwfW,
  kSubwfF,
  kIorwfW,
  kIorwfF,
  kXorwfW,
  kXorwfF,
  kIncfW,
  kIncfF,
  kIncfszW,
  kIncfszF,
  kXorwfStatus,   // "xorwf STATUS, f"
  kXorwfStatusW,  // "xorwf STATUS, w"
  kMovwfStatus,   // "movwf STATUS"
  kClrc,          // bcf STATUS, C
  kSkpc,          // btfss STATUS, C
  kSkpnc,         // btfsc STATUS, C
  kSkpnz,         // btfsc STATUS, Z
  // Enhanced mid-range only.
  kAddwfcW,
  kAddwfcF,
  kSubwfbW,
  kSubwfbF,
  kLslfW,
  kLslfF,
  kLsrfW,
  kLsrfF,
  kAsrfW,
  kAsrfF,
};

struct PicInstruction {
  PicOp op;
  // Index into PicProgram::byte_names for file operands; the literal's bit pattern for
  // movlw, andlw and iorlw; 0 otherwise.
  uint16_t operand = 0;
  // Bit number for btfsc, btfss and bsf; 0 otherwise.
  uint8_t bit = 0;
  // 1-based number of the source line, for messages.
  int line = 0;
};

struct PicProgram {
  // The core the program was parsed for; it decides what the STATUS register holds.
  PicCore core = PicCore::kMidrange;
  // Declared byte names in declaration order; a byte's index is its position here.
  std::vector<std::string> byte_names;
  // The instructions in program order.
  std::vector<PicInstruction> instructions;

  // Index of the declared byte `name`, or -1 when it is not declared.
  int index_of(std::string_view name) const;
  // Indexes of the bytes prefix+"0" .. prefix+(byte_count-1), least significant first:
  // little_endian means byte 0 is least significant, otherwise byte 0 is most significant.
  // Requires: 1 <= byte_count <= 8 and every one of those bytes declared.
  std::vector<int> value_indexes(std::string_view prefix, int byte_count, bool little_endian) const;
};

// Either a program or, when `program` is empty, a message; it starts with "line N: " when one
// line is at fault (N counts from 1).
struct ParseOutcome {
  std::optional<PicProgram> program;
  std::string error;
};

// Whether `name` can be read as one byte name: printable ASCII, without blanks, commas or a
// comment sign.
bool is_name_token(std::string_view name);

// Parses instruction lines only (no comments, no blank lines, no declarations) against the
// given declared byte names. A missing newline after the last line is accepted. Duplicate or
// malformed declared names are an error.
ParseOutcome parse_instructions(std::string_view lines, const std::vector<std::string>& declared,
                                PicCore core = PicCore::kMidrange);

// Parses a whole generated block: comment lines (starting with ';') and blank lines anywhere
// are skipped; exactly one "\tcblock" ... "\tendc" section declares the bytes, one "\tNAME"
// line each, and comes before the first instruction; instruction lines follow it. Line
// numbers in messages count from the first line of `block`.
ParseOutcome parse_generated_block(std::string_view block, PicCore core = PicCore::kMidrange);

}  // namespace tarvek

#endif  // TARVEK_SIM_PIC_PROGRAM_H

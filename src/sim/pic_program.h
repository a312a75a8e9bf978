// A parsed PIC routine, ready to be run many times by a PicMachine.
//
// A program is parsed for one core. The enhanced mid-range core (PIC16F1xxx, PIC12F1xxx) runs
// every mid-range instruction and adds addwfc, subwfb, lslf, lsrf and asrf (PicOp kAddwfcW to
// kAsrfF), which the parser accepts only in a program parsed for that core. The baseline core
// (PIC10F, PIC12F5xx, PIC16F5x) lacks addlw, which the parser accepts only for the other two.
// A part cannot run what its core lacks, so a routine that contains such an instruction is
// refused with a message that names the instruction.
//
// The parser reads generated source in its exact line format and nothing else: one
// instruction per line, "\t" mnemonic "\t" operands "\n", file operands naming declared bytes
// (ACC2), destinations ", w" / ", f", bit numbers ", N" (0..7), literals that read the same in
// every default radix (a single digit, D'n' with n a signed 8-bit decimal: D'-16' stands
// for 0xF0, or 0x and two upper-case hexadecimal digits: 0xF0), the operand-less macros clrc,
// setc, skpc, skpnc and skpnz ("\t" name "\n") or the bit instructions they stand for, which
// a routine written for an assembler without those macros has ("\tbcf\tSTATUS, 0",
// "\tbsf\tSTATUS, 0", "\tbtfss\tSTATUS, 0", "\tbtfsc\tSTATUS, 0", "\tbtfsc\tSTATUS, 2"),
// and three more lines that name STATUS: "\txorwf STATUS, f", "\txorwf\tSTATUS, w" and
// "\tmovwf\tSTATUS". Every other line is a parse error naming its line number; nothing is
// silently skipped.
//
// A routine that loops has label lines in the form gpasm reads: the label alone, in the first
// column ("div10_loop\n"), an identifier (a letter or '_', then letters, digits and '_') that
// names no instruction, no declared byte and no other label; it stands for the next
// instruction (comment lines between are skipped), or for the
// end of the routine after the last one. "\tgoto\tNAME" jumps to a label of the routine,
// which may come later; there is no other way to jump (no address, no "$").
//
// Names are resolved once, at parse time: every file operand is stored as the index of the
// byte in `byte_names` and every goto as the index of the instruction it lands on, so running
// a program does no string work. An operand naming a byte that is not declared, or a label
// that is not placed, is a parse error.
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
  // Baseline PIC10F, PIC12F5xx, PIC16F5x: the mid-range set without addlw.
  kBaseline,
  // PIC18Fxxx, registers in the access bank: the instructions below under their PIC18 names,
  // with the PIC18 flags, and the multiplier.
  kPic18,
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
  kClrc,          // clrc, or bcf STATUS, C
  kSkpc,          // skpc, or btfss STATUS, C
  kSkpnc,         // skpnc, or btfsc STATUS, C
  kSkpnz,         // skpnz, or btfsc STATUS, Z
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
  // What loops use, on every core.
  kGoto,  // operand: the index of the instruction it lands on (the count for the end)
  kDecfW,
  kDecfF,
  kDecfszW,
  kDecfszF,
  kBcf,
  kSetc,  // bsf STATUS, C
  kAndwfW,
  kAndwfF,
};

// Whether the operation's operand is a declared byte (an index into PicProgram::byte_names).
constexpr bool has_file_operand(PicOp op) {
  switch (op) {
    case PicOp::kMovlw:
    case PicOp::kAndlw:
    case PicOp::kIorlw:
    case PicOp::kAddlw:
    case PicOp::kXorwfStatus:
    case PicOp::kXorwfStatusW:
    case PicOp::kMovwfStatus:
    case PicOp::kClrc:
    case PicOp::kSkpc:
    case PicOp::kSkpnc:
    case PicOp::kSkpnz:
    case PicOp::kGoto:
    case PicOp::kSetc:
      return false;
    default:
      return true;
  }
}

// Whether the operation may skip the next instruction.
constexpr bool is_skip(PicOp op) {
  switch (op) {
    case PicOp::kBtfsc:
    case PicOp::kBtfss:
    case PicOp::kIncfszW:
    case PicOp::kIncfszF:
    case PicOp::kSkpc:
    case PicOp::kSkpnc:
    case PicOp::kSkpnz:
    case PicOp::kDecfszW:
    case PicOp::kDecfszF:
      return true;
    default:
      return false;
  }
}

// Whether the operation is one the lane runner executes (lane_machine.h): every operation of
// straight-line code before loops were written, so not a goto nor the operations added with it.
constexpr bool runs_on_lanes(PicOp op) {
  return op < PicOp::kGoto;
}

struct PicInstruction {
  PicOp op;
  // Index into PicProgram::byte_names for file operands; the literal's bit pattern for
  // movlw, andlw and iorlw; the index of the instruction a goto lands on; 0 otherwise.
  uint16_t operand = 0;
  // Bit number for btfsc, btfss, bsf and bcf; 0 otherwise.
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
  // Whether every instruction runs on the lane runner: straight-line code without a goto
  // (runs_on_lanes). A program with a jump runs on PicMachine, one input at a time.
  bool straight_line = true;

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
// line each, and comes before the first instruction; instruction lines follow it. The section
// may open with a start address, "\tcblock 0x20" (upper-case hexadecimal digits, at most
// three). Line
// numbers in messages count from the first line of `block`.
ParseOutcome parse_generated_block(std::string_view block, PicCore core = PicCore::kMidrange);

}  // namespace tarvek

#endif  // TARVEK_SIM_PIC_PROGRAM_H

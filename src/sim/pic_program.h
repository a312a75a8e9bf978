// A parsed PIC routine, ready to be run many times by a PicMachine.
//
// A program is parsed for one core. The enhanced mid-range core (PIC16F1xxx, PIC12F1xxx) runs
// every mid-range instruction and adds addwfc, subwfb, lslf, lsrf and asrf (PicOp kAddwfcW to
// kAsrfF), which the parser accepts only in a program parsed for that core (and addwfc and
// subwfb in a PIC18 one). The baseline core
// (PIC10F, PIC12F5xx, PIC16F5x) lacks addlw, which the parser accepts only for the other two.
// The PIC18 core (PIC18Fxxx, registers in the access bank) runs the mid-range set under its
// own names and flags: its rotates through the carry are rlcf and rrcf (it has no rlf, rrf,
// clrw, lslf, lsrf nor asrf), it has addwfc and subwfb as the enhanced core does, the
// multiplier (mullw, mulwf) and the one-word jump bra. A part cannot run what its core lacks,
// so a routine that contains such an instruction is refused with a message that names the
// instruction.
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
// instruction (comment lines between are skipped), or for the end of the routine after the
// last one. "\tgoto\tNAME" (or on PIC18 "\tbra\tNAME") jumps to a label of the routine, which
// may come later; there is no other way to jump (no address, no "$").
//
// A PIC18 routine also names three registers of the core's own without declaring them: WREG
// (W as a file register: "clrf WREG" is how PIC18 code clears W) and the product bytes PRODL
// and PRODH. They are no bytes of the routine: they cannot be declared, and a file operand
// naming one holds an index past the declared bytes (PicProgram::core_file_index).
//
// Names are resolved once, at parse time: every file operand is stored as the index of the
// byte in `byte_names` (or a core register's index) and every goto or bra as the index of the
// instruction it lands on, so running a program does no string work. An operand naming a byte
// that is not declared, or a label that is not placed, is a parse error.
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
  // PIC18 only: the rotates through the carry, which also set Z and N there, and the
  // multiplier, PRODH:PRODL = W * k or W * f.
  kRlcfW,
  kRlcfF,
  kRrcfW,
  kRrcfF,
  kMullw,
  kMulwf,
  // PIC18 only: a jump of one word, as goto (operand: the index it lands on).
  kBra,
};

// The PIC18 core's registers that a PIC18 routine names without declaring them. A file
// operand naming one holds PicProgram::core_file_index of it.
enum class CoreFile : uint8_t {
  // W, seen as a file register (0xFE8 on the chip): reading or writing it is reading or
  // writing W.
  kWreg,
  // The product of the last mullw or mulwf, low and high byte.
  kProdl,
  kProdh,
};
inline constexpr int kCoreFileCount = 3;

// Whether the operation's operand is a file register: a declared byte (an index into
// PicProgram::byte_names) or, on PIC18, one of the core's own (CoreFile).
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
    case PicOp::kMullw:
    case PicOp::kBra:
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
// straight-line code before loops were written, so not a goto nor the operations added with it
// or after it. The lanes have the PIC16 flags only: no PIC18 program runs there, whatever its
// operations (PicProgram::straight_line).
constexpr bool runs_on_lanes(PicOp op) {
  return op < PicOp::kGoto;
}

struct PicInstruction {
  PicOp op;
  // Index into PicProgram::byte_names for file operands, or core_file_index for a core
  // register; the literal's bit pattern for movlw, andlw, iorlw, addlw and mullw; the index of
  // the instruction a goto or bra lands on; 0 otherwise.
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
  // Whether the lane runner runs the program: straight-line code without a goto, every
  // operation one it runs (runs_on_lanes), for a PIC16 core. Any other program, with a jump or
  // for PIC18, runs on PicMachine, one input at a time.
  bool straight_line = true;

  // Index of the declared byte `name`, or -1 when it is not declared (the core's own
  // registers included: they are not declared).
  int index_of(std::string_view name) const;
  // The operand index of a core register: past the declared bytes, in CoreFile order.
  int core_file_index(CoreFile file) const {
    return static_cast<int>(byte_names.size()) + static_cast<int>(file);
  }
  // Indexes of the bytes prefix+"0" .. prefix+(byte_count-1), least significant first:
  // little_endian means byte 0 is least significant, otherwise byte 0 is most significant.
  // Requires: 1 <= byte_count <= 8 and every one of those bytes declared.
  std::vector<int> value_indexes(std::string_view prefix, int byte_count, bool little_endian) const;
};

// Whether the program has a goto or a bra: its runs may go round loops, for many cycles.
bool has_jump(const PicProgram& program);

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

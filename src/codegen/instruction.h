// One instruction of a generated routine, as the generators and the passes over a finished
// routine see it: an operation and its operands, the file operand named by register identity
// (which register of the routine, which byte of it), never by text.
//
// A routine's registers are numbered by the Code that holds the instruction (code.h); the
// text of a byte's name ("ACC2") is made only when the routine is printed. So a pass can tell
// two bytes apart, or find the bytes of the scratch register, whatever names the request
// gave, even names such as A0 and A whose printed bytes look alike.
#ifndef TARVEK_CODEGEN_INSTRUCTION_H
#define TARVEK_CODEGEN_INSTRUCTION_H

#include <cstdint>

namespace tarvek {

// The operations a routine may contain. The operand-less ones that stand for a bit operation
// on STATUS (clrc, setc, skpc, skpnc, skpz, skpnz) are kept as such: they are what is printed.
enum class Op : uint8_t {
  // File operations with a destination (", w" or ", f").
  kMovf,
  kSwapf,
  kComf,
  kRlf,
  kRrf,
  kAddwf,
  kSubwf,
  kAndwf,
  kIorwf,
  kXorwf,
  kIncf,
  kDecf,
  kIncfsz,
  kDecfsz,
  // Enhanced mid-range file operations with a destination.
  kAddwfc,
  kSubwfb,
  kLslf,
  kLsrf,
  kAsrf,
  // PIC18 rotates through the carry (rlf and rrf under their PIC18 names; they also set Z and
  // N there), which a routine gets only when it is written out for that core.
  kRlcf,
  kRrcf,
  // File operations without a destination.
  kMovwf,
  kClrf,
  // PIC18: PRODH:PRODL = W * file byte, no flag changed.
  kMulwf,
  // Bit operations on a file byte.
  kBcf,
  kBsf,
  kBtfsc,
  kBtfss,
  // Literal operations on W.
  kMovlw,
  kAndlw,
  kIorlw,
  kXorlw,
  kAddlw,
  kSublw,
  // PIC18: PRODH:PRODL = W * literal (the literal's 8 bits unsigned), no flag changed.
  kMullw,
  // No operand.
  kClrw,
  kClrc,
  kSetc,
  kSkpc,
  kSkpnc,
  kSkpz,
  kSkpnz,
  // A jump to a label of the routine (goto), and the line that places a label. A label takes
  // no program word; it is known by its number in the routine's Code, like a register.
  kGoto,
  kLabel,
  // PIC18: a jump of one program word (goto takes two there).
  kBra,
};

// What kind of operands an operation takes.
enum class OperandKind : uint8_t { kFileDest, kFile, kFileBit, kLiteral, kNone, kLabel };

OperandKind operand_kind(Op op);
// The mnemonic as printed.
const char* mnemonic(Op op);
// Whether the operation may skip the next instruction.
bool is_skip(Op op);
// Whether the operation takes a program word: every one but the label line.
inline bool takes_word(Op op) {
  return op != Op::kLabel;
}

// The file operand of an instruction that has none.
inline constexpr uint8_t kNoFile = 0xFF;
// The STATUS register, which every core has at a fixed place and which is no register of the
// routine's own.
inline constexpr uint8_t kStatusFile = 0xFE;
// The PIC18 multiplier's product bytes and W seen as a file byte (PIC18 has no clrw: W is
// cleared as "clrf WREG"). Like STATUS, none is a register of the routine's own.
inline constexpr uint8_t kProdlFile = 0xFD;
inline constexpr uint8_t kProdhFile = 0xFC;
inline constexpr uint8_t kWregFile = 0xFB;
// Whether `file` is one of the core's own registers (STATUS, the product bytes, WREG).
inline bool is_special_file(uint8_t file) {
  return file >= kWregFile && file != kNoFile;
}

struct Instruction {
  Op op = Op::kClrc;
  // The register of the file operand: its number in the routine's Code, kStatusFile, or
  // kNoFile for an operation without a file operand.
  uint8_t file = kNoFile;
  // The result goes to W (", w") rather than the file byte (", f"); only for kFileDest.
  bool to_w = false;
  // The byte of that register, as printed after its name (0 for STATUS and no file).
  int16_t byte = 0;
  // The literal (a signed 8-bit value), the bit number (0 to 7), or for a goto or a label line
  // the label's number in the routine's Code; 0 otherwise.
  int16_t value = 0;

  bool same_file_byte(const Instruction& other) const {
    return file == other.file && byte == other.byte && file != kNoFile;
  }
  friend bool operator==(const Instruction&, const Instruction&) = default;
};

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_INSTRUCTION_H

// Executes a parsed PicProgram the way a baseline, mid-range, enhanced mid-range or PIC18 core
// does, as the instruction-set description of the processor defines it. This is the project's
// verification oracle.
//
// State: the declared file-register bytes, W, and the STATUS bits C, DC, Z and the bank
// select bits (IRP, RP1, RP0); TO and PD read as 1, as after a power-on reset. On PIC18 STATUS
// has OV and N instead of bank bits, TO and PD, and the state adds the product bytes PRODL and
// PRODH. The machine refers to its program and does not own it: the program must outlive the
// machine.
//
// Semantics, per instruction (f is the file operand, d the destination):
//   movwf f          f = W                                   no flag
//   movf f, d        d = f                                   Z
//   movlw k          W = k                                   no flag
//   andlw/iorlw k    W = W & k / W | k                       Z
//   clrf f           f = 0                                   Z = 1
//   swapf f, d       d = f with its nibbles exchanged        no flag
//   btfsc f, b       skip the next instruction if bit b of f is clear
//   btfss f, b       skip the next instruction if bit b of f is set
//   bsf f, b         set bit b of f                          no flag
//   comf f, d        d = ~f                                  Z
//   rlf/rrf f, d     d = f rotated left/right through C      C = bit shifted out
//   addwf f, d       d = f + W                               C = carry out, DC, Z
//   subwf f, d       d = f - W                               C = no borrow, DC = no nibble
//                                                            borrow, Z
//   iorwf f, d       d = f | W                               Z
//   xorwf f, d       d = f ^ W                               Z
//   incf f, d        d = f + 1                               Z
//   incfsz f, d      d = f + 1, skip the next if it is 0     no flag
//   decf f, d        d = f - 1                               Z
//   decfsz f, d      d = f - 1, skip the next if it is 0     no flag
//   bcf f, b         clear bit b of f                        no flag
//   andwf f, d       d = f & W                               Z
//   goto label       continue at the label's instruction (past the last one: the end)
//   clrc / setc      C = 0 / C = 1 (bcf / bsf STATUS, 0)
//   skpc / skpnc     skip the next instruction if C is set / clear
//   skpnz            skip the next instruction if Z is clear
//   xorwf STATUS, f  the write-protected case below.
// Enhanced mid-range (the parser refuses them in a mid-range program; PIC18 has addwfc and
// subwfb, with its own flags below):
//   addwfc f, d      d = f + W + C                           C = carry out, DC, Z
//   subwfb f, d      d = f - W - !C (C set: no borrow in)    C = no borrow, DC = no nibble
//                                                            borrow, Z
//   lslf f, d        d = f << 1, 0 into bit 0                C = old bit 7, Z
//   lsrf f, d        d = f >> 1, 0 into bit 7                C = old bit 0, Z
//   asrf f, d        d = f >> 1, bit 7 kept                  C = old bit 0, Z
// The enhanced core keeps its bank select bits in a register of their own: STATUS bits 7..5
// are unimplemented there and read 0, so a write to STATUS leaves them 0. The baseline core
// has no addlw (the parser refuses it); its STATUS bits 7..5 hold the wake-up flag and the
// program page select instead of bank bits, writable as the mid-range bank bits are, and kept
// in `bank_bits` alike: a routine must leave them as it found them.
//
// PIC18 (the parser gives it rlcf and rrcf for rlf and rrf, and refuses lslf, lsrf and asrf):
// STATUS holds C (bit 0), DC, Z, OV and N (bit 4), and bits 7..5 are unimplemented and read 0
// (the routine's registers are in the access bank, which no bank bit selects). The flags
// differ from the mid-range core's:
//   addwf, addwfc, addlw, subwf, subwfb   C, DC, Z, OV (signed overflow), N (bit 7 of the result)
//   incf f, d        d = f + 1               C = carry out of bit 7, DC, Z, OV, N
//   decf f, d        d = f - 1               C = no borrow (f != 0), DC = no nibble borrow,
//                                            Z, OV, N
//   movf, comf, andwf, iorwf, xorwf, andlw, iorlw            Z, N
//   rlcf/rrcf f, d   d = f rotated left/right through C      C = bit shifted out, Z, N
//   clrf f           f = 0                                   Z = 1
//   mullw k          PRODH:PRODL = W * k (unsigned 8 x 8)    no flag
//   mulwf f          PRODH:PRODL = W * f                     no flag
//   bra label        as goto
// and swapf, movwf, movlw, incfsz, decfsz and the bit instructions change no flag. The file
// operands WREG, PRODL and PRODH are W and the product bytes themselves ("clrf WREG" clears
// W and sets Z).
//
// An instruction that has STATUS as its destination and itself affects Z, DC or C cannot
// write those three bits: they are set by the instruction's own flag logic instead, and TO
// and PD are never writable (the processor's documentation of the STATUS register; its
// example is clrf STATUS leaving 000u u1uu). So "xorwf STATUS, f" computes STATUS ^ W, writes
// only the bank bits (7..5) of the result, leaves C and DC unchanged and sets Z when the
// whole result is 0. In particular "movlw 1" followed by "xorwf STATUS, f" does NOT invert C.
// PIC18 write-protects its five flags alike: "xorwf STATUS, f" sets Z and N from the result
// and leaves C, DC and OV, while "movwf STATUS" takes C, DC, Z, OV and N from W.
//
// Timing: one cycle per instruction, two for a goto or bra; a skipped instruction is not
// executed but costs one cycle (a skip taken costs two), except that a PIC18 goto, two words
// long there, costs two cycles when skipped (that skip three). A skip taken on the last
// instruction ends the run and is reported in RunStats, since on the chip it would skip
// whatever follows the routine. A run that has not ended after `cycle_limit` cycles is stopped
// and reported, so a routine that loops for ever is a failure rather than a hang.
#ifndef TARVEK_SIM_PIC_MACHINE_H
#define TARVEK_SIM_PIC_MACHINE_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/pic_program.h"

namespace tarvek {

struct RunStats {
  // Instructions executed (skipped ones not counted).
  long instructions = 0;
  // Instruction cycles: executed instructions plus skipped ones.
  long cycles = 0;
  // The last instruction was a skip that was taken: the chip would skip past the routine.
  bool skipped_past_end = false;
  // The run was stopped at the machine's cycle limit, before it reached the end.
  bool cycle_limit_reached = false;
};

// The seeded starting state of PicMachine::fill, shared with the lane runner so that a lane
// and a machine filled with the same seed hold the same state. It is a stream of bytes: the
// declared bytes in declaration order, then W, then a byte whose bits 0, 1 and 2 give C, DC
// and Z (and on PIC18 bits 3 and 4 OV and N), then on PIC18 PRODL and PRODH. Stream byte p
// is byte p % 8 (least significant first) of word p / 8.
//
// Word k of the stream for `seed`: splitmix64, a small, well-mixed generator, so that
// different seeds give unrelated states.
constexpr uint64_t fill_word(uint64_t seed, uint64_t k) {
  uint64_t z = seed + (k + 1) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
// The bits of the stream's flags byte.
constexpr uint8_t kFillCarry = 1;
constexpr uint8_t kFillDigitCarry = 2;
constexpr uint8_t kFillZero = 4;
constexpr uint8_t kFillOverflow = 8;
constexpr uint8_t kFillNegative = 16;

class PicMachine {
 public:
  // All bytes, W and the flags start at 0.
  explicit PicMachine(const PicProgram& program);

  // Requires: has_byte(name).
  void set_byte(std::string_view name, uint8_t v);
  // Requires: has_byte(name).
  uint8_t byte(std::string_view name) const;
  bool has_byte(std::string_view name) const;
  // Requires: 0 <= index < number of declared bytes.
  uint8_t byte_at(int index) const;
  // Requires: 0 <= index < number of declared bytes.
  void set_byte_at(int index, uint8_t v);

  // The STATUS register as the chip would show it: bank bits, TO = PD = 1, Z, DC, C; on
  // PIC18 N, OV, Z, DC, C.
  uint8_t status() const;

  // Runs the program once from its first instruction to its end.
  RunStats run();

  // Puts arbitrary (seeded, reproducible) values in every byte, W, C, DC and Z, and on PIC18
  // in OV, N, PRODL and PRODH. The bank bits stay 0: the routine runs with its registers in
  // the selected bank.
  void fill(uint64_t seed);

  // Writes `value` into bytes prefix+"0" .. prefix+(byte_count-1); little_endian means byte
  // 0 is least significant, otherwise byte 0 is most significant. Bits of `value` above
  // 8 * byte_count are dropped.
  // Requires: 1 <= byte_count <= 8 and every one of those bytes declared.
  void write_value(std::string_view prefix, int byte_count, bool little_endian, uint64_t value);
  // Requires: as for write_value.
  uint64_t read_value(std::string_view prefix, int byte_count, bool little_endian) const;
  // The same with byte indexes resolved once (PicProgram::value_indexes), for sweeps.
  void write_value(const std::vector<int>& indexes, uint64_t value);
  uint64_t read_value(const std::vector<int>& indexes) const;

  // A run stops once it has taken more cycles than this: no routine we write takes nearly as
  // many, so one that does loops for ever.
  static constexpr long kDefaultCycleLimit = 1L << 20;
  long cycle_limit = kDefaultCycleLimit;

  uint8_t w = 0;
  bool carry = false;
  bool zero = false;
  // The digit carry (DC): carry out of / no borrow from the low nibble.
  bool digit_carry = false;
  // STATUS bits 7..5 (IRP, RP1, RP0) in place; only "xorwf STATUS, f" and "movwf STATUS"
  // change them, and only on the mid-range core. A routine that leaves them nonzero has
  // switched banks, which this model does not follow: an oracle should require them to be 0
  // after run().
  uint8_t bank_bits = 0;
  // PIC18 only: the overflow (OV) and negative (N) flags. The other cores have neither: there
  // they hold whatever the instructions computed, which status() does not show.
  bool overflow = false;
  bool negative = false;
  // PIC18 only: the product bytes of the multiplier.
  uint8_t prodl = 0;
  uint8_t prodh = 0;

 private:
  // a + b + carry_in, setting C to the carry out of bit 7, DC to the carry out of bit 3, Z,
  // OV to the signed overflow and N to bit 7 of the sum, which it returns. A subtraction
  // a - b - borrow is a + ~b + !borrow, whose carries are then "no borrow".
  uint8_t add_setting_flags(uint8_t a, uint8_t b, bool carry_in);

  const PicProgram* program_;
  // The declared bytes, then one slot per CoreFile (PicProgram::core_file_index), where a run
  // keeps W and the product bytes so that a file operand naming one of them reaches it.
  std::vector<uint8_t> bytes_;
  // The number of declared bytes.
  int byte_count_;
};

}  // namespace tarvek

#endif  // TARVEK_SIM_PIC_MACHINE_H

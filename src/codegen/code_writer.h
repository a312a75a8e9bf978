// The one place where lines of generated PIC source are written.
//
// A writer is made for one core (mid-range unless told otherwise). The emitters of the
// enhanced mid-range instructions require a writer made for that core, and the literal
// arithmetic one that is not for the baseline core, so no routine can contain an instruction
// its core lacks.
//
// Each emitter appends one instruction to `code` and returns `code`; the text of the routine is
// made from it only when it is printed. Besides the instructions, the writer keeps two facts
// about the machine state that the emitted code will have when it runs, and every emitter
// keeps both true before it returns:
//
// - The W record: when `w_register` is set, W holds byte `w_byte` of that register. A load of
//   the byte W already holds is left out. Every written instruction counts as executed; no
//   generator writes a load or store of W right after a skipping instruction, so the record
//   stays true whichever way a skip goes.
// - The carry state of one register (`carry_register`): whether the STATUS carry holds the
//   bit that overflowed its top byte (`carry_overflow`) and whether it holds the bit just above
//   the top byte at all (`carry_known`). No emitter changes these; the generators keep them
//   true through the setters.
//
// The writer refers to registers it does not own; they must outlive it.
#ifndef TARVEK_CODEGEN_CODE_WRITER_H
#define TARVEK_CODEGEN_CODE_WRITER_H

#include "codegen/code.h"
#include "codegen/core.h"
#include "codegen/register.h"

namespace tarvek {

class CodeWriter {
 public:
  explicit CodeWriter(Core core = Core::kMidrange) : core_(core) {}

  // The core the routine is written for.
  Core core() const { return core_; }
  bool enhanced() const { return core_ == Core::kEnhanced; }
  // Add and subtract with the carry (addwfc, subwfb): the enhanced mid-range and PIC18 cores.
  bool carry_arithmetic() const { return core_ == Core::kEnhanced || core_ == Core::kPic18; }
  // The baseline core has no addlw: a constant reaches W's sums through a register.
  bool baseline() const { return core_ == Core::kBaseline; }

  // Empties `code`; every generator call starts with this. The W record and the carry state
  // carry over from one generator call to the next.
  void clear_code() { code.clear(); }

  // Carry state.
  void set_carry_overflow(bool value, Register& reg);
  void set_carry_known(bool value, Register& reg);
  bool carry_overflow_of(const Register& reg) const;
  bool carry_known_of(const Register& reg) const;
  // Stores a pending overflow carry of `carry_register` in a new top byte of that register.
  const Code& flush_carry();

  // W record: W holds the byte that byte `byte` of `reg` names, through whichever descriptor
  // it was loaded.
  bool w_holds(const Register& reg, int byte) const;

  // One emitter per instruction form. Literals and bit numbers are signed 8-bit values.
  const Code& movwf(Register& reg, int byte);
  const Code& movf_w(Register& reg, int byte);
  // The load written whatever the W record holds (used where a dropped copy is replaced).
  const Code& movf_w_always(Register& reg, int byte);
  const Code& movlw(int literal);
  const Code& andlw(int literal);
  const Code& iorlw(int literal);
  // W += literal (modulo 256); sets C, DC and Z as addwf does.
  // Requires: the writer's core is not baseline.
  const Code& addlw(int literal);
  const Code& clrf(Register& reg, int byte);
  const Code& swapf_w(Register& reg, int byte);
  const Code& swapf_f(Register& reg, int byte);
  const Code& btfsc(Register& reg, int byte, int bit);
  const Code& btfss(Register& reg, int byte, int bit);
  const Code& bsf(Register& reg, int byte, int bit);
  const Code& comf_f(Register& reg, int byte);
  const Code& rlf_f(Register& reg, int byte);
  const Code& rlf_w(Register& reg, int byte);
  const Code& rrf_f(Register& reg, int byte);
  const Code& rrf_w(Register& reg, int byte);
  const Code& addwf_f(Register& reg, int byte);
  const Code& subwf_f(Register& reg, int byte);
  const Code& subwf_w(Register& reg, int byte);
  const Code& addwf_w(Register& reg, int byte);
  // A movwf that a skip may leave out: afterwards the byte may or may not hold W, so the W
  // record names neither.
  const Code& movwf_skippable(Register& reg, int byte);
  const Code& iorwf_f(Register& reg, int byte);
  const Code& andwf_f(Register& reg, int byte);
  const Code& iorwf_w(Register& reg, int byte);
  const Code& xorwf_f(Register& reg, int byte);
  const Code& incf_f(Register& reg, int byte);
  const Code& incfsz_w(Register& reg, int byte);
  const Code& decf_f(Register& reg, int byte);
  const Code& decfsz_f(Register& reg, int byte);
  const Code& bcf(Register& reg, int byte, int bit);
  const Code& clrc();
  const Code& setc();
  const Code& skpc();
  const Code& skpnc();
  const Code& skpnz();
  // Inverts the carry and keeps every other STATUS bit: movlw 1, xorwf STATUS, w, movwf STATUS.
  const Code& toggle_carry();

  // Jumps. A label line places the label `name` before the next instruction; the machine
  // state there is whatever the jumps to it bring, so the W record and the carry state are
  // forgotten. A goto is followed only by code that some label makes reachable.
  const Code& label(const std::string& name);
  const Code& goto_label(const std::string& name);

  // Add and subtract with the carry, which the enhanced mid-range and the PIC18 cores have.
  // Requires: the writer's core runs them (instruction_set.h).
  const Code& addwfc_f(Register& reg, int byte);
  const Code& subwfb_f(Register& reg, int byte);
  // The multiplier: PRODH:PRODL = W * literal (its 8 bits unsigned); W and the flags stay.
  // Requires: the writer's core has the multiplier.
  const Code& mullw(int literal);
  // `op` (a file operation, movwf or clrf) on PRODH (`high`) or PRODL, the result into W when
  // `to_w`: the product bytes may hold a value of the routine's until the next multiplication.
  // Requires: the writer's core has the multiplier.
  const Code& product_op(Op op, bool high, bool to_w = false);
  // The enhanced mid-range shifts. Requires: the writer's core is enhanced.
  const Code& lslf_f(Register& reg, int byte);
  const Code& lsrf_f(Register& reg, int byte);
  const Code& lsrf_w(Register& reg, int byte);
  const Code& asrf_f(Register& reg, int byte);
  const Code& asrf_w(Register& reg, int byte);

  // The register whose carry state the two flags describe; none at start.
  Register* carry_register = nullptr;
  // The carry holds the bit that overflowed the top byte of `carry_register`, stored nowhere
  // else yet and not counted in its width. For a signed register it stands for the inverse
  // of the sign.
  bool carry_overflow = false;
  // The carry holds the bit just above the top byte of `carry_register` (zero unless
  // `carry_overflow` is also set), so a right shift needs no clrc first.
  bool carry_known = false;
  // The instructions written since the current generator call began.
  Code code;
  // The register one of whose bytes W holds; none when nothing is known.
  const Register* w_register = nullptr;
  // The byte of `w_register` that W holds; meaningful only while `w_register` is set.
  int w_byte = 0;

 private:
  // How an emitter changes the W record.
  enum class WEffect { kUnchanged, kForget, kForgetIfSame, kLoad };

  const Code& emit(Op op, Register& reg, int byte, bool to_w, int bit, WEffect effect, bool reads);
  // emit() for an instruction of the enhanced core only; every one of them reads its byte.
  const Code& emit_enhanced(Op op, Register& reg, int byte, bool to_w, WEffect effect);
  const Code& emit_literal(Op op, int literal);
  const Code& emit_bare(Op op);

  // The core the routine is written for, fixed when the writer is made.
  Core core_;
};

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CODE_WRITER_H

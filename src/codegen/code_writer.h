// The one place where lines of generated PIC source are written.
//
// A writer is made for one core (mid-range unless told otherwise). The emitters of the
// enhanced mid-range instructions require a writer made for that core, so no routine for the
// mid-range core can contain one.
//
// Each emitter appends one instruction line ("\tmnemonic\toperands\n") to `text` and returns
// `text`. Besides the text, the writer keeps two facts about the machine state that the
// emitted code will have when it runs, and every emitter keeps both true before it returns:
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

#include <string>

#include "codegen/core.h"
#include "codegen/register.h"

namespace tarvek {

class CodeWriter {
 public:
  explicit CodeWriter(Core core = Core::kMidrange) : core_(core) {}

  // The core the routine is written for.
  Core core() const { return core_; }
  bool enhanced() const { return core_ == Core::kEnhanced; }

  // Empties `text`; every generator call starts with this. The W record and the carry state
  // carry over from one generator call to the next.
  void clear_text() { text.clear(); }

  // Carry state.
  void set_carry_overflow(bool value, Register& reg);
  void set_carry_known(bool value, Register& reg);
  bool carry_overflow_of(const Register& reg) const;
  bool carry_known_of(const Register& reg) const;
  // Stores a pending overflow carry of `carry_register` in a new top byte of that register.
  const std::string& flush_carry();

  // W record: W holds the byte that byte `byte` of `reg` names, through whichever descriptor
  // it was loaded.
  bool w_holds(const Register& reg, int byte) const;

  // One emitter per instruction form. Literals and bit numbers are signed 8-bit values.
  const std::string& movwf(Register& reg, int byte);
  const std::string& movf_w(Register& reg, int byte);
  // The load written whatever the W record holds (used where a dropped copy is replaced).
  const std::string& movf_w_always(Register& reg, int byte);
  const std::string& movlw(int literal);
  const std::string& andlw(int literal);
  const std::string& iorlw(int literal);
  // W += literal (modulo 256); sets C, DC and Z as addwf does.
  const std::string& addlw(int literal);
  const std::string& clrf(Register& reg, int byte);
  const std::string& swapf_w(Register& reg, int byte);
  const std::string& swapf_f(Register& reg, int byte);
  const std::string& btfsc(Register& reg, int byte, int bit);
  const std::string& bsf(Register& reg, int byte, int bit);
  const std::string& comf_f(Register& reg, int byte);
  const std::string& rlf_f(Register& reg, int byte);
  const std::string& rlf_w(Register& reg, int byte);
  const std::string& rrf_f(Register& reg, int byte);
  const std::string& rrf_w(Register& reg, int byte);
  const std::string& addwf_f(Register& reg, int byte);
  const std::string& subwf_f(Register& reg, int byte);
  const std::string& subwf_w(Register& reg, int byte);
  const std::string& addwf_w(Register& reg, int byte);
  // A movwf that a skip may leave out: afterwards the byte may or may not hold W, so the W
  // record names neither.
  const std::string& movwf_skippable(Register& reg, int byte);
  const std::string& iorwf_f(Register& reg, int byte);
  const std::string& xorwf_f(Register& reg, int byte);
  const std::string& incf_f(Register& reg, int byte);
  const std::string& incfsz_w(Register& reg, int byte);
  const std::string& clrc();
  const std::string& skpc();
  const std::string& skpnc();
  const std::string& skpnz();
  // Inverts the carry and keeps every other STATUS bit: movlw 1, xorwf STATUS, w, movwf STATUS.
  const std::string& toggle_carry();

  // The enhanced mid-range instructions. Requires: the writer's core is enhanced.
  const std::string& addwfc_f(Register& reg, int byte);
  const std::string& subwfb_f(Register& reg, int byte);
  const std::string& lslf_f(Register& reg, int byte);
  const std::string& lsrf_f(Register& reg, int byte);
  const std::string& lsrf_w(Register& reg, int byte);
  const std::string& asrf_f(Register& reg, int byte);
  const std::string& asrf_w(Register& reg, int byte);

  // The register whose carry state the two flags describe; none at start.
  Register* carry_register = nullptr;
  // The carry holds the bit that overflowed the top byte of `carry_register`, stored nowhere
  // else yet and not counted in its width. For a signed register it stands for the inverse
  // of the sign.
  bool carry_overflow = false;
  // The carry holds the bit just above the top byte of `carry_register` (zero unless
  // `carry_overflow` is also set), so a right shift needs no clrc first.
  bool carry_known = false;
  // The lines written since the current generator call began. It grows with what is
  // appended, so long register names on wide registers cannot run past its end.
  std::string text;
  // The register one of whose bytes W holds; none when nothing is known.
  const Register* w_register = nullptr;
  // The byte of `w_register` that W holds; meaningful only while `w_register` is set.
  int w_byte = 0;

 private:
  // How an emitter changes the W record.
  enum class WEffect { kUnchanged, kForget, kForgetIfSame, kLoad };

  const std::string& emit(const char* mnemonic, Register& reg, int byte, const char* suffix,
                          WEffect effect, bool reads);
  // emit() for an instruction of the enhanced core only; every one of them reads its byte.
  const std::string& emit_enhanced(const char* mnemonic, Register& reg, int byte,
                                   const char* suffix, WEffect effect);
  const std::string& emit_literal(const char* mnemonic, int literal);
  const std::string& emit_bare(const char* mnemonic);

  // The core the routine is written for, fixed when the writer is made.
  Core core_;
};

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_CODE_WRITER_H

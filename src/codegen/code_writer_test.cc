#include "codegen/code_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "codegen/listing_for_tests.h"
#include "codegen/register.h"

namespace tarvek {
namespace {

// What an emitter does to the W record.
enum class WEffect { kUnchanged, kForget, kForgetIfSame, kLoad };

struct EmitterCase {
  const char* name;
  std::function<void(CodeWriter&, Register&)> emit;
  const char* line;
  WEffect effect;
  bool marks_used;
  // The core the writer is made for; the enhanced instructions need the enhanced one.
  Core core = Core::kMidrange;
};

// Each emitter on byte 2 of ACC (or with a literal), as the instruction table has it.
const EmitterCase kEmitters[] = {
    {"movwf", [](CodeWriter& w, Register& r) { w.movwf(r, 2); }, "\tmovwf\tACC2\n", WEffect::kLoad,
     false},
    {"movf_w", [](CodeWriter& w, Register& r) { w.movf_w(r, 2); }, "\tmovf\tACC2, w\n",
     WEffect::kLoad, true},
    {"movlw", [](CodeWriter& w, Register&) { w.movlw(1); }, "\tmovlw\t1\n", WEffect::kForget,
     false},
    {"andlw", [](CodeWriter& w, Register&) { w.andlw(15); }, "\tandlw\tD'15'\n", WEffect::kForget,
     false},
    {"iorlw", [](CodeWriter& w, Register&) { w.iorlw(16); }, "\tiorlw\tD'16'\n", WEffect::kForget,
     false},
    {"clrf", [](CodeWriter& w, Register& r) { w.clrf(r, 2); }, "\tclrf\tACC2\n",
     WEffect::kForgetIfSame, false},
    {"swapf_w", [](CodeWriter& w, Register& r) { w.swapf_w(r, 2); }, "\tswapf\tACC2, w\n",
     WEffect::kForget, true},
    {"swapf_f", [](CodeWriter& w, Register& r) { w.swapf_f(r, 2); }, "\tswapf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"btfsc", [](CodeWriter& w, Register& r) { w.btfsc(r, 2, 7); }, "\tbtfsc\tACC2, 7\n",
     WEffect::kUnchanged, true},
    {"btfss", [](CodeWriter& w, Register& r) { w.btfss(r, 2, 0); }, "\tbtfss\tACC2, 0\n",
     WEffect::kUnchanged, true},
    {"bsf", [](CodeWriter& w, Register& r) { w.bsf(r, 2, 0); }, "\tbsf\tACC2, 0\n",
     WEffect::kForgetIfSame, true},
    {"comf_f", [](CodeWriter& w, Register& r) { w.comf_f(r, 2); }, "\tcomf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"rlf_f", [](CodeWriter& w, Register& r) { w.rlf_f(r, 2); }, "\trlf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"rlf_w", [](CodeWriter& w, Register& r) { w.rlf_w(r, 2); }, "\trlf\tACC2, w\n",
     WEffect::kForget, true},
    {"rrf_f", [](CodeWriter& w, Register& r) { w.rrf_f(r, 2); }, "\trrf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"rrf_w", [](CodeWriter& w, Register& r) { w.rrf_w(r, 2); }, "\trrf\tACC2, w\n",
     WEffect::kForget, true},
    {"addwf_f", [](CodeWriter& w, Register& r) { w.addwf_f(r, 2); }, "\taddwf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"subwf_f", [](CodeWriter& w, Register& r) { w.subwf_f(r, 2); }, "\tsubwf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"iorwf_f", [](CodeWriter& w, Register& r) { w.iorwf_f(r, 2); }, "\tiorwf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"incf_f", [](CodeWriter& w, Register& r) { w.incf_f(r, 2); }, "\tincf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"incfsz_w", [](CodeWriter& w, Register& r) { w.incfsz_w(r, 2); }, "\tincfsz\tACC2, w\n",
     WEffect::kForget, true},
    {"andwf_f", [](CodeWriter& w, Register& r) { w.andwf_f(r, 2); }, "\tandwf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"decf_f", [](CodeWriter& w, Register& r) { w.decf_f(r, 2); }, "\tdecf\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"decfsz_f", [](CodeWriter& w, Register& r) { w.decfsz_f(r, 2); }, "\tdecfsz\tACC2, f\n",
     WEffect::kForgetIfSame, true},
    {"btfss", [](CodeWriter& w, Register& r) { w.btfss(r, 2, 3); }, "\tbtfss\tACC2, 3\n",
     WEffect::kUnchanged, true},
    {"bcf", [](CodeWriter& w, Register& r) { w.bcf(r, 2, 6); }, "\tbcf\tACC2, 6\n",
     WEffect::kForgetIfSame, true},
    {"goto_label", [](CodeWriter& w, Register&) { w.goto_label("x_loop"); }, "\tgoto\tx_loop\n",
     WEffect::kUnchanged, false},
    {"label", [](CodeWriter& w, Register&) { w.label("x_loop"); }, "x_loop\n", WEffect::kForget,
     false},
    {"clrc", [](CodeWriter& w, Register&) { w.clrc(); }, "\tclrc\n", WEffect::kUnchanged, false},
    {"setc", [](CodeWriter& w, Register&) { w.setc(); }, "\tsetc\n", WEffect::kUnchanged, false},
    {"skpc", [](CodeWriter& w, Register&) { w.skpc(); }, "\tskpc\n", WEffect::kUnchanged, false},
    {"skpnc", [](CodeWriter& w, Register&) { w.skpnc(); }, "\tskpnc\n", WEffect::kUnchanged, false},
    {"skpnz", [](CodeWriter& w, Register&) { w.skpnz(); }, "\tskpnz\n", WEffect::kUnchanged, false},
    {"toggle_carry", [](CodeWriter& w, Register&) { w.toggle_carry(); },
     "\tmovlw\t1\n\txorwf\tSTATUS, w\n\tmovwf\tSTATUS\n", WEffect::kForget, false},
    {"addwfc_f", [](CodeWriter& w, Register& r) { w.addwfc_f(r, 2); }, "\taddwfc\tACC2, f\n",
     WEffect::kForgetIfSame, true, Core::kEnhanced},
    {"subwfb_f", [](CodeWriter& w, Register& r) { w.subwfb_f(r, 2); }, "\tsubwfb\tACC2, f\n",
     WEffect::kForgetIfSame, true, Core::kEnhanced},
    {"lslf_f", [](CodeWriter& w, Register& r) { w.lslf_f(r, 2); }, "\tlslf\tACC2, f\n",
     WEffect::kForgetIfSame, true, Core::kEnhanced},
    {"lsrf_f", [](CodeWriter& w, Register& r) { w.lsrf_f(r, 2); }, "\tlsrf\tACC2, f\n",
     WEffect::kForgetIfSame, true, Core::kEnhanced},
    {"lsrf_w", [](CodeWriter& w, Register& r) { w.lsrf_w(r, 2); }, "\tlsrf\tACC2, w\n",
     WEffect::kForget, true, Core::kEnhanced},
    {"asrf_f", [](CodeWriter& w, Register& r) { w.asrf_f(r, 2); }, "\tasrf\tACC2, f\n",
     WEffect::kForgetIfSame, true, Core::kEnhanced},
    {"asrf_w", [](CodeWriter& w, Register& r) { w.asrf_w(r, 2); }, "\tasrf\tACC2, w\n",
     WEffect::kForget, true, Core::kEnhanced},
};

TEST(CodeWriterTest, EveryEmitterWritesItsLineAndMarksReadsUsed) {
  for (const EmitterCase& c : kEmitters) {
    CodeWriter writer(c.core);
    Register acc("ACC", 24, false);
    writer.code.push_back(Instruction{Op::kClrw, kNoFile, false, 0, 0});
    c.emit(writer, acc);
    EXPECT_EQ(writer.code.text(), std::string("\tclrw\n") + c.line) << c.name;
    EXPECT_EQ(acc.used, c.marks_used) << c.name;
  }
}

TEST(CodeWriterTest, EveryEmitterKeepsTheWRecordTrue) {
  // W starts holding `held_byte` of `held` (ACC or TEMP); the emitter works on ACC byte 2.
  struct Start {
    const char* name;
    bool on_temp;
    int held_byte;
  };
  const Start starts[] = {
      {"W holds the operand byte", false, 2},
      {"W holds another byte of the operand's register", false, 1},
      {"W holds the same index of another register", true, 2},
  };
  for (const EmitterCase& c : kEmitters) {
    for (const Start& s : starts) {
      // A load of the byte W holds is left out; that case has its own test.
      if (std::string(c.name) == "movf_w" && !s.on_temp && s.held_byte == 2) continue;
      CodeWriter writer(c.core);
      Register acc("ACC", 24, false);
      Register temp("TEMP", 24, false);
      Register& held = s.on_temp ? temp : acc;
      writer.movwf(held, s.held_byte);
      writer.clear_code();
      c.emit(writer, acc);
      const bool same = !s.on_temp && s.held_byte == 2;
      bool still_held = false;
      switch (c.effect) {
        case WEffect::kUnchanged:
          still_held = true;
          break;
        case WEffect::kForget:
          break;
        case WEffect::kForgetIfSame:
          still_held = !same;
          break;
        case WEffect::kLoad:
          EXPECT_TRUE(writer.w_holds(acc, 2)) << c.name << ", " << s.name;
          still_held = same;
          break;
      }
      EXPECT_EQ(writer.w_holds(held, s.held_byte), still_held) << c.name << ", " << s.name;
      if (c.effect != WEffect::kLoad && !still_held) {
        EXPECT_EQ(writer.w_register, nullptr) << c.name << ", " << s.name;
      }
    }
  }
}

TEST(CodeWriterTest, LoadOfTheByteWHoldsIsLeftOut) {
  CodeWriter writer;
  Register temp("TEMP", 16, false);
  writer.movwf(temp, 0);
  EXPECT_EQ(writer.movf_w(temp, 0), "\tmovwf\tTEMP0\n");
  EXPECT_FALSE(temp.used);
  EXPECT_TRUE(writer.w_holds(temp, 0));
  // The load that replaces a dropped copy is written whatever W holds.
  EXPECT_EQ(writer.movf_w_always(temp, 0), "\tmovwf\tTEMP0\n\tmovf\tTEMP0, w\n");
  EXPECT_TRUE(temp.used);
  EXPECT_TRUE(writer.w_holds(temp, 0));
}

TEST(CodeWriterTest, InstructionsWithAResultInWMakeTheLoadReappear) {
  struct Case {
    const char* name;
    std::function<void(CodeWriter&, Register&)> emit;
    const char* line;
  };
  const Case cases[] = {
      {"movlw", [](CodeWriter& w, Register&) { w.movlw(-16); }, "\tmovlw\tD'-16'\n"},
      {"andlw", [](CodeWriter& w, Register&) { w.andlw(15); }, "\tandlw\tD'15'\n"},
      {"iorlw", [](CodeWriter& w, Register&) { w.iorlw(16); }, "\tiorlw\tD'16'\n"},
      {"toggle_carry", [](CodeWriter& w, Register&) { w.toggle_carry(); },
       "\tmovlw\t1\n\txorwf\tSTATUS, w\n\tmovwf\tSTATUS\n"},
      {"swapf_w", [](CodeWriter& w, Register& r) { w.swapf_w(r, 0); }, "\tswapf\tTEMP0, w\n"},
      {"rlf_w", [](CodeWriter& w, Register& r) { w.rlf_w(r, 0); }, "\trlf\tTEMP0, w\n"},
      {"rrf_w", [](CodeWriter& w, Register& r) { w.rrf_w(r, 0); }, "\trrf\tTEMP0, w\n"},
      {"incfsz_w", [](CodeWriter& w, Register& r) { w.incfsz_w(r, 0); }, "\tincfsz\tTEMP0, w\n"},
  };
  for (const Case& c : cases) {
    CodeWriter writer;
    Register temp("TEMP", 16, false);
    writer.movwf(temp, 0);
    writer.clear_code();
    c.emit(writer, temp);
    EXPECT_EQ(writer.movf_w(temp, 0), std::string(c.line) + "\tmovf\tTEMP0, w\n") << c.name;
    EXPECT_TRUE(temp.used) << c.name;
  }
}

TEST(CodeWriterTest, ClrfForgetsOnlyTheByteItClears) {
  CodeWriter writer;
  Register acc("ACC", 16, false);
  writer.movf_w(acc, 1);
  writer.clrf(acc, 0);
  writer.movf_w(acc, 1);
  EXPECT_EQ(writer.code.text(), "\tmovf\tACC1, w\n\tclrf\tACC0\n");
  writer.clrf(acc, 1);
  writer.movf_w(acc, 1);
  EXPECT_EQ(writer.code.text(), "\tmovf\tACC1, w\n\tclrf\tACC0\n\tclrf\tACC1\n\tmovf\tACC1, w\n");
}

TEST(CodeWriterTest, BtfscMarksUsedAndKeepsTheRecord) {
  CodeWriter writer;
  Register acc("ACC", 16, false);
  Register temp("TEMP", 16, false);
  writer.movwf(temp, 1);
  writer.btfsc(acc, 1, 7);
  writer.movf_w(temp, 1);
  EXPECT_EQ(writer.code.text(), "\tmovwf\tTEMP1\n\tbtfsc\tACC1, 7\n");
  EXPECT_TRUE(acc.used);
  EXPECT_FALSE(temp.used);
}

// Literals are signed bytes; all but a single digit carry the decimal radix so that the line
// means the same whatever default radix the including project uses.
TEST(CodeWriterTest, LiteralsPrintAsSignedBytes) {
  struct Case {
    const char* name;
    int literal;
    const char* line;
  };
  const Case cases[] = {
      {"0xF0 as 240", 240, "\tandlw\tD'-16'\n"},
      {"0xF0 as -16", -16, "\tandlw\tD'-16'\n"},
      {"0x0F", 15, "\tandlw\tD'15'\n"},
      {"0x10", 16, "\tandlw\tD'16'\n"},
      {"one", 1, "\tandlw\t1\n"},
      {"zero", 0, "\tandlw\t0\n"},
      {"nine", 9, "\tandlw\t9\n"},
      {"ten", 10, "\tandlw\tD'10'\n"},
      {"0x80", 128, "\tandlw\tD'-128'\n"},
      {"0xFF", 255, "\tandlw\tD'-1'\n"},
  };
  for (const Case& c : cases) {
    CodeWriter writer;
    EXPECT_EQ(writer.andlw(c.literal), c.line) << c.name;
  }
}

TEST(CodeWriterTest, CarrySettersRetargetBothFlags) {
  CodeWriter writer;
  Register acc("ACC", 16, true);
  Register temp("TEMP", 16, true);
  EXPECT_EQ(writer.carry_register, nullptr);
  writer.set_carry_overflow(true, acc);
  writer.set_carry_known(true, acc);
  EXPECT_TRUE(writer.carry_overflow_of(acc));
  EXPECT_TRUE(writer.carry_known_of(acc));
  // Another register's carry state is never the flags of the carry register.
  EXPECT_FALSE(writer.carry_overflow_of(temp));
  EXPECT_FALSE(writer.carry_known_of(temp));
  writer.set_carry_known(false, temp);
  EXPECT_EQ(writer.carry_register, &temp);
  EXPECT_TRUE(writer.carry_overflow_of(temp));
  EXPECT_FALSE(writer.carry_overflow_of(acc));
}

TEST(CodeWriterTest, FlushCarryWithNothingPendingWritesNothing) {
  CodeWriter writer;
  Register acc("ACC", 16, true);
  writer.code.push_back(Instruction{Op::kClrw, kNoFile, false, 0, 0});
  EXPECT_EQ(writer.flush_carry(), "\tclrw\n");
  writer.set_carry_overflow(false, acc);
  writer.set_carry_known(true, acc);
  EXPECT_EQ(writer.flush_carry(), "\tclrw\n");
  EXPECT_FALSE(writer.carry_overflow);
  EXPECT_TRUE(writer.carry_known_of(acc));
  EXPECT_EQ(acc.width, 16);
  EXPECT_EQ(acc.spare, 0);
  EXPECT_EQ(acc.bytes, 2);
  EXPECT_FALSE(acc.used);
}

TEST(CodeWriterTest, FlushCarryStoresTheCarryInANewTopByte) {
  struct Case {
    const char* name;
    bool little_endian;
    bool is_signed;
    bool w_holds_acc1;
    const char* text;
    int width;
    int spare;
    Core core = Core::kMidrange;
  };
  const Case cases[] = {
      {"little-endian unsigned", true, false, false, "\tclrf\tACC2\n\trlf\tACC2, f\n", 17, 7},
      {"big-endian unsigned", false, false, false,
       "\tmovf\tACC1, w\n\tmovwf\tACC2\n\tmovf\tACC0, w\n\tmovwf\tACC1\n"
       "\tclrf\tACC0\n\trlf\tACC0, f\n",
       17, 7},
      {"big-endian unsigned, W holds ACC1", false, false, true,
       "\tmovwf\tACC2\n\tmovf\tACC0, w\n\tmovwf\tACC1\n\tclrf\tACC0\n\trlf\tACC0, f\n", 17, 7},
      {"little-endian signed", true, true, false, "\tclrf\tACC2\n\tskpc\n\tcomf\tACC2, f\n", 16, 8},
      {"big-endian signed", false, true, false,
       "\tmovf\tACC1, w\n\tmovwf\tACC2\n\tmovf\tACC0, w\n\tmovwf\tACC1\n"
       "\tclrf\tACC0\n\tskpc\n\tcomf\tACC0, f\n",
       16, 8},
      // The enhanced core stores the inverted carry as 0 - !C: W minus itself with the borrow.
      {"little-endian signed, enhanced", true, true, false, "\tmovwf\tACC2\n\tsubwfb\tACC2, f\n",
       16, 8, Core::kEnhanced},
      {"big-endian unsigned, enhanced", false, false, true,
       "\tmovwf\tACC2\n\tmovf\tACC0, w\n\tmovwf\tACC1\n\tclrf\tACC0\n\trlf\tACC0, f\n", 17, 7,
       Core::kEnhanced},
  };
  for (const Case& c : cases) {
    CodeWriter writer(c.core);
    Register acc("ACC", 16, c.little_endian);
    Register temp("TEMP", 16, c.little_endian);
    acc.is_signed = c.is_signed;
    if (c.w_holds_acc1) {
      writer.movf_w(acc, 1);
      acc.used = false;
    }
    writer.set_carry_overflow(true, acc);
    writer.set_carry_known(true, acc);
    writer.clear_code();
    EXPECT_EQ(writer.flush_carry(), c.text) << c.name;
    EXPECT_EQ(acc.width, c.width) << c.name;
    EXPECT_EQ(acc.spare, c.spare) << c.name;
    EXPECT_EQ(acc.bytes, 3) << c.name;
    EXPECT_TRUE(acc.used) << c.name;
    EXPECT_EQ(writer.carry_register, &acc) << c.name;
    EXPECT_FALSE(writer.carry_overflow_of(acc)) << c.name;
    EXPECT_FALSE(writer.carry_known_of(acc)) << c.name;
    // A second flush has nothing left to store.
    writer.clear_code();
    EXPECT_EQ(writer.flush_carry(), "") << c.name;
    EXPECT_FALSE(temp.used) << c.name;
  }
}

TEST(CodeWriterTest, FlushCarryOnlyServesTheCarryRegister) {
  CodeWriter writer;
  Register acc("ACC", 16, true);
  Register temp("TEMP", 16, true);
  writer.set_carry_overflow(true, acc);
  writer.set_carry_known(true, temp);
  // Re-targeting moved both flags to TEMP, so TEMP's pending carry is stored.
  EXPECT_EQ(writer.flush_carry(), "\tclrf\tTEMP2\n\trlf\tTEMP2, f\n");
  EXPECT_EQ(acc.width, 16);
  EXPECT_EQ(temp.width, 17);
}

}  // namespace
}  // namespace tarvek

namespace tarvek {
namespace {

// Labels are numbered like registers: a goto and its label line name one label, the text is
// made at the end, appending renumbers them, and label lines take no word.
TEST(CodeLabelsTest, LabelsPrintWholeAndTakeNoWord) {
  CodeWriter writer;
  Register acc("ACC", 8, false);
  writer.label("p_loop");
  writer.incf_f(acc, 0);
  writer.goto_label("p_loop");
  writer.goto_label("p_end");
  writer.label("p_end");
  EXPECT_EQ(writer.code.text(), "p_loop\n\tincf\tACC0, f\n\tgoto\tp_loop\n\tgoto\tp_end\np_end\n");
  EXPECT_EQ(writer.code.words(), 3);
  EXPECT_EQ(writer.code.size(), 5u);
  EXPECT_TRUE(writer.code.has_labels());
  EXPECT_EQ(writer.code.label_count(), 2u);

  // Appended to a routine that numbers another label first, the labels keep their names.
  CodeWriter other;
  other.label("q_first");
  other.clrf(acc, 0);
  Code routine = other.code;
  routine += writer.code;
  EXPECT_EQ(
      routine.text(),
      "q_first\n\tclrf\tACC0\np_loop\n\tincf\tACC0, f\n\tgoto\tp_loop\n\tgoto\tp_end\np_end\n");
  EXPECT_EQ(routine.words(), 4);

  CodeWriter straight;
  straight.incf_f(acc, 0);
  EXPECT_FALSE(straight.code.has_labels());
  EXPECT_EQ(straight.code.words(), 1);
}

TEST(CodeLabelsTest, ALabelForgetsWhatTheWriterKnew) {
  CodeWriter writer;
  Register acc("ACC", 8, false);
  writer.movf_w(acc, 0);
  writer.set_carry_known(true, acc);
  writer.label("x");
  EXPECT_FALSE(writer.w_holds(acc, 0));
  EXPECT_FALSE(writer.carry_known_of(acc));
  // So the load after it is written.
  writer.movf_w(acc, 0);
  EXPECT_EQ(writer.code.text(), "\tmovf\tACC0, w\nx\n\tmovf\tACC0, w\n");
}

}  // namespace
}  // namespace tarvek

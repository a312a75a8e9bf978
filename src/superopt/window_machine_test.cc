#include "superopt/window_machine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codegen/code.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

constexpr Op kEveryOp[] = {
    Op::kMovf,   Op::kSwapf,  Op::kComf,  Op::kRlf,   Op::kRrf,   Op::kAddwf,  Op::kSubwf,
    Op::kAndwf,  Op::kIorwf,  Op::kXorwf, Op::kIncf,  Op::kDecf,  Op::kIncfsz, Op::kDecfsz,
    Op::kAddwfc, Op::kSubwfb, Op::kLslf,  Op::kLsrf,  Op::kAsrf,  Op::kMovwf,  Op::kClrf,
    Op::kBcf,    Op::kBsf,    Op::kBtfsc, Op::kBtfss, Op::kMovlw, Op::kAndlw,  Op::kIorlw,
    Op::kXorlw,  Op::kAddlw,  Op::kSublw, Op::kClrw,  Op::kClrc,  Op::kSetc,   Op::kSkpc,
    Op::kSkpnc,  Op::kSkpz,   Op::kSkpnz};

std::vector<std::string> slot_names() {
  std::vector<std::string> names;
  for (int k = 0; k < kWindowSlots; ++k) {
    std::string name = "R";
    name += std::to_string(k);
    names.push_back(name);
  }
  return names;
}

PicCore sim_core(Core core) {
  if (core == Core::kBaseline) return PicCore::kBaseline;
  return core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange;
}

const char* core_name(Core core) {
  if (core == Core::kBaseline) return "baseline";
  return core == Core::kEnhanced ? "enhanced" : "mid-range";
}

// The stretch as the routine's text would print it, on register R.
std::string text_of(const std::vector<SlotInstruction>& code) {
  Code routine;
  const uint8_t r = routine.register_number("R");
  for (const SlotInstruction& s : code) {
    Instruction in;
    in.op = s.op;
    const OperandKind kind = operand_kind(s.op);
    if (kind == OperandKind::kFileDest || kind == OperandKind::kFile ||
        kind == OperandKind::kFileBit) {
      in.file = r;
      in.byte = s.slot;
    }
    in.to_w = kind == OperandKind::kFileDest && s.to_w;
    if (kind == OperandKind::kLiteral) in.value = static_cast<int8_t>(s.value);
    if (kind == OperandKind::kFileBit) in.value = s.value & 7;
    routine.push_back(in);
  }
  return routine.text();
}

// Every instruction the machine calls runnable is one the simulator's parser takes for that
// core: the machine never runs what the core lacks. (The simulator runs more, such as the
// loops' instructions; a routine holding one is left as it is.)
TEST(WindowMachineTest, RunsOnlyWhatTheSimulatorRuns) {
  for (const Core core : {Core::kMidrange, Core::kEnhanced, Core::kBaseline}) {
    int runnable_ops = 0;
    for (const Op op : kEveryOp) {
      if (!runnable(op, core)) continue;
      ++runnable_ops;
      const std::string text = text_of({{op, 1, true, 3}});
      const ParseOutcome parsed = parse_instructions(text, slot_names(), sim_core(core));
      EXPECT_TRUE(parsed.program.has_value()) << mnemonic(op) << " " << core_name(core);
    }
    EXPECT_GE(runnable_ops, 20) << core_name(core);
  }
}

// The passes tell an instruction with a file operand by its place in Op: every one before the
// literal operations has one, none after.
TEST(WindowMachineTest, TheOperationsWithAFileOperandComeFirst) {
  for (const Op op : kEveryOp) {
    const OperandKind kind = operand_kind(op);
    const bool file = kind == OperandKind::kFileDest || kind == OperandKind::kFile ||
                      kind == OperandKind::kFileBit;
    EXPECT_EQ(file, op < Op::kMovlw) << mnemonic(op);
  }
}

// Random stretches of every runnable instruction, from random states, leave every byte, W and
// flag as the simulator leaves them.
TEST(WindowMachineTest, AgreesWithTheSimulatorOnRandomStretches) {
  std::mt19937_64 random(25);
  for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
    std::vector<Op> ops;
    for (const Op op : kEveryOp) {
      if (runnable(op, core)) ops.push_back(op);
    }
    for (int trial = 0; trial < 4000; ++trial) {
      std::vector<SlotInstruction> code;
      const int length = 1 + static_cast<int>(random() % 10);
      for (int k = 0; k < length; ++k) {
        const Op op = ops[random() % ops.size()];
        code.push_back({op, static_cast<uint8_t>(random() % kWindowSlots), (random() & 1) != 0,
                        static_cast<uint8_t>(random())});
        if (operand_kind(op) == OperandKind::kFileBit) code.back().value &= 7;
      }
      // The simulator reports a skip past the end; stretches never end on one.
      if (effects_of(code.back().op, code.back().to_w).skips) code.push_back({Op::kClrc});
      const std::string text = text_of(code);
      const ParseOutcome parsed = parse_instructions(text, slot_names(), sim_core(core));
      ASSERT_TRUE(parsed.program) << parsed.error << "\n" << text;
      PicMachine machine(*parsed.program);
      WindowState state;
      for (int k = 0; k < kWindowSlots; ++k) {
        state.bytes[k] = static_cast<uint8_t>(random());
        machine.set_byte_at(k, state.bytes[k]);
      }
      const uint64_t flags = random();
      state.w = machine.w = static_cast<uint8_t>(flags);
      state.c = machine.carry = (flags & 0x100) != 0;
      state.dc = machine.digit_carry = (flags & 0x200) != 0;
      state.z = machine.zero = (flags & 0x400) != 0;
      machine.run();
      run(code, state);
      for (int k = 0; k < kWindowSlots; ++k) EXPECT_EQ(state.bytes[k], machine.byte_at(k)) << text;
      EXPECT_EQ(state.w, machine.w) << text;
      EXPECT_EQ(state.c, machine.carry) << text;
      EXPECT_EQ(state.dc, machine.digit_carry) << text;
      EXPECT_EQ(state.z, machine.zero) << text;
      if (HasFailure()) return;
    }
  }
}

// What effects_of says an instruction writes is all it changes, and what it says it reads is
// all its results depend on: checked by running it from states that differ in one place.
TEST(WindowMachineTest, EffectsCoverEverythingAnInstructionTouches) {
  std::mt19937_64 random(7);
  for (const Op op : kEveryOp) {
    if (!runnable(op, Core::kEnhanced)) continue;
    for (const bool to_w : {false, true}) {
      const SlotInstruction in{op, 2, to_w, 5};
      const Effects e = effects_of(op, to_w);
      for (int trial = 0; trial < 2000; ++trial) {
        WindowState a;
        for (uint8_t& b : a.bytes) b = static_cast<uint8_t>(random());
        a.w = static_cast<uint8_t>(random());
        a.c = random() & 1;
        a.dc = random() & 1;
        a.z = random() & 1;
        WindowState after = a;
        const bool skipped = step(in, after);
        EXPECT_TRUE(e.skips || !skipped) << mnemonic(op);
        const auto written = [&](uint8_t place) { return (e.writes & place) != 0; };
        EXPECT_TRUE(written(kPlaceFile) || after.bytes == a.bytes) << mnemonic(op);
        EXPECT_TRUE(written(kPlaceW) || after.w == a.w) << mnemonic(op);
        EXPECT_TRUE(written(kPlaceC) || after.c == a.c) << mnemonic(op);
        EXPECT_TRUE(written(kPlaceDC) || after.dc == a.dc) << mnemonic(op);
        EXPECT_TRUE(written(kPlaceZ) || after.z == a.z) << mnemonic(op);
        // A place it does not read can change without changing its results.
        WindowState b = a;
        if (!(e.reads & kPlaceW)) b.w = static_cast<uint8_t>(random());
        if (!(e.reads & kPlaceC)) b.c = !b.c;
        if (!(e.reads & kPlaceDC)) b.dc = !b.dc;
        if (!(e.reads & kPlaceZ)) b.z = !b.z;
        if (!(e.reads & kPlaceFile)) b.bytes[2] = static_cast<uint8_t>(random());
        WindowState b_after = b;
        const bool b_skipped = step(in, b_after);
        EXPECT_EQ(skipped, b_skipped) << mnemonic(op);
        EXPECT_TRUE(!written(kPlaceFile) || after.bytes[2] == b_after.bytes[2]) << mnemonic(op);
        EXPECT_TRUE(!written(kPlaceW) || after.w == b_after.w) << mnemonic(op);
        EXPECT_TRUE(!written(kPlaceC) || after.c == b_after.c) << mnemonic(op);
        EXPECT_TRUE(!written(kPlaceDC) || after.dc == b_after.dc) << mnemonic(op);
        EXPECT_TRUE(!written(kPlaceZ) || after.z == b_after.z) << mnemonic(op);
        if (HasFailure()) return;
      }
    }
  }
}

TEST(WindowMachineTest, ASkipPassesOverExactlyOneInstruction) {
  struct Case {
    const char* name;
    bool carry;
    uint8_t expected;
  };
  const Case kCases[] = {{"carry set: the increment is skipped", true, 0x11},
                         {"carry clear: both increments run", false, 0x12}};
  const std::vector<SlotInstruction> code = {
      {Op::kSkpc}, {Op::kIncf, 0, false, 0}, {Op::kIncf, 0, false, 0}};
  for (const Case& c : kCases) {
    WindowState state;
    state.bytes[0] = 0x10;
    state.c = c.carry;
    run(code, state);
    EXPECT_EQ(state.bytes[0], c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tarvek

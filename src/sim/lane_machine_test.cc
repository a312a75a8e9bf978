#include "sim/lane_machine.h"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sim/pic_machine.h"
#include "sim/pic_program.h"
#include "sim/times_ten_block_for_tests.h"

namespace tarvek {
namespace {

PicProgram parse_or_die(const std::string& text, const std::vector<std::string>& names,
                        PicCore core = PicCore::kMidrange) {
  ParseOutcome outcome = parse_instructions(text, names, core);
  EXPECT_TRUE(outcome.program) << outcome.error << "\n" << text;
  return outcome.program ? *outcome.program : PicProgram{};
}

std::vector<std::string> byte_names(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(std::string("R").append(std::to_string(i)));
  return names;
}

// Requires every byte, W and STATUS of `lane` to be those of `machine`.
void expect_lane_is_machine(const LaneMachine& lanes, int lane, const PicMachine& machine,
                            int byte_count, const std::string& context) {
  for (int i = 0; i < byte_count; ++i) {
    ASSERT_EQ(lanes.byte_at(lane, i), machine.byte_at(i)) << context << ", byte " << i;
  }
  ASSERT_EQ(lanes.w(lane), machine.w) << context;
  ASSERT_EQ(lanes.status(lane), machine.status()) << context;
}

// The byte counts around the fill stream's 8-byte words, W and the flags coming after them;
// the lanes span three blocks, filled all at once and one by one.
TEST(LaneMachine, FillGivesEachLaneThePicMachinesStartingState) {
  for (const int byte_count : {0, 1, 5, 6, 7, 8, 13, 30}) {
    const PicProgram program = parse_or_die("", byte_names(byte_count));
    LaneMachine lanes(program, 70);
    PicMachine machine(program);
    for (int lane = 0; lane < lanes.lanes(); ++lane) lanes.set_status(lane, 0xE7);
    const uint64_t first_seed = 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(byte_count + 1);
    lanes.fill_lanes(69, first_seed);
    for (int lane = 0; lane < 69; ++lane) {
      machine.fill(first_seed + static_cast<uint64_t>(lane));
      expect_lane_is_machine(lanes, lane, machine, byte_count,
                             std::to_string(byte_count) + " bytes, lane " + std::to_string(lane));
      EXPECT_EQ(lanes.bank_bits(lane), 0);
    }
    EXPECT_EQ(lanes.status(69), 0xFF) << "a lane above those filled";
    for (const int lane : {0, 33, 69}) {
      lanes.fill(lane, 5 + static_cast<uint64_t>(lane));
      machine.fill(5 + static_cast<uint64_t>(lane));
      expect_lane_is_machine(
          lanes, lane, machine, byte_count,
          std::to_string(byte_count) + " bytes, lane " + std::to_string(lane) + " filled alone");
    }
  }
}

// The forms of instruction line the parser accepts, with what their operands are.
enum class Operands { kNone, kLiteral, kFile, kFileDest, kFileBit, kVerbatim };

struct Form {
  const char* text;
  Operands operands;
  bool skips;
  bool enhanced_only;
};

constexpr Form kForms[] = {
    {"movwf", Operands::kFile, false, false},
    {"movf", Operands::kFileDest, false, false},
    {"movlw", Operands::kLiteral, false, false},
    {"andlw", Operands::kLiteral, false, false},
    {"iorlw", Operands::kLiteral, false, false},
    {"addlw", Operands::kLiteral, false, false},
    {"clrf", Operands::kFile, false, false},
    {"swapf", Operands::kFileDest, false, false},
    {"btfsc", Operands::kFileBit, true, false},
    {"btfss", Operands::kFileBit, true, false},
    {"bsf", Operands::kFileBit, false, false},
    {"comf", Operands::kFileDest, false, false},
    {"rlf", Operands::kFileDest, false, false},
    {"rrf", Operands::kFileDest, false, false},
    {"addwf", Operands::kFileDest, false, false},
    {"subwf", Operands::kFileDest, false, false},
    {"iorwf", Operands::kFileDest, false, false},
    {"xorwf", Operands::kFileDest, false, false},
    {"incf", Operands::kFileDest, false, false},
    {"incfsz", Operands::kFileDest, true, false},
    {"clrc", Operands::kNone, false, false},
    {"skpc", Operands::kNone, true, false},
    {"skpnc", Operands::kNone, true, false},
    {"skpnz", Operands::kNone, true, false},
    {"\txorwf STATUS, f", Operands::kVerbatim, false, false},
    {"\txorwf\tSTATUS, w", Operands::kVerbatim, false, false},
    {"\tmovwf\tSTATUS", Operands::kVerbatim, false, false},
    {"addwfc", Operands::kFileDest, false, true},
    {"subwfb", Operands::kFileDest, false, true},
    {"lslf", Operands::kFileDest, false, true},
    {"lsrf", Operands::kFileDest, false, true},
    {"asrf", Operands::kFileDest, false, true},
};

// One random instruction line for `core` over bytes R0 .. R(byte_count - 1), a skip when
// `skip` is set.
std::string random_line(std::mt19937& random, PicCore core, int byte_count, bool skip) {
  std::vector<const Form*> forms;
  for (const Form& form : kForms) {
    if (form.skips == skip && (core == PicCore::kEnhanced || !form.enhanced_only)) {
      forms.push_back(&form);
    }
  }
  const Form& form = *forms[random() % forms.size()];
  if (form.operands == Operands::kVerbatim) return form.text;
  std::string line = std::string("\t").append(form.text);
  const std::string byte = std::to_string(random() % static_cast<unsigned>(byte_count));
  switch (form.operands) {
    case Operands::kNone:
    case Operands::kVerbatim:
      break;
    case Operands::kLiteral:
      if (random() % 4 == 0) {
        line.append("\t").append(std::to_string(random() % 10));
      } else {
        line.append("\tD'").append(std::to_string(int(random() % 256) - 128)).append("'");
      }
      break;
    case Operands::kFile:
      line.append("\tR").append(byte);
      break;
    case Operands::kFileDest:
      line.append("\tR").append(byte).append(random() % 2 == 0 ? ", w" : ", f");
      break;
    case Operands::kFileBit:
      line.append("\tR").append(byte).append(", ").append(std::to_string(random() % 8));
      break;
  }
  return line;
}

// Random programs of every instruction form, on both cores, run on PicMachine and in lanes
// from the same random states, must leave the same state in every lane: the lane runner is
// only as trustworthy as this agreement.
TEST(LaneMachine, RandomProgramsLeaveWhatPicMachineLeavesInEveryLane) {
  std::mt19937 random(20240611);
  std::set<PicOp> ops_seen;
  int skips_past_end = 0;
  int runs_ending_on_a_skip = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const PicCore core = trial % 2 == 0 ? PicCore::kMidrange : PicCore::kEnhanced;
    const int byte_count = 1 + static_cast<int>(random() % 5);
    const int length = 1 + static_cast<int>(random() % 16);
    std::string text;
    for (int i = 0; i < length; ++i) {
      // Skips come often, in runs too, and a quarter of the programs end on one.
      const bool skip = i == length - 1 ? random() % 4 == 0 : random() % 3 == 0;
      text += random_line(random, core, byte_count, skip) + "\n";
    }
    const PicProgram program = parse_or_die(text, byte_names(byte_count), core);
    for (const PicInstruction& in : program.instructions) ops_seen.insert(in.op);

    const int lane_counts[] = {1, 31, 32, 33, 64, 100};
    const int lane_count = lane_counts[random() % std::size(lane_counts)];
    // The machine's own vectors, AVX2 where the processor has it, and SSE2.
    LaneMachine lanes(program, lane_count);
    LaneMachine sse2(program, lane_count);
    sse2.use_vectors(Vectors::kSse2);
    std::vector<PicMachine> machines(static_cast<size_t>(lane_count), PicMachine(program));
    for (int lane = 0; lane < lane_count; ++lane) {
      PicMachine& machine = machines[static_cast<size_t>(lane)];
      const uint64_t seed = random();
      machine.fill(seed);
      lanes.fill(lane, seed);
      sse2.fill(lane, seed);
      // Some lanes start with bank bits set, which only the mid-range core has.
      if (core == PicCore::kMidrange && random() % 4 == 0) {
        const auto status = static_cast<uint8_t>(random());
        machine.bank_bits = status & 0xE0;
        machine.zero = (status & 4) != 0;
        machine.digit_carry = (status & 2) != 0;
        machine.carry = (status & 1) != 0;
        lanes.set_status(lane, status);
        sse2.set_status(lane, status);
      }
    }
    const long cycles = lanes.run(lane_count);
    ASSERT_EQ(sse2.run(lane_count), cycles);
    for (int lane = 0; lane < lane_count; ++lane) {
      PicMachine& machine = machines[static_cast<size_t>(lane)];
      const RunStats stats = machine.run();
      const std::string context = "trial " + std::to_string(trial) + ", lane " +
                                  std::to_string(lane) + ", program:\n" + text;
      expect_lane_is_machine(lanes, lane, machine, byte_count, context);
      expect_lane_is_machine(sse2, lane, machine, byte_count, context + "\nwith SSE2");
      ASSERT_EQ(lanes.skipped_past_end(lane), stats.skipped_past_end) << context;
      ASSERT_EQ(sse2.skipped_past_end(lane), stats.skipped_past_end) << context;
      ASSERT_EQ(cycles, stats.cycles) << context;
      skips_past_end += stats.skipped_past_end;
      runs_ending_on_a_skip += is_skip(program.instructions.back().op);
    }
  }
  EXPECT_EQ(ops_seen.size(), static_cast<size_t>(PicOp::kAsrfF) + 1);
  // Ending on a skip, some lanes took it and others did not.
  EXPECT_GT(skips_past_end, 0);
  EXPECT_LT(skips_past_end, runs_ending_on_a_skip);
  if (best_vectors() != Vectors::kAvx2) {
    std::cout << "This processor has no AVX2: only the SSE2 runs were tested.\n";
  }
}

TEST(LaneMachine, AMachineStartsWithTheBestVectors) {
  const PicProgram program = parse_or_die("\tclrc\n", {"R0"});
  LaneMachine lanes(program, 1);
  EXPECT_EQ(lanes.vectors(), best_vectors());
  lanes.use_vectors(Vectors::kSse2);
  EXPECT_EQ(lanes.vectors(), Vectors::kSse2);
}

// A subset of `count` byte indexes, each taken with probability 1/2.
std::vector<int> random_bytes(std::mt19937& random, int count) {
  std::vector<int> bytes;
  for (int i = 0; i < count; ++i) {
    if (random() % 2 == 0) bytes.push_back(i);
  }
  return bytes;
}

// Random programs run restricted to a few output bytes leave in them, in the bank bits and in
// the skips past the end what a full run leaves from the same fill and inputs, although
// every row starts from other values before the fill, which a restricted fill leaves where
// nothing reads them.
TEST(LaneMachine, ARestrictedRunLeavesWhatItsCallerReads) {
  std::mt19937 random(77);
  long left_out = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const PicCore core = trial % 2 == 0 ? PicCore::kMidrange : PicCore::kEnhanced;
    const int byte_count = 1 + static_cast<int>(random() % 6);
    const int length = 1 + static_cast<int>(random() % 24);
    std::string text;
    for (int i = 0; i < length; ++i) {
      const bool skip = i == length - 1 ? random() % 4 == 0 : random() % 4 == 0;
      text += random_line(random, core, byte_count, skip) + "\n";
    }
    const PicProgram program = parse_or_die(text, byte_names(byte_count), core);
    const std::vector<int> inputs = random_bytes(random, byte_count);
    const std::vector<int> outputs = random_bytes(random, byte_count);
    const int lane_count = 1 + static_cast<int>(random() % 70);
    LaneMachine full(program, lane_count);
    LaneMachine restricted(program, lane_count);
    restricted.restrict_to(inputs, outputs);
    if (trial % 2 == 1) restricted.use_vectors(Vectors::kSse2);
    left_out += length - restricted.instructions_run();
    for (int lane = 0; lane < lane_count; ++lane) {
      for (int i = 0; i < byte_count; ++i) restricted.set_byte_at(lane, i, uint8_t(random()));
      restricted.set_w(lane, static_cast<uint8_t>(random()));
      restricted.set_status(lane, static_cast<uint8_t>(random()));
    }
    const uint64_t seed = random();
    full.fill_lanes(lane_count, seed);
    restricted.fill_lanes(lane_count, seed);
    for (int lane = 0; lane < lane_count; ++lane) {
      for (int i : inputs) {
        const auto value = static_cast<uint8_t>(random());
        full.set_byte_at(lane, i, value);
        restricted.set_byte_at(lane, i, value);
      }
      // Some lanes start with bank bits set, which only the mid-range core has.
      if (core == PicCore::kMidrange && random() % 4 == 0) {
        const auto status = static_cast<uint8_t>(random());
        full.set_status(lane, status);
        restricted.set_status(lane, status);
      }
    }
    ASSERT_EQ(restricted.run(lane_count), full.run(lane_count));
    for (int lane = 0; lane < lane_count; ++lane) {
      const std::string context = "trial " + std::to_string(trial) + ", lane " +
                                  std::to_string(lane) + ", program:\n" + text;
      for (int i : outputs) {
        ASSERT_EQ(restricted.byte_at(lane, i), full.byte_at(lane, i)) << context << ", byte " << i;
      }
      ASSERT_EQ(restricted.bank_bits(lane), full.bank_bits(lane)) << context;
      ASSERT_EQ(restricted.skipped_past_end(lane), full.skipped_past_end(lane)) << context;
    }
  }
  EXPECT_GT(left_out, 1000);
}

// What cannot reach the outputs is not run: a load of W into a byte cleared next, the clear
// itself, and the Z of the increment, which leaves only the increment.
TEST(LaneMachine, ARestrictedRunLeavesOutWhatCannotReachItsOutputs) {
  const PicProgram program =
      parse_or_die("\tmovf\tR1, w\n\tmovwf\tR2\n\tclrf\tR2\n\tincf\tR0, f\n", {"R0", "R1", "R2"});
  LaneMachine lanes(program, 3);
  EXPECT_EQ(lanes.instructions_run(), 4);
  lanes.restrict_to({}, {0});
  EXPECT_EQ(lanes.instructions_run(), 1);
  lanes.fill_lanes(3, 9);
  PicMachine machine(program);
  for (int lane = 0; lane < 3; ++lane) {
    machine.fill(9 + static_cast<uint64_t>(lane));
    EXPECT_EQ(lanes.byte_at(lane, 0), machine.byte_at(0)) << "lane " << lane;
  }
  lanes.run(3);
  for (int lane = 0; lane < 3; ++lane) {
    machine.fill(9 + static_cast<uint64_t>(lane));
    machine.run();
    EXPECT_EQ(lanes.byte_at(lane, 0), machine.byte_at(0)) << "lane " << lane;
  }
}

// Hand-checked skips: four lanes start with R0 = 0x10 and C, Z = 00, 01, 10, 11 (lane 2 * C
// + Z); the expected R0 and skip past the end are given per lane.
TEST(LaneMachine, SkipsArePerLane) {
  struct Case {
    const char* name;
    const char* code;
    uint8_t r0[4];
    bool past_end[4];
  };
  const Case cases[] = {
      {"skpc", "\tskpc\n\tincf\tR0, f\n", {0x11, 0x11, 0x10, 0x10}, {0, 0, 0, 0}},
      {"skpnc", "\tskpnc\n\tincf\tR0, f\n", {0x10, 0x10, 0x11, 0x11}, {0, 0, 0, 0}},
      {"skpnz", "\tskpnz\n\tincf\tR0, f\n", {0x10, 0x11, 0x10, 0x11}, {0, 0, 0, 0}},
      // A skipped skip does not skip: where C is set, skpnc is skipped and incf runs.
      {"skpc over skpnc", "\tskpc\n\tskpnc\n\tincf\tR0, f\n", {0x10, 0x10, 0x11, 0x11}, {0}},
      {"skip as last", "\tincf\tR0, f\n\tskpc\n", {0x11, 0x11, 0x11, 0x11}, {0, 0, 1, 1}},
      {"skipped skip as last", "\tskpnz\n\tskpc\n", {0x10, 0x10, 0x10, 0x10}, {0, 0, 0, 1}},
      {"btfsc on C written by rlf",
       "\trlf\tR0, f\n\tbtfsc\tR0, 0\n\tclrf\tR0\n",
       {0x20, 0x20, 0x00, 0x00},
       {0, 0, 0, 0}},
      // W = 0xEF makes R0 0xFF where C is clear: there incfsz wraps and skips the clrf.
      {"incfsz skips where it wraps",
       "\tmovlw\tD'-17'\n\tskpc\n\tiorwf\tR0, f\n\tincfsz\tR0, w\n\tclrf\tR0\n",
       {0xFF, 0xFF, 0x00, 0x00},
       {0}},
  };
  for (const Case& c : cases) {
    const PicProgram program = parse_or_die(c.code, {"R0"});
    LaneMachine lanes(program, 4);
    for (int lane = 0; lane < 4; ++lane) {
      lanes.set_byte_at(lane, 0, 0x10);
      lanes.set_status(lane, static_cast<uint8_t>((lane & 1) << 2 | lane >> 1));
    }
    EXPECT_EQ(lanes.run(4), static_cast<long>(program.instructions.size())) << c.name;
    for (int lane = 0; lane < 4; ++lane) {
      EXPECT_EQ(lanes.byte_at(lane, 0), c.r0[lane]) << c.name << ", lane " << lane;
      EXPECT_EQ(lanes.skipped_past_end(lane), c.past_end[lane]) << c.name << ", lane " << lane;
    }
  }
}

// The first lane that skipped past the end, or switched banks: C clear in lane 5 and from
// lane 40 on skips; W = 0x20 in lane 7 and from lane 50 on sets RP0.
TEST(LaneMachine, TheFirstLaneThatWentWrongIsFound) {
  const PicProgram program = parse_or_die("\txorwf STATUS, f\n\tskpnc\n", {"R0"});
  LaneMachine lanes(program, 64);
  for (int lane = 0; lane < 64; ++lane) {
    lanes.set_status(lane, lane == 5 || lane >= 40 ? 0 : 1);
    lanes.set_w(lane, lane == 7 || lane >= 50 ? 0x20 : 0);
  }
  lanes.run(64);
  EXPECT_EQ(lanes.first_skipped_past_end(64), 5);
  EXPECT_EQ(lanes.first_skipped_past_end(5), 5);
  EXPECT_EQ(lanes.first_bank_switched(64), 7);
  EXPECT_EQ(lanes.first_bank_switched(7), 7);
  const PicProgram no_skip = parse_or_die("\tclrc\n", {"R0"});
  LaneMachine other(no_skip, 64);
  other.run(64);
  EXPECT_EQ(other.first_skipped_past_end(64), 64);
  EXPECT_EQ(other.first_bank_switched(64), 64);
}

// A run covers whole blocks of lanes from lane 0; the blocks above are left as they were.
TEST(LaneMachine, ARunLeavesTheBlocksAboveItsLanes) {
  const PicProgram program = parse_or_die("\tincf\tR0, f\n", {"R0"});
  const int block = LaneMachine::kBlockLanes;
  LaneMachine lanes(program, 3 * block);
  lanes.run(block + 1);
  for (int lane = 0; lane < 3 * block; ++lane) {
    EXPECT_EQ(lanes.byte_at(lane, 0), lane < 2 * block ? 1 : 0) << "lane " << lane;
  }
  EXPECT_EQ(lanes.run(0), 1);
  EXPECT_EQ(lanes.byte_at(0, 0), 1);
}

// The generator's routine for x * 10, every 8-bit input in its own lane.
TEST(LaneMachine, TheTimesTenRoutineGivesPicMachinesResultInEveryLane) {
  const ParseOutcome parsed = parse_generated_block(kTimesTenBlock);
  ASSERT_TRUE(parsed.program) << parsed.error;
  const PicProgram& program = *parsed.program;
  const std::vector<int> input = program.value_indexes("ACC", 1, false);
  const std::vector<int> output = program.value_indexes("ACC", 2, false);
  LaneMachine lanes(program, 256);
  for (int x = 0; x < 256; ++x) {
    lanes.fill(x, 1000 + static_cast<uint64_t>(x));
    lanes.write_value(x, input, static_cast<uint64_t>(x));
  }
  lanes.run(256);
  PicMachine machine(program);
  for (int x = 0; x < 256; ++x) {
    machine.fill(1000 + static_cast<uint64_t>(x));
    machine.write_value(input, static_cast<uint64_t>(x));
    machine.run();
    EXPECT_EQ(lanes.read_value(x, output), 10u * static_cast<unsigned>(x)) << x;
    expect_lane_is_machine(lanes, x, machine, static_cast<int>(program.byte_names.size()),
                           "input " + std::to_string(x));
  }
}

TEST(LaneMachine, ValuesAreWrittenAndReadPerLane) {
  const PicProgram program = parse_or_die("", {"V2", "V0", "V1"});
  const std::vector<int> little = program.value_indexes("V", 3, true);
  const std::vector<int> big = program.value_indexes("V", 3, false);
  LaneMachine lanes(program, 40);
  lanes.write_value(0, little, 0x123456);
  lanes.write_value(1, big, 0xABCDEF01);  // bits above 24 are dropped
  EXPECT_EQ(lanes.byte_at(0, 1), 0x56);
  EXPECT_EQ(lanes.byte_at(0, 0), 0x12);
  EXPECT_EQ(lanes.read_value(0, little), 0x123456u);
  EXPECT_EQ(lanes.read_value(0, big), 0x563412u);
  EXPECT_EQ(lanes.read_value(1, big), 0xCDEF01u);
  EXPECT_EQ(lanes.byte_at(1, 1), 0xCD);

  // Many lanes at once: each lane gets its own value, lanes above are left alone.
  std::vector<uint64_t> values;
  for (uint64_t l = 0; l < 39; ++l) values.push_back(0x1000001 * l + 0xAB0000);
  lanes.write_value(39, little, 0x777777);
  lanes.write_values(little, values);
  std::vector<uint64_t> read(39);
  lanes.read_values(big, read);
  for (size_t l = 0; l < 39; ++l) {
    EXPECT_EQ(lanes.read_value(static_cast<int>(l), little), values[l] & 0xFFFFFF) << l;
    EXPECT_EQ(read[l], lanes.read_value(static_cast<int>(l), big)) << l;
  }
  EXPECT_EQ(lanes.read_value(39, little), 0x777777u);
}

}  // namespace
}  // namespace tarvek

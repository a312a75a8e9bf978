// check_prepared runs its inputs many at a time, restricted to what it reads, with expected
// results planned a batch at a time; its report must be the one of running the inputs one
// after the other on PicMachine from a full fill, which this file's reference does.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "sim/pic_machine.h"
#include "sim/routine_check.h"
#include "sim/run_plan.h"

namespace tarvek {
namespace {

// One input after the other: plan_one's plan, PicMachine filled with seed + i, the first fault
// in input order.
CheckReport one_by_one(const PreparedRoutine& routine, const std::vector<uint64_t>& inputs,
                       uint64_t seed, std::vector<uint64_t>& observed) {
  CheckReport report;
  report.instructions = static_cast<long>(routine.program.instructions.size());
  PicMachine machine(routine.program);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const uint64_t x = inputs[i];
    const auto fail = [&](const std::string& what) {
      report.failure = "input " + std::to_string(x) + ": " + what;
      report.failing_input = x;
      return report;
    };
    PlannedRun run;
    if (const std::string fault = plan_one(routine.promise, x, run); !fault.empty()) {
      return fail(fault);
    }
    machine.fill(seed + i);
    machine.write_value(routine.input_indexes, run.written);
    const RunStats stats = machine.run();
    report.cycles = std::max(report.cycles, stats.cycles);
    if (stats.skipped_past_end) return fail("the last instruction skips past the routine");
    if (machine.bank_bits != 0) return fail("the routine switched register banks");
    const uint64_t got = machine.read_value(routine.output_indexes);
    if (got != run.wanted) {
      return fail("got " + std::to_string(got) + ", documented " + to_decimal(run.expected));
    }
    ++report.inputs_checked;
    observed.push_back(x);
    observed.push_back(got);
  }
  report.passed = true;
  return report;
}

// A line of a routine over ACC0, ACC1 (the input and output) and TEMP0, TEMP1 that mostly
// leaves the input alone, so that runs get far: reads of every byte, W and the flags, skips,
// and now and then a change of an input byte or of the bank bits.
std::string random_line(std::mt19937& random, bool input_kept) {
  const std::string acc = "ACC" + std::to_string(random() % 2);
  const std::string temp = "TEMP" + std::to_string(random() % 2);
  const std::string any = random() % 2 == 0 ? acc : temp;
  const std::string literal = "D'" + std::to_string(static_cast<int>(random() % 256) - 128) + "'";
  const std::string bit = std::to_string(random() % 8);
  const std::string lines[] = {
      "\tmovf\t" + any + ", w",
      "\tmovf\t" + any + ", f",
      "\tmovwf\t" + temp,
      "\taddwf\t" + temp + ", f",
      "\tsubwf\t" + any + ", w",
      "\trrf\t" + temp + ", f",
      "\trlf\t" + any + ", w",
      "\txorwf\t" + temp + ", f",
      "\tcomf\t" + any + ", w",
      "\tswapf\t" + any + ", w",
      "\tincfsz\t" + temp + ", f",
      "\tiorwf\t" + temp + ", f",
      "\tmovlw\t" + literal,
      "\taddlw\t" + literal,
      "\tandlw\t" + literal,
      "\tiorlw\t" + literal,
      "\tclrc",
      "\tskpnz",
      "\tskpc",
      "\tskpnc",
      "\tbtfsc\t" + any + ", " + bit,
      "\tclrf\t" + temp,
      "\tincf\t" + temp + ", f",
  };
  const unsigned pick = input_kept ? 100 : random() % 100;
  if (pick < 3) return "\tincf\t" + acc + ", f";
  if (pick < 5) return "\tbsf\t" + acc + ", " + bit;
  if (pick < 6) return "\txorwf STATUS, f";
  return lines[random() % std::size(lines)];
}

// The promise that the 16-bit input comes out as it went in, as term lines, as an exact
// title line, signed or not, or one that doubles it, which the routine does not keep.
RoutinePromise random_promise(std::mt19937& random) {
  RoutinePromise promise;
  promise.input_bits = 16;
  promise.input_bytes = 2;
  promise.output_bits = 16;
  promise.output_bytes = 2;
  switch (random() % 4) {
    case 0:
      promise.terms = {{0, 1}};
      break;
    case 1:
      promise.exact = ExactPromise{1, 1, false, false, false};
      break;
    case 2:
      promise.exact = ExactPromise{1, 1, false, true, true};
      break;
    default:
      promise.terms = {{1, 1}};
      break;
  }
  return promise;
}

// Inputs across several batches: stretches of consecutive values, random ones, repeats, and
// now and then one too wide. With `avoided` (0 to 255), no input has that byte where
// `byte_of` takes it from, but for one at a random place.
std::vector<uint64_t> random_inputs(std::mt19937& random, int avoided, int (*byte_of)(uint64_t)) {
  std::vector<uint64_t> inputs;
  const std::size_t count = 1 + random() % (3 * kCheckBatchInputs);
  const auto add = [&](uint64_t x) {
    if (avoided < 0 || x >> 16 != 0 || byte_of(x) != avoided) inputs.push_back(x);
  };
  while (inputs.size() < count) {
    if (random() % 3 == 0) {
      const uint64_t first = random() % 65536;
      for (uint64_t x = first; x < 65536 && x < first + random() % 700; ++x) add(x);
    } else {
      add(random() % 2000 == 0 ? 65536 + random() % 10 : random() % 65536);
    }
  }
  if (avoided >= 0) {
    const uint64_t planted = static_cast<uint64_t>(avoided) * (byte_of(1) == 1 ? 1 : 256);
    inputs.insert(inputs.begin() + static_cast<std::ptrdiff_t>(random() % inputs.size()), planted);
  }
  return inputs;
}

int low_byte(uint64_t x) {
  return static_cast<int>(x & 0xFF);
}
int high_byte(uint64_t x) {
  return static_cast<int>(x >> 8 & 0xFF);
}

TEST(RoutineCheckRuns, TheReportIsThatOfOneRunAfterTheOther) {
  std::mt19937 random(31337);
  int passed = 0;
  int past_first_batch = 0;
  const char* const kFaults[] = {"got ", "skips past", "switched register banks", "wider than",
                                 "does not fit"};
  int faults[std::size(kFaults)] = {};
  for (int trial = 0; trial < 200; ++trial) {
    // Half the routines change their input only where ACC0 holds one value, which one input
    // has, at a random place; the others anywhere.
    const bool planted = trial % 2 == 0;
    const int avoided = planted ? static_cast<int>(random() % 256) : -1;
    std::string text;
    if (planted) {
      text = "\tmovf\tACC0, w\n\taddlw\tD'" +
             std::to_string(avoided > 127 ? 256 - avoided : -avoided) +
             "'\n\tskpnz\n\tincf\tACC1, f\n";
    }
    const int length = 1 + static_cast<int>(random() % 30);
    for (int i = 0; i < length; ++i) text += random_line(random, planted) + "\n";
    ParseOutcome parsed = parse_instructions(text, {"ACC0", "ACC1", "TEMP0", "TEMP1"});
    ASSERT_TRUE(parsed.program) << parsed.error << "\n" << text;
    PreparedRoutine routine{random_promise(random), std::move(*parsed.program), {}, {}, {}};
    const bool little_endian = random() % 2 == 0;
    routine.input_indexes = routine.program.value_indexes("ACC", 2, little_endian);
    routine.output_indexes = routine.input_indexes;
    // ACC0 is the low byte of a little-endian input, the high byte of a big-endian one.
    const std::vector<uint64_t> inputs =
        random_inputs(random, avoided, little_endian ? low_byte : high_byte);
    const uint64_t seed = random();

    std::vector<uint64_t> expected_observed;
    const CheckReport expected = one_by_one(routine, inputs, seed, expected_observed);
    std::vector<uint64_t> observed;
    const CheckReport report =
        check_prepared(routine, inputs, seed, [&observed](uint64_t x, uint64_t result) {
          observed.push_back(x);
          observed.push_back(result);
        });
    const std::string context = "trial " + std::to_string(trial) + ", program:\n" + text;
    ASSERT_EQ(report.passed, expected.passed) << context;
    ASSERT_EQ(report.failure, expected.failure) << context;
    ASSERT_EQ(report.failing_input, expected.failing_input) << context;
    ASSERT_EQ(report.inputs_checked, expected.inputs_checked) << context;
    ASSERT_EQ(report.instructions, expected.instructions) << context;
    ASSERT_EQ(report.cycles, expected.cycles) << context;
    ASSERT_EQ(observed, expected_observed) << context;
    passed += report.passed;
    past_first_batch +=
        !report.passed && report.inputs_checked > static_cast<long>(kCheckBatchInputs);
    for (std::size_t k = 0; k < std::size(kFaults); ++k) {
      faults[k] += report.failure.find(kFaults[k]) != std::string::npos;
    }
  }
  // Some routines kept their promise throughout, some failed past the first batch, and
  // every kind of fault came up.
  EXPECT_GT(passed, 10);
  EXPECT_GT(past_first_batch, 10);
  for (std::size_t k = 0; k < std::size(kFaults); ++k) {
    EXPECT_GT(faults[k], 0) << kFaults[k];
  }
}

}  // namespace
}  // namespace tarvek

#include "page/printed_check.h"

#include <algorithm>
#include <string>
#include <vector>

#include "sim/routine_check.h"

namespace tarvek {
namespace {

// The names the block's cblock section declares, one "\tNAME" line each.
std::vector<std::string_view> declared_names(std::string_view block) {
  std::vector<std::string_view> names;
  const std::size_t start = block.find("\tcblock");
  if (start == std::string_view::npos) return names;
  std::size_t line = block.find('\n', start);
  while (line != std::string_view::npos && line + 1 < block.size()) {
    const std::size_t next = block.find('\n', line + 1);
    const std::string_view text = block.substr(line + 1, next - line - 1);
    if (text.starts_with("\tendc") || !text.starts_with('\t')) break;
    names.push_back(text.substr(1));
    line = next;
  }
  return names;
}

bool has_repeated_name(std::vector<std::string_view> names) {
  std::sort(names.begin(), names.end());
  return std::adjacent_find(names.begin(), names.end()) != names.end();
}

// Whether every byte the Output line names is among `declared`. The run would pass without
// them (the check declares them for itself), but the code that includes the routine reads
// its result there and does not assemble when they are missing.
bool declares_output(const std::vector<std::string_view>& declared, std::string_view acc_name,
                     int output_bytes) {
  for (int k = 0; k < output_bytes; ++k) {
    const std::string name = std::string(acc_name) + std::to_string(k);
    if (std::find(declared.begin(), declared.end(), name) == declared.end()) return false;
  }
  return true;
}

// The inputs a routine with loops is run for: every one up to `exhaustive_bits`; above, the
// edges (edge_inputs) but those next to a power of two within a byte, 2^k - 1, 2^k and 2^k + 1
// for k not a multiple of 8 below the top bit, and their mirror images: a loop takes every bit
// through the same code, so what its bytes can get wrong shows where a carry crosses a byte,
// and each run goes round the loop for tens of cycles.
std::vector<uint64_t> loop_inputs(int bits, bool is_signed, int exhaustive_bits) {
  std::vector<uint64_t> inputs = edge_inputs(bits, is_signed, exhaustive_bits, kLoopCheckSample);
  if (bits <= exhaustive_bits) return inputs;
  const uint64_t modulus = uint64_t{1} << bits;
  std::erase_if(inputs, [&](uint64_t x) {
    for (int k = 2; k < bits - 1; ++k) {
      if (k % 8 == 0) continue;
      const uint64_t power = uint64_t{1} << k;
      for (const uint64_t near : {power - 1, power, power + 1}) {
        if (x == near || x == modulus - near) return true;
      }
    }
    return false;
  });
  return inputs;
}

}  // namespace

PicCore pic_core_of(Core core) {
  switch (core) {
    case Core::kMidrange:
      return PicCore::kMidrange;
    case Core::kEnhanced:
      return PicCore::kEnhanced;
    case Core::kBaseline:
      return PicCore::kBaseline;
    case Core::kPic18:
      return PicCore::kPic18;
  }
  return PicCore::kMidrange;
}

PrintedCheck check_printed_routine(const PrintedRoutine& routine, int exhaustive_bits) {
  const std::vector<std::string_view> declared = declared_names(routine.block);
  if (has_repeated_name(declared)) return PrintedCheck::kNamesClash;
  const RoutineUnderCheck under_check{
      routine.block,      routine.acc_name,    routine.temp_name,         routine.little_endian,
      routine.input_bits, routine.output_bits, pic_core_of(routine.core), routine.rem_name};
  const PrepareOutcome prepared = prepare_routine(under_check);
  if (!prepared.routine) return PrintedCheck::kFails;
  const RoutinePromise& promise = prepared.routine->promise;
  if (!declares_output(declared, routine.acc_name, promise.output_bytes)) {
    return PrintedCheck::kFails;
  }
  const bool is_signed = promise.exact && promise.exact->is_signed;
  // A PIC18 routine never runs on the lanes, so straight_line tells nothing of its loops; it
  // runs one input at a time, but only a jump makes a run long.
  const PicProgram& program = prepared.routine->program;
  const bool loops = program.core == PicCore::kPic18 ? has_jump(program) : !program.straight_line;
  const std::vector<uint64_t> inputs =
      loops ? loop_inputs(routine.input_bits, is_signed, exhaustive_bits - kLoopCheckFewerBits)
            : edge_inputs(routine.input_bits, is_signed, exhaustive_bits, kPrintedCheckSample);
  // The arbitrary starting state of every other byte, W and the flags: fixed, like the inputs.
  constexpr uint64_t kStartSeed = 0x5EED;
  const CheckReport report = check_prepared(*prepared.routine, inputs, kStartSeed);
  return report.passed ? PrintedCheck::kHolds : PrintedCheck::kFails;
}

}  // namespace tarvek

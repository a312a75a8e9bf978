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

}  // namespace

PicCore pic_core_of(Core core) {
  switch (core) {
    case Core::kMidrange:
      return PicCore::kMidrange;
    case Core::kEnhanced:
      return PicCore::kEnhanced;
    case Core::kBaseline:
      return PicCore::kBaseline;
  }
  return PicCore::kMidrange;
}

PrintedCheck check_printed_routine(const PrintedRoutine& routine, int exhaustive_bits) {
  const std::vector<std::string_view> declared = declared_names(routine.block);
  if (has_repeated_name(declared)) return PrintedCheck::kNamesClash;
  const RoutineUnderCheck under_check{
      routine.block,      routine.acc_name,    routine.temp_name,        routine.little_endian,
      routine.input_bits, routine.output_bits, pic_core_of(routine.core)};
  const PrepareOutcome prepared = prepare_routine(under_check);
  if (!prepared.routine) return PrintedCheck::kFails;
  const RoutinePromise& promise = prepared.routine->promise;
  if (!declares_output(declared, routine.acc_name, promise.output_bytes)) {
    return PrintedCheck::kFails;
  }
  const bool is_signed = promise.exact && promise.exact->is_signed;
  const std::vector<uint64_t> inputs =
      edge_inputs(routine.input_bits, is_signed, exhaustive_bits, kPrintedCheckSample);
  // The arbitrary starting state of every other byte, W and the flags: fixed, like the inputs.
  constexpr uint64_t kStartSeed = 0x5EED;
  const CheckReport report = check_prepared(*prepared.routine, inputs, kStartSeed);
  return report.passed ? PrintedCheck::kHolds : PrintedCheck::kFails;
}

}  // namespace tarvek

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

}  // namespace

PrintedCheck check_printed_routine(const PrintedRoutine& routine, int exhaustive_bits) {
  if (has_repeated_name(declared_names(routine.block))) return PrintedCheck::kNamesClash;
  const RoutineUnderCheck under_check{
      routine.block,
      routine.acc_name,
      routine.temp_name,
      routine.little_endian,
      routine.input_bits,
      routine.output_bits,
      routine.core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange,
      routine.rem_name};
  const PrepareOutcome prepared = prepare_routine(under_check);
  if (!prepared.routine) return PrintedCheck::kFails;
  const RoutinePromise& promise = prepared.routine->promise;
  const bool is_signed = promise.exact && promise.exact->is_signed;
  const std::vector<uint64_t> inputs =
      edge_inputs(routine.input_bits, is_signed, exhaustive_bits, kPrintedCheckSample);
  // The arbitrary starting state of every other byte, W and the flags: fixed, like the inputs.
  constexpr uint64_t kStartSeed = 0x5EED;
  const CheckReport report = check_prepared(*prepared.routine, inputs, kStartSeed);
  return report.passed ? PrintedCheck::kHolds : PrintedCheck::kFails;
}

}  // namespace tarvek

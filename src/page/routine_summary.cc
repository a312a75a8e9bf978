#include "page/routine_summary.h"

#include <charconv>

#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

// The number that `text` consists of entirely, or -1.
int whole_number(std::string_view text) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return -1;
  return value;
}

// Reads "; Output: ACC0 .. ACCn\t(B bits)" (or "ACC0" alone for one byte). The register
// name may hold any byte, " .. " and tabs included, so the range is matched against the names
// the accumulator's bytes must have rather than split at its separators.
void read_output_line(std::string_view block, std::string_view acc_name, RoutineSummary& summary) {
  constexpr std::string_view kStart = "\n; Output: ";
  const std::size_t start = block.find(kStart);
  if (start == std::string_view::npos) return;
  std::string_view line = block.substr(start + kStart.size());
  line = line.substr(0, line.find('\n'));
  const std::size_t width_at = line.rfind("\t(");
  if (width_at == std::string_view::npos || !line.ends_with(" bits)")) return;
  const int bits = whole_number(line.substr(width_at + 2, line.size() - width_at - 8));
  const std::string_view range = line.substr(0, width_at);

  const std::string first = std::string(acc_name) + "0";
  int bytes = 0;
  if (range == first) {
    bytes = 1;
  } else {
    const std::string prefix = first + " .. " + std::string(acc_name);
    if (!range.starts_with(prefix)) return;
    bytes = whole_number(range.substr(prefix.size())) + 1;
    if (bytes < 2) return;
  }
  // A routine's result has at most 63 bits, 8 bytes.
  if (bits < 1 || bytes > 8) return;
  summary.output_bits = bits;
  for (int i = 0; i < bytes; ++i)
    summary.output_bytes.push_back(std::string(acc_name) + std::to_string(i));
}

}  // namespace

RoutineSummary summarize_routine(std::string_view block, std::string_view acc_name) {
  RoutineSummary summary;
  read_output_line(block, acc_name, summary);
  // Read as enhanced mid-range source: that core runs every instruction of every core's
  // routines, and both count and cycles are the same on every core that runs them.
  const ParseOutcome parsed = parse_generated_block(block, PicCore::kEnhanced);
  if (parsed.program) {
    summary.instructions = static_cast<int>(parsed.program->instructions.size());
    // Straight-line code costs the same from any start, so one run from cleared bytes counts
    // the cycles of every run, each skipped instruction included.
    PicMachine machine(*parsed.program);
    summary.cycles = machine.run().cycles;
  }
  return summary;
}

}  // namespace tarvek

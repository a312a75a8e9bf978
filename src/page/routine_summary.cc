#include "page/routine_summary.h"

#include <charconv>
#include <optional>
#include <utility>

#include "codegen/core.h"
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

// A register line's bytes and its count of `unit`.
struct RegisterLine {
  std::vector<std::string> bytes;
  int count = 0;
};

// Reads `start` + "NAME0 .. NAMEn\t(C unit)" (or "NAME0" alone for one byte), as the Output
// line "; Output: ACC0 .. ACC1\t(13 bits)" has it. The register name may hold any byte, " .. "
// and tabs included, so the range is matched against the names the register's bytes must have
// rather than split at its separators.
std::optional<RegisterLine> read_register_line(std::string_view block, std::string_view start,
                                               std::string_view name, std::string_view unit,
                                               int most_bytes) {
  const std::size_t at = block.find(start);
  if (at == std::string_view::npos || name.empty()) return std::nullopt;
  std::string_view line = block.substr(at + start.size());
  line = line.substr(0, line.find('\n'));
  std::string ending(1, ' ');
  ending += unit;
  ending += ')';
  const std::size_t width_at = line.rfind("\t(");
  if (width_at == std::string_view::npos || !line.ends_with(ending)) return std::nullopt;
  const int count =
      whole_number(line.substr(width_at + 2, line.size() - width_at - 2 - ending.size()));
  const std::string_view range = line.substr(0, width_at);

  const std::string first = std::string(name) + "0";
  int bytes = 0;
  if (range == first) {
    bytes = 1;
  } else {
    const std::string prefix = first + " .. " + std::string(name);
    if (!range.starts_with(prefix)) return std::nullopt;
    bytes = whole_number(range.substr(prefix.size())) + 1;
    if (bytes < 2) return std::nullopt;
  }
  if (count < 1 || bytes > most_bytes) return std::nullopt;
  RegisterLine read;
  read.count = count;
  for (int i = 0; i < bytes; ++i) read.bytes.push_back(std::string(name) + std::to_string(i));
  return read;
}

void read_output_line(std::string_view block, std::string_view acc_name, RoutineSummary& summary) {
  // A product has at most 63 bits, 8 bytes; digits at most one a bit of a 32-bit input.
  if (auto read = read_register_line(block, "\n; Output: ", acc_name, "bits", 8)) {
    summary.output_bits = read->count;
    summary.output_bytes = std::move(read->bytes);
  } else if (auto digits = read_register_line(block, "\n; Output: ", acc_name, "digits", 32)) {
    summary.digit_count = digits->count;
    summary.output_bytes = std::move(digits->bytes);
  }
}

// Reads "; Routine: N words, A to B cycles" or "; Routine: N words, B cycles", the line a
// routine with loops has, into `summary`; leaves it as it is for any other line.
void read_words_line(std::string_view block, RoutineSummary& summary) {
  constexpr std::string_view kStart = "\n; Routine: ";
  const std::size_t start = block.find(kStart);
  if (start == std::string_view::npos) return;
  std::string_view line = block.substr(start + kStart.size());
  line = line.substr(0, line.find('\n'));
  const std::size_t words_end = line.find(" words, ");
  const std::size_t cycles_end = line.find(" cycles");
  if (words_end == std::string_view::npos || cycles_end == std::string_view::npos ||
      cycles_end < words_end) {
    return;
  }
  const int words = whole_number(line.substr(0, words_end));
  const std::string_view cycles = line.substr(words_end + 8, cycles_end - words_end - 8);
  const std::size_t to = cycles.find(" to ");
  const int fewest = whole_number(to == std::string_view::npos ? cycles : cycles.substr(0, to));
  const int most = whole_number(to == std::string_view::npos ? cycles : cycles.substr(to + 4));
  if (words < 0 || fewest < 0 || most < fewest) return;
  summary.words = words;
  summary.cycles_min = fewest;
  summary.cycles_max = most;
}

// The lines between "\tcblock" and "\tendc": counted as lines, so that a name no assembler
// reads still counts as the one byte it declares.
int cblock_lines(std::string_view block) {
  const std::size_t start = block.find("\tcblock");
  if (start == std::string_view::npos) return 0;
  int lines = 0;
  std::size_t line = block.find('\n', start);
  while (line != std::string_view::npos && line + 1 < block.size()) {
    const std::size_t next = block.find('\n', line + 1);
    if (block.substr(line + 1, next - line - 1) == "\tendc") break;
    ++lines;
    line = next;
  }
  return lines;
}

}  // namespace

RoutineSummary summarize_routine(std::string_view block, std::string_view acc_name,
                                 std::string_view rem_name) {
  RoutineSummary summary;
  read_output_line(block, acc_name, summary);
  // A remainder is below its divisor, itself below 2^64: at most 8 bytes.
  if (auto rem = read_register_line(block, "\n; Remainder: ", rem_name, "bits", 8)) {
    summary.remainder_bits = rem->count;
    summary.remainder_bytes = std::move(rem->bytes);
  }
  summary.ram_bytes = cblock_lines(block);
  // Read as enhanced mid-range source: that core runs every instruction of every mid-range
  // family core's routines, and both count and cycles are the same on every core that runs
  // them. A PIC18 routine, which its core line names, is in that core's own instructions.
  const bool pic18 =
      block.find("\n" + std::string(kPic18CoreLine) + "\n") != std::string_view::npos;
  const ParseOutcome parsed =
      parse_generated_block(block, pic18 ? PicCore::kPic18 : PicCore::kEnhanced);
  if (parsed.program) {
    summary.instructions = static_cast<int>(parsed.program->instructions.size());
    // Straight-line code costs the same from any start, so one run from cleared bytes counts
    // the cycles of every run, each skipped instruction included.
    PicMachine machine(*parsed.program);
    summary.cycles = machine.run().cycles;
    summary.words = summary.instructions;
    summary.cycles_min = summary.cycles;
    summary.cycles_max = summary.cycles;
    read_words_line(block, summary);
  }
  return summary;
}

}  // namespace tarvek

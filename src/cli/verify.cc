#include "cli/verify.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <vector>

namespace tarvek {
namespace {

// Fixed seeds: the same request always checks the same inputs from the same starting
// values, so a verification printed into a file is reproducible.
constexpr uint64_t kSampleSeed = 20000321;
constexpr uint64_t kStartSeed = 7;

// `text` as one comment line; a line break inside it would end the comment.
std::string comment_line(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return "; " + text + "\n";
}

// The inputs-checked line, and for a sampled width its continuation.
std::string inputs_lines(const RoutineUnderCheck& routine, long count) {
  if (routine.input_bits <= kExhaustiveBits) {
    return comment_line("Inputs checked: " + std::to_string(count) + " (every " +
                        std::to_string(routine.input_bits) + "-bit input)");
  }
  return comment_line("Inputs checked: " + std::to_string(count) + " of the 2^" +
                      std::to_string(routine.input_bits) +
                      " (0 to 3, each 2^k - 1, 2^k and 2^k + 1,") +
         comment_line("  the largest values, alternating bit patterns, a seeded random sample)");
}

}  // namespace

std::string shortest_decimal(double value) {
  // 32 characters hold any double in its shortest form.
  std::string text(32, '\0');
  const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
  assert(error == std::errc());
  text.resize(static_cast<std::size_t>(end - text.data()));
  return text;
}

std::string deviation_text(long double value) {
  if (value == 0) return "0";
  std::ostringstream fixed;
  fixed << std::fixed << std::setprecision(6) << value;
  std::string text = fixed.str();
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "0" || text == "-0") {
    std::ostringstream scientific;
    scientific << std::scientific << std::setprecision(3) << value;
    return scientific.str();
  }
  return text;
}

VerifyOutcome verify_routine(const RoutineUnderCheck& routine, const VerifyTarget& target) {
  assert(routine.input_bits >= 1 && routine.input_bits <= 32);
  const std::vector<uint64_t> inputs =
      sample_inputs(routine.input_bits, kExhaustiveBits, kRandomInputs, kSampleSeed);
  DeviationTracker tracker(target.exact);
  // A signed routine's input bits and output bytes hold two's-complement values.
  const int output_bytes = std::max((routine.input_bits + 7) / 8, (routine.output_bits + 7) / 8);
  const auto value_of = [](uint64_t bits, int width) {
    WideInt value = static_cast<WideInt>(bits);
    if ((bits >> (width - 1)) & 1) value -= static_cast<WideInt>(1) << width;
    return value;
  };
  const CheckReport report =
      check_routine(routine, inputs, kStartSeed, [&](uint64_t x, uint64_t result) {
        if (target.digits) return;
        if (target.is_signed) {
          tracker.observe(value_of(x, routine.input_bits), value_of(result, 8 * output_bytes));
        } else {
          tracker.observe(x, result);
        }
      });

  VerifyOutcome outcome;
  outcome.passed = report.passed;
  std::string& out = outcome.comment;
  out += comment_line("Verification on tarvek's PIC16 simulator, each run starting from");
  out += comment_line("arbitrary values in every other byte, W and the flags:");
  if (!report.passed) {
    out += comment_line("FAILED: " + report.failure);
    out += comment_line("Inputs whose result matched before that: " +
                        std::to_string(report.inputs_checked));
    if (report.instructions > 0) {
      out += comment_line("Routine: " + std::to_string(report.instructions) + " instructions");
    }
    out += comment_line("The routine does not compute what its comment block documents.");
    return outcome;
  }
  out += inputs_lines(routine, report.inputs_checked);
  out += comment_line("Every result equals the documented computation.");
  // Straight-line code takes a cycle a word on every run; a routine with loops is told in
  // words, with the range of cycles its runs took.
  if (report.cycles == report.instructions && report.fewest_cycles == report.cycles) {
    out += comment_line("Routine: " + std::to_string(report.instructions) + " instructions, " +
                        std::to_string(report.cycles) + " cycles");
  } else if (report.fewest_cycles == report.cycles) {
    out += comment_line("Routine: " + std::to_string(report.instructions) + " words, " +
                        std::to_string(report.cycles) + " cycles");
  } else {
    out += comment_line("Routine: " + std::to_string(report.instructions) + " words, " +
                        std::to_string(report.fewest_cycles) + " to " +
                        std::to_string(report.cycles) + " cycles (over the inputs checked)");
  }
  if (target.digits) return outcome;
  out += comment_line("Worst deviation from " + target.description +
                      " (result minus exact value, truncation included):");
  // Every check runs input 0 first, so the absolute figure always exists; the relative one
  // exists for every input width (input 1 is always run).
  if (const std::optional<Extreme>& worst = tracker.worst_absolute()) {
    out += comment_line("  absolute " + deviation_text(worst->value) + " at input " +
                        to_decimal(worst->input));
  }
  if (const std::optional<Extreme>& worst = tracker.worst_relative()) {
    std::string line =
        "  relative " + deviation_text(worst->value) + " % at input " + to_decimal(worst->input);
    if (tracker.skipped_zero()) line += " (undefined at input 0, which is left out)";
    out += comment_line(line);
  }
  return outcome;
}

}  // namespace tarvek

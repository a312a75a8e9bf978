// What the JSON answer tells about a generated block besides its text: the result register,
// as the block's "; Output:" line names it, and what one run of the routine costs, counted on
// our simulator.
//
// Every part is read from the block itself, never from the request, so the summary describes
// the text the user receives.
#ifndef TARVEK_PAGE_ROUTINE_SUMMARY_H
#define TARVEK_PAGE_ROUTINE_SUMMARY_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvek {

struct RoutineSummary {
  // Names of the result bytes, byte 0 first, from the "; Output:" line; empty when the block
  // has no such line for this accumulator.
  std::vector<std::string> output_bytes;
  // Width of the result in bits, from the same line; 0 when there is no such line, or when
  // the line counts digits.
  int output_bits = 0;
  // The digits the Output line counts ("(5 digits)"); 0 for a product.
  int digit_count = 0;
  // Names of the remainder's bytes and its width in bits, from the "; Remainder:" line for
  // the remainder register named; empty and 0 without one.
  std::vector<std::string> remainder_bytes;
  int remainder_bits = 0;
  // Instruction lines of the routine; nullopt when the block is not source the simulator
  // reads, which only a register name no assembler takes either (holding a blank, a comma, a
  // semicolon or a byte outside printable ASCII) brings about.
  std::optional<int> instructions;
  // Instruction cycles of one run, counted by running it; valid with `instructions`.
  std::optional<long> cycles;
  // Program words and the fewest and most cycles of a run over every input: `instructions`
  // and `cycles` for straight-line code, and what the "; Routine:" line states for a routine
  // with loops ("; Routine: 12 words, 7 to 162 cycles ..."), which the generator proved.
  // Valid with `instructions`.
  std::optional<int> words;
  std::optional<long> cycles_min;
  std::optional<long> cycles_max;
  // Bytes of RAM the routine declares (input, result and temporary registers): the lines of
  // its cblock section, whatever the names.
  int ram_bytes = 0;
};

// Summarises `block`, written by the generator for the accumulator named `acc_name`. A
// packaged routine is summarised from packaged_reading.h's block of it.
RoutineSummary summarize_routine(std::string_view block, std::string_view acc_name,
                                 std::string_view rem_name = {});

}  // namespace tarvek

#endif  // TARVEK_PAGE_ROUTINE_SUMMARY_H

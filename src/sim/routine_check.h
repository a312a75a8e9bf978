// Checks a generated multiplication routine against what its own comment block promises, by
// running it on our simulator.
//
// The promise is read from the block's text alone: the term lines ("; Add input * 8 to
// accumulator", "; Substract input / 4 from accumulator") give the terms of the documented
// computation (reference_model.h), the Input and Output lines name the bytes and bit counts,
// and the core line ("; Core: enhanced mid-range (PIC16F1xxx)", "; Core: baseline (PIC10F,
// PIC12F5xx, PIC16F5x)" or "; Core: PIC18 (PIC18Fxxx), registers in the access bank", absent
// for a mid-range routine) names the core the routine needs. A
// baseline routine's RAM line ("; RAM: 7 bytes (ACC0 .. ACC3, temporary TEMP0 .. TEMP2)", with
// ", remainder REM0 .. REMr" before the temporary bytes for a routine that leaves a remainder)
// must name exactly the bytes it declares together with those of its Input and Output lines.
// Nothing is taken from the code generator, so the check holds the routine to exactly what a
// reader of the comment is told.
//
// The routine is parsed with its own cblock section, for the core the request asked for,
// which the block must name: a mid-range routine with an enhanced instruction does not parse,
// and a block that names another core than the request's is a failure. An instruction naming
// a byte that the routine does not declare is a failure, as is a declared byte that belongs
// to neither register. A byte of the Input or Output line that the routine never names is not
// touched by it; for the run it is added to the declarations, so that an input byte keeps the
// input and an output byte above the input (which the routine then cannot have written) is a
// failure.
//
// Each run starts from arbitrary values (seeded, reproducible) in every byte, W, C, DC and Z
// (on PIC18 also OV, N and the product bytes PRODL and PRODH, which a routine names without
// declaring them and which belong to neither register), writes the input into the input bytes
// in the routine's byte order (unused high bits zero), runs the routine once and requires the
// output bytes to hold the documented product, bits above the Output line's bit count
// included (they must be zero).
#ifndef TARVEK_SIM_ROUTINE_CHECK_H
#define TARVEK_SIM_ROUTINE_CHECK_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/extended_promise.h"
#include "sim/pic_program.h"
#include "sim/reference_model.h"

namespace tarvek {

// The promise of an exact routine's title line, "; ACC = floor(ACC * P/Q)",
// "; ACC = round(ACC * P/Q)" or "; ACC = trunc(ACC * P/Q)", with ", signed" after it for a
// two's-complement input: floor(x * P/Q), floor(x * P/Q + 1/2) or x * P/Q rounded toward
// zero, for every input. A signed routine's input is sign-extended through the Input line's
// bytes, and its result through the Output line's.
struct ExactPromise {
  uint64_t numerator = 0;
  uint64_t denominator = 1;
  bool nearest = false;
  bool trunc = false;
  bool is_signed = false;
};

// The exact result an ExactPromise stands for. Requires: |x| <= 2^32.
WideInt exact_result(const ExactPromise& promise, WideInt x);
inline WideInt exact_result(const ExactPromise& promise, uint64_t x) {
  return exact_result(promise, static_cast<WideInt>(x));
}

// What a comment block promises.
struct RoutinePromise {
  // The terms of its algorithm lines, in the order they are listed.
  std::vector<Term> terms;
  // Set for an exact routine, whose title line states its result; `terms` is then empty.
  std::optional<ExactPromise> exact;
  // Set for a digits routine, whose title line states its base and storage; `terms` is then
  // empty, and `digit_count` is the Output line's count of digits.
  std::optional<DigitPromise> digits;
  int digit_count = 0;
  // Set when an exact routine also leaves its remainder, from the Remainder line.
  std::optional<RemainderPromise> remainder;
  // From the Input line: bytes NAME0 .. NAME(input_bytes - 1), input_bits wide.
  int input_bytes = 0;
  int input_bits = 0;
  // From the Output line. An exact routine's Output line names the input bytes, and more
  // when the result is wider; another routine's names exactly the bytes of its bits.
  int output_bytes = 0;
  int output_bits = 0;
  // The core its core line names, mid-range without one.
  PicCore core = PicCore::kMidrange;
  // From the RAM line, when there is one: the bytes it counts, and how many of them belong to
  // each register (NAME0 .. NAME(n - 1)); -1 when there is none.
  int ram_bytes = -1;
  int ram_acc_bytes = 0;
  int ram_rem_bytes = 0;
  int ram_temp_bytes = 0;
};

// Either a promise or, when `promise` is empty, what could not be read.
struct PromiseOutcome {
  std::optional<RoutinePromise> promise;
  std::string error;
};

// Reads the term lines (or an exact or digits routine's title line), the core line, the RAM
// line and the Input and Output lines of `acc_name` (and `temp_name`, which only the RAM line
// names), and the Remainder line of `rem_name` (a Remainder line without a remainder register
// is unreadable), from a generated block.
// A printed weight is taken as the power of two nearest to it (the largest divisors print
// rounded to 17 significant digits), and must be within a rounding error of it.
PromiseOutcome read_promise(std::string_view block, std::string_view acc_name,
                            std::string_view temp_name = {}, std::string_view rem_name = {});

// A generated block and the request it was made for.
struct RoutineUnderCheck {
  std::string_view block;
  // Register names: the input register, which receives the product, and the temporary one.
  std::string_view acc_name;
  std::string_view temp_name;
  // Byte 0 is the least significant byte when set, the most significant one otherwise.
  bool little_endian = false;
  // The request's input width (1 to 32) and product width (1 to 63), or for a digits
  // routine its count of digits; the Input and Output lines must agree with them.
  int input_bits = 0;
  int output_bits = 0;
  // The core the request asked for.
  PicCore core = PicCore::kMidrange;
  // The register the request asked to receive the remainder; empty for none. The block must
  // then have the Remainder line, and may have it only then.
  std::string_view rem_name = {};
};

// A routine ready to be run many times.
struct PreparedRoutine {
  RoutinePromise promise;
  // The routine as parsed from its own declarations, plus any Input/Output byte it never
  // names.
  PicProgram program;
  // Byte indexes into `program` of the input and output bytes, least significant first.
  std::vector<int> input_indexes;
  std::vector<int> output_indexes;
  // The remainder's bytes, least significant first; empty without a remainder.
  std::vector<int> remainder_indexes;
};

struct PrepareOutcome {
  std::optional<PreparedRoutine> routine;
  std::string error;
};

// Reads the promise, parses the routine and checks its declarations (see above).
// Requires: 1 <= routine.input_bits <= 32, 1 <= routine.output_bits <= 63, both names
// non-empty.
PrepareOutcome prepare_routine(const RoutineUnderCheck& routine);

struct CheckReport {
  bool passed = false;
  // Empty when passed; otherwise the first fault, naming the input when a run showed it.
  std::string failure;
  // The input of the first mismatch, when a run showed it.
  std::optional<uint64_t> failing_input;
  // Inputs whose run left the documented product.
  long inputs_checked = 0;
  // Instruction lines of the routine (0 when it could not be parsed).
  long instructions = 0;
  // Instruction cycles of the longest run, skipped instructions included; for straight-line
  // code this equals `instructions`.
  long cycles = 0;
  // Instruction cycles of the shortest run: less than `cycles` only in a routine with jumps,
  // whose runs take as many cycles as its loops go round.
  long fewest_cycles = 0;
};

// Told the output value of every run that matched, e.g. to measure the deviation from the
// exact product.
using ResultObserver = std::function<void(uint64_t input, uint64_t result)>;

// Inputs run at a time on the lane runner. The report does not depend on it; tests place
// faults around its boundaries.
inline constexpr std::size_t kCheckBatchInputs = 1024;

// Runs the routine once per input (each below 2^input_bits) and stops at the first fault.
// `seed` picks the arbitrary starting values; run i uses seed + i. The runs are made many
// inputs at a time (lane_machine.h), and the report is the one running them one after the
// other would give: the first fault in input order, and `observe` called in input order for
// the inputs before it. A routine with jumps, and every PIC18 routine, is run on PicMachine one
// input after the other (PicProgram::straight_line), and a run that does not end within the
// machine's cycle limit is a fault.
CheckReport check_routine(const RoutineUnderCheck& routine, const std::vector<uint64_t>& inputs,
                          uint64_t seed, const ResultObserver& observe = nullptr);
// The same for a routine prepared once.
CheckReport check_prepared(const PreparedRoutine& routine, const std::vector<uint64_t>& inputs,
                           uint64_t seed, const ResultObserver& observe = nullptr);

// Inputs for a `bits`-bit register (1 to 32), ascending, without repeats: every value when
// bits <= exhaustive_bits; otherwise the edges (0 to 3, every 2^k - 1, 2^k and 2^k + 1, the
// largest values, alternating bit patterns) and `random_count` seeded pseudo-random values,
// half of them with a random number of leading zeros so that small values come up too.
std::vector<uint64_t> sample_inputs(int bits, int exhaustive_bits, int random_count, uint64_t seed);

// The inputs a routine is run for before it is printed, ascending, without repeats: every value
// when bits <= exhaustive_bits; otherwise the edges (0, 1, the largest value, every 2^k - 1,
// 2^k and 2^k + 1; for a signed input also their mirror images around zero as bit patterns:
// -1, -(2^k - 1), -2^k, -(2^k + 1), the most negative value among them) and `random_count`
// values of a fixed seed, so that the same request always runs the same inputs.
std::vector<uint64_t> edge_inputs(int bits, bool is_signed, int exhaustive_bits, int random_count);

}  // namespace tarvek

#endif  // TARVEK_SIM_ROUTINE_CHECK_H

// The digits mode's sweep: requests over bases, widths, forms and byte orders, each routine
// generated the way the program generates it (the form's fields, its checks, its generator)
// and run on our simulator against the digits of its input, computed by the simulator's
// oracle from the input alone; the count of digits the request needs is computed here.
#ifndef TARVEK_TESTS_DIGITS_DIGITS_SWEEP_H
#define TARVEK_TESTS_DIGITS_DIGITS_SWEEP_H

#include <cstdint>
#include <string>
#include <vector>

#include "codegen/core.h"
#include "exact_sweep.h"

namespace tarvek {

// A request of the digits mode, as the form states it.
struct DigitsSweepRequest {
  int base = 10;
  int bits = 8;
  // "unpacked", "ascii" or "packed"; sent as DigitForm unless unpacked.
  std::string form = "unpacked";
  bool little_endian = false;
  Core core = Core::kMidrange;
};

// "base 10 ascii, 16 bits, big-endian" (", enhanced core" added for that core).
std::string describe(const DigitsSweepRequest& request);

// The digits of 2^bits - 1 in the base, counted here.
int expected_digit_count(int base, int bits);

// The whole block as the program writes it, or the numbered error it refuses the request with
// (in `refusal`, 0 when there is a block).
std::string generate_digits_block(const DigitsSweepRequest& request, int& refusal,
                                  const std::string& acc_name = "ACC",
                                  const std::string& temp_name = "TEMP");

// The forms a base allows: unpacked, ascii up to base 10, packed for base 10.
std::vector<std::string> forms_of_base(int base);

// Every request of the bases for the widths given, every form each allows, both byte orders.
std::vector<DigitsSweepRequest> digits_requests(const std::vector<int>& bases,
                                                const std::vector<int>& widths,
                                                Core core = Core::kMidrange);

// Generates and checks every request (as run_exact_sweep does): every input up to
// `exhaustive_bits` bits, edges and `random_count` random ones above; a refusal is a failure.
ExactOutcome run_digits_sweep(const std::vector<DigitsSweepRequest>& requests, int exhaustive_bits,
                              int random_count, uint64_t seed);

}  // namespace tarvek

#endif  // TARVEK_TESTS_DIGITS_DIGITS_SWEEP_H

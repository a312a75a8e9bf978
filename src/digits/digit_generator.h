// The digits mode's entry point: from a validated request to the generated block (comment
// block, declarations, instructions), through the search for the cheapest proven plan.
#ifndef TARVEK_DIGITS_DIGIT_GENERATOR_H
#define TARVEK_DIGITS_DIGIT_GENERATOR_H

#include <optional>
#include <ostream>
#include <string>

#include "codegen/finished_routine.h"
#include "codegen/generator.h"
#include "codegen/register.h"

namespace tarvek {

// Numbered error of a request for which no plan could be proven (the exact modes' own).
inline constexpr int kUnprovenDigitsError = 11;

// Writes the block for request (the digits mode) with `acc` as the input register (width =
// input bits; its name and byte order are used) and `temp`'s name, and returns 0; or writes
// nothing and returns kUnprovenDigitsError. Inputs up to `exhaustive_bits` bits are evaluated
// one by one in the proof as well.
// Requires: request.digits, a base and form validation allows.
int generate_digits(std::ostream& out, const GeneratorRequest& request, const Register& acc,
                    const Register& temp, int exhaustive_bits);

// The same routine finished for any packaging: its comment, the digits' bytes then the
// temporary ones, its instructions; nullopt where generate_digits refuses.
std::optional<FinishedRoutine> finish_digits(const GeneratorRequest& request, const Register& acc,
                                             const Register& temp, int exhaustive_bits);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_DIGIT_GENERATOR_H

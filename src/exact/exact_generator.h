// The exact modes' entry point: from a validated request to the generated block (comment
// block, declarations, instructions), through the search for the cheapest proven routine.
#ifndef TARVEK_EXACT_EXACT_GENERATOR_H
#define TARVEK_EXACT_EXACT_GENERATOR_H

#include <ostream>
#include <string>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "exact/search.h"

namespace tarvek {

// The whole block of a routine the search found: the comment block, the declarations and the
// instructions, as the page prints it; `opening` stands for the "\n\n\tcblock\n" that opens
// the declarations (generator.h's cblock_opening).
std::string exact_block(const ExactSpec& spec, const SpecResult& found, const RoutineNames& names,
                        const std::string& opening = "\n\n\tcblock\n");

// Numbered error of a request for which no routine could be proven.
inline constexpr int kUnprovenError = 11;

// Writes the block for request (an exact mode, signed or not) with `acc` as the input register
// (width = input bits; its name and byte order are used) and `temp`'s name, and returns 0; or
// writes nothing and returns kUnprovenError.
// Requires: request.mode is exact; numerator and denominator >= 1; the result is not always 0.
int generate_exact(std::ostream& out, const GeneratorRequest& request, const Register& acc,
                   const Register& temp, const SearchEffort& effort = SearchEffort{});

}  // namespace tarvek

#endif  // TARVEK_EXACT_EXACT_GENERATOR_H

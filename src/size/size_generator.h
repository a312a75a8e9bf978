// The entry point of routines written for size (Optimize=size, the exact modes): from a
// validated request to the generated block, through the search for the fewest program words
// (size_search.h). When the straight-line routine is the smallest, the block is the one a
// request for speed gets, byte for byte.
//
// A routine with loops has labels, each the request's label prefix followed by a word. The
// prefix a request leaves empty is made from the accumulator's name and the request
// (default_label_prefix), so that routines for other requests, with the same register names
// or others, can be included in one source file without a clash.
#ifndef TARVEK_SIZE_SIZE_GENERATOR_H
#define TARVEK_SIZE_SIZE_GENERATOR_H

#include <ostream>
#include <string>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "exact/search.h"
#include "exact/signed_form.h"
#include "size/size_search.h"

namespace tarvek {

// "acc_div10_f16_" for floor(x / 10) of a 16-bit input in register ACC: the accumulator's
// name in lower case (characters other than letters, digits and '_' as '_'), the constant
// ("x3", "div10", "x5000div1023"), the rounding's letter (f, n, t), the input's bits and an
// "s" for a signed input. Longer than kMaxLabelPrefix, the name is shortened when four of its
// characters or more can stay; otherwise the constant is replaced by a hash of it ("k" and
// eight hexadecimal digits) and the name shortened as far as it then must be.
std::string default_label_prefix(const std::string& acc_name, const ExactSpec& spec);

// The whole block of a routine the search found: the comment block, the declarations and the
// instructions, as the page prints it (for the straight-line routine, the block for speed);
// `opening` as exact_block takes it.
std::string size_block(const ExactSpec& spec, const SizeResult& found, const RoutineNames& names,
                       const std::string& opening = "\n\n\tcblock\n");

// Writes the block for `request` (an exact mode, optimize kSize) with `acc` as the input
// register (width = input bits; its name and byte order are used) and `temp`'s name, and
// returns 0; or writes nothing and returns the numbered error of exact/exact_generator.h.
int generate_size(std::ostream& out, const GeneratorRequest& request, const Register& acc,
                  const Register& temp, const SearchEffort& effort = SearchEffort{});

}  // namespace tarvek

#endif  // TARVEK_SIZE_SIZE_GENERATOR_H

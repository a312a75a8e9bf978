// The comment block of a digits routine: what it computes (the digits of the input, their
// base, form and places), how (the plan's parts, groups and column sums), why it is right
// (how the proof covered the inputs) and what it costs, then the Input and Output lines, and
// for the enhanced core the line that names it.
#ifndef TARVEK_DIGITS_DIGIT_COMMENT_BLOCK_H
#define TARVEK_DIGITS_DIGIT_COMMENT_BLOCK_H

#include <string>

#include "digits/digit_search.h"

namespace tarvek {

// Everything up to and including the Output line (and the core's line after it for a routine
// of the enhanced core), without a line break after it.
std::string digit_comment_block(const DigitSpec& spec, const DigitSearchResult& found,
                                const DigitNames& names);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_DIGIT_COMMENT_BLOCK_H

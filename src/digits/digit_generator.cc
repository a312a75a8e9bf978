#include "digits/digit_generator.h"

#include <algorithm>
#include <cassert>

#include "digits/digit_comment_block.h"
#include "digits/digit_search.h"

namespace tarvek {
namespace {

std::string byte_lines(const std::string& name, int count) {
  std::string lines;
  for (int k = 0; k < count; ++k) lines += "\t" + name + std::to_string(k) + "\n";
  return lines;
}

}  // namespace

int generate_digits(std::ostream& out, const GeneratorRequest& request, const Register& acc,
                    const Register& temp, int exhaustive_bits) {
  assert(request.digits);
  const DigitSpec spec =
      make_digit_spec(request.digit_base, acc.width, request.digit_form, acc.little_endian);
  const DigitNames names{acc.name, temp.name, request.core};
  const std::optional<DigitSearchResult> found = find_cheapest_digits(spec, names, exhaustive_bits);
  if (!found) return kUnprovenDigitsError;
  const int acc_bytes = std::max(output_byte_count(spec), (spec.input_bits + 7) / 8);
  const std::string block = digit_comment_block(spec, *found, names) + cblock_opening(request) +
                            byte_lines(names.acc, acc_bytes) +
                            byte_lines(names.temp, found->routine.temp_bytes) + "\tendc\n\n" +
                            found->routine.code.text() + "\n";
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  return 0;
}

}  // namespace tarvek

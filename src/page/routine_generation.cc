#include "page/routine_generation.h"

#include <optional>
#include <sstream>
#include <string>

#include "codegen/instruction_set.h"
#include "codegen/routine_packaging.h"
#include "digits/digit_generator.h"
#include "exact/exact_generator.h"
#include "multiply/product_search.h"
#include "page/packaged_reading.h"
#include "page/packaging_request.h"
#include "page/printed_check.h"
#include "page/register_placement.h"
#include "sim/pic_program.h"
#include "size/size_generator.h"

namespace tarvek {
namespace {

// Numbered error of a request whose register names print some byte twice.
constexpr int kTempNameError = 4;

}  // namespace

int print_checked(std::ostream& out, const PrintedRoutine& routine, int exhaustive_bits) {
  return print_checked_as(out, routine, routine.block, exhaustive_bits);
}

int print_checked_as(std::ostream& out, const PrintedRoutine& routine, std::string_view text,
                     int exhaustive_bits) {
  switch (check_printed_routine(routine, exhaustive_bits)) {
    case PrintedCheck::kHolds:
      out << text;
      return 0;
    case PrintedCheck::kNamesClash:
      return kTempNameError;
    case PrintedCheck::kFails:
      break;
  }
  return kUnprovenError;
}

namespace {

// The text of the routine for the request, unchecked; or the numbered error the generator
// refused it with.
int generate_text(std::string& text, const GeneratorRequest& request, Register& acc,
                  Register& temp) {
  std::optional<FinishedRoutine> routine;
  if (request.digits) {
    routine = finish_digits(request, acc, temp, search_effort(request.effort).exhaustive_bits);
    if (!routine) return kUnprovenDigitsError;
  } else if (request.mode == ResultMode::kApprox) {
    routine = finish_approximation(request, acc, temp);
  } else {
    SearchEffort effort = search_effort(request.effort);
    // A core with the multiplier weighs its routines against the walks of shifts and adds.
    if (instruction_set(request.core).has_multiplier()) effort.other = product_search_result;
    // The loops written for size leave no remainder: a request for one gets the straight-line
    // routine, which the size search keeps as a candidate anyway, so it is never more words
    // than the smallest routine that leaves the remainder.
    const bool size = request.optimize == Optimize::kSize && request.remainder.empty();
    routine =
        size ? finish_size(request, acc, temp, effort) : finish_exact(request, acc, temp, effort);
    if (!routine) return kUnprovenError;
  }
  // Only now is it known how far the registers reach from the address.
  const int end = request.ram_address + static_cast<int>(routine->registers.size());
  if (request.packaging.syntax == Syntax::kPicAs && request.ram_address >= 0 &&
      end > kPicAsRamEnd) {
    return kPicAsRamError;
  }
  if (request.core == Core::kPic18 && request.ram_address >= 0 && end > kAccessRamEnd) {
    return kAccessBankError;
  }
  text = printed_routine(*routine, request);
  return 0;
}

// Generates and checks the routine with the registers as given: what the text declares and
// the instructions as they stand in it, read back from the text itself.
int generate_checked(std::ostream& out, const GeneratorRequest& request, Register& acc,
                     Register& temp) {
  // Taken before the generators change the registers.
  PrintedRoutine printed{
      {}, acc.name, temp.name, acc.little_endian, acc.width, request.output_bits, request.core};
  printed.rem_name = request.remainder;
  std::string text;
  if (const int refused = generate_text(text, request, acc, temp); refused != 0) return refused;
  const std::optional<std::string> block = checkable_block(text, request.packaging);
  if (!block) return kUnprovenError;
  printed.block = *block;
  return print_checked_as(out, printed, text, request.checked_bits);
}

}  // namespace

int generate_routine(std::ostream& out, const GeneratorRequest& request, Register& acc,
                     Register& temp) {
  if (is_name_token(acc.name) && is_name_token(temp.name) &&
      (request.remainder.empty() || is_name_token(request.remainder))) {
    return generate_checked(out, request, acc, temp);
  }
  // A name with a blank, a comma, a control character or a byte beyond ASCII makes a text
  // that no assembler, ours included, reads as the routine; it is printed as asked. What the
  // instructions compute does not depend on the names, so the routine is checked as it
  // prints with two plain names instead.
  Register stand_in_acc("ACC", acc.width, acc.little_endian);
  Register stand_in_temp("TEMP", 0, temp.little_endian);
  GeneratorRequest stand_in = request;
  if (!stand_in.remainder.empty()) stand_in.remainder = "REM";
  std::ostringstream checked;
  if (const int refused = generate_checked(checked, stand_in, stand_in_acc, stand_in_temp);
      refused != 0) {
    return refused;
  }
  std::string text;
  if (const int refused = generate_text(text, request, acc, temp); refused != 0) return refused;
  out << text;
  return 0;
}

}  // namespace tarvek

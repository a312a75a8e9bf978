#include "page/routine_generation.h"

#include <sstream>
#include <string>

#include "digits/digit_generator.h"
#include "exact/exact_generator.h"
#include "page/printed_check.h"
#include "sim/pic_program.h"
#include "size/size_generator.h"

namespace tarvek {
namespace {

// Numbered error of a request whose register names print some byte twice.
constexpr int kTempNameError = 4;

}  // namespace

int print_checked(std::ostream& out, const PrintedRoutine& routine, int exhaustive_bits) {
  switch (check_printed_routine(routine, exhaustive_bits)) {
    case PrintedCheck::kHolds:
      out << routine.block;
      return 0;
    case PrintedCheck::kNamesClash:
      return kTempNameError;
    case PrintedCheck::kFails:
      break;
  }
  return kUnprovenError;
}

namespace {

// The generated block for the request, unchecked; or the numbered error the generator refused
// it with.
int generate_block(std::ostream& out, const GeneratorRequest& request, Register& acc,
                   Register& temp) {
  if (request.digits) {
    return generate_digits(out, request, acc, temp, search_effort(request.effort).exhaustive_bits);
  }
  if (request.mode == ResultMode::kApprox) {
    generate_code(out, request, acc, temp);
    return 0;
  }
  // The loops written for size leave no remainder: a request for one gets the straight-line
  // routine, which the size search keeps as a candidate anyway, so it is never more words
  // than the smallest routine that leaves the remainder. The digits came first, whatever the
  // request's Optimize.
  if (request.optimize == Optimize::kSize && request.remainder.empty()) {
    return generate_size(out, request, acc, temp, search_effort(request.effort));
  }
  return generate_exact(out, request, acc, temp, search_effort(request.effort));
}

// Generates and checks the routine with the registers as given.
int generate_checked(std::ostream& out, const GeneratorRequest& request, Register& acc,
                     Register& temp) {
  // Taken before the generators change the registers.
  PrintedRoutine printed{
      {}, acc.name, temp.name, acc.little_endian, acc.width, request.output_bits, request.core};
  printed.rem_name = request.remainder;
  std::ostringstream block;
  if (const int refused = generate_block(block, request, acc, temp); refused != 0) return refused;
  const std::string text = block.str();
  printed.block = text;
  return print_checked(out, printed, request.checked_bits);
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
  return generate_block(out, request, acc, temp);
}

}  // namespace tarvek

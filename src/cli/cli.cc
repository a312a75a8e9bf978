#include "cli/cli.h"

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include "cli/cli_request.h"
#include "cli/command_line.h"
#include "cli/verify.h"
#include "codegen/register.h"
#include "page/approximation_review.h"
#include "page/error_message.h"
#include "page/packaged_reading.h"

namespace tarvek {
namespace {

// Six significant digits, as a person reads a percentage.
std::string percent_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace

std::string error_exceeded_warning(const ApproximationReview& review, int input_bits) {
  // Appended piece by piece: GCC 12 takes a chain of + on std::string for an overlapping copy
  // (a false -Wrestrict).
  std::string text = "tarvek-asm: warning: the approximation's error, ";
  text += percent_text(review.error);
  text += " %, exceeds the allowed ";
  text += percent_text(review.allowed_error);
  text += " %: a ";
  text += std::to_string(input_bits);
  text += "-bit input is too narrow for the terms that would meet it (exit status 3)\n";
  return text;
}

int run_cli(const std::vector<std::string_view>& args, std::ostream& out, std::ostream& err,
            const CodeGenerator& generate) {
  const CommandLine command_line = parse_command_line(args);
  if (!command_line.options) {
    err << "tarvek-asm: " << command_line.usage_error << "\n" << usage_text();
    return kExitUsage;
  }
  const CliOptions& options = *command_line.options;
  if (options.action == CliAction::kHelp) {
    out << help_text();
    return kExitOk;
  }
  if (options.action == CliAction::kVersion) {
    out << version_text();
    return kExitOk;
  }

  if (const std::string problem = value_problem(options); !problem.empty()) {
    err << "tarvek-asm: " << problem << "\n" << usage_text();
    return kExitUsage;
  }

  const CliRequest request = make_cli_request(options);
  const int checked_error = request.checked.error_code;
  if (checked_error != 0) {
    err << refusal_text(checked_error, refusal_detail(checked_error, request.fields));
    return kExitRefused;
  }
  // The registers exactly as the CGI program builds them for the same fields.
  Register acc(request.fields.acc_name, request.checked.input_bits, request.fields.little_endian);
  Register temp(request.fields.temp_name, 0, request.fields.little_endian);
  std::ostringstream block;
  GeneratorRequest generated_request = request.checked.request;
  if (options.effort_text) generated_request.effort = (*options.effort_text)[0] - '0';
  // A build runs the generator once: it can afford to run every input up to 16 bits before
  // the routine is printed.
  generated_request.checked_bits = 16;
  std::optional<ApproximationReview> review;
  if (generated_request.mode == ResultMode::kApprox) {
    review =
        review_approximation(request.exact_fields, request.checked, generated_request.checked_bits);
    generated_request.notes = approximation_notes(*review) + generated_request.notes;
  }
  const int refused = generate(block, generated_request, acc, temp);
  if (refused != 0) {
    err << refusal_text(refused, refusal_detail(refused, request.fields));
    return kExitRefused;
  }
  const std::string text = block.str();
  out << text;
  // What a build script tells from the exit status and a person from the error stream; the
  // routine itself carries the WARNING in its comment block.
  const bool exceeded = review && review->exceeds_allowed_error;
  if (exceeded) err << error_exceeded_warning(*review, request.checked.input_bits);
  const int written = exceeded ? kExitErrorExceeded : kExitOk;
  if (!options.verify) return written;

  // The instructions as printed, read back from whatever packaging holds them.
  const std::optional<std::string> readable =
      checkable_block(text, request.checked.request.packaging);
  const RoutineUnderCheck routine{readable ? std::string_view(*readable) : std::string_view(text),
                                  request.fields.acc_name,
                                  request.fields.temp_name,
                                  request.fields.little_endian,
                                  request.checked.input_bits,
                                  request.checked.request.output_bits,
                                  pic_core_of(request.checked.request.core),
                                  request.checked.request.remainder};
  const GeneratorRequest& generated = request.checked.request;
  VerifyTarget target{ExactTarget::times(generated.const_value),
                      "input * " + shortest_decimal(generated.const_value)};
  if (generated.mode != ResultMode::kApprox) {
    // The exact product the routine rounds, from the constant as read exactly.
    target = VerifyTarget{ExactTarget::fraction(generated.numerator, generated.denominator),
                          "input * " + std::to_string(generated.numerator) + "/" +
                              std::to_string(generated.denominator),
                          generated.is_signed};
  } else if (request.divisor != 0 && !generated.digits) {
    target = VerifyTarget{ExactTarget::divided_by(request.divisor),
                          "input / " + shortest_decimal(request.divisor)};
  }
  target.digits = generated.digits;
  const VerifyOutcome outcome = verify_routine(routine, target);
  out << outcome.comment;
  return outcome.passed ? written : kExitMismatch;
}

}  // namespace tarvek

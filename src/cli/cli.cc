#include "cli/cli.h"

#include <sstream>
#include <string>

#include "cli/cli_request.h"
#include "cli/command_line.h"
#include "cli/verify.h"
#include "codegen/register.h"
#include "page/error_message.h"

namespace tarvek {

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

  const CliRequest request = make_cli_request(options);
  if (request.checked.error_code != 0) {
    err << refusal_text(request.checked.error_code);
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
  const int refused = generate(block, generated_request, acc, temp);
  if (refused != 0) {
    err << refusal_text(refused);
    return kExitRefused;
  }
  const std::string text = block.str();
  out << text;
  if (!options.verify) return kExitOk;

  const RoutineUnderCheck routine{text,
                                  request.fields.acc_name,
                                  request.fields.temp_name,
                                  request.fields.little_endian,
                                  request.checked.input_bits,
                                  request.checked.request.output_bits,
                                  pic_core_of(request.checked.request.core)};
  const GeneratorRequest& generated = request.checked.request;
  VerifyTarget target{ExactTarget::times(generated.const_value),
                      "input * " + shortest_decimal(generated.const_value)};
  if (generated.mode != ResultMode::kApprox) {
    // The exact product the routine rounds, from the constant as read exactly.
    target = VerifyTarget{ExactTarget::fraction(generated.numerator, generated.denominator),
                          "input * " + std::to_string(generated.numerator) + "/" +
                              std::to_string(generated.denominator),
                          generated.is_signed};
  } else if (request.divisor != 0) {
    target = VerifyTarget{ExactTarget::divided_by(request.divisor),
                          "input / " + shortest_decimal(request.divisor)};
  }
  const VerifyOutcome outcome = verify_routine(routine, target);
  out << outcome.comment;
  return outcome.passed ? kExitOk : kExitMismatch;
}

}  // namespace tarvek

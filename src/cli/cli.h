// One run of tarvek-asm: reads the command line, checks the request as the web form's
// checks do, and writes the generated text, plain, followed by the verification's comment
// lines when asked for.
//
// Exit statuses: kExitOk, kExitMismatch (only with --verify), kExitRefused (the numbered
// message of the web form goes to the error stream), kExitErrorExceeded (the routine is
// written, but its approximation's error is above the allowed one; a warning goes to the
// error stream), kExitUsage (a short usage text goes to the error stream). Nothing is written
// to `out` unless the request is valid.
#ifndef TARVEK_CLI_CLI_H
#define TARVEK_CLI_CLI_H

#include <ostream>
#include <string_view>
#include <vector>

#include "page/approximation_review.h"
#include "page/driver.h"

namespace tarvek {

inline constexpr int kExitOk = 0;
inline constexpr int kExitMismatch = 1;
inline constexpr int kExitRefused = 2;
// The approximation's error exceeds the allowed one: the input is too narrow for the terms
// that would meet it, and the routine's comment block carries a WARNING. A build script must
// not take such a routine for the one it asked for.
inline constexpr int kExitErrorExceeded = 3;
// As sysexits.h's EX_USAGE.
inline constexpr int kExitUsage = 64;
// Set by the program's entry, not by run_cli: the output could not be written (EX_IOERR),
// or the run failed unexpectedly, e.g. out of memory (EX_SOFTWARE).
inline constexpr int kExitOutputFailed = 74;
inline constexpr int kExitInternal = 70;

// Runs the tool with `args` (the arguments after the program name) and returns the exit
// status. `generate` writes the generated block: generate_routine in the program; a test may
// hand in one that spoils the routine, to see the verification fail.
int run_cli(const std::vector<std::string_view>& args, std::ostream& out, std::ostream& err,
            const CodeGenerator& generate = generate_routine);

// The line on the error stream when the approximation's error exceeds the allowed one.
std::string error_exceeded_warning(const ApproximationReview& review, int input_bits);

}  // namespace tarvek

#endif  // TARVEK_CLI_CLI_H

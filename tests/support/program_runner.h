// Runs a built program as a web server or a shell would: with exactly the given arguments,
// environment and standard input, and its standard output, standard error and exit status
// collected.
//
// Input and output go through files in a private temporary folder, so no amount of either can
// block the run; a program that runs longer than the time limit is killed by SIGALRM.
#ifndef TARVEK_TESTS_SUPPORT_PROGRAM_RUNNER_H
#define TARVEK_TESTS_SUPPORT_PROGRAM_RUNNER_H

#include <optional>
#include <string>
#include <vector>

namespace tarvek {

struct ProgramRun {
  std::string out;
  std::string err;
  // The exit status when the program exited; -1 when it was ended by a signal.
  int status = -1;
  // The signal that ended the program, or 0.
  int signal = 0;
};

struct ProgramLimits {
  // Seconds before the program is killed.
  unsigned seconds = 20;
  // Address-space limit in bytes, when set.
  std::optional<unsigned long> memory_bytes;
};

struct ProgramCall {
  // The arguments after the program name.
  std::vector<std::string> arguments;
  // "NAME=value" texts: the program's whole environment.
  std::vector<std::string> environment;
  std::string input;
  // When set, standard output goes to this file (e.g. /dev/full) and `out` stays empty.
  std::optional<std::string> output_path;
  ProgramLimits limits;
};

ProgramRun run_program(const std::string& path, const ProgramCall& call);

// Runs `path` without arguments, as a web server runs a CGI program.
inline ProgramRun run_program(const std::string& path, const std::vector<std::string>& environment,
                              const std::string& input, const ProgramLimits& limits = {}) {
  return run_program(path, ProgramCall{{}, environment, input, std::nullopt, limits});
}

}  // namespace tarvek

#endif  // TARVEK_TESTS_SUPPORT_PROGRAM_RUNNER_H

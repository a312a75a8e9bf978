// Runs a built program with arguments and an environment of the caller's choosing, and
// collects its standard output, standard error and exit status.
//
// Output goes through files in a private temporary folder, so no amount of it can block
// the run; a program that runs past the time limit is ended by SIGALRM.
#ifndef TARVEK_TESTS_CLI_COMMAND_RUNNER_H
#define TARVEK_TESTS_CLI_COMMAND_RUNNER_H

#include <optional>
#include <string>
#include <vector>

namespace tarvek {

struct CommandRun {
  std::string out;
  std::string err;
  // The exit status when the program exited; -1 when a signal ended it.
  int status = -1;
};

struct CommandSetup {
  // "NAME=value" texts: the program's whole environment.
  std::vector<std::string> environment;
  // When set, standard output goes to this file (e.g. /dev/full) and `out` stays empty.
  std::optional<std::string> output_path;
  unsigned seconds = 60;
};

// Runs `path` with `args` (after the program name) and an empty standard input.
CommandRun run_command(const std::string& path, const std::vector<std::string>& args,
                       const CommandSetup& setup = {});

}  // namespace tarvek

#endif  // TARVEK_TESTS_CLI_COMMAND_RUNNER_H

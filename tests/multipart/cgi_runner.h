// Runs a CGI program once: exactly the given environment, the given standard input, and its
// standard output, standard error and exit status collected.
//
// Input and output go through files in a private temporary folder, so neither can block the
// run; a program still running after the time limit is ended by SIGALRM.
#ifndef TARVEK_TESTS_MULTIPART_CGI_RUNNER_H
#define TARVEK_TESTS_MULTIPART_CGI_RUNNER_H

#include <string>
#include <vector>

namespace tarvek {

struct CgiRun {
  std::string out;
  std::string err;
  // The exit status, or -1 when the program did not exit normally (a signal ended it).
  int status = -1;
};

// Runs `program` without arguments; `environment` holds "NAME=value" texts.
CgiRun run_cgi(const std::string& program, const std::vector<std::string>& environment,
               const std::string& input, unsigned seconds = 20);

}  // namespace tarvek

#endif  // TARVEK_TESTS_MULTIPART_CGI_RUNNER_H

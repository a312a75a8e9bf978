#include "program_runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarvek {
namespace {

TEST(ProgramRunnerTest, ArgumentsEnvironmentAndStatus) {
  ProgramCall call;
  call.arguments = {"-c", "echo \"$1 $X\"; echo err >&2; exit 3", "sh", "one"};
  call.environment = {"X=two"};
  const ProgramRun run = run_program("/bin/sh", call);
  EXPECT_EQ(run.out, "one two\n");
  EXPECT_EQ(run.err, "err\n");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.signal, 0);
}

TEST(ProgramRunnerTest, TheWholeEnvironmentIsTheGivenOne) {
  const ProgramRun run = run_program("/usr/bin/env", {"A=1"}, "");
  EXPECT_EQ(run.out, "A=1\n");
  EXPECT_EQ(run.status, 0);
}

TEST(ProgramRunnerTest, StandardInput) {
  const std::string input(200000, 'x');  // more than a pipe holds
  const ProgramRun run = run_program("/bin/cat", {}, input);
  EXPECT_EQ(run.out, input);
  EXPECT_EQ(run.status, 0);
}

TEST(ProgramRunnerTest, OutputToAFile) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tarvek-runner-test-" + std::to_string(getpid()));
  ProgramCall call;
  call.arguments = {"-c", "echo into the file"};
  call.output_path = path.string();
  const ProgramRun run = run_program("/bin/sh", call);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 0);
  std::ostringstream written;
  written << std::ifstream(path).rdbuf();
  EXPECT_EQ(written.str(), "into the file\n");
  std::filesystem::remove(path);
}

TEST(ProgramRunnerTest, AHangingProgramIsEndedByTheAlarm) {
  ProgramCall call;
  call.arguments = {"-c", "while :; do :; done"};
  call.limits.seconds = 1;
  const ProgramRun run = run_program("/bin/sh", call);
  EXPECT_EQ(run.signal, SIGALRM);
  EXPECT_EQ(run.status, -1);
}

TEST(ProgramRunnerTest, AMissingProgram) {
  const ProgramRun run = run_program("/nonexistent/program", {}, "");
  EXPECT_EQ(run.status, 127);
}

}  // namespace
}  // namespace tarvek

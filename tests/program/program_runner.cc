#include "program_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarvek {
namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A folder of its own under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvek-run-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

ProgramRun run_program(const std::string& path, const std::vector<std::string>& environment,
                       const std::string& input, const ProgramLimits& limits) {
  const TemporaryFolder folder;
  const std::filesystem::path in_path = folder.path() / "in";
  const std::filesystem::path out_path = folder.path() / "out";
  const std::filesystem::path err_path = folder.path() / "err";
  std::ofstream(in_path, std::ios::binary) << input;

  // Everything the child needs is prepared before the fork.
  std::vector<char*> envp;
  std::vector<std::string> env_copy = environment;
  for (std::string& entry : env_copy) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = path;
  char* argv[] = {program.data(), nullptr};
  const int in_fd = open(in_path.c_str(), O_RDONLY);
  const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in_fd < 0 || out_fd < 0 || err_fd < 0) throw std::runtime_error("cannot open run files");

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (limits.memory_bytes) {
      const rlimit limit{*limits.memory_bytes, *limits.memory_bytes};
      setrlimit(RLIMIT_AS, &limit);
    }
    // A pending alarm survives exec and ends a program that hangs.
    alarm(limits.seconds);
    execve(argv[0], argv, envp.data());
    _exit(127);
  }
  close(in_fd);
  close(out_fd);
  close(err_fd);
  int wait_status = 0;
  while (waitpid(child, &wait_status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }

  ProgramRun run;
  run.out = read_file(out_path);
  run.err = read_file(err_path);
  if (WIFEXITED(wait_status)) run.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) run.signal = WTERMSIG(wait_status);
  return run;
}

}  // namespace tarvek

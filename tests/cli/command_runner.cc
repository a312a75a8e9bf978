#include "command_runner.h"

#include <fcntl.h>
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
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvek-cli-XXXXXX").string();
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

CommandRun run_command(const std::string& path, const std::vector<std::string>& args,
                       const CommandSetup& setup) {
  const TemporaryFolder folder;
  const std::filesystem::path out_path =
      setup.output_path ? std::filesystem::path(*setup.output_path) : folder.path() / "out";
  const std::filesystem::path err_path = folder.path() / "err";

  // Everything the child needs is prepared before the fork.
  std::vector<std::string> env_copy = setup.environment;
  std::vector<char*> envp;
  for (std::string& entry : env_copy) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> arg_copy = args;
  std::string program = path;
  std::vector<char*> argv{program.data()};
  for (std::string& arg : arg_copy) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int in_fd = open("/dev/null", O_RDONLY);
  const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in_fd < 0 || out_fd < 0 || err_fd < 0) throw std::runtime_error("cannot open run files");

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    // A pending alarm survives exec and ends a program that hangs.
    alarm(setup.seconds);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in_fd);
  close(out_fd);
  close(err_fd);
  int wait_status = 0;
  while (waitpid(child, &wait_status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }

  CommandRun run;
  if (!setup.output_path) run.out = read_file(out_path);
  run.err = read_file(err_path);
  if (WIFEXITED(wait_status)) run.status = WEXITSTATUS(wait_status);
  return run;
}

}  // namespace tarvek

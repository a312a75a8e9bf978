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

// Close-on-exec, so only the duplicates on 0, 1 and 2 reach the program.
int open_or_throw(const std::filesystem::path& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  return fd;
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

// Texts as the NULL-ended array of pointers execve takes; `texts` must outlive the result.
std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

ProgramRun run_program(const std::string& path, const ProgramCall& call) {
  const TemporaryFolder folder;
  const std::filesystem::path in_path = folder.path() / "in";
  const std::filesystem::path out_path =
      call.output_path ? std::filesystem::path(*call.output_path) : folder.path() / "out";
  const std::filesystem::path err_path = folder.path() / "err";
  std::ofstream(in_path, std::ios::binary) << call.input;

  // Everything the child needs is prepared before the fork.
  std::vector<std::string> env_texts = call.environment;
  const std::vector<char*> envp = pointers(env_texts);
  std::vector<std::string> arg_texts{path};
  arg_texts.insert(arg_texts.end(), call.arguments.begin(), call.arguments.end());
  const std::vector<char*> argv = pointers(arg_texts);
  const int in_fd = open_or_throw(in_path, O_RDONLY);
  const int out_fd = open_or_throw(out_path, O_WRONLY | O_CREAT | O_TRUNC);
  const int err_fd = open_or_throw(err_path, O_WRONLY | O_CREAT | O_TRUNC);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    if (call.limits.memory_bytes) {
      const rlimit limit{*call.limits.memory_bytes, *call.limits.memory_bytes};
      setrlimit(RLIMIT_AS, &limit);
    }
    // A pending alarm survives exec and ends a program that hangs.
    alarm(call.limits.seconds);
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

  ProgramRun run;
  if (!call.output_path) run.out = read_file(out_path);
  run.err = read_file(err_path);
  if (WIFEXITED(wait_status)) run.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) run.signal = WTERMSIG(wait_status);
  return run;
}

}  // namespace tarvek

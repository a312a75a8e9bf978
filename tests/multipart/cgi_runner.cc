#include "cgi_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tarvek {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int open_or_throw(const fs::path& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  return fd;
}

}  // namespace

CgiRun run_cgi(const std::string& program, const std::vector<std::string>& environment,
               const std::string& input, unsigned seconds) {
  std::string pattern = (fs::temp_directory_path() / "tarvek-cgi-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  const fs::path folder = pattern;
  std::ofstream(folder / "in", std::ios::binary) << input;

  // Everything the child uses is made before the fork.
  std::vector<std::string> env_texts = environment;
  std::vector<char*> envp;
  for (std::string& text : env_texts) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  const int in_fd = open_or_throw(folder / "in", O_RDONLY);
  const int out_fd = open_or_throw(folder / "out", O_WRONLY | O_CREAT | O_TRUNC);
  const int err_fd = open_or_throw(folder / "err", O_WRONLY | O_CREAT | O_TRUNC);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    // The alarm outlives exec and ends a program that hangs.
    alarm(seconds);
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

  CgiRun run;
  run.out = read_file(folder / "out");
  run.err = read_file(folder / "err");
  if (WIFEXITED(wait_status)) run.status = WEXITSTATUS(wait_status);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return run;
}

}  // namespace tarvek

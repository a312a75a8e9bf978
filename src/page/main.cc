// The CGI program: wires the real environment, the standard streams and the clock into one
// run of the request driver.
#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>
#include <new>
#include <optional>
#include <string>

#include "page/driver.h"

namespace {

std::optional<std::string> process_environment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace

int main() {
  try {
    // The streams stay synchronised with C stdio: unsynchronised ones allocate buffers of
    // their own, which costs more at start-up than it saves on one page.
    const std::time_t now = std::time(nullptr);
    const tarvek::RequestSource source{process_environment, std::cin, std::cerr, "/tmp"};
    const std::optional<tarvek::RequestStop> stop = tarvek::run_request(source, std::cout, now);
    std::cout.flush();
    if (stop) {
      std::cerr << stop->message;
      return 1;
    }
    return 0;
  } catch (const std::bad_alloc&) {
    // Out of memory anywhere: end with the documented status, never an abort.
    return 1;
  } catch (const std::exception&) {
    // Any other failure of the standard library ends the run the same way.
    return 1;
  }
}

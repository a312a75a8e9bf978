// tarvek-asm: the code generator of the web form as a command-line tool, for build scripts
// and terminals. Wires the arguments and the standard streams into one run of the tool.
#include <exception>
#include <iostream>
#include <new>
#include <string_view>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  try {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = tarvek::run_cli(args, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout) {
      std::cerr << "tarvek-asm: cannot write the output\n";
      return tarvek::kExitOutputFailed;
    }
    return status;
  } catch (const std::bad_alloc&) {
    std::cerr << "tarvek-asm: out of memory\n";
    return tarvek::kExitInternal;
  } catch (const std::exception& e) {
    std::cerr << "tarvek-asm: " << e.what() << "\n";
    return tarvek::kExitInternal;
  }
}

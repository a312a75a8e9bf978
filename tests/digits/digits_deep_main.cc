// The digits mode's deep run, for scripts/verify-digits-deep: the sweep of digits_sweep.h over
// bases, every form each allows and both byte orders, with inputs exhaustive to a far greater
// width than the test suite's.
//
// Options (all optional): --exhaustive-bits N (default 24), --random-inputs N (above that
// width, besides the edges; default 1000), --widths A-B (default 1-32), --bases LIST (comma
// separated; default 2,3,7,10,16,60,100,256), --seed N, --shard I/N (every N-th request from the
// I-th), --core midrange|enhanced|baseline|both|all (default midrange; both is the two
// mid-range cores).
//
// Prints one line per width (requests, runs, failures, instructions, seconds), a summary line,
// and every failure; exit status 0 when every routine kept its promise, 1 otherwise, 64 on a
// usage error.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "digits_sweep.h"
#include "routine_runner.h"

namespace {

bool read_number(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return end != text.c_str() && *end == '\0' && value >= 0;
}

// "A/B" or "A-B" as two numbers.
bool read_pair(const std::string& text, char separator, long& first, long& second) {
  const std::size_t at = text.find(separator);
  return at != std::string::npos && read_number(text.substr(0, at), first) &&
         read_number(text.substr(at + 1), second);
}

// "2,10,60": bases from 2 to 256.
bool read_bases(const std::string& text, std::vector<int>& bases) {
  bases.clear();
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    long base = 0;
    if (!read_number(item, base) || base < 2 || base > 256) return false;
    bases.push_back(static_cast<int>(base));
  }
  return !bases.empty();
}

}  // namespace

int main(int argc, char** argv) {
  long exhaustive_bits = 24;
  long random_inputs = 1000;
  long lowest = 1;
  long highest = 32;
  long seed = 1;
  long shard = 0;
  long shard_count = 1;
  std::vector<int> bases = {2, 3, 7, 10, 16, 60, 100, 256};
  std::vector<tarvek::Core> cores = {tarvek::Core::kMidrange};
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    bool ok = i + 1 < argc;
    if (ok) {
      const std::string value = argv[++i];
      if (option == "--exhaustive-bits") {
        ok = read_number(value, exhaustive_bits);
      } else if (option == "--random-inputs") {
        ok = read_number(value, random_inputs);
      } else if (option == "--widths") {
        ok = read_pair(value, '-', lowest, highest);
      } else if (option == "--bases") {
        ok = read_bases(value, bases);
      } else if (option == "--seed") {
        ok = read_number(value, seed);
      } else if (option == "--shard") {
        ok = read_pair(value, '/', shard, shard_count);
      } else if (option == "--core") {
        ok = tarvek::read_cores(value, cores);
      } else {
        ok = false;
      }
    }
    if (!ok || exhaustive_bits > 28 || random_inputs > 1000000 || lowest < 1 || highest > 32 ||
        lowest > highest || shard_count < 1 || shard >= shard_count) {
      std::cerr << "usage: digits_deep [--exhaustive-bits N (<= 28)] [--random-inputs N]\n"
                   "       [--widths A-B (1 to 32)] [--bases B,B,...] [--seed N] [--shard I/N]\n"
                   "       [--core midrange|enhanced|baseline|both|all]\n";
      return 64;
    }
  }
  using namespace tarvek;
  ExactOutcome total;
  long index = 0;
  for (long bits = lowest; bits <= highest; ++bits) {
    const auto start = std::chrono::steady_clock::now();
    ExactOutcome width;
    for (const Core core : cores) {
      for (const DigitsSweepRequest& request :
           digits_requests(bases, {static_cast<int>(bits)}, core)) {
        if (index++ % shard_count != shard) continue;
        add_outcome(width, run_digits_sweep({request}, static_cast<int>(exhaustive_bits),
                                            static_cast<int>(random_inputs),
                                            static_cast<uint64_t>(seed + index)));
      }
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << "width " << bits << ": " << width.requests << " requests, " << width.refused
              << " refused, " << width.runs << " runs, " << width.failed << " failed, "
              << width.instructions << " instructions, " << seconds.count() << " s" << std::endl;
    for (const std::string& failure : width.failures) std::cout << "FAIL " << failure << "\n";
    add_outcome(total, width);
  }
  std::cout << "shard " << shard << "/" << shard_count << ": " << total.requests << " requests, "
            << total.runs << " runs, " << total.failed << " failed, " << total.refused
            << " refused";
  for (const auto& [code, count] : total.refusals) std::cout << " #" << code << " x" << count;
  std::cout << ", " << total.instructions << " instructions\n";
  return total.failed == 0 ? 0 : 1;
}

// The exact modes' deep run, for scripts/verify-exact-deep: the sweep of exact_sweep.h over its
// family of constants (and, on request, seeded random fractions), floor and nearest for an
// unsigned input in both byte orders (and, on request, the signed modes), with inputs
// exhaustive to a far greater width than the test suite's.
//
// Options (all optional): --exhaustive-bits N (default 24), --random-inputs N (above that width,
// besides the edges; default 1000), --widths A-B (default 1-32), --random-constants N (random
// fractions p/q beside the family; default 0), --fraction-bits N (their p and q have 1 to N
// bits; default 32), --signed (also floor, nearest and trunc of a signed input), --seed N,
// --shard I/N (every N-th request from the I-th), --core midrange|enhanced|baseline|both|all
// (the core the routines are written for; default midrange; both is the two mid-range cores),
// --remainder (the remainder's family instead: the divisors 2 to 100, 1000 and 3600 and a few
// fractions, floor of unsigned and signed inputs and trunc of signed ones, each with its
// remainder).
//
// Prints one line per width (requests, runs, failures, seconds), a summary line with every
// refusal by its number, and every failure; exit status 0 when every routine kept its promise,
// 1 otherwise, 64 on a usage error. Refusals of the family's requests are failures (a result
// that is always 0 aside); refusals of random fractions are counted only, as such a fraction
// may be too long to prove.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "exact_sweep.h"
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

// `count` fractions p/q, p and q of 1 to `max_bits` bits each (the width drawn first, so that
// short and long ones come up alike), written "p/q" in the Const field.
std::vector<std::pair<std::string, std::string>> random_fractions(long count, int max_bits,
                                                                  uint64_t seed) {
  std::mt19937_64 random(seed);
  const auto part = [&] {
    const int bits = static_cast<int>(random() % static_cast<uint64_t>(max_bits)) + 1;
    return (random() & ((uint64_t{1} << bits) - 1)) | (uint64_t{1} << (bits - 1));
  };
  std::vector<std::pair<std::string, std::string>> constants;
  for (long i = 0; i < count; ++i) {
    const uint64_t p = part();
    constants.push_back({std::to_string(p) + "/" + std::to_string(part()), ""});
  }
  return constants;
}

}  // namespace

int main(int argc, char** argv) {
  long exhaustive_bits = 24;
  long random_inputs = 1000;
  long lowest = 1;
  long highest = 32;
  long random_constants = 0;
  long fraction_bits = 32;
  long seed = 1;
  long shard = 0;
  long shard_count = 1;
  bool with_signed = false;
  bool remainders = false;
  std::vector<tarvek::Core> cores = {tarvek::Core::kMidrange};
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--signed") {
      with_signed = true;
      continue;
    }
    if (option == "--remainder") {
      remainders = true;
      continue;
    }
    bool ok = i + 1 < argc;
    if (ok) {
      const std::string value = argv[++i];
      if (option == "--exhaustive-bits") {
        ok = read_number(value, exhaustive_bits);
      } else if (option == "--random-inputs") {
        ok = read_number(value, random_inputs);
      } else if (option == "--widths") {
        ok = read_pair(value, '-', lowest, highest);
      } else if (option == "--random-constants") {
        ok = read_number(value, random_constants);
      } else if (option == "--fraction-bits") {
        ok = read_number(value, fraction_bits);
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
        lowest > highest || random_constants > 1000000 || fraction_bits < 1 || fraction_bits > 32 ||
        shard_count < 1 || shard >= shard_count) {
      std::cerr << "usage: exact_deep [--exhaustive-bits N (<= 28)] [--random-inputs N]\n"
                   "       [--widths A-B (1 to 32)] [--random-constants N] [--fraction-bits N"
                   " (1 to 32)]\n"
                   "       [--signed] [--seed N] [--shard I/N]\n"
                   "       [--core midrange|enhanced|baseline|both|all] [--remainder]\n";
      return 64;
    }
  }
  using namespace tarvek;
  const auto family = exact_sweep_constants();
  const auto randoms = random_fractions(random_constants, static_cast<int>(fraction_bits),
                                        static_cast<uint64_t>(seed));
  ExactOutcome total;
  long index = 0;
  for (long bits = lowest; bits <= highest; ++bits) {
    const auto start = std::chrono::steady_clock::now();
    ExactOutcome width;
    for (const Core core : remainders ? cores : std::vector<Core>{}) {
      for (const ExactSweepRequest& request :
           remainder_requests(remainder_sweep_constants(), {static_cast<int>(bits)}, core)) {
        if (index++ % shard_count != shard) continue;
        add_outcome(width, run_exact_sweep({request}, static_cast<int>(exhaustive_bits),
                                           static_cast<int>(random_inputs),
                                           static_cast<uint64_t>(seed + index)));
      }
    }
    for (const bool is_signed : {false, true}) {
      if (remainders) break;
      if (is_signed && !with_signed) continue;
      for (const bool random_part : {false, true}) {
        for (const Core core : cores) {
          for (ExactSweepRequest request : exact_requests(random_part ? randoms : family,
                                                          {static_cast<int>(bits)}, is_signed)) {
            if (index++ % shard_count != shard) continue;
            request.core = core;
            add_outcome(width, run_exact_sweep({request}, static_cast<int>(exhaustive_bits),
                                               static_cast<int>(random_inputs),
                                               static_cast<uint64_t>(seed + index), random_part));
          }
        }
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

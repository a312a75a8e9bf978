// What the exact modes' routines cost on the mid-range core: for a fixed list of requests, the
// exact routine's instructions beside today's approximating routine at error 0 for the same
// constant (the double nearest to K) and, where known, a hand-written routine's cycles
// (straight-line code: cycles equal instructions); then the instructions of every routine of
// the exact sweep's family, the baseline a better cost search is judged by. Every routine of the
// list is run on our simulator against its promise (every input up to 16 bits, edges and a sample
// above), every routine of the family from the edges.
//
//   exact_cost                         the list and the family's totals
//   exact_cost --write-baseline FILE   also writes every family request's instructions to FILE
//   exact_cost --compare FILE          also compares them with FILE: the requests that cost
//                                      more than there, and both totals
//   exact_cost --levels N              the efforts table up to level N (default 5; 6 to 9 add
//                                      the superoptimizer's window search, seconds a request)
//
// bench/exact_cost builds and runs it. Exit status 1 when a routine of the list is wrong, a
// family request is refused, a family request costs more than the baseline or the baseline's
// request is no longer made, or the baseline cannot be read or written; 64 on a usage error.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "exact/form_emission.h"
#include "exact/routine_cleanup.h"
#include "exact/search.h"
#include "exact_sweep.h"
#include "routine_runner.h"

namespace {

using tarvek::ExactSweepRequest;

struct Listed {
  const char* name;
  ExactSweepRequest request;
  // Cycles of a hand-written straight-line routine; 0 when none is known.
  int hand_written;
};

const Listed kList[] = {
    {"floor(x / 10)", {"1", "10", "floor", 8, false}, 14},
    {"floor(x / 10)", {"1", "10", "floor", 16, false}, 39},
    {"floor(x / 10)", {"1", "10", "floor", 32, false}, 93},
    {"floor(x / 3)", {"1", "3", "floor", 16, false}, 53},
    {"floor(x / 7)", {"1", "7", "floor", 16, false}, 57},
    {"nearest(x * 0.6)", {"0.6", "", "nearest", 8, false}, 27},
    {"floor(x * 5000/1023)", {"5000/1023", "", "floor", 10, false}, 0},
    {"floor(x * 10)", {"10", "", "floor", 16, false}, 0},
    {"nearest(x * 3.14159265)", {"3.14159265", "", "nearest", 32, false}, 0},
};

// The exact routine of `request`, run from every input up to `exhaustive_bits` (edges and
// `random_count` random ones above).
struct ExactCost {
  // False when it was refused for a result that is always 0, or is wrong (`failure` set).
  bool made = false;
  long instructions = 0;
  std::string failure;
};

ExactCost exact_cost(const ExactSweepRequest& request, int exhaustive_bits, int random_count) {
  const tarvek::ExactOutcome outcome =
      tarvek::run_exact_sweep({request}, exhaustive_bits, random_count, 1);
  ExactCost cost;
  if (outcome.failed != 0) {
    cost.failure = outcome.failures.front();
    return cost;
  }
  // A request refused as it should be is never run; a routine always is, even one of no
  // instructions (x * 1).
  cost.made = outcome.runs > 0;
  cost.instructions = outcome.instructions;
  return cost;
}

// A family request's line in the baseline file: Const, DivideBy ("-" for none), mode, bits,
// byte order, instructions, separated by tabs.
using Key = std::tuple<std::string, std::string, std::string, int, std::string>;

Key key_of(const ExactSweepRequest& request) {
  return {request.constant, request.divide_by.empty() ? "-" : request.divide_by, request.result,
          request.bits, request.little_endian ? "little" : "big"};
}

bool read_baseline(const std::string& path, std::map<Key, long>& costs) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Key key;
    long instructions = 0;
    if (!(fields >> std::get<0>(key) >> std::get<1>(key) >> std::get<2>(key) >> std::get<3>(key) >>
          std::get<4>(key) >> instructions)) {
      std::cerr << path << ": cannot read the line \"" << line << "\"\n";
      return false;
    }
    costs[key] = instructions;
  }
  return true;
}

// The shapes of routine the search draws from, for the table of what each would cost.
enum Method { kWalk, kGuard, kProduct, kCorrected, kFactored, kMethods };
const char* const kMethodNames[kMethods] = {"walk", "guard", "product", "correct", "factored"};

Method method_of(const tarvek::Candidate& c) {
  if (!c.factors.empty()) return kFactored;
  if (c.corrections > 0) return kCorrected;
  if (c.guard > 0 && c.guard == c.shift) return kProduct;
  return c.guard > 0 ? kGuard : kWalk;
}

// An unsigned floor or nearest request's constant and mode, as the generator reads them.
tarvek::Fraction constant_of(const ExactSweepRequest& request) {
  const tarvek::ExactPromise k = tarvek::expected_promise(request);
  return tarvek::Fraction::of(tarvek::BigInt::from_unsigned(k.numerator),
                              tarvek::BigInt::from_unsigned(k.denominator));
}

tarvek::ResultMode mode_of(const ExactSweepRequest& request) {
  return request.result == "nearest" ? tarvek::ResultMode::kNearest : tarvek::ResultMode::kFloor;
}

// A routine's instructions as the generator prints it: after the cleanup and the superoptimizer's
// rule pass over the finished routine.
long printed_cost(const tarvek::EmittedRoutine& routine, const tarvek::RoutineNames& names,
                  const tarvek::ExactSpec& spec) {
  const tarvek::Code& code = routine.code;
  const tarvek::Code cleaned = tarvek::clean_up_routine(code, code.find_register(names.temp));
  return static_cast<long>(
      tarvek::superoptimize(cleaned,
                            tarvek::routine_contract(cleaned, names, routine.output_bytes, spec))
          .size());
}

// The cheapest proven routine of each shape for an unsigned request, every candidate priced
// (not only the few the search prices), and the search's own pick.
void print_methods(const ExactSweepRequest& request, const char* name) {
  const tarvek::ResultTarget target =
      tarvek::make_target(constant_of(request), mode_of(request), request.bits);
  const tarvek::ExactSpec spec =
      tarvek::make_spec(constant_of(request), mode_of(request), request.bits, false);
  const tarvek::RoutineNames names{"ACC", "TEMP", request.little_endian};
  std::vector<tarvek::Candidate> all = tarvek::make_candidates(target);
  for (const tarvek::Candidate& c : tarvek::make_factored_candidates(target)) all.push_back(c);
  long best[kMethods];
  for (long& b : best) b = -1;
  for (const tarvek::Candidate& made : all) {
    const std::optional<tarvek::Candidate> c = tarvek::with_offset(made, target);
    if (!c || !tarvek::prove(*c, target).holds) continue;
    const long cost = printed_cost(tarvek::emit_candidate(*c, target, names), names, spec);
    long& slot = best[method_of(*c)];
    if (slot < 0 || cost < slot) slot = cost;
  }
  const std::optional<tarvek::SearchResult> found = tarvek::find_cheapest(target, names);
  std::printf("%-24s %4d", name, request.bits);
  for (const long b : best) {
    if (b < 0) {
      std::printf(" %8s", "-");
    } else {
      std::printf(" %8ld", b);
    }
  }
  if (found) {
    std::printf("  %s %ld\n", kMethodNames[method_of(found->candidate)],
                printed_cost(found->routine, names, spec));
  } else {
    std::printf("  none\n");
  }
}

// The routine `tarvek-asm --effort N` finds for an unsigned request at each level, with the
// time its search takes: what a deeper search buys. Returns false when a level gives a dearer
// routine than level 1 or none at all, which the levels promise never to do.
bool print_efforts(const ExactSweepRequest& request, const char* name, int levels) {
  const tarvek::ExactSpec spec =
      tarvek::make_spec(constant_of(request), mode_of(request), request.bits, false);
  const tarvek::RoutineNames names{"ACC", "TEMP", request.little_endian};
  std::printf("%-24s %4d", name, request.bits);
  bool kept = true;
  int first = -1;
  for (int level = 1; level <= levels; ++level) {
    const auto start = std::chrono::steady_clock::now();
    const std::optional<tarvek::SpecResult> found =
        tarvek::find_cheapest_routine(spec, names, tarvek::search_effort(level));
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!found) {
      std::printf(" %5s %6s", "-", "");
      kept = false;
      continue;
    }
    const int instructions = found->routine.instructions;
    if (first < 0) first = instructions;
    if (instructions > first) kept = false;
    std::printf(" %5d %4.0fms", instructions, ms);
  }
  std::printf("\n");
  return kept;
}

}  // namespace

int main(int argc, char** argv) {
  std::string write_path;
  std::string compare_path;
  int levels = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--write-baseline" && i + 1 < argc) {
      write_path = argv[++i];
    } else if (option == "--compare" && i + 1 < argc) {
      compare_path = argv[++i];
    } else if (option == "--levels" && i + 1 < argc) {
      levels = std::atoi(argv[++i]);
      if (levels < 1 || levels > 9) levels = 0;
    } else {
      std::cerr << "usage: exact_cost [--write-baseline FILE] [--compare FILE] [--levels N]\n";
      return 64;
    }
  }
  if (levels == 0) {
    std::cerr << "exact_cost: --levels takes a number from 1 to 9\n";
    return 64;
  }
  int failures = 0;

  std::printf("%-24s %4s %6s %7s %6s %13s\n", "request (big-endian)", "bits", "exact", "approx",
              "ratio", "hand-written");
  for (const Listed& listed : kList) {
    const ExactCost exact = exact_cost(listed.request, 16, 1000);
    // Today's routine for the double nearest to K = p/q (p and q below 2^53: one rounding).
    const tarvek::ExactPromise k = tarvek::expected_promise(listed.request);
    const tarvek::RoutineRequest approx_request{
        static_cast<double>(k.numerator) / static_cast<double>(k.denominator), listed.request.bits,
        0, listed.request.little_endian};
    const tarvek::CheckReport approx = tarvek::check_request(
        approx_request, tarvek::sample_inputs(listed.request.bits, 16, 1000, 1), 1);
    char hand[16] = "-";
    if (listed.hand_written > 0) std::snprintf(hand, sizeof hand, "%d", listed.hand_written);
    std::printf("%-24s %4d %6ld %7ld %6.2f %13s\n", listed.name, listed.request.bits,
                exact.instructions, approx.instructions,
                static_cast<double>(exact.instructions) / static_cast<double>(approx.instructions),
                hand);
    if (!exact.made) {
      std::fprintf(stderr, "%s: %s\n", describe(listed.request).c_str(),
                   exact.failure.empty() ? "refused" : exact.failure.c_str());
      ++failures;
    }
    if (!approx.passed) {
      std::fprintf(stderr, "%s: %s\n", describe(approx_request).c_str(), approx.failure.c_str());
      ++failures;
    }
  }

  // What each shape of routine would cost for the list, and what the search picks.
  std::printf("\n%-24s %4s", "cheapest of each shape", "bits");
  for (const char* method : kMethodNames) std::printf(" %8s", method);
  std::printf("  search's pick\n");
  for (const Listed& listed : kList) print_methods(listed.request, listed.name);

  // What the deeper searches of tarvek-asm --effort find for the list.
  std::printf("\n%-24s %4s", "effort (tarvek-asm)", "bits");
  for (int level = 1; level <= levels; ++level) std::printf(" %12d", level);
  std::printf("\n");
  for (const Listed& listed : kList) {
    if (!print_efforts(listed.request, listed.name, levels)) {
      std::fprintf(stderr, "%s: a deeper search found a dearer routine, or none\n",
                   describe(listed.request).c_str());
      ++failures;
    }
  }

  // Signed requests beside the unsigned routine for the same constant and width.
  const Listed kSigned[] = {
      {"trunc(x / 10)", {"1", "10", "trunc", 8, false, true}, 0},
      {"trunc(x / 10)", {"1", "10", "trunc", 16, false, true}, 0},
      {"floor(x * 0.6)", {"0.6", "", "floor", 8, false, true}, 0},
      {"floor(x * 0.6)", {"0.6", "", "floor", 16, false, true}, 0},
  };
  std::printf("\n%-24s %4s %7s %9s\n", "signed (big-endian)", "bits", "signed", "unsigned");
  for (const Listed& listed : kSigned) {
    ExactSweepRequest unsigned_request = listed.request;
    unsigned_request.is_signed = false;
    const ExactCost with_sign = exact_cost(listed.request, 16, 1000);
    const ExactCost without = exact_cost(unsigned_request, 16, 1000);
    std::printf("%-24s %4d %7ld %9ld\n", listed.name, listed.request.bits, with_sign.instructions,
                without.instructions);
    if (!with_sign.made || !without.made) ++failures;
  }
  std::printf("\n");

  // The family: every constant at every width, both modes and byte orders, less the requests
  // whose result is always 0 (refused with 7, as they should be).
  std::vector<int> widths;
  for (int bits = 1; bits <= 32; ++bits) widths.push_back(bits);
  const auto family = tarvek::exact_sweep_constants();
  std::map<Key, long> costs;
  long totals[2] = {0, 0};
  for (const ExactSweepRequest& request : tarvek::exact_requests(family, widths)) {
    // Run from the edges only: the sweep's tests check them in depth.
    const ExactCost cost = exact_cost(request, 0, 0);
    if (!cost.failure.empty()) {
      std::fprintf(stderr, "%s: %s\n", describe(request).c_str(), cost.failure.c_str());
      ++failures;
    }
    if (!cost.made) continue;
    costs[key_of(request)] = cost.instructions;
    totals[request.little_endian ? 1 : 0] += cost.instructions;
  }
  std::printf(
      "exact sweep family (%zu constants, widths 1 to 32, floor and nearest, both byte orders,\n"
      "mid-range core):\n"
      "  %zu routines, %ld instructions (big-endian %ld, little-endian %ld)\n",
      family.size(), costs.size(), totals[0] + totals[1], totals[0], totals[1]);

  if (!write_path.empty()) {
    std::ofstream out(write_path);
    out << "# Instructions of every mid-range exact routine of the exact sweep's family "
           "(bench/exact_cost).\n"
           "# Const\tDivideBy\tmode\tbits\torder\tinstructions\n";
    for (const auto& [key, instructions] : costs) {
      out << std::get<0>(key) << '\t' << std::get<1>(key) << '\t' << std::get<2>(key) << '\t'
          << std::get<3>(key) << '\t' << std::get<4>(key) << '\t' << instructions << '\n';
    }
    if (!out.flush()) {
      std::cerr << write_path << ": cannot write the baseline\n";
      ++failures;
    }
  }
  if (!compare_path.empty()) {
    std::map<Key, long> baseline;
    if (!read_baseline(compare_path, baseline)) {
      std::cerr << compare_path << ": cannot read the baseline\n";
      return 1;
    }
    long before = 0;
    long now = 0;
    long dearer = 0;
    long cheaper = 0;
    long unmatched = 0;
    for (const auto& [key, instructions] : costs) {
      const auto found = baseline.find(key);
      if (found == baseline.end()) {
        ++unmatched;
        continue;
      }
      before += found->second;
      now += instructions;
      if (instructions < found->second) ++cheaper;
      if (instructions > found->second) {
        ++dearer;
        std::printf("  dearer: %s %s %s %d bits %s: %ld -> %ld\n", std::get<0>(key).c_str(),
                    std::get<1>(key).c_str(), std::get<2>(key).c_str(), std::get<3>(key),
                    std::get<4>(key).c_str(), found->second, instructions);
      }
    }
    const std::size_t both = costs.size() - static_cast<std::size_t>(unmatched);
    std::printf(
        "compared with %s: %ld instructions then, %ld now (%+.2f %%) over the %zu requests in "
        "both;\n  %ld cheaper, %ld dearer; %ld new requests, %zu of the baseline's no longer "
        "made\n",
        compare_path.c_str(), before, now,
        before > 0 ? 100.0 * static_cast<double>(now - before) / static_cast<double>(before) : 0,
        both, cheaper, dearer, unmatched, baseline.size() - both);
    // A cost search may only ever make the family's routines cheaper: a dearer routine or one
    // the baseline had and that is no longer made is a regression.
    if (dearer > 0 || baseline.size() != both) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

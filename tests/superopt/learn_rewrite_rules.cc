// The offline learner of the superoptimizer's rule table, for scripts/learn-rewrite-rules: the
// window search runs over the routines of the exact sweep's family as the web form's search
// makes them (its rules applied already), and every replacement it makes becomes a rule
// (superopt/rule_learning.h), added after the table's own rules.
//
//   learn_rewrite_rules --table FILE   learns and writes the table, the known rules first
//   learn_rewrite_rules --count        how often each rule of the table fires over the family
//   learn_rewrite_rules --prune FILE   writes the table without the rules that never fire
//
// Options: --core midrange|enhanced|both (the routines of which core; default both),
// --level N (the superoptimizer's level of the search, 6 to 9; default 7),
// --widths A-B (default 1-32), --stride K (every K-th request; default 1), --longest N
// (routines of more instructions are not searched; default 400). Progress goes to standard
// error. Exit status 0, 1 when the table cannot be written, 64 on a usage error.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "family_routines.h"
#include "superopt/rule_learning.h"

namespace {

using tarvek::ExactSweepRequest;

struct Options {
  std::string table;
  std::string pruned;
  bool count = false;
  int level = 7;
  int first_width = 1;
  int last_width = 32;
  int stride = 1;
  int longest = 400;
  std::vector<tarvek::Core> cores = {tarvek::Core::kMidrange, tarvek::Core::kEnhanced};
};

bool read_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    const bool has_value = i + 1 < argc;
    if (option == "--count") {
      options.count = true;
    } else if (option == "--table" && has_value) {
      options.table = argv[++i];
    } else if (option == "--prune" && has_value) {
      options.pruned = argv[++i];
      options.count = true;
    } else if (option == "--core" && has_value) {
      const std::string_view core = argv[++i];
      if (core == "midrange") {
        options.cores = {tarvek::Core::kMidrange};
      } else if (core == "enhanced") {
        options.cores = {tarvek::Core::kEnhanced};
      } else if (core != "both") {
        return false;
      }
    } else if (option == "--level" && has_value) {
      options.level = std::atoi(argv[++i]);
    } else if (option == "--stride" && has_value) {
      options.stride = std::atoi(argv[++i]);
    } else if (option == "--longest" && has_value) {
      options.longest = std::atoi(argv[++i]);
    } else if (option == "--widths" && has_value) {
      const std::string widths = argv[++i];
      const std::size_t dash = widths.find('-');
      if (dash == std::string::npos) return false;
      options.first_width = std::atoi(widths.substr(0, dash).c_str());
      options.last_width = std::atoi(widths.substr(dash + 1).c_str());
    } else {
      return false;
    }
  }
  return (options.count || !options.table.empty()) && options.level >= 6 && options.level <= 9 &&
         options.stride >= 1 && options.first_width >= 1 && options.last_width <= 32 &&
         options.first_width <= options.last_width;
}

std::vector<ExactSweepRequest> requests_of(const Options& options) {
  std::vector<int> widths;
  for (int bits = options.first_width; bits <= options.last_width; ++bits) widths.push_back(bits);
  std::vector<ExactSweepRequest> picked;
  for (const tarvek::Core core : options.cores) {
    const std::vector<ExactSweepRequest> all = tarvek::family_requests(widths, core);
    for (std::size_t i = 0; i < all.size(); i += static_cast<std::size_t>(options.stride)) {
      picked.push_back(all[i]);
    }
  }
  return picked;
}

// How often each rule of the table fires on the family's routines as the search makes them
// without the rules.
int count_firings(const Options& options) {
  const std::span<const tarvek::RewriteRule> rules = tarvek::learned_rules();
  std::vector<long> fired(rules.size());
  tarvek::SearchEffort without_rules = tarvek::search_effort(1);
  without_rules.superopt.rule_pass = false;
  long before = 0;
  long after = 0;
  for (const ExactSweepRequest& request : requests_of(options)) {
    const std::optional<tarvek::FamilyRoutine> routine =
        tarvek::family_routine(request, without_rules);
    if (!routine) continue;
    const tarvek::Code out = tarvek::superoptimize_traced(
        routine->code, routine->contract, tarvek::superopt_effort(1), rules, {nullptr, &fired});
    before += static_cast<long>(routine->code.size());
    after += static_cast<long>(out.size());
  }
  std::printf("%zu rules; the family's routines without them %ld instructions, with them %ld\n",
              rules.size(), before, after);
  std::vector<tarvek::RewriteRule> firing;
  for (std::size_t r = 0; r < rules.size(); ++r) {
    if (fired[r] > 0) firing.push_back(rules[r]);
    std::printf("%8ld  %s\n", fired[r], tarvek::describe(rules[r]).c_str());
  }
  if (!options.pruned.empty()) {
    std::ofstream out(options.pruned);
    out << tarvek::RuleBook(firing).table_text();
    if (!out.flush()) {
      std::cerr << options.pruned << ": cannot write the table\n";
      return 1;
    }
    std::printf("%zu rules fire; written to %s\n", firing.size(), options.pruned.c_str());
  }
  return 0;
}

int learn(const Options& options) {
  tarvek::RuleBook book(tarvek::learned_rules());
  tarvek::WindowMemo memo;
  tarvek::SuperoptEffort effort = tarvek::superopt_effort(options.level);
  effort.longest_searched_routine = options.longest;
  const auto start = std::chrono::steady_clock::now();
  long windows = 0;
  long routines = 0;
  const std::vector<ExactSweepRequest> requests = requests_of(options);
  for (const ExactSweepRequest& request : requests) {
    const std::optional<tarvek::FamilyRoutine> routine =
        tarvek::family_routine(request, tarvek::search_effort(1));
    if (!routine) continue;
    ++routines;
    std::vector<tarvek::FoundReplacement> found;
    const std::vector<tarvek::RewriteRule> rules = book.rules();
    tarvek::superoptimize_traced(routine->code, routine->contract, effort, rules,
                                 {&found, nullptr, &memo});
    for (const tarvek::FoundReplacement& replacement : found) {
      ++windows;
      if (const auto rule = tarvek::rule_from(replacement)) book.add(*rule);
    }
    if (routines % 500 == 0) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::cerr << routines << " routines, " << windows << " replacements, " << book.learned()
                << " rules learned, " << seconds << " s\n";
    }
  }
  std::ofstream out(options.table);
  out << book.table_text();
  if (!out.flush()) {
    std::cerr << options.table << ": cannot write the table\n";
    return 1;
  }
  std::printf("%ld routines searched, %ld replacements, %d rules learned, %zu in the table\n",
              routines, windows, book.learned(), book.rules().size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!read_options(argc, argv, options)) {
    std::cerr << "usage: learn_rewrite_rules (--table FILE | --count | --prune FILE) [--level N]"
                 " [--core midrange|enhanced|both] [--widths A-B] [--stride K] [--longest N]\n";
    return 64;
  }
  return options.count ? count_firings(options) : learn(options);
}

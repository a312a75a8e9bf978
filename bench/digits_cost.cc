// What the remainders and the digits cost on the mid-range core: for a fixed list of requests,
// the cycles of the routine (straight-line code: cycles equal instructions), beside the
// quotient alone for a remainder and a hand-written routine's cycles where one is known. Every
// routine of the list is run on our simulator against its promise (every input up to 16
// bits, edges and a sample above) before its figure is printed.
//
//   digits_cost        the table; exit status 1 when a routine is wrong or refused
//
// bench/digits_cost builds and runs it, and adds the instruction counts of the CGI program
// for the heaviest digits request and the heaviest exact one, measured by callgrind.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "digits_sweep.h"
#include "exact_sweep.h"

namespace {

using tarvek::DigitsSweepRequest;
using tarvek::ExactSweepRequest;

// The instructions of one routine, checked; -1 when it is refused or wrong (and said so).
long checked_cost(const tarvek::ExactOutcome& outcome, const std::string& what) {
  if (outcome.failed == 0 && outcome.refused == 0 && outcome.requests == 1) {
    return outcome.instructions;
  }
  std::cerr << what << ": " << (outcome.failures.empty() ? "refused" : outcome.failures.front())
            << "\n";
  return -1;
}

long exact_cost(const ExactSweepRequest& request) {
  return checked_cost(tarvek::run_exact_sweep({request}, 16, 2000, 1), describe(request));
}

long digits_cost(const DigitsSweepRequest& request) {
  return checked_cost(tarvek::run_digits_sweep({request}, 16, 2000, 1), describe(request));
}

struct Quotient {
  const char* name;
  const char* constant;
  const char* divide_by;
  const char* result;
  bool is_signed;
  int bits;
};

const Quotient kQuotients[] = {
    {"floor(x / 10)", "1", "10", "floor", false, 8},
    {"floor(x / 10)", "1", "10", "floor", false, 16},
    {"floor(x / 10)", "1", "10", "floor", false, 32},
    {"floor(x / 60)", "1", "60", "floor", false, 16},
    {"floor(x / 60)", "1", "60", "floor", false, 24},
    {"floor(x / 3600)", "1", "3600", "floor", false, 16},
    {"floor(x / 3600)", "1", "3600", "floor", false, 24},
    {"trunc(x / 10), signed", "1", "10", "trunc", true, 16},
    {"floor(x / 100)", "1", "100", "floor", false, 16},
    {"floor(x / 7)", "1", "7", "floor", false, 16},
};

struct Digits {
  int base;
  int bits;
  // Cycles of a hand-written routine of the unpacked form; 0 when none is known.
  int hand_written;
};

const Digits kDigits[] = {{10, 7, 19}, {10, 8, 28},   {10, 12, 0}, {10, 16, 95},
                          {10, 24, 0}, {10, 32, 306}, {60, 17, 0}, {100, 16, 0}};

}  // namespace

int main() {
  bool clean = true;
  std::printf("%-32s %6s %12s %6s\n", "quotient", "bits", "alone", "+ rem");
  for (const Quotient& q : kQuotients) {
    ExactSweepRequest request{q.constant, q.divide_by, q.result, q.bits, false, q.is_signed};
    const long alone = exact_cost(request);
    request.remainder = true;
    const long with = exact_cost(request);
    clean = clean && alone >= 0 && with >= 0;
    std::printf("%-32s %6d %12ld %6ld  (%+ld)\n", q.name, q.bits, alone, with, with - alone);
  }
  std::printf("\n%-16s %6s %10s %10s %10s %14s\n", "digits", "bits", "unpacked", "ascii", "packed",
              "hand-written");
  for (const Digits& d : kDigits) {
    std::printf("%-16s %6d", ("base " + std::to_string(d.base)).c_str(), d.bits);
    for (const char* form : {"unpacked", "ascii", "packed"}) {
      const std::vector<std::string> allowed = tarvek::forms_of_base(d.base);
      if (std::find(allowed.begin(), allowed.end(), form) == allowed.end()) {
        std::printf(" %10s", "-");
        continue;
      }
      const long cost = digits_cost(DigitsSweepRequest{d.base, d.bits, form});
      clean = clean && cost >= 0;
      std::printf(" %10ld", cost);
    }
    if (d.hand_written > 0) {
      std::printf(" %14d", d.hand_written);
    } else {
      std::printf(" %14s", "-");
    }
    std::printf("\n");
  }
  std::printf(
      "(hand-written: 0..99 into tens and units in 19 cycles stands beside 7 bits, 0..127, into\n"
      " three digits; the others convert the whole input range)\n");
  return clean ? 0 : 1;
}

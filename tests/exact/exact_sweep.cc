#include "exact_sweep.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <numeric>
#include <sstream>

#include "codegen/register.h"
#include "form/form_entry_list.h"
#include "page/printed_check.h"
#include "page/routine_generation.h"
#include "page/validation.h"

namespace tarvek {
namespace {

__extension__ typedef unsigned __int128 U128;
__extension__ typedef __int128 Int128;

// A decimal text of at most 18 significant digits, or digits/digits, as a reduced fraction.
// Independent of the program's own reading on purpose.
void read_fraction(const std::string& text, U128& numerator, U128& denominator) {
  numerator = 0;
  denominator = 1;
  const std::size_t slash = text.find('/');
  if (slash != std::string::npos) {
    numerator = std::stoull(text.substr(0, slash));
    denominator = std::stoull(text.substr(slash + 1));
    return;
  }
  std::size_t i = 0;
  bool point = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      point = true;
      continue;
    }
    numerator = numerator * 10 + static_cast<U128>(text[i] - '0');
    if (point) denominator *= 10;
  }
  if (i < text.size()) {
    const int exponent = std::stoi(text.substr(i + 1));
    for (int k = 0; k < exponent; ++k) numerator *= 10;
    for (int k = 0; k < -exponent; ++k) denominator *= 10;
  }
}

U128 gcd(U128 a, U128 b) {
  while (b != 0) {
    const U128 r = a % b;
    a = b;
    b = r;
  }
  return a;
}

int bit_length(U128 value) {
  int bits = 0;
  while (value != 0) {
    ++bits;
    value >>= 1;
  }
  return bits;
}

}  // namespace

std::string core_suffix(Core core) {
  switch (core) {
    case Core::kEnhanced:
      return ", enhanced core";
    case Core::kBaseline:
      return ", baseline core";
    case Core::kPic18:
      return ", PIC18 core";
    case Core::kMidrange:
      break;
  }
  return "";
}

std::string describe(const ExactSweepRequest& request) {
  std::string text = request.constant;
  if (!request.divide_by.empty()) text += " / " + request.divide_by;
  return text + " " + request.result + (request.is_signed ? " signed" : "") +
         (request.remainder ? " with remainder" : "") + ", " + std::to_string(request.bits) +
         " bits, " + (request.little_endian ? "little" : "big") + "-endian" +
         core_suffix(request.core) + (request.optimize == Optimize::kSize ? ", size" : "");
}

std::vector<std::pair<std::string, std::string>> exact_sweep_constants() {
  std::vector<std::pair<std::string, std::string>> constants;
  for (int d = 1; d <= 100; ++d) constants.push_back({"1", std::to_string(d)});
  constants.push_back({"1", "1000"});
  for (const char* k : {"1/3", "2/3", "0.6", "1.2", "5000/1023", "3.14159265", "0.0488", "10",
                        "100", "1000", "45", "255"}) {
    constants.push_back({k, ""});
  }
  for (int k = 2; k <= 12; ++k) {
    for (const int n : {(1 << k) - 1, (1 << k) + 1}) {
      // 255 is in the list above already.
      if (n != 255) constants.push_back({std::to_string(n), ""});
    }
  }
  return constants;
}

ExactPromise expected_promise(const ExactSweepRequest& request) {
  U128 p = 0;
  U128 q = 1;
  read_fraction(request.constant, p, q);
  if (!request.divide_by.empty()) {
    U128 dp = 0;
    U128 dq = 1;
    read_fraction(request.divide_by, dp, dq);
    p *= dq;
    q *= dp;
  }
  const U128 common = gcd(p, q);
  return ExactPromise{static_cast<uint64_t>(p / common), static_cast<uint64_t>(q / common),
                      request.result == "nearest", request.result == "trunc", request.is_signed};
}

std::string generate_exact_block(const ExactSweepRequest& request, int& refusal,
                                 const std::string& acc_name, const std::string& temp_name,
                                 const std::string& rem_name) {
  FormEntryList form;
  form_list_init(form);
  const FormEntry* last = nullptr;
  const auto add = [&](const std::string& name, const std::string& value) {
    last = form_list_insert(form, last, name, value);
  };
  add("Const", request.constant);
  if (!request.divide_by.empty()) add("DivideBy", request.divide_by);
  add("Result", request.result);
  add("Bits", std::to_string(request.bits));
  add("Acc", acc_name);
  add("Temp", temp_name);
  add("endian", request.little_endian ? "little" : "big");
  if (request.is_signed) add("Signed", "1");
  if (request.core == Core::kEnhanced) add("Core", "enhanced");
  if (request.core == Core::kBaseline) add("Core", "baseline");
  if (request.core == Core::kPic18) add("Core", "pic18");
  if (request.remainder) add("Rem", rem_name);
  if (request.optimize == Optimize::kSize) add("Optimize", "size");
  if (!request.label.empty()) add("Label", request.label);
  const RequestFields fields = read_request_fields(form);
  form_list_free(form);
  const ValidatedRequest checked = validate_request(fields);
  refusal = checked.error_code;
  if (refusal != 0) return "";
  Register acc(acc_name, checked.input_bits, request.little_endian);
  Register temp(temp_name, 0, request.little_endian);
  std::ostringstream out;
  refusal = generate_routine(out, checked.request, acc, temp);
  return out.str();
}

std::vector<Made> generate_exact_blocks(const std::vector<ExactSweepRequest>& requests) {
  std::vector<Made> made;
  for (const ExactSweepRequest& request : requests) {
    int refusal = 0;
    std::string block = generate_exact_block(request, refusal);
    if (refusal == 0) made.push_back({request, std::move(block)});
  }
  return made;
}

std::vector<ExactSweepRequest> exact_requests(
    const std::vector<std::pair<std::string, std::string>>& constants,
    const std::vector<int>& widths, bool is_signed, Core core, Optimize optimize) {
  std::vector<ExactSweepRequest> requests;
  const std::vector<const char*> modes = is_signed
                                             ? std::vector<const char*>{"floor", "nearest", "trunc"}
                                             : std::vector<const char*>{"floor", "nearest"};
  for (const auto& [constant, divide_by] : constants) {
    for (const int bits : widths) {
      for (const char* result : modes) {
        for (const bool little : {false, true}) {
          requests.push_back(ExactSweepRequest{constant, divide_by, result, bits, little, is_signed,
                                               core, optimize});
        }
      }
    }
  }
  return requests;
}

std::vector<std::pair<std::string, std::string>> remainder_sweep_constants() {
  std::vector<std::pair<std::string, std::string>> constants;
  for (int d = 2; d <= 100; ++d) constants.push_back({"1", std::to_string(d)});
  for (const char* d : {"1000", "3600"}) constants.push_back({"1", d});
  for (const char* k : {"5/9", "2/3", "5000/1023", "10/7"}) constants.push_back({k, ""});
  return constants;
}

std::vector<ExactSweepRequest> remainder_requests(
    const std::vector<std::pair<std::string, std::string>>& constants,
    const std::vector<int>& widths, Core core) {
  std::vector<ExactSweepRequest> requests;
  struct Mode {
    const char* result;
    bool is_signed;
  };
  for (const auto& [constant, divide_by] : constants) {
    for (const int bits : widths) {
      for (const Mode mode : {Mode{"floor", false}, Mode{"floor", true}, Mode{"trunc", true}}) {
        for (const bool little : {false, true}) {
          ExactSweepRequest request{constant, divide_by,      mode.result, bits,
                                    little,   mode.is_signed, core};
          request.remainder = true;
          requests.push_back(request);
        }
      }
    }
  }
  return requests;
}

int expected_remainder_bits(const ExactSweepRequest& request) {
  const ExactPromise promise = expected_promise(request);
  return bit_length(promise.denominator - 1) + (request.is_signed && promise.trunc ? 1 : 0);
}

void add_outcome(ExactOutcome& total, const ExactOutcome& part) {
  total.requests += part.requests;
  total.refused += part.refused;
  for (const auto& [code, count] : part.refusals) total.refusals[code] += count;
  total.runs += part.runs;
  total.failed += part.failed;
  total.instructions += part.instructions;
  for (const std::string& failure : part.failures) {
    if (total.failures.size() < 10) total.failures.push_back(failure);
  }
}

ExactOutcome run_exact_sweep(const std::vector<ExactSweepRequest>& requests, int exhaustive_bits,
                             int random_count, uint64_t seed, bool refusals_allowed) {
  ExactOutcome outcome;
  const auto fail = [&](const ExactSweepRequest& request, const std::string& what) {
    ++outcome.failed;
    if (outcome.failures.size() < 10) outcome.failures.push_back(describe(request) + ": " + what);
  };
  for (const ExactSweepRequest& request : requests) {
    ++outcome.requests;
    const ExactPromise promise = expected_promise(request);
    int result_bits = 0;
    if (request.is_signed) {
      // The two's-complement width of the results at both ends of the input range.
      const Int128 half = static_cast<Int128>(1) << (request.bits - 1);
      const Int128 low = exact_result(promise, -half);
      const Int128 high = exact_result(promise, half - 1);
      if (low != 0 || high != 0) {
        result_bits = std::max(bit_length(static_cast<U128>(low < 0 ? -low - 1 : low)),
                               bit_length(static_cast<U128>(high < 0 ? -high - 1 : high))) +
                      1;
      }
    } else {
      const uint64_t max_input = (uint64_t{1} << request.bits) - 1;
      result_bits = bit_length(static_cast<U128>(exact_result(promise, max_input)));
    }
    int refusal = 0;
    const std::string block = generate_exact_block(request, refusal);
    if (refusal != 0) {
      // A constant of at most 2^-bits (every product below 1) is refused with 7, which is
      // right; anything else must be allowed.
      const bool tiny =
          (static_cast<U128>(promise.numerator) << request.bits) <= promise.denominator;
      if ((result_bits == 0 || tiny) && refusal == 7) continue;
      ++outcome.refused;
      ++outcome.refusals[refusal];
      if (!refusals_allowed) fail(request, "refused with #" + std::to_string(refusal));
      continue;
    }
    const RoutineUnderCheck routine{block,
                                    "ACC",
                                    "TEMP",
                                    request.little_endian,
                                    request.bits,
                                    result_bits,
                                    pic_core_of(request.core),
                                    request.remainder ? "REM" : ""};
    const PrepareOutcome prepared = prepare_routine(routine);
    if (!prepared.routine) {
      fail(request, prepared.error);
      continue;
    }
    if (!prepared.routine->promise.exact ||
        prepared.routine->promise.exact->numerator != promise.numerator ||
        prepared.routine->promise.exact->denominator != promise.denominator ||
        prepared.routine->promise.exact->nearest != promise.nearest ||
        prepared.routine->promise.exact->trunc != promise.trunc ||
        prepared.routine->promise.exact->is_signed != promise.is_signed) {
      fail(request, "the title line does not state the requested result");
      continue;
    }
    if (request.remainder &&
        prepared.routine->promise.remainder->bits != expected_remainder_bits(request)) {
      fail(request, "the Remainder line does not state the remainder's bits");
      continue;
    }
    outcome.instructions += static_cast<long>(prepared.routine->program.instructions.size());
    std::string failure;
    if (request.bits <= exhaustive_bits) {
      // Every bit pattern of the input (a signed input's too), a slice at a time; run i starts
      // from the arbitrary values of seed + i, slice or no slice.
      const uint64_t top = (uint64_t{1} << request.bits) - 1;
      constexpr uint64_t kSlice = uint64_t{1} << 20;
      std::vector<uint64_t> inputs;
      for (uint64_t start = 0; start <= top && failure.empty(); start += kSlice) {
        inputs.clear();
        for (uint64_t x = start; x <= top && x - start < kSlice; ++x) inputs.push_back(x);
        const CheckReport report = check_prepared(*prepared.routine, inputs, seed + start);
        outcome.runs += report.inputs_checked;
        if (!report.passed) failure = report.failure;
      }
    } else {
      const std::vector<uint64_t> inputs =
          sample_inputs(request.bits, exhaustive_bits, random_count, seed + outcome.requests);
      const CheckReport report = check_prepared(*prepared.routine, inputs, seed);
      outcome.runs += report.inputs_checked;
      if (!report.passed) failure = report.failure;
    }
    if (!failure.empty()) fail(request, failure);
  }
  return outcome;
}

}  // namespace tarvek

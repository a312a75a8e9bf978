// Differential fuzz target of the code generator: the input is turned into a valid request
// (constant, input width, allowed error, register names, byte order, core), the routine is
// generated as the page generates it, and it is run on our simulator for a few inputs and
// compared with the documented computation of its own comment block (sim/routine_check.h).
// A mismatch is a finding.
//
// Every input gives a request: the bytes choose how the constant is made (a whole number, a
// ratio of two small numbers, or raw mantissa and exponent). What the validation still
// refuses (a product of no bits, names whose bytes meet) is skipped, as the page would show
// an error instead of a routine.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "fuzz_support.h"
#include "page/validation.h"
#include "sim/routine_check.h"

namespace tarvek::fuzz {
namespace {

// A register name the simulator's parser reads: a letter, then letters, digits and
// underscores, 1 to kMaxRegisterName characters in all.
std::string register_name(ByteReader& data) {
  static constexpr std::string_view kFirst = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static constexpr std::string_view kLater =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
  std::string name(1, kFirst[data.in_range(0, kFirst.size() - 1)]);
  const auto length = static_cast<std::size_t>(data.in_range(1, kMaxRegisterName));
  while (name.size() < length) name.push_back(kLater[data.in_range(0, kLater.size() - 1)]);
  return name;
}

double constant(ByteReader& data) {
  switch (data.in_range(0, 2)) {
    case 0:
      return static_cast<double>(data.in_range(1, int64_t{1} << 31));
    case 1:
      return static_cast<double>(data.in_range(1, 100000)) /
             static_cast<double>(data.in_range(1, 100000));
    default: {
      // 53 significant bits, scaled to lie between 2^-40 and 2^31.
      const uint64_t mantissa = (data.take(7) & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
      return std::ldexp(static_cast<double>(mantissa),
                        static_cast<int>(data.in_range(-40, 30)) - 52);
    }
  }
}

double allowed_error(ByteReader& data) {
  static constexpr double kCommon[] = {0, 0.001, 0.1, 1, 5, 50};
  if (data.flag()) return kCommon[data.in_range(0, std::size(kCommon) - 1)];
  return static_cast<double>(data.in_range(0, 50000)) / 1000;
}

std::string described(const RequestFields& fields) {
  std::ostringstream text;
  text.precision(17);
  text << "Const=" << fields.const_value << " Bits=" << fields.input_bits
       << " ConstErr=" << fields.const_error << " Acc=" << fields.acc_name
       << " Temp=" << fields.temp_name << " endian=" << (fields.little_endian ? "little" : "big")
       << " Core=" << fields.core;
  return text.str();
}

void run(ByteReader& data) {
  RequestFields fields;
  fields.const_value = constant(data);
  fields.input_bits = data.in_range(1, 32);
  fields.const_error = allowed_error(data);
  fields.acc_name = register_name(data);
  fields.temp_name = register_name(data);
  fields.little_endian = data.flag();
  // The inputs and the seed of the run, then the core: read last, so that an input made before
  // the core was chosen still stands for the same mid-range request.
  const uint64_t top = (uint64_t{1} << fields.input_bits) - 1;
  std::vector<uint64_t> inputs = {0, 1, top};
  for (int i = 0; i < 3; ++i) inputs.push_back(data.take(4) & top);
  const uint64_t seed = data.take(8);
  fields.core = data.flag() ? "enhanced" : "midrange";
  // TARVEK_FUZZ_SHOW=1 prints each request, to see what a seed or a saved input stands for.
  static const bool show = std::getenv("TARVEK_FUZZ_SHOW") != nullptr;
  if (show) std::fprintf(stderr, "%s\n", described(fields).c_str());
  const ValidatedRequest checked = validate_request(fields);
  if (checked.error_code != 0) {
    // The only refusals a request made as above can meet: a product of no bits (a constant
    // below 1 with a narrow input) and names whose bytes meet.
    check(checked.error_code == 7 || checked.error_code == 4, "a request made valid was refused",
          [&] { return described(fields) + "\ncode " + std::to_string(checked.error_code); });
    return;
  }

  Register acc(fields.acc_name, checked.input_bits, fields.little_endian);
  Register temp(fields.temp_name, 0, fields.little_endian);
  std::ostringstream block;
  generate_code(block, checked.request, acc, temp);
  const std::string text = block.str();

  const RoutineUnderCheck routine{
      text,
      fields.acc_name,
      fields.temp_name,
      fields.little_endian,
      checked.input_bits,
      checked.request.output_bits,
      checked.request.core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange};
  const CheckReport report = check_routine(routine, inputs, seed);
  check(report.passed, "a generated routine does not compute what its comment promises",
        [&] { return described(fields) + "\n" + report.failure + "\n" + text; });
}

}  // namespace
}  // namespace tarvek::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  tarvek::fuzz::ByteReader data(bytes, size);
  tarvek::fuzz::run(data);
  return 0;
}

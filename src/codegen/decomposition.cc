#include "codegen/decomposition.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <string>

#include "codegen/number_format.h"

namespace tarvek {
namespace {

constexpr int kDigitCount = 96;
// Index of the digit with weight 2^0.
constexpr int kUnits = 31;

std::string decimal(double value) {
  return format_fixed(value, 6);
}

// One "; Add input * 8 to accumulator" line; weights below 1 are written as divisors.
std::string term_line(int digit, double weight) {
  const bool add = digit > 0;
  std::string line = add ? "; Add input " : "; Substract input ";
  line += weight >= 1 ? "* " + format_fixed(weight, 0) : "/ " + format_fixed(1 / weight, 0);
  line += add ? " to accumulator\n" : " from accumulator\n";
  return line;
}

// "NAME0" or "NAME0 .. NAMEn" for a register of `bytes` bytes.
std::string byte_range(const std::string& name, int bytes) {
  std::string range = name + "0";
  if (bytes > 1) range += " .. " + name + std::to_string(bytes - 1);
  return range;
}

// Chooses the leading digits that approximate `constant` within `error_percent`, or as
// closely as an input of `width` bits can tell apart, and writes one line per chosen term
// (and the warning when the input width ends the choice). Sets term_count and term_end;
// returns what is left of the constant after the chosen terms.
double select_terms(std::string& block, const DigitString& digits, double constant,
                    double error_percent, int width, Decomposition& result) {
  const double allowed = error_percent * constant * 0.01;
  double remainder = constant;
  double weight = std::pow(2.0, kUnits);
  // Index of the last chosen term. Before the first term it is 0, which the precision test
  // (measured from index 31 or below) does not tell apart from no term at all, and which
  // makes term_end 1 when the test fires before any term: no term, nothing to add.
  int last = 0;
  result.term_count = 0;
  for (int j = 0; j < kDigitCount; ++j) {
    // From `width` places below the last term (or the units position) on, a term would meet
    // the input shifted right by its whole width: nothing of it would be left to add.
    if (j - std::max(last, kUnits) >= width) {
      block += "; WARNING:\n";
      block += "; Needed precision can't be reached because the input register size is too small\n";
      result.term_end = last + 1;
      return remainder;
    }
    const int digit = digits[static_cast<size_t>(j)];
    if (digit != 0) {
      remainder += digit > 0 ? -weight : weight;
      ++result.term_count;
      block += term_line(digit, weight);
    }
    if (std::fabs(remainder) <= allowed) {
      result.term_end = j + 1;
      result.within_error = true;
      return remainder;
    }
    weight /= 2;
    if (digit != 0) last = j;
  }
  result.term_end = last + 1;
  return remainder;
}

}  // namespace

DigitString expand_binary(double constant) {
  assert(constant > 0 && constant <= std::pow(2.0, kUnits));
  DigitString digits{};
  double rest = constant;
  double weight = std::pow(2.0, kUnits);
  for (int k = 0; k < kDigitCount; ++k) {
    // Exact: rest never exceeds twice the weight, so the difference is representable.
    if (rest > weight) {
      digits[static_cast<size_t>(k)] = 1;
      rest -= weight;
    }
    weight /= 2;
  }
  return digits;
}

void recode_runs(DigitString& digits) {
  const auto at = [&digits](int k) -> int8_t& { return digits[static_cast<size_t>(k)]; };
  int i = kDigitCount - 1;
  while (i >= 2) {
    if (at(i - 2) + at(i - 1) + at(i) != 3) {
      --i;
      continue;
    }
    // ...0111 becomes ...100(-1): the carry runs up through the ones above and lands on the
    // first 0, which may complete a run of three with the ones above it, so the walk goes on
    // from there.
    at(i) = -1;
    int j = i - 1;
    while (j >= 0 && at(j) != 0) {
      at(j) = 0;
      --j;
    }
    // A carry past index 0 cannot happen for constants up to 2^31 (their digit 0 is 0), but
    // it must not write outside the string either.
    if (j < 0) return;
    at(j) = 1;
    i = j;
  }
}

Decomposition decompose(std::ostream& out, const GeneratorRequest& request, const Register& acc) {
  const double constant = request.const_value;
  assert(constant > 0 && constant <= std::pow(2.0, kUnits));
  assert(request.const_error >= 0 && request.const_error <= 50);
  assert(acc.width >= 1 && acc.width <= 32);
  assert(request.output_bits >= 1 && request.output_bits <= 63);

  Decomposition result;
  result.digits = expand_binary(constant);
  recode_runs(result.digits);

  std::string block = "; " + acc.name + " = " + acc.name + " * " + decimal(constant) + "\n;\n";
  block += "; ALGORITHM:\n; Clear accumulator\n";
  const double remainder =
      select_terms(block, result.digits, constant, request.const_error, acc.width, result);
  block += "; Move accumulator to result\n";
  result.error_percent = std::fabs(remainder) / constant * 100;
  block += ";\n; Error in constant approximation : " + decimal(result.error_percent) + ", %\n";

  result.input_bytes = (acc.width + 7) / 8;
  result.output_bytes = (request.output_bits + 7) / 8;
  block += "\n\n; Input:  " + byte_range(acc.name, result.input_bytes) + "\t(" +
           std::to_string(acc.width) + " bits)";
  block += "\n; Output: " + byte_range(acc.name, result.output_bytes) + "\t(" +
           std::to_string(request.output_bits) + " bits)";
  // Written as raw characters, whatever width or fill the caller left set on the stream.
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  return result;
}

}  // namespace tarvek

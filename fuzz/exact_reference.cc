#include "exact_reference.h"

#include <algorithm>
#include <cassert>

namespace tarvek::fuzz {
namespace {

bool fits_64_bits(UInt128 value) {
  return (value >> 64) == 0;
}

// Bits of a two's-complement value, its sign bit included: 1 for 0 and -1, 2 for 1 and -2.
int twos_complement_width(Int128 value) {
  return value < 0 ? bit_length(static_cast<UInt128>(-(value + 1))) + 1
                   : bit_length(static_cast<UInt128>(value)) + 1;
}

}  // namespace

int bit_length(UInt128 value) {
  int bits = 0;
  for (; value != 0; value >>= 1) ++bits;
  return bits;
}

Int128 lowest_input(const ExactAsk& ask) {
  return ask.is_signed ? -(Int128{1} << (ask.bits - 1)) : 0;
}

Int128 highest_input(const ExactAsk& ask) {
  return (Int128{1} << (ask.is_signed ? ask.bits - 1 : ask.bits)) - 1;
}

Int128 input_value(const ExactAsk& ask, uint64_t pattern) {
  assert(ask.bits >= 1 && ask.bits <= 32 && (pattern >> ask.bits) == 0);
  const Int128 value = pattern;
  return value > highest_input(ask) ? value - (Int128{1} << ask.bits) : value;
}

uint64_t input_pattern(const ExactAsk& ask, Int128 x) {
  assert(x >= lowest_input(ask) && x <= highest_input(ask));
  return static_cast<uint64_t>(x < 0 ? x + (Int128{1} << ask.bits) : x);
}

Int128 exact_value(const ExactAsk& ask, Int128 x) {
  assert(fits_64_bits(ask.p) && fits_64_bits(ask.q) && ask.p != 0 && ask.q != 0);
  assert(x >= lowest_input(ask) && x <= highest_input(ask));
  const UInt128 q = ask.q;
  // |x| K = m / q, in unsigned arithmetic on the magnitude: m < 2^32 * 2^64.
  const UInt128 m = static_cast<UInt128>(x < 0 ? -x : x) * ask.p;
  if (x >= 0) {
    // floor(m / q) for floor and trunc alike; floor(m / q + 1/2) = floor((2 m + q) / (2 q)).
    return static_cast<Int128>(ask.rounding == Rounding::kNearest ? (2 * m + q) / (2 * q) : m / q);
  }
  switch (ask.rounding) {
    case Rounding::kTrunc:
      // Toward zero: the magnitude rounded down, negated.
      return -static_cast<Int128>(m / q);
    case Rounding::kFloor:
      // floor(-m / q) = -ceil(m / q).
      return -static_cast<Int128>((m + q - 1) / q);
    case Rounding::kNearest:
      // floor(1/2 - m / q) = -ceil((2 m - q) / (2 q)) = -floor((2 m + q - 1) / (2 q)); when
      // 2 m < q both sides are 0, so the one expression serves every m.
      return -static_cast<Int128>((2 * m + q - 1) / (2 * q));
  }
  assert(false);
  return 0;
}

int result_width(const ExactAsk& ask) {
  const Int128 largest = exact_value(ask, highest_input(ask));
  if (!ask.is_signed) return bit_length(static_cast<UInt128>(largest));
  const Int128 smallest = exact_value(ask, lowest_input(ask));
  if (smallest == 0 && largest == 0) return 0;
  return std::max(twos_complement_width(smallest), twos_complement_width(largest));
}

int output_bytes(const ExactAsk& ask) {
  return std::max((ask.bits + 7) / 8, (result_width(ask) + 7) / 8);
}

uint64_t output_image(const ExactAsk& ask, Int128 result) {
  const int bytes = output_bytes(ask);
  assert(bytes >= 1 && bytes <= 8);
  // The conversion keeps the low 64 bits of the two's complement, as the bytes hold it.
  const auto image = static_cast<uint64_t>(result);
  return bytes == 8 ? image : image & ((uint64_t{1} << (8 * bytes)) - 1);
}

int constant_refusal(const ExactAsk& ask) {
  // K > 2^31: p > q 2^31, that is p - 1 >= q 2^31, a multiple of 2^31, so floor((p - 1) /
  // 2^31) >= q; q 2^31 itself may not fit 128 bits.
  if (((ask.p - 1) >> 31) >= ask.q) return 5;
  // K <= 2^-bits: p 2^bits <= q, for a whole p the same as p <= floor(q / 2^bits).
  if (ask.p <= ask.q >> ask.bits) return 7;
  if (!fits_64_bits(ask.p) || !fits_64_bits(ask.q)) return 10;
  if (result_width(ask) == 0) return 7;
  return 0;
}

std::vector<uint64_t> inputs_to_run(const ExactAsk& ask, std::span<const uint64_t> extra) {
  const Int128 lowest = lowest_input(ask);
  const Int128 highest = highest_input(ask);
  const Int128 half = Int128{1} << (ask.bits - 1);
  // The ends of the range and their neighbours, the values around 0, and those around
  // 2^(bits-1): the ends of a signed range, the middle of an unsigned one.
  std::vector<Int128> values = {lowest, lowest + 1, highest - 1, highest, -2, -1, 0, 1, 2};
  for (const Int128 x : {half - 1, half, 1 - half}) values.push_back(x);
  // Where the result first leaves 0: |x| K reaches 1 (floor, trunc) or 1/2 (nearest); and
  // where x K is a whole number again, at |x| = q. p and q are below 2^64, so nothing here
  // overflows.
  const auto p = static_cast<Int128>(ask.p);
  const auto q = static_cast<Int128>(ask.q);
  for (const Int128 step : {(q + p - 1) / p, (q + 2 * p - 1) / (2 * p), q}) {
    for (const Int128 x : {step - 1, step, step + 1}) {
      values.push_back(x);
      values.push_back(-x);
    }
  }
  if (ask.rounding == Rounding::kNearest && q % 2 == 0) {
    // A tie is x K = k + 1/2, i.e. 2 x p / q odd. With q odd that needs q | x (p and q have no
    // common factor), which makes x K whole: no ties. With q even, p is odd and the ties are
    // exactly the x = q/2 (mod q).
    const Int128 tie = q / 2;
    values.push_back(tie);
    values.push_back(-tie);
    if (highest >= tie) values.push_back(tie + (highest - tie) / q * q);
    if (lowest <= -tie) values.push_back(-tie - (-tie - lowest) / q * q);
  }
  std::vector<uint64_t> patterns;
  for (const Int128 x : values) {
    if (x >= lowest && x <= highest) patterns.push_back(input_pattern(ask, x));
  }
  const uint64_t mask = (uint64_t{1} << ask.bits) - 1;
  for (const uint64_t x : extra) patterns.push_back(x & mask);
  std::sort(patterns.begin(), patterns.end());
  patterns.erase(std::unique(patterns.begin(), patterns.end()), patterns.end());
  return patterns;
}

}  // namespace tarvek::fuzz

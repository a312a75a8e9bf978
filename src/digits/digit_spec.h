// What a digits request asks for: the unsigned `input_bits`-bit input x written as its `count`
// digits in base `base`, digit k = floor(x / base^k) mod base, every one kept (leading zeros
// too), where count is the number of base-b digits of 2^input_bits - 1, so that every input
// fits.
//
// The digits replace the input, widened as a product is: the output bytes are ACC0 onwards,
// digit 0 (the least significant) in the last byte when big-endian and in ACC0 when
// little-endian; in the packed form two digits share a byte (digit 2j in the low nibble of
// packed byte j, digit 2j + 1 in its high nibble, a zero nibble above the top digit when the
// count is odd).
#ifndef TARVEK_DIGITS_DIGIT_SPEC_H
#define TARVEK_DIGITS_DIGIT_SPEC_H

#include <cstdint>
#include <string>
#include <vector>

#include "codegen/generator.h"

namespace tarvek {

struct DigitSpec {
  // 2 to 256.
  int base = 10;
  // 1 to 32.
  int input_bits = 0;
  // The digits of 2^input_bits - 1, 1 to 32.
  int count = 0;
  // kAscii only for bases up to 10, kPacked only for base 10.
  DigitForm form = DigitForm::kUnpacked;
  bool little_endian = false;
};

// Requires: 2 <= base <= 256, 1 <= input_bits <= 32, the form allowed for the base.
DigitSpec make_digit_spec(int base, int input_bits, DigitForm form, bool little_endian);

// The bytes the digits take: count, or (count + 1) / 2 packed.
int output_byte_count(const DigitSpec& spec);

// The output byte (its number in the accumulator) that holds digit k, and for the packed form
// whether it is the byte's high nibble.
struct DigitPlace {
  int byte = 0;
  bool high_nibble = false;
};
DigitPlace digit_place(const DigitSpec& spec, int k);

// The input byte (its number in the accumulator) that holds input bits 8 i to 8 i + 7.
int input_byte(const DigitSpec& spec, int i);

// base^k, for k up to count.
uint64_t power(const DigitSpec& spec, int k);

// "unpacked", "ascii" or "packed".
const char* form_name(DigitForm form);

}  // namespace tarvek

#endif  // TARVEK_DIGITS_DIGIT_SPEC_H

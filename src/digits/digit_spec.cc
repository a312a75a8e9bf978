#include "digits/digit_spec.h"

#include <cassert>

namespace tarvek {

DigitSpec make_digit_spec(int base, int input_bits, DigitForm form, bool little_endian) {
  assert(base >= 2 && base <= 256 && input_bits >= 1 && input_bits <= 32);
  assert(form != DigitForm::kAscii || base <= 10);
  assert(form != DigitForm::kPacked || base == 10);
  DigitSpec spec;
  spec.base = base;
  spec.input_bits = input_bits;
  spec.form = form;
  spec.little_endian = little_endian;
  // base^count stays below 2^32 * 256 while it is compared: no overflow in 64 bits.
  const uint64_t largest = (uint64_t{1} << input_bits) - 1;
  spec.count = 1;
  for (uint64_t p = static_cast<uint64_t>(base); p <= largest; p *= static_cast<uint64_t>(base)) {
    ++spec.count;
  }
  return spec;
}

int output_byte_count(const DigitSpec& spec) {
  return spec.form == DigitForm::kPacked ? (spec.count + 1) / 2 : spec.count;
}

DigitPlace digit_place(const DigitSpec& spec, int k) {
  assert(k >= 0 && k < spec.count);
  const bool packed = spec.form == DigitForm::kPacked;
  const int from_low = packed ? k / 2 : k;
  const int bytes = output_byte_count(spec);
  return DigitPlace{spec.little_endian ? from_low : bytes - 1 - from_low, packed && k % 2 == 1};
}

int input_byte(const DigitSpec& spec, int i) {
  const int bytes = (spec.input_bits + 7) / 8;
  assert(i >= 0 && i < bytes);
  return spec.little_endian ? i : bytes - 1 - i;
}

uint64_t power(const DigitSpec& spec, int k) {
  assert(k >= 0 && k <= spec.count);
  uint64_t p = 1;
  for (int i = 0; i < k; ++i) p *= static_cast<uint64_t>(spec.base);
  return p;
}

const char* form_name(DigitForm form) {
  switch (form) {
    case DigitForm::kAscii:
      return "ascii";
    case DigitForm::kPacked:
      return "packed";
    case DigitForm::kUnpacked:
      break;
  }
  return "unpacked";
}

}  // namespace tarvek

#include "page/validation.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "page/number_reading.h"

namespace tarvek {
namespace {

// a + b without overflow, clamped to the range of long long.
long long saturating_add(long long a, long long b) {
  long long sum;
  if (__builtin_add_overflow(a, b, &sum)) {
    return a < 0 ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
  }
  return sum;
}

bool is_ascii_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool register_names_collide(const std::string& acc_name, const std::string& temp_name) {
  // No register of a routine reaches 16 bytes (63 result bits and a sign byte need 9).
  constexpr int kByteIndexes = 16;
  for (int k = 0; k < kByteIndexes; ++k) {
    for (int j = 0; j < kByteIndexes; ++j) {
      if (acc_name + std::to_string(k) == temp_name + std::to_string(j)) return true;
    }
  }
  return false;
}

RequestFields read_request_fields(const FormEntryList& form) {
  RequestFields fields;
  if (const std::string* value = form_value(form, "Const")) {
    fields.const_value = read_decimal_real(*value);
  }
  if (const std::string* value = form_value(form, "Acc")) fields.acc_name = *value;
  if (const std::string* value = form_value(form, "Bits")) {
    fields.input_bits = read_decimal_integer(*value);
  }
  if (const std::string* value = form_value(form, "ConstErr")) {
    fields.const_error = read_decimal_real(*value);
  }
  if (const std::string* value = form_value(form, "Temp")) fields.temp_name = *value;
  if (const std::string* value = form_value(form, "endian")) {
    fields.little_endian = !value->empty() && (*value)[0] == 'l';
  }
  return fields;
}

long long const_integer_bits(double const_value) {
  assert(const_value > 0 && std::isfinite(const_value));
  int exponent = 0;
  // frexp gives const_value = mantissa * 2^exponent with mantissa in [0.5, 1); a mantissa of
  // exactly 0.5 is a power of two, whose bit count the quotient of logarithms can miss by one
  // (2^-11 would give -10).
  if (std::frexp(const_value, &exponent) == 0.5) return exponent - 1;
  return static_cast<long long>(std::ceil(std::log10(const_value) / std::log10(2.0)));
}

bool is_valid_register_name(const std::string& name) {
  // A longer name is refused rather than cut: a cut name would silently differ from the one
  // the user typed.
  return !name.empty() && name.size() <= kMaxRegisterName && is_ascii_letter(name[0]);
}

ValidatedRequest validate_request(const RequestFields& fields) {
  ValidatedRequest result;
  int code = 0;
  // A temporary register that shares a byte with the accumulator (the same name, or ACC and
  // ACC1, whose bytes ACC1 and ACC10 meet) would make the routine overwrite its own input.
  if (!is_valid_register_name(fields.temp_name) ||
      register_names_collide(fields.acc_name, fields.temp_name)) {
    code = 4;
  }
  if (fields.const_error < 0 || fields.const_error > 50) code = 6;

  long long int_bits = 0;
  long long output_bits = 0;
  if (fields.const_value > 0) {
    if (std::isinf(fields.const_value)) {
      // Too large for a double: more integer bits than any limit, and a product far from 0.
      code = 5;
    } else {
      int_bits = const_integer_bits(fields.const_value);
      output_bits = saturating_add(fields.input_bits, int_bits);
      if (int_bits >= 32) code = 5;
      if (output_bits <= 0) code = 7;
    }
  } else {
    // 0, negative, or not a number (NaN compares false).
    code = 2;
  }
  if (fields.input_bits < 1 || fields.input_bits > 32) code = 1;
  if (!is_valid_register_name(fields.acc_name)) code = 3;

  result.error_code = code;
  if (code == 0) {
    result.input_bits = static_cast<int>(fields.input_bits);
    result.const_int_bits = static_cast<int>(int_bits);
    result.request.const_value = fields.const_value;
    result.request.const_error = fields.const_error;
    result.request.output_bits = static_cast<int>(output_bits);
    assert(result.input_bits >= 1 && result.input_bits <= 32);
    assert(result.const_int_bits >= -31 && result.const_int_bits <= 31);
    assert(result.request.output_bits >= 1 && result.request.output_bits <= 63);
  }
  return result;
}

}  // namespace tarvek

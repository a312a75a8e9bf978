// The promises a comment block makes besides a product: the digits of the input, stated by
// the title line "; ACC = digits(ACC, base 10, unpacked)" with the Output line
// "; Output: ACC0 .. ACC4\t(5 digits)", and the remainder of an exact quotient, stated by the
// line "; Remainder: REM0 .. REM1\t(12 bits)" beside the Output line.
//
// What they promise is computed here from the input alone, with plain integer arithmetic:
// digit k is floor(x / base^k) mod base, and the remainder of q = the title's result is
// a x - d q for the title's constant a/d. Nothing is taken from the code generator.
#ifndef TARVEK_SIM_EXTENDED_PROMISE_H
#define TARVEK_SIM_EXTENDED_PROMISE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/reference_model.h"

namespace tarvek {

enum class DigitStorage : uint8_t {
  // One digit a byte.
  kUnpacked,
  // One character '0' + digit a byte.
  kAscii,
  // Two digits a byte, the more significant one in the high nibble.
  kPacked,
};

// The promise of a digits routine's title line.
struct DigitPromise {
  // 2 to 256.
  int base = 10;
  DigitStorage storage = DigitStorage::kUnpacked;
};

// "; ACC = digits(ACC, base B, FORM)" with FORM unpacked, ascii or packed; nullopt for any
// other line.
std::optional<DigitPromise> read_digits_title(std::string_view line, std::string_view name);

// The digits of x in base `base` that `count` digit places hold: digit k is
// floor(x / base^k) mod base, least significant first.
// Requires: 2 <= base <= 256, 1 <= count <= 64.
std::vector<int> digits_of(uint64_t x, int base, int count);

// The bytes a digits routine leaves for x, least significant first: one per digit (the
// character '0' + digit for ascii), or for packed one per pair of digits, digit 2j in the low
// nibble of byte j and digit 2j + 1 (0 past the last) in its high nibble.
std::vector<uint8_t> digit_bytes(const DigitPromise& promise, uint64_t x, int count);

// Bytes that `count` digits take in the promise's storage.
int digit_byte_count(const DigitPromise& promise, int count);

// The Remainder line's register range: "REM0 .. REMn\t(B bits)" or "REM0\t(B bits)".
struct RemainderPromise {
  int bytes = 0;
  int bits = 0;
};

// Reads what follows "; Remainder: " for the register `name`; nullopt when it is not such a
// range.
std::optional<RemainderPromise> read_remainder_range(std::string_view text, std::string_view name);

// a x - d q, the remainder of the quotient q of x * a/d.
WideInt remainder_of(uint64_t a, uint64_t d, WideInt x, WideInt q);

// The bytes, least significant first, that hold r over the Remainder line's bytes, in two's
// complement when `is_signed`; nullopt when r does not fit the line's bits (with a sign bit
// among them when signed).
std::optional<std::vector<uint8_t>> remainder_bytes(WideInt r, const RemainderPromise& promise,
                                                    bool is_signed);

// Empty when `got` holds `wanted`; else which of the `what` bytes (counted from the least
// significant) differs and how.
std::string bytes_fault(const std::string& what, const std::vector<uint8_t>& wanted,
                        const std::vector<uint8_t>& got);

}  // namespace tarvek

#endif  // TARVEK_SIM_EXTENDED_PROMISE_H

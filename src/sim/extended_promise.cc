#include "sim/extended_promise.h"

#include <algorithm>
#include <cassert>
#include <charconv>

namespace tarvek {
namespace {

bool consume(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// A decimal number without sign or leading zeros, of at most four digits.
std::optional<int> consume_count(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && n < 4 && text[n] >= '0' && text[n] <= '9') ++n;
  if (n == 0 || (n > 1 && text[0] == '0')) return std::nullopt;
  int value = 0;
  std::from_chars(text.data(), text.data() + n, value);
  text.remove_prefix(n);
  return value;
}

}  // namespace

std::optional<DigitPromise> read_digits_title(std::string_view line, std::string_view name) {
  if (!consume(line, "; ") || !consume(line, name) || !consume(line, " = digits(") ||
      !consume(line, name) || !consume(line, ", base ")) {
    return std::nullopt;
  }
  const std::optional<int> base = consume_count(line);
  if (!base || *base < 2 || *base > 256) return std::nullopt;
  DigitPromise promise;
  promise.base = *base;
  if (line == ", unpacked)") {
    promise.storage = DigitStorage::kUnpacked;
  } else if (line == ", ascii)" && *base <= 10) {
    promise.storage = DigitStorage::kAscii;
  } else if (line == ", packed)" && *base == 10) {
    promise.storage = DigitStorage::kPacked;
  } else {
    return std::nullopt;
  }
  return promise;
}

std::vector<int> digits_of(uint64_t x, int base, int count) {
  assert(base >= 2 && base <= 256 && count >= 1 && count <= 64);
  std::vector<int> digits;
  for (int k = 0; k < count; ++k) {
    digits.push_back(static_cast<int>(x % static_cast<uint64_t>(base)));
    x /= static_cast<uint64_t>(base);
  }
  return digits;
}

int digit_byte_count(const DigitPromise& promise, int count) {
  return promise.storage == DigitStorage::kPacked ? (count + 1) / 2 : count;
}

std::vector<uint8_t> digit_bytes(const DigitPromise& promise, uint64_t x, int count) {
  const std::vector<int> digits = digits_of(x, promise.base, count);
  std::vector<uint8_t> bytes;
  switch (promise.storage) {
    case DigitStorage::kUnpacked:
      for (const int digit : digits) bytes.push_back(static_cast<uint8_t>(digit));
      break;
    case DigitStorage::kAscii:
      for (const int digit : digits) bytes.push_back(static_cast<uint8_t>('0' + digit));
      break;
    case DigitStorage::kPacked:
      for (int j = 0; j < count; j += 2) {
        const int high = j + 1 < count ? digits[static_cast<std::size_t>(j + 1)] : 0;
        bytes.push_back(static_cast<uint8_t>(16 * high + digits[static_cast<std::size_t>(j)]));
      }
      break;
  }
  return bytes;
}

std::optional<RemainderPromise> read_remainder_range(std::string_view text, std::string_view name) {
  RemainderPromise promise;
  if (!consume(text, name) || !consume(text, "0")) return std::nullopt;
  promise.bytes = 1;
  if (consume(text, " .. ")) {
    if (!consume(text, name)) return std::nullopt;
    const std::optional<int> last = consume_count(text);
    if (!last || *last < 1) return std::nullopt;
    promise.bytes = *last + 1;
  }
  if (!consume(text, "\t(")) return std::nullopt;
  const std::optional<int> bits = consume_count(text);
  if (!bits || *bits < 1 || text != " bits)") return std::nullopt;
  promise.bits = *bits;
  return promise;
}

WideInt remainder_of(uint64_t a, uint64_t d, WideInt x, WideInt q) {
  return static_cast<WideInt>(a) * x - static_cast<WideInt>(d) * q;
}

std::optional<std::vector<uint8_t>> remainder_bytes(WideInt r, const RemainderPromise& promise,
                                                    bool is_signed) {
  // Held in 128 bits: a remainder has at most 65 bits, a register at most 16 bytes here.
  if (promise.bits < 1 || promise.bits > 100 || promise.bytes > 16) return std::nullopt;
  const WideInt limit = static_cast<WideInt>(1) << (is_signed ? promise.bits - 1 : promise.bits);
  if (r >= limit || r < (is_signed ? -limit : 0)) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (int k = 0; k < promise.bytes; ++k) {
    // An arithmetic shift: a negative r's bytes above its bits are copies of its sign.
    bytes.push_back(static_cast<uint8_t>(static_cast<uint64_t>(r >> (8 * std::min(k, 15))) & 0xFF));
  }
  return bytes;
}

std::string bytes_fault(const std::string& what, const std::vector<uint8_t>& wanted,
                        const std::vector<uint8_t>& got) {
  for (std::size_t k = 0; k < wanted.size(); ++k) {
    const int held = k < got.size() ? got[k] : -1;
    if (held != wanted[k]) {
      return what + " byte " + std::to_string(k) + " from the least significant holds " +
             std::to_string(held) + ", documented " + std::to_string(wanted[k]);
    }
  }
  return "";
}

}  // namespace tarvek

#include "codegen/modular_multiple.h"

#include <bit>
#include <cassert>
#include <vector>

namespace tarvek {
namespace {

// target -= W, or W = target - W with `into_w`.
void subtract_w(CodeWriter& writer, Register& target, bool into_w) {
  if (into_w) {
    writer.subwf_w(target, 0);
  } else {
    writer.subwf_f(target, 0);
  }
}

// The nonzero digits of m in its signed binary form without two adjacent nonzero digits:
// (position, +1 or -1), lowest first. Adding 2^j for a run of ones is cheaper than adding each.
struct SignedDigit {
  int position;
  int sign;
};

std::vector<SignedDigit> signed_digits(uint64_t m) {
  std::vector<SignedDigit> digits;
  // Held in 128 bits: m + 1 may carry past bit 63.
  __extension__ typedef unsigned __int128 Wide;
  Wide rest = m;
  for (int position = 0; rest != 0; ++position, rest >>= 1) {
    if ((rest & 1) == 0) continue;
    const int sign = (rest & 3) == 1 ? 1 : -1;
    digits.push_back({position, sign});
    rest = sign > 0 ? rest - 1 : rest + 1;
  }
  return digits;
}

}  // namespace

void multiply_byte(CodeWriter& writer, Register& target, Register& source, int source_byte, int m) {
  assert(m >= 0 && m <= 255);
  if (m == 0) {
    writer.clrf(target, 0);
    return;
  }
  int bit = 7;
  while (((m >> bit) & 1) == 0) --bit;
  writer.movf_w(source, source_byte);
  writer.movwf(target, 0);
  if (writer.enhanced()) {
    // lslf doubles in one instruction and leaves W alone, as addwf into a file does, so W
    // holds the source from the copy on (the W record names the target, which lslf then
    // changes, so the record cannot say so).
    for (--bit; bit >= 0; --bit) {
      writer.lslf_f(target, 0);
      if (((m >> bit) & 1) != 0) writer.addwf_f(target, 0);
    }
    return;
  }
  for (--bit; bit >= 0; --bit) {
    writer.movf_w(target, 0);
    writer.addwf_f(target, 0);
    if (((m >> bit) & 1) != 0) {
      writer.movf_w(source, source_byte);
      writer.addwf_f(target, 0);
    }
  }
}

void subtract_byte_multiple(CodeWriter& writer, Register& target, Register& source, int source_byte,
                            Register& scratch, int m, bool last_into_w) {
  assert(m >= 1 && m <= 255);
  writer.movf_w(source, source_byte);
  const int top = std::bit_width(static_cast<unsigned>(m)) - 1;
  for (int bit = 0; bit <= top; ++bit) {
    if (bit == top) {
      subtract_w(writer, target, last_into_w);
      break;
    }
    if (((m >> bit) & 1) != 0) writer.subwf_f(target, 0);
    if (bit == 0) {
      writer.addwf_w(source, source_byte);
    } else {
      writer.movwf(scratch, 0);
      writer.addwf_w(scratch, 0);
    }
  }
}

void add_bytes(CodeWriter& writer, Register& target, Register& source, int bytes, bool subtract) {
  assert(bytes >= 1 && bytes <= 8);
  for (int k = 0; k < bytes; ++k) {
    const int from = byte_from_low(source, bytes, k);
    const int to = byte_from_low(target, bytes, k);
    writer.movf_w(source, from);
    if (k > 0 && writer.carry_arithmetic()) {
      subtract ? writer.subwfb_f(target, to) : writer.addwfc_f(target, to);
      continue;
    }
    if (k > 0) {
      // The carry (or the borrow, C clear) of the byte below is one more of the source byte;
      // a source byte of 255 plus one is 256, which leaves the byte and passes the carry on.
      subtract ? writer.skpc() : writer.skpnc();
      writer.incfsz_w(source, from);
    }
    subtract ? writer.subwf_f(target, to) : writer.addwf_f(target, to);
  }
}

void shift_bytes_left(CodeWriter& writer, Register& reg, int bytes, int n) {
  assert(bytes >= 1 && bytes <= 8 && n >= 0);
  const int whole = n / 8;
  if (whole > 0) {
    for (int k = bytes - 1; k >= 0; --k) {
      if (k >= whole) {
        writer.movf_w(reg, byte_from_low(reg, bytes, k - whole));
        writer.movwf(reg, byte_from_low(reg, bytes, k));
      } else {
        writer.clrf(reg, byte_from_low(reg, bytes, k));
      }
    }
  }
  if (whole >= bytes) return;
  for (int pass = 0; pass < n % 8; ++pass) {
    for (int k = whole; k < bytes; ++k) {
      const int index = byte_from_low(reg, bytes, k);
      if (k > whole) {
        writer.rlf_f(reg, index);
      } else if (writer.enhanced()) {
        writer.lslf_f(reg, index);
      } else {
        writer.clrc();
        writer.rlf_f(reg, index);
      }
    }
  }
}

void add_multiple_in_place(CodeWriter& writer, Register& target, Register& multiplicand, int bytes,
                           uint64_t m, bool subtract) {
  assert(bytes >= 1 && bytes <= 8 && m >= 1);
  int position = 0;
  for (const SignedDigit& digit : signed_digits(m)) {
    // A multiple of 2^(8 bytes) is 0 modulo it.
    if (digit.position >= 8 * bytes) break;
    shift_bytes_left(writer, multiplicand, bytes, digit.position - position);
    position = digit.position;
    add_bytes(writer, target, multiplicand, bytes, (digit.sign < 0) != subtract);
  }
}

}  // namespace tarvek

#include "codegen/shifted_copy.h"

#include <cassert>

namespace tarvek {
const std::string& copy_shifted_right(CodeWriter& writer, Register& dst, Register& src, int k) {
  assert(!src.is_signed && k >= 1);
  writer.clear_text();
  writer.flush_carry();
  const int source_bytes = src.value_bytes();
  const int skipped = k / 8;
  const int bits = k % 8;
  const int width = src.width > k ? src.width - k : 0;
  dst.is_signed = false;
  dst.is_zero = width == 0;
  // A shift by whole bytes or by a nibble fills just the bytes the value needs; a bit shift
  // works on every source byte above the skipped ones, which all hold bits until the last
  // pass has moved them down.
  const int working = bits == 0 || bits == 4 ? (width + 7) / 8 : source_bytes - skipped;
  dst.set_width(width, width == 0 ? 0 : 8 * working - width);
  if (width == 0) return writer.text;
  const int count = dst.value_bytes();
  // Source byte of dst's byte j (from the least significant end), `extra` places further.
  const auto source = [&](int j, int extra) {
    return byte_from_low(src, source_bytes, j + skipped + extra);
  };
  const auto target = [&](int j) { return byte_from_low(dst, count, j); };
  const auto has_source = [&](int j) { return j + skipped < source_bytes; };

  if (bits == 0) {
    for (int j = 0; j < count; ++j) {
      writer.movf_w(src, source(j, 0));
      writer.movwf(dst, target(j));
    }
  } else if (bits == 4) {
    // Low nibble of each byte from the high nibble of its source byte, high nibble from the
    // low nibble of the byte above.
    for (int j = 0; j < count; ++j) {
      writer.swapf_w(src, source(j, 0));
      writer.andlw(0x0F);
      writer.movwf(dst, target(j));
      if (has_source(j + 1)) {
        writer.swapf_w(src, source(j, 1));
        writer.andlw(0xF0);
        writer.iorwf_f(dst, target(j));
      }
    }
  } else {
    // The first bit on the way from src to dst, top byte first, a cleared carry entering it;
    // the other bits in dst itself. The enhanced core's lsrf shifts a zero into the top byte
    // itself, so no clrc goes first.
    const int top = source_bytes - 1 - skipped;
    const bool enhanced = writer.enhanced();
    // C now changes: whatever the writer knew of it is gone.
    writer.set_carry_known(false, src);
    writer.set_carry_overflow(false, src);
    if (!enhanced) writer.clrc();
    for (int j = top; j >= 0; --j) {
      if (enhanced && j == top) {
        writer.lsrf_w(src, source(j, 0));
      } else {
        writer.rrf_w(src, source(j, 0));
      }
      writer.movwf(dst, target(j));
    }
    for (int pass = 1; pass < bits; ++pass) {
      if (!enhanced) writer.clrc();
      for (int j = count - 1; j >= 0; --j) {
        if (enhanced && j == count - 1) {
          writer.lsrf_f(dst, target(j));
        } else {
          writer.rrf_f(dst, target(j));
        }
      }
    }
  }
  return writer.text;
}

}  // namespace tarvek

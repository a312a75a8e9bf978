#include "codegen/shifted_copy.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {

// dst := the bytes of src from `skipped` + 1 up, shifted left by `rise` bits, the bits entering
// from below taken from src's byte `skipped` (from the low end), which is src >> (8 (skipped +
// 1) - rise). The byte past dst's value bytes holds src's byte on its way up; bits shifted in
// below it are never shifted far enough to reach dst, and dst's top bits end zero because
// src's bits above its width are.
void copy_rising(CodeWriter& writer, Register& dst, Register& src, int skipped, int rise,
                 int width) {
  const int source_bytes = src.value_bytes();
  const int count = (width + 7) / 8;
  dst.set_width(width, 8 * count - width);
  dst.bytes = std::max(dst.bytes, count + 1);
  // The scratch byte is dst's byte `count`, past its value bytes in either byte order.
  const int low = count;
  // C now changes: whatever the writer knew of it is gone.
  writer.set_carry_known(false, src);
  writer.set_carry_overflow(false, src);
  writer.rlf_w(src, byte_from_low(src, source_bytes, skipped));
  writer.movwf(dst, low);
  for (int j = 0; j < count; ++j) {
    const int from = skipped + 1 + j;
    const int to = byte_from_low(dst, count, j);
    if (from < source_bytes) {
      writer.rlf_w(src, byte_from_low(src, source_bytes, from));
      writer.movwf(dst, to);
    } else {
      writer.clrf(dst, to);
      writer.rlf_f(dst, to);
    }
  }
  for (int pass = 1; pass < rise; ++pass) {
    writer.rlf_f(dst, low);
    for (int j = 0; j < count; ++j) writer.rlf_f(dst, byte_from_low(dst, count, j));
  }
}

}  // namespace

const Code& copy_shifted_right(CodeWriter& writer, Register& dst, Register& src, int k) {
  assert(!src.is_signed && k >= 1);
  writer.clear_code();
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
  // A shift by 8 - L bits is also a shift left by L of the bytes one place up, the low bits
  // coming from the byte below through a scratch byte: fewer passes for a shift by five or
  // more (no clrc either). Each way's instructions, from its passes, decide.
  const int needed = (width + 7) / 8;
  const int rise = 8 - bits;
  const int clear = writer.enhanced() ? 0 : 1;
  const bool by_rising = bits != 0 && bits != 4 && width > 0 &&
                         2 + 2 * needed + (rise - 1) * (1 + needed) <
                             clear + 2 * working + (bits - 1) * (clear + working);
  if (by_rising) {
    copy_rising(writer, dst, src, skipped, rise, width);
    return writer.code;
  }
  dst.set_width(width, width == 0 ? 0 : 8 * working - width);
  if (width == 0) return writer.code;
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
    // low nibble of the byte above. The low byte comes last, so that what adds the copy next
    // may find its value still in W.
    for (int j = count - 1; j >= 0; --j) {
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
  return writer.code;
}

}  // namespace tarvek

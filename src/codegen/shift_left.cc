// Left shift of a multi-byte register by n bits, written out as straight-line code.
//
// The shift is split by byte order and by n mod 8 so that each case uses the cheapest
// instruction pattern: a move up by one byte followed by two right rotates for 6 bits, one
// rotate right through a byte-shifted copy for 7 bits, nibble swaps for 4 and 5 bits on
// one- and two-byte values, and left rotate passes otherwise. Whole bytes are moves (little
// endian) or cleared bytes appended at the least significant end (big endian).
//
// The register grows at its most significant end whenever `spare` does not leave room, so no
// value bit is ever lost. Bytes beyond the value's bytes may hold stale data afterwards; every
// later step that takes such a byte into the value writes or clears it first.
//
// Signed registers: the value is two's complement over the value bytes and the spare bits are
// copies of the sign. Program assembly never shifts a signed register left, but the shift
// keeps such a value right in both byte orders: a byte added at the top is sign-extended,
// every rotate pass starts with a clear carry, and the right rotates of the 6- and 7-bit
// little-endian cases take the sign in at the top. The little-endian nibble step, whose
// masks would zero-extend, is left to the rotate passes for signed registers.
//
// Registers with 8 or more spare bits (the open case; a signed register gets 8 from a carry
// flush) are shifted correctly as well: whole bytes are always added for q = n / 8 > 0, even
// when n does not exceed `spare`, and the bit part only relies on `spare` being large enough.
// Such a register may keep 8 or more spare bits afterwards.
#include <cassert>

#include "codegen/shift.h"
#include "codegen/shift_step.h"

namespace tarvek {
namespace {

// --- Little-endian order: byte 0 is the least significant byte. ---

// Shift by 7: each byte k + 1 takes bits 7..1 of the old byte k and, in bit 7, bit 0 of the
// old byte k + 1.
void le_shift_seven(CodeWriter& writer, Register& reg) {
  const int c0 = reg.value_bytes();
  if (reg.spare >= 7) {
    // Only bit 0 of the top byte is value: move it into the carry. The byte itself is
    // rewritten by the loop or by the final clear below.
    writer.rrf_f(reg, c0 - 1);
  } else {
    // The new top byte receives the old top byte shifted right by one, with the sign (or a
    // zero) coming in at bit 7.
    shift_right_top(writer, reg, c0 - 1, true);
    writer.movwf(reg, c0);
    reg.spare += 8;
    reg.update_bytes();
  }
  for (int k = c0 - 2; k >= 0; --k) {
    writer.rrf_w(reg, k);
    writer.movwf(reg, k + 1);
  }
  writer.clrf(reg, 0);
  writer.rrf_f(reg, 0);
  reg.width += 7;
  reg.spare -= 7;
}

// Shift by 6: move the value up by one byte, then rotate the c0 + 1 bytes right twice.
void le_shift_six(CodeWriter& writer, Register& reg) {
  const int c0 = reg.value_bytes();
  for (int k = c0 - 1; k >= 0; --k) {
    writer.movf_w(reg, k);
    writer.movwf(reg, k + 1);
  }
  writer.clrf(reg, 0);
  reg.width += 8;
  reg.update_bytes();
  for (int pass = 0; pass < 2; ++pass) {
    // The sign of the top byte comes in at bit 7 on each pass. Unsigned, the first incoming
    // bit stays inside the value; with 6 or more spare bits it lands in byte c0, which then
    // holds no value bits, and the second pass always takes in bit 0 of the cleared byte 0.
    if (reg.is_signed || (pass == 0 && reg.spare < 6)) {
      shift_right_top(writer, reg, c0, false);
    } else {
      writer.rrf_f(reg, c0);
    }
    for (int k = c0 - 1; k >= 0; --k) writer.rrf_f(reg, k);
  }
  reg.width -= 2;
  reg.spare = (reg.spare + 2) % 8;
}

// Shift by 4 on a value of one or two bytes: nibble swaps and masks. Unsigned only.
void le_shift_nibble(CodeWriter& writer, Register& reg) {
  const int c0 = reg.value_bytes();
  assert(c0 >= 1 && c0 <= 2 && !reg.is_signed);
  if (reg.spare >= 4) {
    // The empty high nibble and the low nibble of the top byte trade places.
    writer.swapf_f(reg, c0 - 1);
  } else {
    // The new top byte c0 takes the old high nibble; the old top byte keeps its low nibble,
    // moved up.
    writer.swapf_w(reg, c0 - 1);
    writer.andlw(15);
    writer.movwf(reg, c0);
    writer.swapf_w(reg, c0 - 1);
    writer.andlw(-16);
    writer.movwf(reg, c0 - 1);
    reg.spare += 8;
    reg.update_bytes();
  }
  for (int k = c0 - 2; k >= 0; --k) {
    writer.swapf_w(reg, k);
    writer.andlw(15);
    writer.iorwf_f(reg, k + 1);
    writer.swapf_w(reg, k);
    writer.andlw(-16);
    writer.movwf(reg, k);
  }
  reg.width += 4;
  reg.spare -= 4;
}

// `passes` rotates left by one bit, each over the whole value, adding a top byte whenever the
// spare bits run out.
void le_rotate_passes(CodeWriter& writer, Register& reg, int passes) {
  int c = reg.value_bytes();
  for (int pass = 0; pass < passes; ++pass) {
    // Unsigned, the carry after a pass is zero (a spare bit, or bit 7 of a new cleared byte);
    // signed, it may be a copy of the sign.
    if (pass == 0 || reg.is_signed) {
      shift_left_from_zero(writer, reg, 0);
    } else {
      writer.rlf_f(reg, 0);
    }
    for (int k = 1; k < c; ++k) writer.rlf_f(reg, k);
    reg.width += 1;
    reg.spare -= 1;
    if (reg.spare < 0) {
      // The carry holds the bit that left the top byte.
      writer.clrf(reg, c);
      if (reg.is_signed) {
        writer.skpnc();
        writer.comf_f(reg, c);
      } else {
        writer.rlf_f(reg, c);
      }
      ++c;
      reg.spare += 8;
      reg.update_bytes();
    }
  }
}

// Whole bytes: every byte moves q indexes up, highest first, and the low q bytes are cleared.
void le_shift_bytes(CodeWriter& writer, Register& reg, int q) {
  const int c = reg.value_bytes();
  for (int k = c - 1; k >= 0; --k) {
    writer.movf_w(reg, k);
    writer.movwf(reg, k + q);
  }
  for (int i = 0; i < q; ++i) writer.clrf(reg, i);
  reg.width += 8 * q;
  reg.update_bytes();
}

void le_shift(CodeWriter& writer, Register& reg, int n) {
  const int q = n / 8;
  int r = n % 8;
  const int c0 = reg.value_bytes();
  if (r == 7) {
    le_shift_seven(writer, reg);
  } else if (r == 6) {
    le_shift_six(writer, reg);
  } else {
    if ((r == 4 || r == 5) && c0 <= 2 && !reg.is_signed) {
      le_shift_nibble(writer, reg);
      r -= 4;
    }
    le_rotate_passes(writer, reg, r);
  }
  if (q > 0) le_shift_bytes(writer, reg, q);
}

// --- Big-endian order: byte 0 is the most significant byte. ---

// Makes room for the bit part and adds the whole bytes: a byte is inserted at the top when the
// spare bits cannot take the r bits, and q cleared bytes are appended at the least significant
// end, each multiplying the value by 256.
void be_make_room(CodeWriter& writer, Register& reg, int q, int r) {
  if (r > reg.spare) {
    const int c = reg.value_bytes();
    for (int k = c - 1; k >= 0; --k) {
      writer.movf_w(reg, k);
      writer.movwf(reg, k + 1);
    }
    writer.clrf(reg, 0);
    if (reg.is_signed) {
      writer.btfsc(reg, 1, 7);
      writer.comf_f(reg, 0);
    }
    reg.spare += 8;
    reg.update_bytes();
  }
  for (int i = 0; i < q; ++i) {
    writer.clrf(reg, reg.value_bytes());
    reg.width += 8;
    reg.update_bytes();
  }
}

// Shift by 7 (spare >= 7): each byte i - 1 takes bits 7..1 of the old byte i and, in bit 7,
// bit 0 of the old byte i - 1. The upper seven bits of the old top byte, all spare, fall away
// together with the carry rotated into it.
void be_shift_seven(CodeWriter& writer, Register& reg) {
  assert(reg.spare >= 7);
  const int last = reg.value_bytes() - 1;
  writer.rrf_f(reg, 0);
  for (int i = 1; i <= last; ++i) {
    writer.rrf_w(reg, i);
    writer.movwf(reg, i - 1);
  }
  writer.clrf(reg, last);
  writer.rrf_f(reg, last);
  reg.width += 7;
  reg.spare -= 7;
}

// Shift by 6 (spare >= 6): append a cleared byte (a shift by 8), rotate everything right
// twice, then drop the top byte, now all spare, by moving the value back down one index. The
// carry entering the first pass lands in the dropped byte; the second pass takes in bit 0 of
// the appended byte, which is zero. The appended byte stays allocated with stale content.
void be_shift_six(CodeWriter& writer, Register& reg) {
  assert(reg.spare >= 6);
  const int c = reg.value_bytes();
  reg.width += 8;
  reg.update_bytes();
  writer.clrf(reg, c);
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i <= c; ++i) writer.rrf_f(reg, i);
    reg.width -= 1;
    reg.spare += 1;
  }
  for (int i = 1; i <= c; ++i) {
    writer.movf_w(reg, i);
    writer.movwf(reg, i - 1);
  }
  reg.spare -= 8;
}

// Shift by 4 on a value of one or two bytes (spare >= 4): nibble swaps and masks.
void be_shift_nibble(CodeWriter& writer, Register& reg) {
  assert(reg.spare >= 4);
  const int last = reg.value_bytes() - 1;
  assert(last >= 0 && last <= 1);
  for (int i = 0; i <= last; ++i) {
    // An unsigned top byte that is all spare is zero: nothing to move up in it.
    if (i != 0 || reg.spare < 8 || reg.is_signed) {
      writer.swapf_w(reg, i);
      writer.andlw(-16);
      writer.movwf(reg, i);
    }
    if (i < last) {
      writer.swapf_w(reg, i + 1);
      writer.andlw(15);
      writer.iorwf_f(reg, i);
    }
  }
  reg.width += 4;
  reg.spare -= 4;
}

// `passes` rotates left by one bit (spare >= passes, so every pass stays inside the value
// bytes). A signed value shifts copies of its sign out of the top byte, so the carry is
// cleared before every pass, not only the first.
void be_rotate_passes(CodeWriter& writer, Register& reg, int passes) {
  assert(reg.spare >= passes);
  const int c = reg.value_bytes();
  for (int pass = 0; pass < passes; ++pass) {
    if (pass == 0 || reg.is_signed) {
      shift_left_from_zero(writer, reg, c - 1);
    } else {
      writer.rlf_f(reg, c - 1);
    }
    for (int k = c - 2; k >= 0; --k) writer.rlf_f(reg, k);
    reg.width += 1;
    reg.spare -= 1;
  }
}

void be_shift(CodeWriter& writer, Register& reg, int n) {
  const int q = n / 8;
  int r = n % 8;
  // With spare below 8 this writes nothing exactly when n <= spare. Appending the q bytes
  // whenever q > 0 also covers registers with 8 or more spare bits, where n <= spare can hold
  // for n >= 8.
  be_make_room(writer, reg, q, r);
  const int c = reg.value_bytes();
  if (r == 7) {
    be_shift_seven(writer, reg);
  } else if (r == 6) {
    be_shift_six(writer, reg);
  } else {
    if ((r == 4 || r == 5) && c <= 2) {
      be_shift_nibble(writer, reg);
      r -= 4;
    }
    be_rotate_passes(writer, reg, r);
  }
}

}  // namespace

const Code& shift_left(CodeWriter& writer, Register& reg, int n) {
  assert(n >= 1 && n <= 31);
  reg.is_zero = false;
  writer.clear_code();
  // A pending overflow of whichever register holds the carry is stored first; after the
  // shift nothing is known about the carry for this register.
  writer.flush_carry();
  writer.set_carry_overflow(false, reg);
  writer.set_carry_known(false, reg);
  if (reg.little_endian) {
    le_shift(writer, reg, n);
  } else {
    be_shift(writer, reg, n);
  }
  return writer.code;
}

}  // namespace tarvek

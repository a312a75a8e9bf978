// Right shift of a multi-byte register: whole bytes are dropped by moving (little-endian) or
// by forgetting them (big-endian), 7 and 6 bits by rotating left and dropping a byte, 4 and 5
// bits of a one-byte value by nibble swaps, and every other bit by one rrf chain.
//
// Meaning of the descriptor, kept by every path below:
// - Unsigned: the value is below 2^width; the spare bits are zero.
// - Signed: the value is a two's-complement number over the value bytes whose spare bits are
//   copies of its sign. With a spare bit the sign has a place of its own and the value lies in
//   [-2^width, 2^width); without one the top value bit is the sign. No step here drops the
//   last spare bit of a signed register (spare stays between 1 and 8 once it is 1 or more).
// - A pending overflow carry of the register is one more bit above the value bytes: a value
//   bit for an unsigned register, the inverted sign for a signed one. When a shift takes it in
//   at the top, an unsigned value gains that bit back (width grows by one), exactly as
//   flush_carry counts it.
#include <cassert>

#include "codegen/shift.h"
#include "codegen/shift_step.h"

namespace tarvek {
namespace {

// Literal that flips bit 7 of a byte when added to it.
constexpr int kTopBit = -128;

int signed_bit(const Register& reg) {
  return reg.is_signed ? 1 : 0;
}

void clear_flags(CodeWriter& writer, Register& reg) {
  writer.set_carry_overflow(false, reg);
  writer.set_carry_known(false, reg);
}

// Makes `reg` the register the carry state describes; a pending overflow of another register
// is stored first, so no other register's carried bit is ever dropped.
void make_current(CodeWriter& writer, Register& reg) {
  if (writer.carry_register == &reg) return;
  writer.flush_carry();
  clear_flags(writer, reg);
}

// Whole bytes at the top that hold only spare bits and may leave the value. A signed register
// keeps at least one spare bit for its sign: without it the top value bit would be read as
// the sign and a value of full width would change sign.
int free_top_bytes(const Register& reg) {
  const int free_bits = reg.spare - signed_bit(reg);
  return free_bits >= 8 ? free_bits / 8 : 0;
}

// Takes a pending overflow carry into the top of the value: an unsigned value gains a bit.
// A signed register's carry only carries its sign, which becomes a spare bit.
void count_absorbed_carry(Register& reg) {
  if (reg.is_signed) return;
  reg.width += 1;
  reg.spare -= 1;
}

// In the signed bit loop with a pending carry, the carry (the inverted sign) has just entered
// bit 7 of the top byte; adding 0x80 to that byte turns the bit into the sign. (Inverting the carry
// first through "xorwf STATUS, f" is not used: the processor documentation disables writes to C, DC
// and Z for an instruction that itself sets Z, so that inversion cannot be relied on.)
void fix_top_sign(CodeWriter& writer, Register& reg, int top) {
  writer.movlw(kTopBit);
  writer.addwf_f(reg, top);
}

// Brings `spare` into its range by forgetting top bytes that hold only spare bits.
void le_forget_free_bytes(Register& reg) {
  reg.spare -= 8 * free_top_bytes(reg);
}

// Shifts right by `count` bits, one rrf chain per bit from the most significant byte down. The
// bit entering at the top is the pending carry, a copy of the sign, or zero.
void shift_bits(CodeWriter& writer, Register& reg, int count) {
  for (int pass = 0; pass < count; ++pass) {
    make_current(writer, reg);
    const int bytes = reg.value_bytes();
    const int top = reg.little_endian ? bytes - 1 : 0;
    const bool overflow = writer.carry_overflow_of(reg);
    // With a pending overflow (unsigned) or a known carry the carry already is the incoming
    // top bit; otherwise it is the sign or a zero.
    if (!overflow && (reg.is_signed || !writer.carry_known_of(reg))) {
      shift_right_top(writer, reg, top, false);
    } else {
      writer.rrf_f(reg, top);
    }
    for (int i = 1; i < bytes; ++i) writer.rrf_f(reg, reg.little_endian ? bytes - 1 - i : i);
    if (overflow) {
      if (reg.is_signed) fix_top_sign(writer, reg, top);
      count_absorbed_carry(reg);
    }
    clear_flags(writer, reg);
    reg.width -= 1;
    reg.spare += 1;
    // Little-endian top bytes are the last ones and are forgotten as soon as they are free;
    // big-endian ones are dropped by one move at the end of the shift.
    if (reg.little_endian) le_forget_free_bytes(reg);
  }
}

// ---------------------------------------------------------------------------------------------
// Big-endian: byte 0 is the most significant byte.

void be_seven(CodeWriter& writer, Register& reg) {
  writer.flush_carry();
  clear_flags(writer, reg);
  const int low = reg.value_bytes() - 1;
  writer.rlf_f(reg, low);
  if (reg.spare - signed_bit(reg) >= 1) {
    // A spare bit leaves at the top: rotate everything left and forget the low byte.
    for (int k = low - 1; k >= 0; --k) writer.rlf_f(reg, k);
    reg.spare -= 1;
    reg.width -= 7;
    return;
  }
  // No spare bit to lose: every byte moves one place down, rotated left, and the top byte is
  // rebuilt from the bit (unsigned) or the sign (signed) that left the old top byte.
  for (int k = low - 1; k >= 0; --k) {
    writer.rlf_w(reg, k);
    writer.movwf(reg, k + 1);
  }
  writer.clrf(reg, 0);
  if (reg.is_signed) {
    writer.skpnc();
    writer.comf_f(reg, 0);
  } else {
    writer.rlf_f(reg, 0);
  }
  reg.spare += 7;
  reg.width -= 7;
}

void be_six(CodeWriter& writer, Register& reg) {
  const int count = reg.value_bytes();
  if (reg.spare - signed_bit(reg) >= 2) {
    make_current(writer, reg);
    for (int pass = 0; pass < 2; ++pass) {
      for (int k = count - 1; k >= 0; --k) writer.rlf_f(reg, k);
    }
    reg.spare -= 2;
    reg.width -= 6;
    return;
  }
  // Too little room at the top: the value moves one byte down into a new low byte first.
  for (int k = count - 1; k >= 0; --k) {
    writer.movf_w(reg, k);
    writer.movwf(reg, k + 1);
  }
  reg.width += 8;
  reg.update_bytes();
  reg.width -= 8;
  writer.clrf(reg, 0);
  make_current(writer, reg);
  if (writer.carry_overflow_of(reg)) {
    if (reg.is_signed) {
      writer.skpc();
      writer.comf_f(reg, 0);
    } else {
      writer.skpnc();
      writer.bsf(reg, 0, 0);
    }
    count_absorbed_carry(reg);
  } else if (reg.is_signed) {
    writer.btfsc(reg, 1, 7);
    writer.comf_f(reg, 0);
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (int k = count; k >= 0; --k) writer.rlf_f(reg, k);
  }
  reg.spare += 6;
  reg.width -= 6;
}

void be_nibble(CodeWriter& writer, Register& reg) {
  make_current(writer, reg);
  for (int k = reg.value_bytes() - 1; k >= 0; --k) {
    writer.swapf_w(reg, k);
    writer.andlw(15);
    writer.movwf(reg, k);
    if (k > 0) {
      writer.swapf_w(reg, k - 1);
      writer.andlw(-16);
      writer.iorwf_f(reg, k);
    }
  }
  if (writer.carry_overflow_of(reg)) {
    if (reg.is_signed) {
      writer.movlw(-16);
      writer.skpc();
      writer.iorwf_f(reg, 0);
    } else {
      writer.skpnc();
      writer.bsf(reg, 0, 4);
    }
    count_absorbed_carry(reg);
  } else if (reg.is_signed) {
    writer.movlw(-16);
    writer.btfsc(reg, 0, 3);
    writer.iorwf_f(reg, 0);
  }
  reg.spare += 4;
  reg.width -= 4;
  clear_flags(writer, reg);
}

void be_compact(CodeWriter& writer, Register& reg) {
  const int drop = free_top_bytes(reg);
  if (drop == 0) return;
  const int count = reg.value_bytes();
  for (int k = drop; k < count; ++k) {
    writer.movf_w(reg, k);
    writer.movwf(reg, k - drop);
  }
  reg.spare -= 8 * drop;
}

void shift_big_endian(CodeWriter& writer, Register& reg, int n) {
  const int q = n / 8;
  int c = n % 8;
  if (c == 0 && writer.carry_overflow_of(reg)) writer.flush_carry();
  reg.width -= 8 * q;
  if (c == 7) {
    be_seven(writer, reg);
  } else if (c == 6) {
    be_six(writer, reg);
  } else {
    if ((c == 4 || c == 5) && (reg.width + 7) / 8 == 1) {
      be_nibble(writer, reg);
      c -= 4;
    }
    shift_bits(writer, reg, c);
  }
  be_compact(writer, reg);
}

// ---------------------------------------------------------------------------------------------
// Little-endian: byte 0 is the least significant byte.

// Stores the bit that just left byte `top` - 1 in the cleared byte `top`: the bit itself for
// an unsigned register, eight copies of it (the sign) for a signed one.
void le_store_out_bit(CodeWriter& writer, Register& reg, int top) {
  writer.clrf(reg, top);
  if (reg.is_signed) {
    writer.skpnc();
    writer.comf_f(reg, top);
  } else {
    writer.rlf_f(reg, top);
  }
}

void le_seven(CodeWriter& writer, Register& reg) {
  writer.flush_carry();
  clear_flags(writer, reg);
  const int count = reg.value_bytes();
  writer.rlf_f(reg, 0);
  for (int i = 0; i + 1 < count; ++i) {
    writer.rlf_w(reg, i + 1);
    writer.movwf(reg, i);
  }
  if (reg.spare - signed_bit(reg) < 1) le_store_out_bit(writer, reg, count - 1);
  reg.width -= 7;
  reg.spare += 7;
  le_forget_free_bytes(reg);
  reg.update_bytes();
}

void le_six(CodeWriter& writer, Register& reg) {
  writer.flush_carry();
  clear_flags(writer, reg);
  for (int pass = 0; pass < 2; ++pass) {
    const int count = reg.value_bytes();
    for (int k = 0; k < count; ++k) writer.rlf_f(reg, k);
    reg.spare -= 1;
    reg.width += 1;
    if (reg.spare < signed_bit(reg)) {
      le_store_out_bit(writer, reg, count);
      reg.spare += 8;
      reg.update_bytes();
    }
  }
  const int count = reg.value_bytes();
  for (int i = 0; i + 1 < count; ++i) {
    writer.movf_w(reg, i + 1);
    writer.movwf(reg, i);
  }
  reg.width -= 8;
}

void le_nibble(CodeWriter& writer, Register& reg) {
  make_current(writer, reg);
  writer.swapf_w(reg, 0);
  writer.andlw(15);
  if (writer.carry_overflow_of(reg)) {
    if (reg.is_signed) {
      writer.skpc();
      writer.iorlw(-16);
    } else {
      writer.skpnc();
      writer.iorlw(16);
    }
    count_absorbed_carry(reg);
  } else if (reg.is_signed) {
    writer.btfsc(reg, 0, 7);
    writer.iorlw(-16);
  }
  writer.movwf(reg, 0);
  reg.spare += 4;
  reg.width -= 4;
  clear_flags(writer, reg);
}

void shift_little_endian(CodeWriter& writer, Register& reg, int n) {
  const int q = n / 8;
  int c = n % 8;
  // The byte count is taken after this flush: the byte it adds holds the carried bit, which
  // the byte moves below must carry down with the rest.
  if (c == 0 && writer.carry_overflow_of(reg)) writer.flush_carry();
  const int entry_bytes = reg.value_bytes();
  if (q > 0) {
    for (int k = q; k < entry_bytes; ++k) {
      writer.movf_w(reg, k);
      writer.movwf(reg, k - q);
    }
    reg.width -= 8 * q;
  }
  if (c == 7) {
    le_seven(writer, reg);
  } else if (c == 6) {
    le_six(writer, reg);
  } else {
    if ((c == 4 || c == 5) && entry_bytes == 1) {
      le_nibble(writer, reg);
      c -= 4;
    }
    shift_bits(writer, reg, c);
  }
  le_forget_free_bytes(reg);
}

}  // namespace

Code shift_right(CodeWriter& writer, Register& reg, int n) {
  assert(n >= 1);
  const bool overflow = writer.carry_overflow_of(reg);
  if (reg.is_signed) {
    // An arithmetic shift never runs out of bits: shifting out every value bit leaves the
    // sign (0 or -1), so a signed register is shifted by at most the number of bits below its
    // sign and keeps that sign. The sign lies in the carry (pending overflow), in a spare bit,
    // or, with neither, in the top value bit.
    const int below_sign = reg.width - (overflow || reg.spare > 0 ? 0 : 1);
    if (below_sign <= 0) return Code();  // Already nothing but its sign.
    if (n > below_sign) n = below_sign;
  } else if (n >= reg.width) {
    // Every value bit is shifted out. A pending overflow carry is the bit just above them: it
    // stays pending as the whole value when exactly the width is shifted out (whoever stores
    // it later stores it with weight 1), and is shifted out too by a longer shift.
    if (overflow && n > reg.width) clear_flags(writer, reg);
    reg.width = 0;
    reg.spare = 0;
    reg.is_zero = true;
    return Code();
  }
  writer.clear_code();
  reg.is_zero = false;
  if (reg.little_endian) {
    shift_little_endian(writer, reg, n);
  } else {
    shift_big_endian(writer, reg, n);
  }
  reg.update_bytes();
  make_current(writer, reg);
  clear_flags(writer, reg);
  return writer.code;
}

}  // namespace tarvek

#include "codegen/arithmetic.h"

#include <algorithm>
#include <cassert>

namespace tarvek {
namespace {

// Moves every value byte of a big-endian register `distance` indexes up (highest first, so
// no byte is overwritten before it is read). The value keeps its weight because the register
// gains `distance` bytes at its most significant end, which are left for the caller to fill.
void move_bytes_up(CodeWriter& writer, Register& reg, int count, int distance) {
  for (int k = count - 1; k >= 0; --k) {
    writer.movf_w(reg, k);
    writer.movwf(reg, k + distance);
  }
}

// Index of acc's byte paired with temp's byte j: pairs are counted from the least
// significant end.
int paired_index(const Register& acc, int na, int nt, int j) {
  return acc.little_endian ? j : j + na - nt;
}

// Index of acc's byte that lies `above` bytes over the top of the paired bytes (0 is the
// first byte above them).
int ripple_index(const Register& acc, int na, int nt, int above) {
  return acc.little_endian ? nt + above : na - nt - 1 - above;
}

// The byte loop shared by addition and subtraction: least significant pair first, the carry
// (or borrow) taken into each further pair by loading temp's byte plus one; when that wraps
// to zero the operation is skipped and the carry passes on unchanged. Then the carry ripples
// through acc's bytes above the paired ones by adding (or subtracting) W = 1 under a skip.
// The enhanced core takes the carry in itself: addwfc adds C, subwfb subtracts the borrow
// (the inverse of C), so a further pair is a load and one instruction, and the ripple adds
// or subtracts W = 0 with the carry. Either way C ends as the carry out of acc's top byte.
void carry_chain(CodeWriter& writer, Register& acc, Register& temp, bool subtract) {
  const int na = acc.value_bytes();
  const int nt = temp.value_bytes();
  assert(na >= nt);
  const bool enhanced = writer.carry_arithmetic();
  const auto with_carry = [&](int i) {
    subtract ? writer.subwfb_f(acc, i) : writer.addwfc_f(acc, i);
  };
  for (int k = 0; k < nt; ++k) {
    const int j = byte_from_low(temp, nt, k);
    const int i = paired_index(acc, na, nt, j);
    writer.movf_w(temp, j);
    if (k > 0 && enhanced) {
      with_carry(i);
      continue;
    }
    if (k > 0) {
      // A subtraction sets the carry when there is no borrow.
      subtract ? writer.skpc() : writer.skpnc();
      writer.incfsz_w(temp, j);
    }
    subtract ? writer.subwf_f(acc, i) : writer.addwf_f(acc, i);
  }
  if (na <= nt) return;
  writer.movlw(enhanced ? 0 : 1);
  for (int above = 0; above < na - nt; ++above) {
    const int i = ripple_index(acc, na, nt, above);
    if (enhanced) {
      with_carry(i);
      continue;
    }
    subtract ? writer.skpc() : writer.skpnc();
    subtract ? writer.subwf_f(acc, i) : writer.addwf_f(acc, i);
  }
}

// Adds one to the complemented bytes of `reg` through the carry on the enhanced core: addwf
// of 1 into the least significant byte, then addwfc of 0 into each further one. For `count`
// bytes that is count + 2 instructions against 2 * count - 1 for the mid-range ripple of
// incf under skpnz, so it pays from four bytes on.
void increment_with_carry(CodeWriter& writer, Register& reg, int count) {
  writer.movlw(1);
  writer.addwf_f(reg, byte_from_low(reg, count, 0));
  writer.movlw(0);
  for (int k = 1; k < count; ++k) writer.addwfc_f(reg, byte_from_low(reg, count, k));
}

}  // namespace

void extend_to(CodeWriter& writer, Register& acc, Register& temp) {
  writer.flush_carry();
  const int na = acc.value_bytes();
  const int nt = temp.value_bytes();
  const int d = nt - na;
  if (d <= 0) return;
  // An accumulator without any byte holds 0 (the zero case of the right shift): there is no
  // old top byte to take a sign from, and zero extends to zero, so its new bytes are only
  // cleared.
  const bool sign_extend = acc.is_signed && na > 0;
  if (!acc.little_endian) {
    move_bytes_up(writer, acc, na, d);
    for (int i = 0; i < d; ++i) {
      writer.clrf(acc, i);
      if (sign_extend) {
        writer.btfsc(acc, d, 7);
        writer.comf_f(acc, i);
      }
    }
  } else {
    for (int i = na; i < nt; ++i) {
      writer.clrf(acc, i);
      if (sign_extend) {
        writer.btfsc(acc, i - 1, 7);
        writer.comf_f(acc, i);
      }
    }
  }
  acc.spare += 8 * d;
  acc.update_bytes();
}

const Code& add_register(CodeWriter& writer, Register& acc, Register& temp) {
  assert(&acc != &temp);
  writer.clear_code();
  // A temp shifted out entirely holds 0: adding it changes nothing, and the carry chain
  // would otherwise ripple whatever C holds into acc.
  if (temp.value_bytes() == 0) return writer.code;
  extend_to(writer, acc, temp);
  carry_chain(writer, acc, temp, false);

  const int s0 = acc.spare;
  int spare = std::min(acc.spare, temp.spare) - 1;
  writer.set_carry_known(true, acc);
  writer.set_carry_overflow(false, acc);
  if (spare < 0) {
    // The sum may need one bit more than acc's bytes hold: it is left in the carry, to be
    // taken in by the next right shift or stored by flush_carry.
    writer.set_carry_overflow(true, acc);
    spare = 0;
  }
  acc.width += s0 - spare;
  acc.spare = spare;
  return writer.code;
}

const Code& subtract_register(CodeWriter& writer, Register& acc, Register& temp) {
  assert(&acc != &temp);
  writer.clear_code();
  // Subtracting a temp that holds 0 changes nothing (see add_register).
  if (temp.value_bytes() == 0) return writer.code;
  extend_to(writer, acc, temp);
  writer.set_carry_known(false, acc);

  // Room for the sign: a new top byte holding copies of the sign, so that the difference of
  // a possibly negative acc and a non-negative temp cannot overflow. It is needed when temp
  // has at most one spare bit, and also when acc itself has no more than the one spare bit
  // for its sign: without it the difference would end with no spare bit and its sign would
  // be left in the carry, which after subtracting from a negative acc holds the no-borrow of
  // the top byte rather than the inverted sign (acc -1 minus temp 1 leaves the carry set, as
  // for a non-negative result). No request of the verification sweep reaches the second
  // case through program assembly, but the generator keeps it right.
  [[maybe_unused]] const bool was_signed = acc.is_signed;
  if (acc.is_signed && (temp.spare < 2 || acc.spare < 2)) {
    const int na = acc.value_bytes();
    int top = na;
    if (!acc.little_endian) {
      move_bytes_up(writer, acc, na, 1);
      top = 0;
    }
    const int old_top = acc.little_endian ? na - 1 : 1;
    writer.clrf(acc, top);
    writer.btfsc(acc, old_top, 7);
    writer.comf_f(acc, top);
    // The wider of the two operands decides the width; both fit in acc's old bytes. With
    // temp's spare below 2 this is 8 * na - temp's spare, as it always was.
    acc.width = std::max(acc.width, 8 * na - temp.spare);
    acc.spare = 8 * (na + 1) - acc.width;
    acc.update_bytes();
  }

  carry_chain(writer, acc, temp, true);

  if (acc.value_bytes() == temp.value_bytes()) {
    const int s0 = acc.spare;
    acc.spare = std::min(acc.spare, temp.spare);
    acc.width += s0 - acc.spare;
  }
  if (acc.is_signed) {
    acc.width += 1;
    acc.spare -= 1;
  }
  // With no spare bit left the sign of the difference is only in the carry (set when there
  // was no borrow, i.e. the inverse of the sign). That holds for an acc that was not negative
  // before; a signed acc always keeps a spare bit (the room above).
  assert(!(was_signed && acc.spare == 0));
  writer.set_carry_overflow(acc.spare == 0, acc);
  return writer.code;
}

const Code& negate_register(CodeWriter& writer, Register& reg) {
  // Requires: no overflow carry pending for reg (it would be lost by the negation).
  assert(!writer.carry_overflow_of(reg));
  writer.clear_code();
  if (reg.spare == 0) {
    // No bit left for the sign: a zero top byte first (the value is non-negative here).
    const int nb = reg.value_bytes();
    if (!reg.little_endian) {
      move_bytes_up(writer, reg, nb, 1);
      writer.clrf(reg, 0);
    } else {
      writer.clrf(reg, nb);
    }
    reg.spare = 8;
    reg.update_bytes();
  }
  const int nb = reg.value_bytes();
  for (int k = 0; k < nb; ++k) writer.comf_f(reg, k);
  if (writer.carry_arithmetic() && nb >= 4) {
    // The carry is spent: a pending one of another register is stored first, and nothing is
    // known of it afterwards.
    writer.flush_carry();
    increment_with_carry(writer, reg, nb);
    writer.set_carry_overflow(false, reg);
    writer.set_carry_known(false, reg);
    return writer.code;
  }
  // Adding one, least significant byte first; a byte that wraps to zero passes the one on.
  for (int k = 0; k < nb; ++k) {
    if (k > 0) writer.skpnz();
    writer.incf_f(reg, byte_from_low(reg, nb, k));
  }
  return writer.code;
}

}  // namespace tarvek

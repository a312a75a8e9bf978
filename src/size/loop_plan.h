// The loops a routine written for size can take, each described by what it computes rather
// than by its code, as exact/candidate.h describes a straight-line routine: the first step of
// the size pipeline (then pricing each plan by emitting it, the proof of those that would win,
// and the chosen one's emission).
//
// Every plan computes an unsigned target q(u) = floor((a u + b) / d), u from 0 to max_input
// (the target of a form, exact/signed_form.h), reduced first so that a and d have no common
// factor: floor((a u + b) / d) = floor((a' u + b') / d') with a = g a', d = g d' and
// b' = floor(b / g), because a' u + floor(b / g) is an integer and the fraction of b / g left
// out cannot carry it past a multiple of d'.
//
// - counting: q = floor((u + b') / d') for a' = 1 and u below 256: W holds n = u + b' (or u,
//   b' then added to what is left), and the loop takes d' off it and counts in the result byte
//   until it would go below zero.
// - division: q = floor(n / (2^t * o)) with n = a' u + b' and d' = 2^t o: n is made first
//   (kept as the input, a constant added before or to the remainder after, or a product
//   written straight or by a loop), then a shift-and-subtract loop over n's bits. Each pass
//   compares a one-byte remainder r with `divisor`, takes it off when r is not smaller (the
//   quotient bit lands in C), then rotates the quotient bit in at the bottom of n's register
//   and n's top bit into r. The last `skipped` bits of n are never compared: that divides by
//   2^skipped for free.
// - multiply: q = floor((u * M + c) / 2^s), the input's bits taken from the bottom one by
//   one, M added to the high part of the product for each one bit, the product shifted right
//   (the exact product for an integer constant, s = 0, else the product's high part, with s
//   at least the input's bits).
#ifndef TARVEK_SIZE_LOOP_PLAN_H
#define TARVEK_SIZE_LOOP_PLAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "exact/big_int.h"
#include "exact/target.h"

namespace tarvek {

enum class LoopKind { kCounting, kDivision, kMultiply };

// How a division loop's dividend n = a' u + b' is made.
enum class Dividend {
  // n = u, the input bytes themselves.
  kInput,
  // n = u + b', the input bytes and, when the sum needs it, one temporary byte on top.
  kPlusConstant,
  // n = u, and b' added to the remainder the loop leaves (n mod d', known while at most one
  // bit is skipped): q + 1 when it reaches d', since floor((u + b') / d') is floor(u / d') + 1
  // exactly when (u mod d') + b' >= d', for 0 <= b' < d'.
  kInputThenRemainder,
  // n = a' u + b' written straight by the exact product's search, in the accumulator.
  kProduct,
  // n = a' u + b' by a multiply loop: its low bytes are the input's, its high ones temporary.
  kProductLoop,
};

// The target with a' and d' sharing no factor, d' = 2^twos * odd.
struct ReducedTarget {
  BigInt a;
  BigInt b;
  BigInt d;
  int twos = 0;
  BigInt odd;
};

ReducedTarget reduce(const ResultTarget& target);

struct LoopPlan {
  LoopKind kind = LoopKind::kDivision;
  // kDivision; and kCounting, where kPlusConstant adds the addend to n first and
  // kInputThenRemainder to what the loop leaves of n (n mod d' - d', in W).
  Dividend dividend = Dividend::kInput;
  // kDivision and kCounting: n = multiplier * u + addend. kMultiply: M and c.
  BigInt multiplier = 1;
  BigInt addend = 0;
  // kDivision: the constant each pass compares the remainder with, 3 to 128 (2 t' times the
  // odd part for t' of the 2^t spent this way). kCounting: d', 2 to 255.
  uint64_t divisor = 0;
  // kDivision: the low bits of n never shifted into the remainder.
  int skipped = 0;
  // kMultiply: s.
  int shift = 0;
};

// "division of u + 5 by 5 (1 bit skipped)" and the like, for messages and the bench.
std::string describe(const LoopPlan& plan);

// Register sizes of a plan for its target, which the emission and the model share.
struct LoopLayout {
  // Bytes of the input u.
  int input_bytes = 0;
  // kDivision: bytes of n's register, those of the accumulator first; its bits.
  int dividend_bytes = 0;
  // kDivision: n's bytes that are temporary, on top of the accumulator's (kPlusConstant's
  // carry byte, kProductLoop's high part).
  int dividend_temp_bytes = 0;
  // kMultiply, and kDivision's kProductLoop: bytes of the product's high part.
  int high_bytes = 0;
  // Loop passes.
  int passes = 0;
};

// Requires: the plan was made for the target (make_loop_plans).
LoopLayout layout_of(const LoopPlan& plan, const ResultTarget& target);

// A multiply loop's passes for an input of `input_bits` bits in `input_bytes` bytes and a
// shift s: after p passes the product stands 8 input_bytes - p places up in its registers,
// so the result is the high part shifted by s - p. The most passes from input_bits up to
// s and the input's bits whose shift is whole bytes (`aligned`), else as many as both allow.
// s = 0 (the exact product) takes every bit of the input bytes.
struct MultiplyPasses {
  int passes = 0;
  bool aligned = false;
};
MultiplyPasses multiply_passes(int input_bits, int input_bytes, int shift);

// The plans for `target`, in a fixed order; each is only well formed (registers that hold
// their values, passes that fit a byte), not yet proven. `exhaustive_bits` as the proofs use
// it: a multiply loop's constant can be shorter where every input is evaluated.
std::vector<LoopPlan> make_loop_plans(const ResultTarget& target, int exhaustive_bits);

// kInputThenRemainder: the remainder's value at which one is added to the quotient: d' - b'
// when one bit is skipped (the remainder is n mod d'), twice that when none is (it is twice
// n mod d').
unsigned remainder_threshold(const LoopPlan& plan);

// Bytes a value of `bits` bits takes (at least one).
int bytes_for_bits(int bits);

}  // namespace tarvek

#endif  // TARVEK_SIZE_LOOP_PLAN_H

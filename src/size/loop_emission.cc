#include "size/loop_emission.h"

#include <algorithm>
#include <bit>
#include <cassert>

#include "codegen/constant_add.h"
#include "exact/routine_cleanup.h"
#include "size/loop_writer.h"

namespace tarvek {
namespace {

// One plan's routine while it is written.
struct LoopEmission {
  LoopEmission(const RoutineNames& routine_names, const std::string& label_prefix)
      : loop(routine_names.core), names(routine_names), labels(label_prefix) {}

  CodeWriter& writer() { return loop.writer(); }
  // The next temporary byte no step uses yet.
  LoopByte take_temp() { return LoopByte{names.temp, temp_bytes++}; }
  // The accumulator's first `count` value bytes, least significant first.
  std::vector<LoopByte> acc_value(int count) const {
    return value_bytes(names.acc, count, names.little_endian);
  }

  LoopWriter loop;
  const RoutineNames& names;
  std::string labels;
  // Temporary bytes taken, and accumulator bytes the code names.
  int temp_bytes = 0;
  int acc_bytes = 0;
};

// What a multiply loop's passes cost: a pass for a zero bit, and what a one bit adds to it.
struct MultiplyCost {
  long per_pass = 0;
  long per_one = 0;
};

// high:low = low * m + c over `passes` bits of low, which come out at its bottom one by one
// (the first before the loop): for a one bit m is added to the high part, its carry left in
// C; then the carry, the high part and low rotate right together, the high part's bit going
// into low's top. Labels "mul" (the pass) and "next" (past the addition).
MultiplyCost emit_multiply_loop(LoopEmission& e, const std::vector<LoopByte>& low,
                                const std::string& high_name, int high_first, int high_bytes,
                                uint64_t m, uint64_t c, int passes, const LoopByte& counter) {
  CodeWriter& w = e.writer();
  const std::vector<LoopByte> high = byte_run(high_name, high_first, high_bytes);
  for (int k = 0; k < high_bytes; ++k) {
    const int byte = k < 8 ? static_cast<int>(c >> (8 * k) & 0xFF) : 0;
    if (byte == 0) {
      w.clrf(e.loop.at(high[k]), 0);
    } else {
      w.movlw(byte);
      w.movwf(e.loop.at(high[k]), 0);
    }
  }
  w.movlw(passes);
  w.movwf(e.loop.at(counter), 0);
  // What goes in at low's top here is below every bit of the result once the passes are done.
  e.loop.rotate_right(low);
  e.loop.take_straight();
  const std::string top = e.labels + "mul";
  const std::string next = e.labels + "next";
  w.label(top);
  w.skpc();
  w.goto_label(next);
  const int before = w.code.words();
  add_literal_bytes(w, e.loop.run(high_name, high_first, high_bytes), high_bytes, m);
  const int add_words = w.code.words() - before;
  w.label(next);
  e.loop.rotate_right(high);
  e.loop.rotate_right(low);
  w.decfsz_f(e.loop.at(counter), 0);
  w.goto_label(top);
  // A zero bit: skpc, goto, the rotations, decfsz and the goto back; a one bit skips the goto
  // (two cycles for skpc) and runs the addition instead.
  const long per_pass = static_cast<long>(high_bytes + low.size()) + 6;
  return {per_pass, add_words - 1};
}

// Takes the multiply loop just written as a loop of `passes` passes over inputs up to
// max_input.
void take_multiply_loop(LoopEmission& e, const MultiplyCost& cost, int passes, uint64_t max_input) {
  const long base = passes * cost.per_pass - 1;
  e.loop.take_loop(base, base + most_ones_up_to(max_input) * cost.per_one);
}

// n = a' u + b' in the accumulator's input bytes and, where it needs more, temporary bytes
// or more accumulator bytes; returns n's bytes (least significant first), or nothing when a
// straight-line product could not be proven.
std::optional<std::vector<LoopByte>> emit_dividend(LoopEmission& e, const LoopPlan& plan,
                                                   const ResultTarget& target,
                                                   const LoopLayout& layout,
                                                   const LoopByte& counter,
                                                   const SearchEffort& effort) {
  CodeWriter& w = e.writer();
  std::vector<LoopByte> n = e.acc_value(layout.input_bytes);
  switch (plan.dividend) {
    case Dividend::kInput:
    case Dividend::kInputThenRemainder:
      break;
    case Dividend::kPlusConstant: {
      Register& input = e.loop.run(e.names.acc, 0, layout.input_bytes, e.names.little_endian);
      add_literal_bytes(w, input, layout.input_bytes, *plan.addend.to_u64());
      if (layout.dividend_temp_bytes > 0) {
        // The carry out of the sum is n's top bit.
        const LoopByte top = e.take_temp();
        w.clrf(e.loop.at(top), 0);
        w.rlf_f(e.loop.at(top), 0);
        n.push_back(top);
      }
      e.loop.take_straight();
      break;
    }
    case Dividend::kProduct: {
      const ResultTarget product =
          make_affine_target(plan.multiplier, plan.addend, 1, target.input_bits, target.max_input,
                             target.constant, ResultMode::kFloor);
      const std::optional<SearchResult> found =
          find_cheapest(product, e.names, effort, layout.dividend_bytes);
      if (!found) return std::nullopt;
      const Code& code = found->routine.code;
      e.loop.append_straight(clean_up_routine(code, code.find_register(e.names.temp)));
      e.temp_bytes = std::max(e.temp_bytes, found->routine.temp_bytes);
      e.acc_bytes = std::max(e.acc_bytes, found->routine.acc_bytes);
      n = e.acc_value(layout.dividend_bytes);
      break;
    }
    case Dividend::kProductLoop: {
      const int high_first = e.temp_bytes;
      e.temp_bytes += layout.high_bytes;
      const int passes = 8 * layout.input_bytes;
      const MultiplyCost cost =
          emit_multiply_loop(e, n, e.names.temp, high_first, layout.high_bytes,
                             *plan.multiplier.to_u64(), *plan.addend.to_u64(), passes, counter);
      take_multiply_loop(e, cost, passes, *target.max_input.to_u64());
      const std::vector<LoopByte> high = byte_run(e.names.temp, high_first, layout.high_bytes);
      n.insert(n.end(), high.begin(), high.end());
      break;
    }
  }
  e.acc_bytes = std::max(e.acc_bytes, static_cast<int>(layout.input_bytes));
  return n;
}

// Adds C to the value in `bytes` (least significant first), which the sum does not overflow.
// Mid-range: an increment under the skip, carried on by Z (a clear C leaves Z clear too: it
// comes from a subtraction that did not reach zero); enhanced: W = 0 added with the carry.
void add_carry_to(LoopEmission& e, const std::vector<LoopByte>& bytes) {
  CodeWriter& w = e.writer();
  if (w.carry_arithmetic() && bytes.size() > 1) {
    w.movlw(0);
    for (const LoopByte& byte : bytes) w.addwfc_f(e.loop.at(byte), 0);
    return;
  }
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    k == 0 ? w.skpnc() : w.skpnz();
    w.incf_f(e.loop.at(bytes[k]), 0);
  }
}

// The division loop of the file's header (loop_plan.h): n's bytes rotate left through C into
// the remainder r; each pass first compares r with the divisor (W = r - divisor, C = r is not
// smaller, the difference kept then), so the quotient bit is in C for the rotation. Label
// "div".
bool emit_division(LoopEmission& e, const LoopPlan& plan, const ResultTarget& target,
                   int output_bytes, const SearchEffort& effort) {
  const LoopLayout layout = layout_of(plan, target);
  // A product loop counts its passes in the byte the division counts in afterwards; a
  // straight-line product takes the temporary bytes from the first on.
  const bool loop_first = plan.dividend == Dividend::kProductLoop;
  const LoopByte first_counter = loop_first ? e.take_temp() : LoopByte{};
  const std::optional<std::vector<LoopByte>> n =
      emit_dividend(e, plan, target, layout, first_counter, effort);
  if (!n) return false;
  const LoopByte counter = loop_first ? first_counter : e.take_temp();
  CodeWriter& w = e.writer();
  const LoopByte r = e.take_temp();
  w.clrf(e.loop.at(r), 0);
  w.movlw(layout.passes);
  w.movwf(e.loop.at(counter), 0);
  e.loop.take_straight();
  const std::string top = e.labels + "div";
  w.label(top);
  w.movlw(static_cast<int>(plan.divisor));
  w.subwf_w(e.loop.at(r), 0);
  w.skpnc();
  w.movwf_skippable(e.loop.at(r), 0);
  e.loop.rotate_left(*n);
  w.rlf_f(e.loop.at(r), 0);
  w.decfsz_f(e.loop.at(counter), 0);
  w.goto_label(top);
  // Every pass but the last runs each word once and the goto twice; the last skips the goto.
  const long cycles = layout.passes * static_cast<long>(w.code.words() + 1) - 1;
  e.loop.take_loop(cycles, cycles);
  // Above the quotient: the first bit rotated in (a zero), and below it none of n's skipped
  // bits but the last one, which is in r.
  const int bits = 8 * layout.dividend_bytes;
  place_value(e.loop, *n, std::min(bits, bits - plan.skipped + 1), e.acc_value(output_bytes));
  if (plan.dividend == Dividend::kInputThenRemainder) {
    w.movlw(static_cast<int>(remainder_threshold(plan)));
    w.subwf_w(e.loop.at(r), 0);
    // Only the bytes the result reaches: above them the sum carries nothing.
    std::vector<LoopByte> result = e.acc_value(output_bytes);
    result.resize(static_cast<std::size_t>(bytes_for_bits(target.result_bits)));
    add_carry_to(e, result);
  }
  e.loop.take_straight();
  return true;
}

// Right shift by `count` bits of `bytes` (least significant first), zeros in at the top.
void shift_right_bits(LoopEmission& e, const std::vector<LoopByte>& bytes, int count) {
  CodeWriter& w = e.writer();
  for (int bit = 0; bit < count; ++bit) {
    if (w.enhanced()) {
      w.lsrf_f(e.loop.at(bytes.back()), 0);
      e.loop.rotate_right(std::vector<LoopByte>(bytes.begin(), bytes.end() - 1));
    } else {
      w.clrc();
      e.loop.rotate_right(bytes);
    }
  }
}

// The multiply loop on the input bytes: the exact product (s = 0) in the input bytes and the
// high part, which for little-endian order are the accumulator's next bytes; or the high
// part alone shifted by s - passes, moved into the accumulator.
void emit_multiply(LoopEmission& e, const LoopPlan& plan, const ResultTarget& target,
                   int output_bytes) {
  const LoopLayout layout = layout_of(plan, target);
  const std::vector<LoopByte> low = e.acc_value(layout.input_bytes);
  const LoopByte counter = e.take_temp();
  const bool in_place = plan.shift == 0 && e.names.little_endian;
  const std::string high_name = in_place ? e.names.acc : e.names.temp;
  const int high_first = in_place ? layout.input_bytes : e.temp_bytes;
  if (!in_place) e.temp_bytes += layout.high_bytes;
  const MultiplyCost cost =
      emit_multiply_loop(e, low, high_name, high_first, layout.high_bytes,
                         *plan.multiplier.to_u64(), *plan.addend.to_u64(), layout.passes, counter);
  take_multiply_loop(e, cost, layout.passes, *target.max_input.to_u64());
  const std::vector<LoopByte> high = byte_run(high_name, high_first, layout.high_bytes);
  e.acc_bytes = in_place ? layout.input_bytes + layout.high_bytes : layout.input_bytes;
  if (plan.shift == 0) {
    std::vector<LoopByte> value = low;
    value.insert(value.end(), high.begin(), high.end());
    place_value(e.loop, value, 8 * static_cast<int>(value.size()), e.acc_value(output_bytes));
  } else {
    const int shift = plan.shift - layout.passes;
    const std::vector<LoopByte> kept(high.begin() + shift / 8, high.end());
    shift_right_bits(e, kept, shift % 8);
    place_value(e.loop, kept, 8 * static_cast<int>(kept.size()), e.acc_value(output_bytes));
  }
  e.loop.take_straight();
}

// The counting loop: W holds n, the result byte counts from minus one, one more for each
// time the divisor is taken off n without going below zero. Label "count".
void emit_counting(LoopEmission& e, const LoopPlan& plan, const ResultTarget& target) {
  CodeWriter& w = e.writer();
  Register& result = e.loop.at(LoopByte{e.names.acc, 0});
  const bool late = plan.dividend == Dividend::kInputThenRemainder;
  const int addend = static_cast<int>(*plan.addend.to_u64());
  w.movf_w(result, 0);
  if (!late && addend != 0) w.addlw(addend);
  w.clrf(result, 0);
  w.decf_f(result, 0);
  e.loop.take_straight();
  w.label(e.labels + "count");
  w.incf_f(result, 0);
  w.addlw(-static_cast<int>(plan.divisor));
  w.skpnc();
  w.goto_label(e.labels + "count");
  // floor(n / d') + 1 passes: five cycles for each but the last, which skips the goto.
  const auto cycles = [&](const BigInt& u) {
    const BigInt n = late ? u : u + plan.addend;
    return 5 * static_cast<long>(*floor_div(n, BigInt::from_unsigned(plan.divisor)).to_u64()) + 4;
  };
  e.loop.take_loop(cycles(0), cycles(target.max_input));
  if (late) {
    // W holds what is left of n minus d' (modulo 256): with b' it carries out exactly when
    // n mod d' + b' >= d'.
    w.addlw(addend);
    w.skpnc();
    w.incf_f(result, 0);
    e.loop.take_straight();
  }
  e.acc_bytes = 1;
}

}  // namespace

int most_ones_up_to(uint64_t max_input) {
  // Below the top bit every bit can be one; the top bit with all of them only at 2^k - 1.
  const int bits = std::bit_width(max_input);
  if (bits == 0) return 0;
  const bool all_ones = std::popcount(max_input) == bits;
  return all_ones ? bits : std::max(std::popcount(max_input), bits - 1);
}

std::optional<LoopRoutine> emit_plan(const LoopPlan& plan, const ResultTarget& target,
                                     const RoutineNames& names, const std::string& label_prefix,
                                     int output_bytes, const SearchEffort& effort) {
  LoopEmission e(names, label_prefix);
  switch (plan.kind) {
    case LoopKind::kCounting:
      // The count steps W down by the divisor with addlw, which the baseline core lacks; a
      // constant through a register would cost a byte and a word per pass, and the other
      // loops serve that core as well.
      if (names.core == Core::kBaseline) return std::nullopt;
      emit_counting(e, plan, target);
      break;
    case LoopKind::kMultiply:
      emit_multiply(e, plan, target, output_bytes);
      break;
    case LoopKind::kDivision:
      if (!emit_division(e, plan, target, output_bytes, effort)) return std::nullopt;
      break;
  }
  LoopRoutine routine;
  routine.routine.code = e.loop.code();
  routine.routine.instructions = e.loop.words();
  routine.routine.output_bytes = output_bytes;
  routine.routine.acc_bytes = std::max(e.acc_bytes, output_bytes);
  routine.routine.temp_bytes = e.temp_bytes;
  routine.fewest_cycles = e.loop.fewest_cycles();
  routine.most_cycles = e.loop.most_cycles();
  return routine;
}

}  // namespace tarvek

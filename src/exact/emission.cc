#include "exact/emission.h"

#include <algorithm>
#include <cassert>

#include "codegen/arithmetic.h"
#include "codegen/code_writer.h"
#include "codegen/constant_add.h"
#include "codegen/correction.h"
#include "codegen/output_fit.h"
#include "codegen/program_assembly.h"
#include "codegen/register.h"
#include "codegen/remainder_step.h"
#include "codegen/self_add.h"
#include "codegen/shift.h"
#include "codegen/shifted_copy.h"
#include "exact/byte_sharing.h"
#include "exact/chain.h"

namespace tarvek {
namespace {

// What the proof's bound knows of a non-negative register that the generators' own
// bookkeeping cannot: its value stays below 2^bits. The bits above are then spare (zero), and
// a carry left pending above the top byte is a zero.
void narrow(CodeWriter& writer, Register& reg, int bits) {
  if (reg.width > bits) {
    reg.spare += reg.width - bits;
    reg.width = bits;
  }
  if (bits <= reg.width && writer.carry_overflow_of(reg)) writer.set_carry_overflow(false, reg);
}

// Whether the walk left the input itself in temp: it copies the input there and only ever
// adds temp to the accumulator when every term lies at or below the units position, unless
// nothing read the copy and it was dropped.
bool temp_holds_input(const Chain& chain, const Register& temp) {
  if (!temp.used || chain.decomposition.term_count < 2 || chain.input_shift > 0) return false;
  return std::all_of(chain.terms.begin(), chain.terms.end(),
                     [](const ChainTerm& term) { return term.exponent <= 0; });
}

// The value of `value` modulo 256.
int low_byte(const BigInt& value) {
  return static_cast<int>(*(value - ((value >> 8) << 8)).to_u64());
}

// A one-byte register view of `name`'s byte `index`.
Register byte_view(const std::string& name, int index, bool little_endian) {
  Register reg(name, 0, little_endian);
  reg.set_width(8, 0);
  reg.base = index;
  return reg;
}

// Where a copy of the input's byte `byte` can be stored with a single movwf: right after the
// first instruction that loads that byte into W, when nothing before it names the byte
// otherwise (so it still holds the input) and no skip can pass it by; -1 when there is none.
int first_input_load(const Code& code, int acc_number, int byte) {
  const std::vector<Instruction>& ins = code.instructions();
  for (std::size_t i = 0; i < ins.size(); ++i) {
    const Instruction& in = ins[i];
    if (static_cast<int>(in.file) != acc_number || in.byte != byte) continue;
    const bool load = in.op == Op::kMovf && in.to_w;
    if (!load || (i > 0 && is_skip(ins[i - 1].op))) return -1;
    return static_cast<int>(i);
  }
  return -1;
}

// Copies the input's low `count` bytes into `to` (its bytes past the input's cleared) as the
// input was before the walk changed it: with `after_loads` a movwf after the walk's own load of
// a byte where there is one, else a load and a store in front of the routine. (The correction
// steps of a routine without a remainder have always copied in front.)
void copy_input(Code& code, const ResultTarget& target, const RoutineNames& names, Register& to,
                int count, bool after_loads = true) {
  CodeWriter front(names.core);
  Register input(names.acc, target.input_bits, names.little_endian);
  const int input_bytes = input.value_bytes();
  for (int k = 0; k < count; ++k) {
    const int index = byte_from_low(to, count, k);
    if (k >= input_bytes) {
      front.clrf(to, index);
      continue;
    }
    const int from = byte_from_low(input, input_bytes, k);
    const int at = after_loads ? first_input_load(code, code.find_register(names.acc), from) : -1;
    if (at >= 0) {
      CodeWriter store(names.core);
      store.movwf(to, index);
      code.replace(static_cast<std::size_t>(at) + 1, static_cast<std::size_t>(at) + 1, store.code);
      continue;
    }
    front.movf_w(input, from);
    front.movwf(to, index);
  }
  code.insert_front(front.code);
}

// Whether temp's byte `index` is an operand of the code.
bool touches(const Code& code, const Register& temp, int index) {
  const int number = code.find_register(temp.name);
  return std::any_of(code.instructions().begin(), code.instructions().end(),
                     [&](const Instruction& in) {
                       return static_cast<int>(in.file) == number && in.byte == index;
                     });
}

// Appends the correction steps to `code`. The remainder needs the input's low byte: the
// walk's copy in temp when it is still there, otherwise a copy taken before the walk, put in
// front of the code. Both it and the scratch byte are temp's bytes past those the walk used.
// A remainder that is kept ends in the remainder register's byte 0: the input is then copied
// there (or, when a is not 1, the product a x is made there from the copy in temp).
Code add_corrections(CodeWriter& writer, const Candidate& c, const ResultTarget& target,
                     const RoutineNames& names, Register& acc, Register& temp, int& temp_bytes,
                     Code code) {
  const int result_bytes = (target.result_bits + 7) / 8;
  const bool keep = !names.rem.empty();
  const CorrectionStep step{low_byte(target.a), low_byte(target.b),
                            static_cast<int>(*target.d.to_u64()), c.corrections, keep};
  const Chain chain = candidate_chain(c, target.input_bits);
  Register copy = byte_view(temp.name, 0, temp.little_endian);
  Register rem = byte_view(names.rem, names.rem_base, names.little_endian);
  const bool into_rem = keep && step.a == 1;
  if (into_rem) {
    copy_input(code, target, names, rem, 1);
  } else if (temp_holds_input(chain, temp)) {
    // The input's low byte within the copy, in the copy's byte order.
    const int copied = (target.input_bits + 7) / 8;
    copy.base = temp.little_endian ? 0 : copied - 1;
  } else {
    copy.base = temp_bytes++;
    copy_input(code, target, names, copy, 1, keep);
  }
  Register scratch = byte_view(temp.name, temp_bytes++, temp.little_endian);
  if (keep) {
    // The input's copy is the scratch byte once the product a x is made from it.
    if (!into_rem) {
      --temp_bytes;
      scratch = copy;
    }
    code += correct_quotient(writer, acc, result_bytes, rem, into_rem ? scratch : copy, step);
  } else {
    code += correct_quotient(writer, acc, result_bytes, copy, scratch, step);
  }
  // A divisor of two bits is doubled without the scratch byte: it is then not declared.
  if (scratch.base == temp_bytes - 1 && !touches(code, temp, scratch.base)) --temp_bytes;
  return code;
}

// Appends the remainder a x + b - d q modulo 2^(8 rem_bytes) of a routine without correction
// steps: the input's low bytes are copied before the walk into the remainder register (or, when
// a is not 1 there, into temp's bytes past those used), the quotient's low bytes shifted in a
// scratch copy in temp.
Code add_remainder(CodeWriter& writer, const ResultTarget& target, const RoutineNames& names,
                   int output_bytes, Register& temp, int& temp_bytes, Code code) {
  const int bytes = names.rem_bytes;
  const RemainderStep step{*target.a.to_u64(), *target.b.to_u64(), *target.d.to_u64(), bytes};
  Register rem(names.rem, 0, names.little_endian);
  rem.set_width(8 * bytes, 0);
  rem.base = names.rem_base;
  Register scratch(temp.name, 0, temp.little_endian);
  scratch.set_width(8 * bytes, 0);
  scratch.base = temp_bytes;
  Register& saved = saves_input_in_remainder(step) ? rem : scratch;
  copy_input(code, target, names, saved, bytes);
  Register quotient(names.acc, 0, names.little_endian);
  quotient.set_width(8 * output_bytes, 0);
  const int quotient_bytes = std::min(bytes, std::max(1, (target.result_bits + 7) / 8));
  code +=
      compute_remainder(writer, rem, saved, quotient, quotient_bytes, output_bytes, scratch, step);
  // The scratch bytes that the code reads.
  int used = 0;
  for (int k = 0; k < bytes; ++k) {
    if (touches(code, temp, scratch.base + k)) used = k + 1;
  }
  temp_bytes += used;
  return code;
}

// Adds C to the value bytes of an unsigned reg, least significant first: W = 1 is added
// under each skip, so a clear carry adds nothing and a set one ripples as far as it carries;
// the enhanced core adds W = 0 with the carry instead, one instruction a byte.
void add_carry(CodeWriter& writer, Register& reg) {
  const int count = reg.value_bytes();
  if (writer.carry_arithmetic()) {
    writer.movlw(0);
    for (int k = 0; k < count; ++k) writer.addwfc_f(reg, reg.little_endian ? k : count - 1 - k);
    return;
  }
  writer.movlw(1);
  for (int k = 0; k < count; ++k) {
    writer.skpnc();
    writer.addwf_f(reg, reg.little_endian ? k : count - 1 - k);
  }
}

// How far right a walk that only shifts moves the input: M = 2^p over 2^f, no input shift, a
// shift by f - p >= 1. 0 for any other walk.
int head_shift(const Candidate& c) {
  const int p = c.multiplier.bit_length() - 1;
  if (c.input_shift != 0 || c.multiplier.trailing_zeros() != p) return 0;
  return std::max(0, c.shift - c.guard - p);
}

// Ways to lay out one candidate's routine that compute the same value; the cheapest that
// applies is kept.
struct Layout {
  // The offset 2^(g-1) is not added but taken from the last bit the guard shift drops, which a
  // right shift by one leaves in C: floor((v + 2^(g-1)) / 2^g) is floor(v / 2^g) plus bit g - 1
  // of v.
  bool round_by_carry = false;
  // A walk that only shifts x right by s has the first factor's copy, v >> k = x >> (s + k),
  // read from the input before it is shifted: by whole bytes or a nibble that copy can be
  // cheaper than the one from v.
  bool copy_before_walk = false;
};

constexpr Layout kLayouts[] = {{false, false}, {false, true}, {true, false}, {true, true}};

// Whether the layout applies to the candidate at all.
bool layout_applies(const Layout& layout, const Candidate& c, const ResultTarget& target) {
  if (layout.round_by_carry &&
      (c.guard < 1 || c.guard > 64 || c.offset != uint64_t{1} << (c.guard - 1))) {
    return false;
  }
  const int s = head_shift(c);
  return !layout.copy_before_walk ||
         (s != 0 && !c.factors.empty() && c.factors[0] > 0 && s + c.factors[0] < target.input_bits);
}

// One candidate's routine while it is written: the registers and the writer that every step
// shares, so that what W holds and what the carry means carry over from step to step.
struct Emission {
  Emission(const RoutineNames& names, const ResultTarget& target)
      : names(names),
        writer(names.core),
        acc(names.acc, target.input_bits, names.little_endian),
        temp(names.temp, 0, names.little_endian),
        shifted(names.temp, 0, names.little_endian) {}

  const RoutineNames& names;
  CodeWriter writer;
  Register acc;
  // The walk's copy of the input.
  Register temp;
  // The factors' shifted copies, in temp's bytes past the walk's.
  Register shifted;
  Code code;
  // The largest value the accumulator holds so far, from the proof's bound.
  BigInt high;
  // Bytes of temp the walk's copy takes (0 when nothing read it and it was dropped).
  int walk_temp_bytes = 0;

  // What the proof's bound knows of the accumulator that its own bookkeeping cannot: its value
  // stays at most `high`.
  void narrow_to_high() { narrow(writer, acc, std::max(1, high.bit_length())); }
};

// The largest value of the walk with the factors, from its bound at the largest input, and its
// bits (at least 1).
std::pair<BigInt, int> bound_bits(const Chain& chain, const Factors& factors,
                                  const ResultTarget& target) {
  const AffineBound bound = walk_bound(chain, factors, target.max_input);
  const BigInt high = (bound.slope * target.max_input + bound.high_intercept) >> kBoundScale;
  return {high, std::max(1, high.bit_length())};
}

// v += v >> k for factor k > 0, v += v << -k for k < 0, after the walk: a shifted copy added
// back. The copy goes to temp's bytes past the walk's, so that the walk's copy of the input
// stays for a correction step to read (a copy nothing read was dropped: those bytes are free).
void emit_factors(Emission& e, const Candidate& c, const ResultTarget& target, const Chain& chain,
                  const Layout& layout) {
  CodeWriter& writer = e.writer;
  Register& acc = e.acc;
  e.shifted.base = e.walk_temp_bytes;
  for (std::size_t i = 0; i < c.factors.size(); ++i) {
    const int k = c.factors[i];
    // What the bound knows after this factor: the value's bits, so that a carry the
    // register's own bookkeeping would leave pending (and the next step store in a new byte)
    // is known to be a zero.
    const Factors done(c.factors.begin(), c.factors.begin() + static_cast<std::ptrdiff_t>(i + 1));
    const int bits_after = bound_bits(chain, done, target).second;
    // A value below 2^k shifted right by k is 0, and 0 times anything is 0: the factor
    // changes nothing. (is_zero only tells of the last shift; no value bytes is what an empty
    // register has.) A carry left pending above the top byte is a bit of the value too.
    const int value_width = acc.width + (writer.carry_overflow_of(acc) ? 1 : 0);
    if (acc.value_bytes() == 0 || (k > 0 && k >= value_width)) continue;
    if (k > 0 && k % 8 == 0) {
      // The upper bytes are the shifted value already.
      e.code += add_upper_bytes(writer, acc, k / 8);
      narrow(writer, acc, bits_after);
      continue;
    }
    if (k == 4 && !(layout.copy_before_walk && i == 0)) {
      // A nibble: each byte's addend is built from the nibbles beside it, no copy kept.
      e.code += add_nibble_down(writer, acc, e.shifted);
      narrow(writer, acc, bits_after);
      continue;
    }
    if (layout.copy_before_walk && i == 0) {
      // The copy is made; a carry the walk left pending is stored before the addition.
      writer.clear_code();
      e.code += writer.flush_carry();
    } else if (k > 0) {
      e.code += copy_shifted_right(writer, e.shifted, acc, k);
    } else {
      e.code += e.shifted.copy_from(writer, acc);
      e.code += shift_left(writer, e.shifted, -k);
    }
    e.code += add_register(writer, acc, e.shifted);
    narrow(writer, acc, bits_after);
  }
}

// The walk and the factors: v = x * M / 2^(shift - guard) (the input first shifted left when
// the candidate asks for it), then each factor. False when the layout does not fit the walk.
bool emit_walk(Emission& e, const Candidate& c, const ResultTarget& target, const Layout& layout) {
  const Chain chain = candidate_chain(c, target.input_bits);
  // The walk's largest value decides whether a carry it leaves pending is a bit of the value.
  const int head_bits = bound_bits(chain, {}, target).second;
  // A walk that only shifts uses no temporary bytes: the early copy takes the first ones.
  if (layout.copy_before_walk) {
    e.code += copy_shifted_right(e.writer, e.shifted, e.acc, head_shift(c) + c.factors[0]);
  }
  if (chain.input_shift > 0) e.code += shift_left(e.writer, e.acc, chain.input_shift);
  // No flush inside the walk: a carry it leaves pending stays in C for the next step to take
  // in (a right shift does so for free), and whatever comes next stores it if it must.
  Decomposition decomposition = chain.decomposition;
  e.code += assemble_instructions(e.writer, decomposition, 1, 0, e.acc, e.temp);
  narrow(e.writer, e.acc, head_bits);
  e.walk_temp_bytes = e.temp.used ? e.temp.bytes : 0;
  // The early copy took temp's first bytes: a walk that used them too is not for it.
  if (layout.copy_before_walk && e.walk_temp_bytes != 0) return false;
  emit_factors(e, c, target, chain, layout);
  const auto [walk_high, walk_bits] = bound_bits(chain, c.factors, target);
  if (!c.factors.empty()) narrow(e.writer, e.acc, walk_bits);
  e.high = walk_high;
  return true;
}

// The offset and the guard shift: q = floor((v + offset) / 2^guard), the offset 2^(g-1) taken
// from the carry when the layout says so. False when the rounded value would not fit the bytes
// the shift leaves (its carry out of the top would be lost).
bool emit_rounding(Emission& e, const Candidate& c, const Layout& layout) {
  CodeWriter& writer = e.writer;
  Register& acc = e.acc;
  if (!layout.round_by_carry) {
    if (c.offset != 0) {
      e.code += add_constant(writer, acc, c.offset);
      e.high += BigInt::from_unsigned(c.offset);
      e.narrow_to_high();
    }
    if (c.guard > 0) {
      e.code += shift_right(writer, acc, c.guard);
      e.high >>= c.guard;
      e.narrow_to_high();
    }
    return true;
  }
  if (c.guard > 1) {
    e.code += shift_right(writer, acc, c.guard - 1);
    e.high >>= c.guard - 1;
    e.narrow_to_high();
  }
  // The last place: a shift by one that keeps some bits ends on the bit it drops, in C.
  const int rounded_bits = ((e.high + 1) >> 1).bit_length();
  if (acc.width + (writer.carry_overflow_of(acc) ? 1 : 0) < 2) return false;
  e.code += shift_right(writer, acc, 1);
  if (acc.value_bytes() == 0 || rounded_bits > 8 * acc.value_bytes()) return false;
  writer.clear_code();
  add_carry(writer, acc);
  e.code += writer.code;
  writer.set_carry_known(false, acc);
  writer.set_carry_overflow(false, acc);
  e.high = (e.high + 1) >> 1;
  acc.set_width(std::max(acc.width, rounded_bits), 0);
  acc.spare = 8 * acc.value_bytes() - acc.width;
  e.narrow_to_high();
  return true;
}

// The result onto its output bytes, then the corrections.
EmittedRoutine emit_result(Emission& e, const Candidate& c, const ResultTarget& target,
                           int output_bytes) {
  CodeWriter& writer = e.writer;
  // From here on the value is the result, which the proof bounds by the largest result.
  narrow(writer, e.acc, std::max(1, target.result_bits));
  if (writer.carry_overflow_of(e.acc)) {
    writer.clear_code();
    e.code += writer.flush_carry();
  }
  EmittedRoutine routine;
  const int input_bytes = (target.input_bits + 7) / 8;
  routine.output_bytes = std::max(input_bytes, (target.result_bits + 7) / 8);
  assert(output_bytes == 0 || output_bytes >= routine.output_bytes);
  if (output_bytes > 0) routine.output_bytes = output_bytes;
  e.code += fit_output_bytes(writer, e.acc, routine.output_bytes);
  // A copy into temp that nothing read was dropped; the factors' copies follow the walk's.
  int temp_bytes = e.walk_temp_bytes + e.shifted.bytes;
  if (c.corrections > 0) {
    e.code = add_corrections(writer, c, target, e.names, e.acc, e.temp, temp_bytes, e.code);
  } else if (!e.names.rem.empty()) {
    e.code =
        add_remainder(writer, target, e.names, routine.output_bytes, e.temp, temp_bytes, e.code);
  }
  routine.instructions = static_cast<int>(e.code.size());
  routine.acc_bytes = e.acc.bytes;
  routine.temp_bytes = temp_bytes;
  routine.code = std::move(e.code);
  return routine;
}

// The candidate's routine in one layout; nullopt when the layout does not apply.
std::optional<EmittedRoutine> emit_in_layout(const Candidate& c, const ResultTarget& target,
                                             const RoutineNames& names, int output_bytes,
                                             const Layout& layout) {
  if (!layout_applies(layout, c, target)) return std::nullopt;
  Emission e(names, target);
  if (!emit_walk(e, c, target, layout) || !emit_rounding(e, c, layout)) return std::nullopt;
  return emit_result(e, c, target, output_bytes);
}

}  // namespace

EmittedRoutine emit_candidate(const Candidate& c, const ResultTarget& target,
                              const RoutineNames& names, int output_bytes) {
  // The plain layout always applies; another replaces it only when it is better.
  std::optional<EmittedRoutine> best;
  for (const Layout& layout : kLayouts) {
    std::optional<EmittedRoutine> routine = emit_in_layout(c, target, names, output_bytes, layout);
    if (routine && (!best || better_routine(*routine, *best, names))) {
      best = std::move(routine);
    }
  }
  return std::move(*best);
}

void share_bytes(EmittedRoutine& routine, const RoutineNames& names) {
  SharedBytes shared = share_scratch_bytes(routine.code, routine.code.find_register(names.temp));
  routine.code = std::move(shared.code);
  routine.temp_bytes = shared.bytes;
}

std::string declaration_lines(const EmittedRoutine& routine, const RoutineNames& names,
                              int rem_bytes) {
  std::string lines;
  for (const std::string& name : declared_names(routine, names, rem_bytes)) {
    lines += "\t" + name + "\n";
  }
  return lines;
}

// The remainder is a result too: it comes right after the accumulator's bytes, among the
// bytes a caller reads (and a relocatable module makes global).
std::vector<std::string> declared_names(const EmittedRoutine& routine, const RoutineNames& names,
                                        int rem_bytes) {
  std::vector<std::string> declared;
  for (int k = 0; k < declared_acc_bytes(routine); ++k) {
    declared.push_back(names.acc + std::to_string(k));
  }
  for (int k = 0; k < rem_bytes; ++k) declared.push_back(names.rem + std::to_string(k));
  for (int k = 0; k < routine.temp_bytes; ++k) declared.push_back(names.temp + std::to_string(k));
  return declared;
}

int declared_acc_bytes(const EmittedRoutine& routine) {
  return std::max(routine.output_bytes, routine.acc_bytes);
}

namespace {

// The bytes the routine would declare (declaration_lines) once its temporary bytes share RAM.
int shared_ram_bytes(const EmittedRoutine& routine, const RoutineNames& names) {
  return std::max(routine.output_bytes, routine.acc_bytes) +
         share_scratch_bytes(routine.code, routine.code.find_register(names.temp)).bytes;
}

}  // namespace

bool better_routine(const EmittedRoutine& a, const EmittedRoutine& b, const RoutineNames& names) {
  if (a.instructions != b.instructions) return a.instructions < b.instructions;
  return names.core == Core::kBaseline && shared_ram_bytes(a, names) < shared_ram_bytes(b, names);
}

}  // namespace tarvek

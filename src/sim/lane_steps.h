// What one instruction does in every lane of a LaneMachine (lane_machine.h): the loops the
// runner is made of, with PicMachine's semantics in each lane, and the table of what each
// operation reads and writes, which restrict_to walks. For lane_machine.cc alone: everything
// here is inlined into the run loop, once for each of the Vectors.
#ifndef TARVEK_SIM_LANE_STEPS_H
#define TARVEK_SIM_LANE_STEPS_H

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>

#include "sim/lane_machine.h"
#include "sim/pic_program.h"

namespace tarvek::lane_steps {

// Fixed STATUS bits: TO and PD read 1, as PicMachine shows them.
inline constexpr uint8_t kStatusToPd = 0x18;
inline constexpr uint8_t kBankMask = 0xE0;

// One lane's copy of the state an instruction reads and writes. Kept in bytes, with the flags
// as 0 or 1, so that the loops over lanes stay in byte-wide vector arithmetic.
struct Lane {
  // The file operand's byte (an unused row for an instruction without one).
  uint8_t f;
  uint8_t w;
  uint8_t c;
  uint8_t dc;
  uint8_t z;
  // STATUS bits 7..5 in place.
  uint8_t bank;
  // Set by a skip instruction when it skips the next one.
  uint8_t skip;
};

// Fields of Lane, as a mask: those an instruction writes are the only ones stored back, so
// that an instruction's loop reads and writes just the rows it needs; with those it reads,
// they tell which rows a restricted run must keep (restrict_to).
enum Writes : unsigned {
  kWritesF = 1,
  kWritesW = 2,
  kWritesC = 4,
  kWritesDc = 8,
  kWritesZ = 16,
  kWritesBank = 32,
  kWritesSkip = 64,
};

// The rows one instruction works on, and how many lanes (whole blocks) to run.
struct Rows {
  uint8_t* f;
  uint8_t* w;
  uint8_t* c;
  uint8_t* dc;
  uint8_t* z;
  uint8_t* bank;
  uint8_t* skip;
  int lanes;
};

// Runs `step` on every lane. With kPredicated, the previous instruction was a skip and the
// skip row says where this one is skipped: there the state is kept, and a skip instruction
// skipped itself does not skip the next one.
// The rows are distinct, which __restrict tells the compiler so that it needs no overlap
// checks before vectorising; each loop over a block has a fixed trip count for the same
// reason.
template <unsigned kWrites, bool kPredicated, typename Step>
[[gnu::always_inline]] inline void step_lanes(int lanes, Step step, uint8_t* __restrict f,
                                              uint8_t* __restrict w, uint8_t* __restrict c,
                                              uint8_t* __restrict dc, uint8_t* __restrict z,
                                              uint8_t* __restrict bank, uint8_t* __restrict skip) {
  for (int block = 0; block < lanes; block += LaneMachine::kBlockLanes) {
    for (int l = block; l < block + LaneMachine::kBlockLanes; ++l) {
      const Lane before{f[l], w[l], c[l], dc[l], z[l], bank[l], 0};
      Lane s = before;
      step(s);
      // All ones where this lane skips the instruction. A mask rather than a branch or a
      // conditional choice keeps even the instructions that write five rows free of control
      // flow, which the vectoriser would give up on.
      const auto kept = static_cast<uint8_t>(kPredicated ? -skip[l] : 0);
      const auto pick = [](uint8_t mask, uint8_t now, uint8_t old) {
        return static_cast<uint8_t>((now & ~mask) | (old & mask));
      };
      if constexpr ((kWrites & kWritesF) != 0) f[l] = pick(kept, s.f, before.f);
      if constexpr ((kWrites & kWritesW) != 0) w[l] = pick(kept, s.w, before.w);
      if constexpr ((kWrites & kWritesC) != 0) c[l] = pick(kept, s.c, before.c);
      if constexpr ((kWrites & kWritesDc) != 0) dc[l] = pick(kept, s.dc, before.dc);
      if constexpr ((kWrites & kWritesZ) != 0) z[l] = pick(kept, s.z, before.z);
      if constexpr ((kWrites & kWritesBank) != 0) bank[l] = pick(kept, s.bank, before.bank);
      if constexpr ((kWrites & kWritesSkip) != 0) skip[l] = pick(kept, s.skip, 0);
    }
  }
}

template <unsigned kWrites, bool kPredicated, typename Step>
[[gnu::always_inline]] inline void apply(const Rows& rows, Step step) {
  step_lanes<kWrites, kPredicated>(rows.lanes, step, rows.f, rows.w, rows.c, rows.dc, rows.z,
                                   rows.bank, rows.skip);
}

inline uint8_t is_zero(uint8_t v) {
  return v == 0 ? 1 : 0;
}

// a + b + carry_in, setting C to the carry out of bit 7, DC to the carry out of bit 3 and Z.
// A subtraction f - W - borrow is f + ~W + C, whose carries are then "no borrow".
inline uint8_t add(Lane& s, uint8_t a, uint8_t b, uint8_t carry_in) {
  const auto r = static_cast<uint8_t>(a + b + carry_in);
  // Bit i of a ^ b ^ r is the carry into bit i. The carry out of bit 7 is the majority of
  // a's, b's and the incoming carry's bit 7; where exactly one of a and b has it, that is
  // the inverse of r's bit 7.
  s.dc = static_cast<uint8_t>((a ^ b ^ r) >> 4) & 1;
  // Kept in bytes: an int from ~r would widen the vector arithmetic to 16 bits.
  const auto carries = static_cast<uint8_t>((a & b) | ((a | b) & static_cast<uint8_t>(~r)));
  s.c = carries >> 7;
  s.z = is_zero(r);
  return r;
}

inline uint8_t swap_nibbles(uint8_t v) {
  return static_cast<uint8_t>((v << 4) | (v >> 4));
}

inline uint8_t status_of(const Lane& s) {
  return static_cast<uint8_t>(s.bank | kStatusToPd | (s.z << 2) | (s.dc << 1) | s.c);
}

inline constexpr unsigned kArithmeticFlags = kWritesC | kWritesDc | kWritesZ;
// What a lean step leaves as it was.
inline constexpr unsigned kLeanFlags = kWritesDc | kWritesZ;

// The fields each operation writes, with PicMachine::run's semantics. execute() stores
// exactly these.
constexpr unsigned writes_of(PicOp op) {
  switch (op) {
    case PicOp::kMovwf:
    case PicOp::kSwapfF:
    case PicOp::kBsf:
      return kWritesF;
    case PicOp::kMovlw:
    case PicOp::kSwapfW:
      return kWritesW;
    case PicOp::kMovfW:
    case PicOp::kAndlw:
    case PicOp::kIorlw:
    case PicOp::kComfW:
    case PicOp::kIorwfW:
    case PicOp::kXorwfW:
    case PicOp::kIncfW:
    case PicOp::kXorwfStatusW:
      return kWritesW | kWritesZ;
    case PicOp::kMovfF:
      return kWritesZ;
    case PicOp::kClrf:
    case PicOp::kComfF:
    case PicOp::kIorwfF:
    case PicOp::kXorwfF:
    case PicOp::kIncfF:
      return kWritesF | kWritesZ;
    case PicOp::kAddlw:
    case PicOp::kAddwfW:
    case PicOp::kSubwfW:
    case PicOp::kAddwfcW:
    case PicOp::kSubwfbW:
      return kWritesW | kArithmeticFlags;
    case PicOp::kAddwfF:
    case PicOp::kSubwfF:
    case PicOp::kAddwfcF:
    case PicOp::kSubwfbF:
      return kWritesF | kArithmeticFlags;
    case PicOp::kRlfW:
    case PicOp::kRrfW:
      return kWritesW | kWritesC;
    case PicOp::kRlfF:
    case PicOp::kRrfF:
      return kWritesF | kWritesC;
    case PicOp::kLslfW:
    case PicOp::kLsrfW:
    case PicOp::kAsrfW:
      return kWritesW | kWritesC | kWritesZ;
    case PicOp::kLslfF:
    case PicOp::kLsrfF:
    case PicOp::kAsrfF:
      return kWritesF | kWritesC | kWritesZ;
    case PicOp::kBtfsc:
    case PicOp::kBtfss:
    case PicOp::kSkpc:
    case PicOp::kSkpnc:
    case PicOp::kSkpnz:
      return kWritesSkip;
    case PicOp::kIncfszW:
      return kWritesW | kWritesSkip;
    case PicOp::kIncfszF:
      return kWritesF | kWritesSkip;
    case PicOp::kXorwfStatus:
      return kWritesBank | kWritesZ;
    case PicOp::kMovwfStatus:
      return kWritesBank | kArithmeticFlags;
    case PicOp::kClrc:
      return kWritesC;
    // Not run on lanes (runs_on_lanes): a program with one of these runs on PicMachine.
    case PicOp::kGoto:
    case PicOp::kDecfW:
    case PicOp::kDecfF:
    case PicOp::kDecfszW:
    case PicOp::kDecfszF:
    case PicOp::kBcf:
    case PicOp::kSetc:
    case PicOp::kAndwfW:
    case PicOp::kAndwfF:
    case PicOp::kRlcfW:
    case PicOp::kRlcfF:
    case PicOp::kRrcfW:
    case PicOp::kRrcfF:
    case PicOp::kMullw:
    case PicOp::kMulwf:
    case PicOp::kBra:
      return 0;
  }
  return 0;
}

// The fields each operation reads (the same masks), whatever it writes.
constexpr unsigned reads_of(PicOp op) {
  switch (op) {
    case PicOp::kMovlw:
    case PicOp::kClrf:
    case PicOp::kClrc:
      return 0;
    case PicOp::kMovwf:
    case PicOp::kAndlw:
    case PicOp::kIorlw:
    case PicOp::kAddlw:
    case PicOp::kMovwfStatus:
      return kWritesW;
    case PicOp::kMovfW:
    case PicOp::kMovfF:
    case PicOp::kSwapfW:
    case PicOp::kSwapfF:
    case PicOp::kBtfsc:
    case PicOp::kBtfss:
    case PicOp::kBsf:
    case PicOp::kComfW:
    case PicOp::kComfF:
    case PicOp::kIncfW:
    case PicOp::kIncfF:
    case PicOp::kIncfszW:
    case PicOp::kIncfszF:
    case PicOp::kLslfW:
    case PicOp::kLslfF:
    case PicOp::kLsrfW:
    case PicOp::kLsrfF:
    case PicOp::kAsrfW:
    case PicOp::kAsrfF:
      return kWritesF;
    case PicOp::kRlfW:
    case PicOp::kRlfF:
    case PicOp::kRrfW:
    case PicOp::kRrfF:
      return kWritesF | kWritesC;
    case PicOp::kAddwfW:
    case PicOp::kAddwfF:
    case PicOp::kSubwfW:
    case PicOp::kSubwfF:
    case PicOp::kIorwfW:
    case PicOp::kIorwfF:
    case PicOp::kXorwfW:
    case PicOp::kXorwfF:
      return kWritesF | kWritesW;
    case PicOp::kAddwfcW:
    case PicOp::kAddwfcF:
    case PicOp::kSubwfbW:
    case PicOp::kSubwfbF:
      return kWritesF | kWritesW | kWritesC;
    case PicOp::kXorwfStatus:
    case PicOp::kXorwfStatusW:
      return kWritesW | kWritesBank | kArithmeticFlags;
    case PicOp::kSkpc:
    case PicOp::kSkpnc:
      return kWritesC;
    case PicOp::kSkpnz:
      return kWritesZ;
    // Not run on lanes (runs_on_lanes): a program with one of these runs on PicMachine.
    case PicOp::kGoto:
    case PicOp::kDecfW:
    case PicOp::kDecfF:
    case PicOp::kDecfszW:
    case PicOp::kDecfszF:
    case PicOp::kBcf:
    case PicOp::kSetc:
    case PicOp::kAndwfW:
    case PicOp::kAndwfF:
    case PicOp::kRlcfW:
    case PicOp::kRlcfF:
    case PicOp::kRrcfW:
    case PicOp::kRrcfF:
    case PicOp::kMullw:
    case PicOp::kMulwf:
    case PicOp::kBra:
      return 0;
  }
  return 0;
}

// What each operation writes and reads, whether it has a file operand and whether it may
// skip, for looking up once per instruction when a machine is made or restricted.
struct OpTraits {
  uint8_t writes;
  uint8_t reads;
  bool file;
  bool skip;
};
inline constexpr int kOpCount = static_cast<int>(PicOp::kAsrfF) + 1;
inline constexpr std::array<OpTraits, kOpCount> kOpTraits = [] {
  std::array<OpTraits, kOpCount> traits{};
  for (int i = 0; i < kOpCount; ++i) {
    const auto op = static_cast<PicOp>(i);
    traits[static_cast<std::size_t>(i)] = {static_cast<uint8_t>(writes_of(op)),
                                           static_cast<uint8_t>(reads_of(op)), has_file_operand(op),
                                           is_skip(op)};
  }
  return traits;
}();

inline const OpTraits& traits_of(PicOp op) {
  return kOpTraits[static_cast<std::size_t>(op)];
}

// Runs `step` on every lane, storing what operation kOp writes, or with `lean` all of it but
// Z and DC.
template <PicOp kOp, bool kPredicated, typename Step>
[[gnu::always_inline]] inline void apply_op(const Rows& rows, bool lean, Step step) {
  constexpr unsigned kWrites = writes_of(kOp);
  constexpr unsigned kLean = kWrites & ~kLeanFlags;
  if constexpr (kLean != kWrites && kLean != 0) {
    if (lean) return apply<kLean, kPredicated>(rows, step);
  }
  apply<kWrites, kPredicated>(rows, step);
}

// An instruction with a ", w" / ", f" destination, kToW or kToF: `compute` sets the flags
// and returns the result, which goes to W or to the file operand.
template <PicOp kToW, PicOp kToF, bool kPredicated, typename Compute>
[[gnu::always_inline]] inline void apply_to(PicOp op, const Rows& rows, bool lean,
                                            Compute compute) {
  if (op == kToF) {
    apply_op<kToF, kPredicated>(rows, lean, [compute](Lane& s) { s.f = compute(s); });
  } else {
    apply_op<kToW, kPredicated>(rows, lean, [compute](Lane& s) { s.w = compute(s); });
  }
}

// One instruction in every lane, with PicMachine::run's semantics per lane; with `lean`,
// Z and DC are left as they were.
template <bool kPredicated>
[[gnu::always_inline]] inline void execute(PicOp op, uint8_t k, uint8_t bit_number,
                                           const Rows& rows, bool lean,
                                           uint8_t writable_bank_bits) {
  const auto bit = static_cast<uint8_t>(1u << bit_number);
  constexpr bool P = kPredicated;
  using enum PicOp;
  switch (op) {
    case kMovwf:
      return apply_op<kMovwf, P>(rows, lean, [](Lane& s) { s.f = s.w; });
    case kMovfW:
      return apply_op<kMovfW, P>(rows, lean, [](Lane& s) {
        s.w = s.f;
        s.z = is_zero(s.f);
      });
    case kMovfF:
      return apply_op<kMovfF, P>(rows, lean, [](Lane& s) { s.z = is_zero(s.f); });
    case kMovlw:
      return apply_op<kMovlw, P>(rows, lean, [k](Lane& s) { s.w = k; });
    case kAndlw:
      return apply_op<kAndlw, P>(rows, lean, [k](Lane& s) {
        s.w &= k;
        s.z = is_zero(s.w);
      });
    case kIorlw:
      return apply_op<kIorlw, P>(rows, lean, [k](Lane& s) {
        s.w |= k;
        s.z = is_zero(s.w);
      });
    case kAddlw:
      return apply_op<kAddlw, P>(rows, lean, [k](Lane& s) { s.w = add(s, s.w, k, 0); });
    case kClrf:
      return apply_op<kClrf, P>(rows, lean, [](Lane& s) {
        s.f = 0;
        s.z = 1;
      });
    case kSwapfW:
    case kSwapfF:
      return apply_to<kSwapfW, kSwapfF, P>(op, rows, lean,
                                           [](Lane& s) { return swap_nibbles(s.f); });
    case kBtfsc:
      return apply_op<kBtfsc, P>(rows, lean, [bit](Lane& s) { s.skip = is_zero(s.f & bit); });
    case kBtfss:
      return apply_op<kBtfss, P>(rows, lean, [bit](Lane& s) { s.skip = 1 - is_zero(s.f & bit); });
    case kBsf:
      return apply_op<kBsf, P>(rows, lean, [bit](Lane& s) { s.f |= bit; });
    case kComfW:
    case kComfF:
      return apply_to<kComfW, kComfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>(~s.f);
        s.z = is_zero(r);
        return r;
      });
    case kRlfW:
    case kRlfF:
      return apply_to<kRlfW, kRlfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>((s.f << 1) | s.c);
        s.c = s.f >> 7;
        return r;
      });
    case kRrfW:
    case kRrfF:
      return apply_to<kRrfW, kRrfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>((s.f >> 1) | (s.c << 7));
        s.c = s.f & 1;
        return r;
      });
    case kAddwfW:
    case kAddwfF:
      return apply_to<kAddwfW, kAddwfF, P>(op, rows, lean,
                                           [](Lane& s) { return add(s, s.f, s.w, 0); });
    case kSubwfW:
    case kSubwfF:
      return apply_to<kSubwfW, kSubwfF, P>(
          op, rows, lean, [](Lane& s) { return add(s, s.f, static_cast<uint8_t>(~s.w), 1); });
    case kIorwfW:
    case kIorwfF:
      return apply_to<kIorwfW, kIorwfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f | s.w);
        s.z = is_zero(r);
        return r;
      });
    case kXorwfW:
    case kXorwfF:
      return apply_to<kXorwfW, kXorwfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f ^ s.w);
        s.z = is_zero(r);
        return r;
      });
    case kIncfW:
    case kIncfF:
      return apply_to<kIncfW, kIncfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f + 1);
        s.z = is_zero(r);
        return r;
      });
    case kIncfszW:
    case kIncfszF:
      return apply_to<kIncfszW, kIncfszF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f + 1);
        s.skip = is_zero(r);
        return r;
      });
    case kXorwfStatus:
      // Only the bank bits take the result; Z comes from the flag logic, C and DC stay.
      return apply_op<kXorwfStatus, P>(rows, lean, [writable_bank_bits](Lane& s) {
        const auto r = static_cast<uint8_t>(status_of(s) ^ s.w);
        s.bank = r & writable_bank_bits;
        s.z = is_zero(r);
      });
    case kXorwfStatusW:
      return apply_op<kXorwfStatusW, P>(rows, lean, [](Lane& s) {
        s.w = static_cast<uint8_t>(status_of(s) ^ s.w);
        s.z = is_zero(s.w);
      });
    case kMovwfStatus:
      return apply_op<kMovwfStatus, P>(rows, lean, [writable_bank_bits](Lane& s) {
        s.bank = s.w & writable_bank_bits;
        s.z = (s.w >> 2) & 1;
        s.dc = (s.w >> 1) & 1;
        s.c = s.w & 1;
      });
    case kClrc:
      return apply_op<kClrc, P>(rows, lean, [](Lane& s) { s.c = 0; });
    case kSkpc:
      return apply_op<kSkpc, P>(rows, lean, [](Lane& s) { s.skip = s.c; });
    case kSkpnc:
      return apply_op<kSkpnc, P>(rows, lean, [](Lane& s) { s.skip = s.c ^ 1; });
    case kSkpnz:
      return apply_op<kSkpnz, P>(rows, lean, [](Lane& s) { s.skip = s.z ^ 1; });
    case kAddwfcW:
    case kAddwfcF:
      return apply_to<kAddwfcW, kAddwfcF, P>(op, rows, lean,
                                             [](Lane& s) { return add(s, s.f, s.w, s.c); });
    case kSubwfbW:
    case kSubwfbF:
      return apply_to<kSubwfbW, kSubwfbF, P>(
          op, rows, lean, [](Lane& s) { return add(s, s.f, static_cast<uint8_t>(~s.w), s.c); });
    case kLslfW:
    case kLslfF:
      return apply_to<kLslfW, kLslfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f << 1);
        s.c = s.f >> 7;
        s.z = is_zero(r);
        return r;
      });
    case kLsrfW:
    case kLsrfF:
      return apply_to<kLsrfW, kLsrfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f >> 1);
        s.c = s.f & 1;
        s.z = is_zero(r);
        return r;
      });
    case kAsrfW:
    case kAsrfF:
      return apply_to<kAsrfW, kAsrfF, P>(op, rows, lean, [](Lane& s) {
        const auto r = static_cast<uint8_t>((s.f >> 1) | (s.f & 0x80));
        s.c = s.f & 1;
        s.z = is_zero(r);
        return r;
      });
    case kGoto:
    case kDecfW:
    case kDecfF:
    case kDecfszW:
    case kDecfszF:
    case kBcf:
    case kSetc:
    case kAndwfW:
    case kAndwfF:
    case kRlcfW:
    case kRlcfF:
    case kRrcfW:
    case kRrcfF:
    case kMullw:
    case kMulwf:
    case kBra:
      // Never run here (runs_on_lanes).
      break;
  }
  assert(false);
}

// The loop of LaneMachine::run over its steps, inlined with everything it calls into one
// function per Vectors, each compiled for its instructions.
template <typename Step>
[[gnu::always_inline]] inline void run_steps(const Step* steps, std::size_t count, uint8_t* base,
                                             int stride, uint8_t* const* registers, int lanes,
                                             uint8_t writable_bank_bits) {
  Rows rows{nullptr,      registers[0], registers[1], registers[2],
            registers[3], registers[4], registers[5], lanes};
  for (std::size_t i = 0; i < count; ++i) {
    const Step& step = steps[i];
    rows.f = base + static_cast<std::size_t>(step.f_row) * static_cast<std::size_t>(stride);
    if (step.predicated) {
      execute<true>(step.op, step.literal, step.bit, rows, step.lean, writable_bank_bits);
    } else {
      execute<false>(step.op, step.literal, step.bit, rows, step.lean, writable_bank_bits);
    }
  }
}

}  // namespace tarvek::lane_steps

#endif  // TARVEK_SIM_LANE_STEPS_H

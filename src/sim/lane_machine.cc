#include "sim/lane_machine.h"

#include <algorithm>
#include <cassert>

#include "sim/pic_machine.h"

namespace tarvek {
namespace {

// Fixed STATUS bits: TO and PD read 1, as PicMachine shows them.
constexpr uint8_t kStatusToPd = 0x18;
constexpr uint8_t kBankMask = 0xE0;

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

// The fields of Lane an instruction writes, as a mask: only those are stored back, so that an
// instruction's loop reads and writes just the rows it needs.
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
void step_lanes(int lanes, Step step, uint8_t* __restrict f, uint8_t* __restrict w,
                uint8_t* __restrict c, uint8_t* __restrict dc, uint8_t* __restrict z,
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
void apply(const Rows& rows, Step step) {
  step_lanes<kWrites, kPredicated>(rows.lanes, step, rows.f, rows.w, rows.c, rows.dc, rows.z,
                                   rows.bank, rows.skip);
}

// An instruction with a ", w" / ", f" destination: `compute` sets the flags in kFlags and
// returns the result, which goes to the file operand or to W.
template <unsigned kFlags, bool kPredicated, typename Compute>
void apply_to(bool to_file, const Rows& rows, Compute compute) {
  if (to_file) {
    apply<kFlags | kWritesF, kPredicated>(rows, [compute](Lane& s) { s.f = compute(s); });
  } else {
    apply<kFlags | kWritesW, kPredicated>(rows, [compute](Lane& s) { s.w = compute(s); });
  }
}

uint8_t is_zero(uint8_t v) {
  return v == 0 ? 1 : 0;
}

// a + b + carry_in, setting C to the carry out of bit 7, DC to the carry out of bit 3 and Z.
// A subtraction f - W - borrow is f + ~W + C, whose carries are then "no borrow".
uint8_t add(Lane& s, uint8_t a, uint8_t b, uint8_t carry_in) {
  const auto r = static_cast<uint8_t>(a + b + carry_in);
  // Bit i of a ^ b ^ r is the carry into bit i. The carry out of bit 7 is the majority of
  // a's, b's and the incoming carry's bit 7; where exactly one of a and b has it, that is
  // the inverse of r's bit 7.
  s.dc = static_cast<uint8_t>((a ^ b ^ r) >> 4) & 1;
  s.c = static_cast<uint8_t>(((a & b) | ((a | b) & ~r)) >> 7) & 1;
  s.z = is_zero(r);
  return r;
}

uint8_t swap_nibbles(uint8_t v) {
  return static_cast<uint8_t>((v << 4) | (v >> 4));
}

uint8_t status_of(const Lane& s) {
  return static_cast<uint8_t>(s.bank | kStatusToPd | (s.z << 2) | (s.dc << 1) | s.c);
}

constexpr unsigned kArithmeticFlags = kWritesC | kWritesDc | kWritesZ;

// One instruction in every lane, with PicMachine::run's semantics per lane.
template <bool kPredicated>
void execute(const PicInstruction& in, const Rows& rows, uint8_t writable_bank_bits) {
  const auto k = static_cast<uint8_t>(in.operand);
  const auto bit = static_cast<uint8_t>(1u << in.bit);
  const PicOp op = in.op;
  constexpr bool P = kPredicated;
  switch (op) {
    case PicOp::kMovwf:
      return apply<kWritesF, P>(rows, [](Lane& s) { s.f = s.w; });
    case PicOp::kMovfW:
      return apply<kWritesW | kWritesZ, P>(rows, [](Lane& s) {
        s.w = s.f;
        s.z = is_zero(s.f);
      });
    case PicOp::kMovfF:
      return apply<kWritesZ, P>(rows, [](Lane& s) { s.z = is_zero(s.f); });
    case PicOp::kMovlw:
      return apply<kWritesW, P>(rows, [k](Lane& s) { s.w = k; });
    case PicOp::kAndlw:
      return apply<kWritesW | kWritesZ, P>(rows, [k](Lane& s) {
        s.w &= k;
        s.z = is_zero(s.w);
      });
    case PicOp::kIorlw:
      return apply<kWritesW | kWritesZ, P>(rows, [k](Lane& s) {
        s.w |= k;
        s.z = is_zero(s.w);
      });
    case PicOp::kAddlw:
      return apply<kWritesW | kArithmeticFlags, P>(rows, [k](Lane& s) { s.w = add(s, s.w, k, 0); });
    case PicOp::kClrf:
      return apply<kWritesF | kWritesZ, P>(rows, [](Lane& s) {
        s.f = 0;
        s.z = 1;
      });
    case PicOp::kSwapfW:
    case PicOp::kSwapfF:
      return apply_to<0, P>(op == PicOp::kSwapfF, rows, [](Lane& s) { return swap_nibbles(s.f); });
    case PicOp::kBtfsc:
      return apply<kWritesSkip, P>(rows, [bit](Lane& s) { s.skip = is_zero(s.f & bit); });
    case PicOp::kBsf:
      return apply<kWritesF, P>(rows, [bit](Lane& s) { s.f |= bit; });
    case PicOp::kComfW:
    case PicOp::kComfF:
      return apply_to<kWritesZ, P>(op == PicOp::kComfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>(~s.f);
        s.z = is_zero(r);
        return r;
      });
    case PicOp::kRlfW:
    case PicOp::kRlfF:
      return apply_to<kWritesC, P>(op == PicOp::kRlfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>((s.f << 1) | s.c);
        s.c = s.f >> 7;
        return r;
      });
    case PicOp::kRrfW:
    case PicOp::kRrfF:
      return apply_to<kWritesC, P>(op == PicOp::kRrfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>((s.f >> 1) | (s.c << 7));
        s.c = s.f & 1;
        return r;
      });
    case PicOp::kAddwfW:
    case PicOp::kAddwfF:
      return apply_to<kArithmeticFlags, P>(op == PicOp::kAddwfF, rows,
                                           [](Lane& s) { return add(s, s.f, s.w, 0); });
    case PicOp::kSubwfW:
    case PicOp::kSubwfF:
      return apply_to<kArithmeticFlags, P>(op == PicOp::kSubwfF, rows, [](Lane& s) {
        return add(s, s.f, static_cast<uint8_t>(~s.w), 1);
      });
    case PicOp::kIorwfW:
    case PicOp::kIorwfF:
      return apply_to<kWritesZ, P>(op == PicOp::kIorwfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f | s.w);
        s.z = is_zero(r);
        return r;
      });
    case PicOp::kXorwfW:
    case PicOp::kXorwfF:
      return apply_to<kWritesZ, P>(op == PicOp::kXorwfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f ^ s.w);
        s.z = is_zero(r);
        return r;
      });
    case PicOp::kIncfW:
    case PicOp::kIncfF:
      return apply_to<kWritesZ, P>(op == PicOp::kIncfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f + 1);
        s.z = is_zero(r);
        return r;
      });
    case PicOp::kIncfszW:
    case PicOp::kIncfszF:
      return apply_to<kWritesSkip, P>(op == PicOp::kIncfszF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f + 1);
        s.skip = is_zero(r);
        return r;
      });
    case PicOp::kXorwfStatus:
      // Only the bank bits take the result; Z comes from the flag logic, C and DC stay.
      return apply<kWritesBank | kWritesZ, P>(rows, [writable_bank_bits](Lane& s) {
        const auto r = static_cast<uint8_t>(status_of(s) ^ s.w);
        s.bank = r & writable_bank_bits;
        s.z = is_zero(r);
      });
    case PicOp::kXorwfStatusW:
      return apply<kWritesW | kWritesZ, P>(rows, [](Lane& s) {
        s.w = static_cast<uint8_t>(status_of(s) ^ s.w);
        s.z = is_zero(s.w);
      });
    case PicOp::kMovwfStatus:
      return apply<kWritesBank | kArithmeticFlags, P>(rows, [writable_bank_bits](Lane& s) {
        s.bank = s.w & writable_bank_bits;
        s.z = (s.w >> 2) & 1;
        s.dc = (s.w >> 1) & 1;
        s.c = s.w & 1;
      });
    case PicOp::kClrc:
      return apply<kWritesC, P>(rows, [](Lane& s) { s.c = 0; });
    case PicOp::kSkpc:
      return apply<kWritesSkip, P>(rows, [](Lane& s) { s.skip = s.c; });
    case PicOp::kSkpnc:
      return apply<kWritesSkip, P>(rows, [](Lane& s) { s.skip = s.c ^ 1; });
    case PicOp::kSkpnz:
      return apply<kWritesSkip, P>(rows, [](Lane& s) { s.skip = s.z ^ 1; });
    case PicOp::kAddwfcW:
    case PicOp::kAddwfcF:
      return apply_to<kArithmeticFlags, P>(op == PicOp::kAddwfcF, rows,
                                           [](Lane& s) { return add(s, s.f, s.w, s.c); });
    case PicOp::kSubwfbW:
    case PicOp::kSubwfbF:
      return apply_to<kArithmeticFlags, P>(op == PicOp::kSubwfbF, rows, [](Lane& s) {
        return add(s, s.f, static_cast<uint8_t>(~s.w), s.c);
      });
    case PicOp::kLslfW:
    case PicOp::kLslfF:
      return apply_to<kWritesC | kWritesZ, P>(op == PicOp::kLslfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f << 1);
        s.c = s.f >> 7;
        s.z = is_zero(r);
        return r;
      });
    case PicOp::kLsrfW:
    case PicOp::kLsrfF:
      return apply_to<kWritesC | kWritesZ, P>(op == PicOp::kLsrfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>(s.f >> 1);
        s.c = s.f & 1;
        s.z = is_zero(r);
        return r;
      });
    case PicOp::kAsrfW:
    case PicOp::kAsrfF:
      return apply_to<kWritesC | kWritesZ, P>(op == PicOp::kAsrfF, rows, [](Lane& s) {
        const auto r = static_cast<uint8_t>((s.f >> 1) | (s.f & 0x80));
        s.c = s.f & 1;
        s.z = is_zero(r);
        return r;
      });
    // Loops' operations: a program with one runs on PicMachine (PicProgram::straight_line).
    case PicOp::kGoto:
    case PicOp::kDecfW:
    case PicOp::kDecfF:
    case PicOp::kDecfszW:
    case PicOp::kDecfszF:
    case PicOp::kBtfss:
    case PicOp::kBcf:
    case PicOp::kSetc:
    case PicOp::kAndwfW:
    case PicOp::kAndwfF:
      break;
  }
  assert(false);
}

}  // namespace

LaneMachine::LaneMachine(const PicProgram& program, int lanes)
    : program_(&program),
      lanes_(lanes),
      stride_((lanes + kBlockLanes - 1) / kBlockLanes * kBlockLanes),
      byte_count_(static_cast<int>(program.byte_names.size())),
      rows_(static_cast<size_t>(byte_count_ + kRowCount) * static_cast<size_t>(stride_), 0) {
  assert(lanes >= 1);
}

uint8_t* LaneMachine::row(int index) {
  return rows_.data() + static_cast<size_t>(index) * static_cast<size_t>(stride_);
}

const uint8_t* LaneMachine::row(int index) const {
  return rows_.data() + static_cast<size_t>(index) * static_cast<size_t>(stride_);
}

void LaneMachine::fill(int lane, uint64_t seed) {
  assert(lane >= 0 && lane < lanes_);
  fill_range(lane, 1, seed);
}

void LaneMachine::fill_lanes(int count, uint64_t first_seed) {
  assert(count >= 0 && count <= lanes_);
  fill_range(0, count, first_seed);
}

void LaneMachine::fill_range(int first, int count, uint64_t first_seed) {
  // The stream of PicMachine::fill (fill_word): the declared bytes, W, then the flags byte,
  // which waits in the scratch row to be split into the flag rows. Each word is drawn once
  // per lane, a block of lanes at a time, and its bytes spread over their rows.
  const int positions = byte_count_ + 2;
  uint64_t words[kBlockLanes];
  for (int block = first; block < first + count; block += kBlockLanes) {
    const int n = std::min(kBlockLanes, first + count - block);
    const auto block_seed = first_seed + static_cast<uint64_t>(block - first);
    for (int p0 = 0; p0 < positions; p0 += 8) {
      const auto word = static_cast<uint64_t>(p0 / 8);
      for (int k = 0; k < n; ++k) words[k] = fill_word(block_seed + static_cast<uint64_t>(k), word);
      for (int p = p0; p < std::min(positions, p0 + 8); ++p) {
        uint8_t* const to = (p < byte_count_    ? row(p)
                             : p == byte_count_ ? register_row(kW)
                                                : register_row(kScratch)) +
                            block;
        const int shift = 8 * (p - p0);
        for (int k = 0; k < n; ++k) to[k] = static_cast<uint8_t>(words[k] >> shift);
      }
    }
  }
  const uint8_t* const flags = register_row(kScratch);
  uint8_t* const c = register_row(kCarry);
  uint8_t* const dc = register_row(kDigitCarry);
  uint8_t* const z = register_row(kZero);
  uint8_t* const bank = register_row(kBank);
  for (int l = first; l < first + count; ++l) {
    c[l] = (flags[l] & kFillCarry) != 0 ? 1 : 0;
    dc[l] = (flags[l] & kFillDigitCarry) != 0 ? 1 : 0;
    z[l] = (flags[l] & kFillZero) != 0 ? 1 : 0;
    bank[l] = 0;
  }
}

void LaneMachine::write_value(int lane, const std::vector<int>& indexes, uint64_t value) {
  assert(indexes.size() <= 8);
  for (size_t k = 0; k < indexes.size(); ++k) {
    set_byte_at(lane, indexes[k], static_cast<uint8_t>(value >> (8 * k)));
  }
}

uint64_t LaneMachine::read_value(int lane, const std::vector<int>& indexes) const {
  assert(indexes.size() <= 8);
  uint64_t value = 0;
  for (size_t k = 0; k < indexes.size(); ++k) {
    value |= uint64_t{byte_at(lane, indexes[k])} << (8 * k);
  }
  return value;
}

void LaneMachine::write_values(const std::vector<int>& indexes, std::span<const uint64_t> values) {
  assert(indexes.size() <= 8 && values.size() <= static_cast<size_t>(lanes_));
  for (size_t k = 0; k < indexes.size(); ++k) {
    assert(indexes[k] >= 0 && indexes[k] < byte_count_);
    uint8_t* const to = row(indexes[k]);
    for (size_t l = 0; l < values.size(); ++l) to[l] = static_cast<uint8_t>(values[l] >> (8 * k));
  }
}

void LaneMachine::read_values(const std::vector<int>& indexes, std::span<uint64_t> values) const {
  assert(indexes.size() <= 8 && values.size() <= static_cast<size_t>(lanes_));
  for (uint64_t& value : values) value = 0;
  for (size_t k = 0; k < indexes.size(); ++k) {
    assert(indexes[k] >= 0 && indexes[k] < byte_count_);
    const uint8_t* const from = row(indexes[k]);
    for (size_t l = 0; l < values.size(); ++l) values[l] |= uint64_t{from[l]} << (8 * k);
  }
}

uint8_t LaneMachine::byte_at(int lane, int index) const {
  assert(lane >= 0 && lane < lanes_ && index >= 0 && index < byte_count_);
  return row(index)[lane];
}

void LaneMachine::set_byte_at(int lane, int index, uint8_t v) {
  assert(lane >= 0 && lane < lanes_ && index >= 0 && index < byte_count_);
  row(index)[lane] = v;
}

uint8_t LaneMachine::w(int lane) const {
  assert(lane >= 0 && lane < lanes_);
  return register_row(kW)[lane];
}

void LaneMachine::set_w(int lane, uint8_t v) {
  assert(lane >= 0 && lane < lanes_);
  register_row(kW)[lane] = v;
}

uint8_t LaneMachine::status(int lane) const {
  assert(lane >= 0 && lane < lanes_);
  return static_cast<uint8_t>(register_row(kBank)[lane] | kStatusToPd |
                              (register_row(kZero)[lane] << 2) |
                              (register_row(kDigitCarry)[lane] << 1) | register_row(kCarry)[lane]);
}

uint8_t LaneMachine::bank_bits(int lane) const {
  assert(lane >= 0 && lane < lanes_);
  return register_row(kBank)[lane];
}

void LaneMachine::set_status(int lane, uint8_t status) {
  assert(lane >= 0 && lane < lanes_);
  register_row(kBank)[lane] = status & kBankMask;
  register_row(kZero)[lane] = (status >> 2) & 1;
  register_row(kDigitCarry)[lane] = (status >> 1) & 1;
  register_row(kCarry)[lane] = status & 1;
}

long LaneMachine::run(int lane_count) {
  assert(lane_count >= 0 && lane_count <= lanes_);
  assert(program_->straight_line);
  // The bank bits exist only on the mid-range core; the enhanced core's STATUS reads 0 there.
  const uint8_t writable_bank_bits = program_->core == PicCore::kMidrange ? kBankMask : 0;
  Rows rows{nullptr,
            register_row(kW),
            register_row(kCarry),
            register_row(kDigitCarry),
            register_row(kZero),
            register_row(kBank),
            register_row(kSkip),
            (lane_count + kBlockLanes - 1) / kBlockLanes * kBlockLanes};
  bool after_skip = false;
  for (const PicInstruction& in : program_->instructions) {
    rows.f = has_file_operand(in.op) ? row(in.operand) : register_row(kScratch);
    if (after_skip) {
      execute<true>(in, rows, writable_bank_bits);
    } else {
      execute<false>(in, rows, writable_bank_bits);
    }
    after_skip = is_skip(in.op);
  }
  ended_on_skip_ = after_skip;
  return static_cast<long>(program_->instructions.size());
}

bool LaneMachine::skipped_past_end(int lane) const {
  assert(lane >= 0 && lane < lanes_);
  return ended_on_skip_ && register_row(kSkip)[lane] != 0;
}

}  // namespace tarvek

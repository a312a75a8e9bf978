#include "sim/lane_machine.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <utility>

#include "sim/lane_steps.h"
#include "sim/pic_machine.h"

namespace tarvek {

using lane_steps::kArithmeticFlags;
using lane_steps::kBankMask;
using lane_steps::kLeanFlags;
using lane_steps::kStatusToPd;
using lane_steps::kWritesBank;
using lane_steps::kWritesF;
using lane_steps::kWritesSkip;
using lane_steps::kWritesW;
using lane_steps::OpTraits;
using lane_steps::run_steps;
using lane_steps::traits_of;

void LaneMachine::run_sse2(const Step* steps, std::size_t count, uint8_t* rows, int stride,
                           uint8_t* const* registers, int lanes, uint8_t writable_bank_bits) {
  run_steps(steps, count, rows, stride, registers, lanes, writable_bank_bits);
}

[[gnu::target("avx2")]] void LaneMachine::run_avx2(const Step* steps, std::size_t count,
                                                   uint8_t* rows, int stride,
                                                   uint8_t* const* registers, int lanes,
                                                   uint8_t writable_bank_bits) {
  run_steps(steps, count, rows, stride, registers, lanes, writable_bank_bits);
}

void LaneMachine::use_vectors(Vectors vectors) {
  assert(vectors == Vectors::kSse2 || vectors == best_vectors());
  vectors_ = vectors;
}

LaneMachine::LaneMachine(const PicProgram& program, int lanes)
    : program_(&program),
      lanes_(lanes),
      stride_((lanes + kBlockLanes - 1) / kBlockLanes * kBlockLanes),
      byte_count_(static_cast<int>(program.byte_names.size())),
      rows_(static_cast<size_t>(byte_count_ + kRowCount) * static_cast<size_t>(stride_), 0),
      drawn_(static_cast<size_t>(byte_count_) + 2, true),
      vectors_(best_vectors()) {
  assert(lanes >= 1 && program.straight_line);
  steps_.reserve(program.instructions.size());
  bool after_skip = false;
  for (const PicInstruction& in : program.instructions) {
    const OpTraits& traits = traits_of(in.op);
    steps_.push_back({in.op, static_cast<uint8_t>(in.operand), in.bit, after_skip, false,
                      traits.file ? static_cast<int>(in.operand) : byte_count_ + kScratch});
    after_skip = traits.skip;
  }
}

void LaneMachine::restrict_to(const std::vector<int>& inputs, const std::vector<int>& outputs) {
  // Backwards over the program, which rows hold a value that something later reads: at the
  // end the outputs, the bank bits and, after a last skip, the skip row; before an
  // instruction, what it reads, and what it writes no more, except where it is skipped,
  // whose lanes keep the old value. An instruction that writes nothing live is left out,
  // and one whose Z and DC are not live leaves them as they were. The rows other than the
  // declared bytes' are tracked as the fields of Lane, in one mask.
  assert(!restricted_);
  restricted_ = true;
  std::vector<uint8_t> live_bytes(static_cast<size_t>(byte_count_), 0);
  for (int index : outputs) {
    assert(index >= 0 && index < byte_count_);
    live_bytes[static_cast<size_t>(index)] = 1;
  }
  const std::vector<PicInstruction>& code = program_->instructions;
  unsigned live = kWritesBank | (!code.empty() && is_skip(code.back().op) ? kWritesSkip : 0u);
  // The steps kept are moved to the end as they are found, in order, and the others dropped
  // from the front afterwards.
  std::size_t first_kept = steps_.size();
  for (std::size_t i = steps_.size(); i-- > 0;) {
    Step& step = steps_[i];
    const OpTraits& traits = traits_of(step.op);
    uint8_t* const file = traits.file ? &live_bytes[static_cast<size_t>(step.f_row)] : nullptr;
    const unsigned live_writes =
        traits.writes & (live | (file != nullptr && *file != 0 ? kWritesF : 0u));
    if (live_writes == 0) continue;
    step.lean = (live_writes & kLeanFlags) == 0;
    const unsigned written = traits.writes & ~(step.lean ? kLeanFlags : 0u);
    live &= ~written;
    if (step.predicated) live |= (live_writes & ~kWritesF) | kWritesSkip;
    live |= traits.reads & ~kWritesF;
    if ((written & kWritesF) != 0) *file = step.predicated && (live_writes & kWritesF) != 0;
    if ((traits.reads & kWritesF) != 0) *file = 1;
    steps_[--first_kept] = step;
  }
  steps_.erase(steps_.begin(), steps_.begin() + static_cast<std::ptrdiff_t>(first_kept));
  for (int index = 0; index < byte_count_; ++index) {
    drawn_[static_cast<size_t>(index)] = live_bytes[static_cast<size_t>(index)] != 0;
  }
  for (int index : inputs) {
    assert(index >= 0 && index < byte_count_);
    drawn_[static_cast<size_t>(index)] = false;
  }
  drawn_[static_cast<size_t>(byte_count_)] = (live & kWritesW) != 0;
  drawn_[static_cast<size_t>(byte_count_) + 1] = (live & kArithmeticFlags) != 0;
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
  // which waits in the scratch row to be split into the flag rows. Each word holding a
  // value to draw is drawn once per lane, a block of lanes at a time, and its bytes spread
  // over their rows.
  const int positions = byte_count_ + 2;
  const auto drawn = [this](int p) { return drawn_[static_cast<size_t>(p)]; };
  uint64_t words[kBlockLanes];
  for (int p0 = 0; p0 < positions; p0 += 8) {
    const int p_end = std::min(positions, p0 + 8);
    bool any = false;
    for (int p = p0; p < p_end; ++p) any = any || drawn(p);
    if (!any) continue;
    const auto word = static_cast<uint64_t>(p0 / 8);
    for (int block = first; block < first + count; block += kBlockLanes) {
      const int n = std::min(kBlockLanes, first + count - block);
      const auto block_seed = first_seed + static_cast<uint64_t>(block - first);
      for (int k = 0; k < n; ++k) words[k] = fill_word(block_seed + static_cast<uint64_t>(k), word);
      for (int p = p0; p < p_end; ++p) {
        if (!drawn(p)) continue;
        uint8_t* const to = (p < byte_count_    ? row(p)
                             : p == byte_count_ ? register_row(kW)
                                                : register_row(kScratch)) +
                            block;
        const int shift = 8 * (p - p0);
        for (int k = 0; k < n; ++k) to[k] = static_cast<uint8_t>(words[k] >> shift);
      }
    }
  }
  uint8_t* const bank = register_row(kBank);
  std::fill(bank + first, bank + first + count, uint8_t{0});
  if (!drawn(positions - 1)) return;
  const uint8_t* const flags = register_row(kScratch);
  uint8_t* const c = register_row(kCarry);
  uint8_t* const dc = register_row(kDigitCarry);
  uint8_t* const z = register_row(kZero);
  for (int l = first; l < first + count; ++l) {
    c[l] = (flags[l] & kFillCarry) != 0 ? 1 : 0;
    dc[l] = (flags[l] & kFillDigitCarry) != 0 ? 1 : 0;
    z[l] = (flags[l] & kFillZero) != 0 ? 1 : 0;
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
  if (indexes.empty()) {
    std::fill(values.begin(), values.end(), uint64_t{0});
    return;
  }
  for (size_t k = 0; k < indexes.size(); ++k) {
    assert(indexes[k] >= 0 && indexes[k] < byte_count_);
    const uint8_t* const from = row(indexes[k]);
    if (k == 0) {
      for (size_t l = 0; l < values.size(); ++l) values[l] = from[l];
    } else {
      for (size_t l = 0; l < values.size(); ++l) values[l] |= uint64_t{from[l]} << (8 * k);
    }
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
  // The bank bits exist only on the mid-range core; the enhanced core's STATUS reads 0 there.
  const uint8_t writable_bank_bits = program_->core == PicCore::kMidrange ? kBankMask : 0;
  const int lanes = (lane_count + kBlockLanes - 1) / kBlockLanes * kBlockLanes;
  uint8_t* const registers[] = {register_row(kW),          register_row(kCarry),
                                register_row(kDigitCarry), register_row(kZero),
                                register_row(kBank),       register_row(kSkip)};
  (vectors_ == Vectors::kAvx2 ? run_avx2 : run_sse2)(steps_.data(), steps_.size(), rows_.data(),
                                                     stride_, registers, lanes, writable_bank_bits);
  ended_on_skip_ = !program_->instructions.empty() && is_skip(program_->instructions.back().op);
  return static_cast<long>(program_->instructions.size());
}

bool LaneMachine::skipped_past_end(int lane) const {
  assert(lane >= 0 && lane < lanes_);
  return ended_on_skip_ && register_row(kSkip)[lane] != 0;
}

namespace {

// The first of `count` bytes that is not 0, or `count`. Most rows searched hold none, which
// one pass that the compiler vectorises tells before any search.
int first_nonzero(const uint8_t* bytes, int count) {
  uint8_t any = 0;
  for (int i = 0; i < count; ++i) any |= bytes[i];
  if (any == 0) return count;
  return static_cast<int>(std::find_if(bytes, bytes + count, [](uint8_t b) { return b != 0; }) -
                          bytes);
}

}  // namespace

int LaneMachine::first_skipped_past_end(int count) const {
  assert(count >= 0 && count <= lanes_);
  return ended_on_skip_ ? first_nonzero(register_row(kSkip), count) : count;
}

int LaneMachine::first_bank_switched(int count) const {
  assert(count >= 0 && count <= lanes_);
  return first_nonzero(register_row(kBank), count);
}

}  // namespace tarvek

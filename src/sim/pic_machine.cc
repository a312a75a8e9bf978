#include "sim/pic_machine.h"

#include <cassert>
#include <string>

namespace tarvek {

namespace {

// Fixed STATUS bits: TO and PD read 1 while the chip runs normally after a power-on reset.
constexpr uint8_t kStatusTo = 0x10;
constexpr uint8_t kStatusPd = 0x08;
constexpr uint8_t kBankMask = 0xE0;

// The STATUS bits 7..5 a write can set: the enhanced core has none there.
constexpr uint8_t bank_mask(PicCore core) {
  return core == PicCore::kEnhanced ? 0 : kBankMask;
}

uint8_t swap_nibbles(uint8_t v) {
  return static_cast<uint8_t>((v << 4) | (v >> 4));
}

}  // namespace

PicMachine::PicMachine(const PicProgram& program)
    : program_(&program), bytes_(program.byte_names.size(), 0) {}

void PicMachine::set_byte(std::string_view name, uint8_t v) {
  const int index = program_->index_of(name);
  assert(index >= 0);
  bytes_[static_cast<size_t>(index)] = v;
}

uint8_t PicMachine::byte(std::string_view name) const {
  const int index = program_->index_of(name);
  assert(index >= 0);
  return bytes_[static_cast<size_t>(index)];
}

bool PicMachine::has_byte(std::string_view name) const {
  return program_->index_of(name) >= 0;
}

uint8_t PicMachine::byte_at(int index) const {
  assert(index >= 0 && static_cast<size_t>(index) < bytes_.size());
  return bytes_[static_cast<size_t>(index)];
}

void PicMachine::set_byte_at(int index, uint8_t v) {
  assert(index >= 0 && static_cast<size_t>(index) < bytes_.size());
  bytes_[static_cast<size_t>(index)] = v;
}

uint8_t PicMachine::status() const {
  return static_cast<uint8_t>(bank_bits | kStatusTo | kStatusPd | (zero ? 4 : 0) |
                              (digit_carry ? 2 : 0) | (carry ? 1 : 0));
}

void PicMachine::fill(uint64_t seed) {
  uint64_t words_drawn = 0;
  uint64_t bits = 0;
  int left = 0;
  const auto next_byte = [&]() {
    if (left == 0) {
      bits = fill_word(seed, words_drawn++);
      left = 8;
    }
    const auto b = static_cast<uint8_t>(bits);
    bits >>= 8;
    --left;
    return b;
  };
  for (uint8_t& b : bytes_) b = next_byte();
  w = next_byte();
  const uint8_t flags = next_byte();
  carry = (flags & kFillCarry) != 0;
  digit_carry = (flags & kFillDigitCarry) != 0;
  zero = (flags & kFillZero) != 0;
  bank_bits = 0;
}

void PicMachine::write_value(std::string_view prefix, int byte_count, bool little_endian,
                             uint64_t value) {
  write_value(program_->value_indexes(prefix, byte_count, little_endian), value);
}

uint64_t PicMachine::read_value(std::string_view prefix, int byte_count, bool little_endian) const {
  return read_value(program_->value_indexes(prefix, byte_count, little_endian));
}

void PicMachine::write_value(const std::vector<int>& indexes, uint64_t value) {
  assert(indexes.size() <= 8);
  for (size_t k = 0; k < indexes.size(); ++k) set_byte_at(indexes[k], uint8_t(value >> (8 * k)));
}

uint64_t PicMachine::read_value(const std::vector<int>& indexes) const {
  assert(indexes.size() <= 8);
  uint64_t value = 0;
  for (size_t k = 0; k < indexes.size(); ++k) {
    value |= uint64_t{byte_at(indexes[k])} << (8 * k);
  }
  return value;
}

RunStats PicMachine::run() {
  RunStats stats;
  const std::vector<PicInstruction>& code = program_->instructions;
  const size_t count = code.size();
  uint8_t* const mem = bytes_.data();
  const uint8_t writable_bank_bits = bank_mask(program_->core);
  size_t pc = 0;
  while (pc < count) {
    if (stats.cycles >= cycle_limit) {
      stats.cycle_limit_reached = true;
      break;
    }
    const PicInstruction& in = code[pc];
    uint8_t unused = 0;
    uint8_t& f = has_file_operand(in.op) ? mem[in.operand] : unused;
    const uint8_t k = static_cast<uint8_t>(in.operand);
    bool skip = false;
    ++stats.instructions;
    ++stats.cycles;
    switch (in.op) {
      case PicOp::kMovwf:
        f = w;
        break;
      case PicOp::kMovfW:
        w = f;
        zero = w == 0;
        break;
      case PicOp::kMovfF:
        zero = f == 0;
        break;
      case PicOp::kMovlw:
        w = k;
        break;
      case PicOp::kAndlw:
        w &= k;
        zero = w == 0;
        break;
      case PicOp::kIorlw:
        w |= k;
        zero = w == 0;
        break;
      case PicOp::kAddlw: {
        const unsigned sum = unsigned{w} + k;
        digit_carry = (w & 0x0F) + (k & 0x0F) > 0x0F;
        carry = sum > 0xFF;
        zero = (sum & 0xFF) == 0;
        w = static_cast<uint8_t>(sum);
        break;
      }
      case PicOp::kClrf:
        f = 0;
        zero = true;
        break;
      case PicOp::kSwapfW:
        w = swap_nibbles(f);
        break;
      case PicOp::kSwapfF:
        f = swap_nibbles(f);
        break;
      case PicOp::kBtfsc:
        skip = ((f >> in.bit) & 1) == 0;
        break;
      case PicOp::kBtfss:
        skip = ((f >> in.bit) & 1) != 0;
        break;
      case PicOp::kBsf:
        f = static_cast<uint8_t>(f | (1u << in.bit));
        break;
      case PicOp::kComfW:
      case PicOp::kComfF: {
        const auto r = static_cast<uint8_t>(~f);
        zero = r == 0;
        (in.op == PicOp::kComfF ? f : w) = r;
        break;
      }
      case PicOp::kRlfW:
      case PicOp::kRlfF: {
        const auto r = static_cast<uint8_t>((f << 1) | (carry ? 1 : 0));
        carry = (f & 0x80) != 0;
        (in.op == PicOp::kRlfF ? f : w) = r;
        break;
      }
      case PicOp::kRrfW:
      case PicOp::kRrfF: {
        const auto r = static_cast<uint8_t>((f >> 1) | (carry ? 0x80 : 0));
        carry = (f & 1) != 0;
        (in.op == PicOp::kRrfF ? f : w) = r;
        break;
      }
      case PicOp::kAddwfW:
      case PicOp::kAddwfF: {
        const unsigned sum = unsigned{f} + w;
        digit_carry = (f & 0x0F) + (w & 0x0F) > 0x0F;
        carry = sum > 0xFF;
        zero = (sum & 0xFF) == 0;
        (in.op == PicOp::kAddwfF ? f : w) = static_cast<uint8_t>(sum);
        break;
      }
      case PicOp::kSubwfW:
      case PicOp::kSubwfF: {
        // f - W; C and DC are "no borrow" (set when W <= f, per byte and per low nibble).
        const auto r = static_cast<uint8_t>(f - w);
        digit_carry = (w & 0x0F) <= (f & 0x0F);
        carry = w <= f;
        zero = r == 0;
        (in.op == PicOp::kSubwfF ? f : w) = r;
        break;
      }
      case PicOp::kIorwfW:
      case PicOp::kIorwfF: {
        const auto r = static_cast<uint8_t>(f | w);
        zero = r == 0;
        (in.op == PicOp::kIorwfF ? f : w) = r;
        break;
      }
      case PicOp::kXorwfW:
      case PicOp::kXorwfF: {
        const auto r = static_cast<uint8_t>(f ^ w);
        zero = r == 0;
        (in.op == PicOp::kXorwfF ? f : w) = r;
        break;
      }
      case PicOp::kIncfW:
      case PicOp::kIncfF: {
        const auto r = static_cast<uint8_t>(f + 1);
        zero = r == 0;
        (in.op == PicOp::kIncfF ? f : w) = r;
        break;
      }
      case PicOp::kIncfszW:
      case PicOp::kIncfszF: {
        const auto r = static_cast<uint8_t>(f + 1);
        skip = r == 0;
        (in.op == PicOp::kIncfszF ? f : w) = r;
        break;
      }
      case PicOp::kXorwfStatus: {
        // STATUS as the destination of an instruction that affects Z: C, DC and Z are not
        // written, Z comes from the flag logic, TO and PD are read-only; only the bank bits
        // take the result.
        const auto r = static_cast<uint8_t>(status() ^ w);
        bank_bits = r & writable_bank_bits;
        zero = r == 0;
        break;
      }
      case PicOp::kXorwfStatusW: {
        w = static_cast<uint8_t>(status() ^ w);
        zero = w == 0;
        break;
      }
      case PicOp::kMovwfStatus:
        // movwf affects no flag, so every writable STATUS bit takes W; TO and PD stay.
        bank_bits = w & writable_bank_bits;
        zero = (w & 4) != 0;
        digit_carry = (w & 2) != 0;
        carry = (w & 1) != 0;
        break;
      case PicOp::kClrc:
        carry = false;
        break;
      case PicOp::kSetc:
        carry = true;
        break;
      case PicOp::kDecfW:
      case PicOp::kDecfF: {
        const auto r = static_cast<uint8_t>(f - 1);
        zero = r == 0;
        (in.op == PicOp::kDecfF ? f : w) = r;
        break;
      }
      case PicOp::kDecfszW:
      case PicOp::kDecfszF: {
        const auto r = static_cast<uint8_t>(f - 1);
        skip = r == 0;
        (in.op == PicOp::kDecfszF ? f : w) = r;
        break;
      }
      case PicOp::kBcf:
        f = static_cast<uint8_t>(f & ~(1u << in.bit));
        break;
      case PicOp::kAndwfW:
      case PicOp::kAndwfF: {
        const auto r = static_cast<uint8_t>(f & w);
        zero = r == 0;
        (in.op == PicOp::kAndwfF ? f : w) = r;
        break;
      }
      case PicOp::kGoto:
        // Two cycles: the jump flushes the instruction already fetched.
        ++stats.cycles;
        pc = in.operand;
        continue;
      case PicOp::kSkpc:
        skip = carry;
        break;
      case PicOp::kSkpnc:
        skip = !carry;
        break;
      case PicOp::kSkpnz:
        skip = !zero;
        break;
      case PicOp::kAddwfcW:
      case PicOp::kAddwfcF: {
        const unsigned carry_in = carry ? 1 : 0;
        const unsigned sum = unsigned{f} + w + carry_in;
        digit_carry = (f & 0x0F) + (w & 0x0F) + carry_in > 0x0F;
        carry = sum > 0xFF;
        zero = (sum & 0xFF) == 0;
        (in.op == PicOp::kAddwfcF ? f : w) = static_cast<uint8_t>(sum);
        break;
      }
      case PicOp::kSubwfbW:
      case PicOp::kSubwfbF: {
        // f - W - borrow, where the borrow in is the inverse of C; C and DC come out as "no
        // borrow" of the whole byte and of the low nibble.
        const int borrow = carry ? 0 : 1;
        const int difference = int{f} - int{w} - borrow;
        digit_carry = (f & 0x0F) - (w & 0x0F) - borrow >= 0;
        carry = difference >= 0;
        const auto r = static_cast<uint8_t>(difference);
        zero = r == 0;
        (in.op == PicOp::kSubwfbF ? f : w) = r;
        break;
      }
      case PicOp::kLslfW:
      case PicOp::kLslfF: {
        const auto r = static_cast<uint8_t>(f << 1);
        carry = (f & 0x80) != 0;
        zero = r == 0;
        (in.op == PicOp::kLslfF ? f : w) = r;
        break;
      }
      case PicOp::kLsrfW:
      case PicOp::kLsrfF:
      case PicOp::kAsrfW:
      case PicOp::kAsrfF: {
        const bool arithmetic = in.op == PicOp::kAsrfW || in.op == PicOp::kAsrfF;
        const auto r = static_cast<uint8_t>((f >> 1) | (arithmetic ? f & 0x80 : 0));
        carry = (f & 1) != 0;
        zero = r == 0;
        (in.op == PicOp::kLsrfF || in.op == PicOp::kAsrfF ? f : w) = r;
        break;
      }
    }
    ++pc;
    if (skip) {
      if (pc == count) {
        stats.skipped_past_end = true;
      } else {
        ++pc;
        ++stats.cycles;
      }
    }
  }
  return stats;
}

}  // namespace tarvek

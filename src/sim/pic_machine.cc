#include "sim/pic_machine.h"

#include <cassert>
#include <string>

namespace tarvek {

namespace {

// Fixed STATUS bits: TO and PD read 1 while the chip runs normally after a power-on reset.
constexpr uint8_t kStatusTo = 0x10;
constexpr uint8_t kStatusPd = 0x08;
constexpr uint8_t kBankMask = 0xE0;

// The STATUS bits 7..5 a write can set: the enhanced and PIC18 cores have none there.
constexpr uint8_t bank_mask(PicCore core) {
  return core == PicCore::kEnhanced || core == PicCore::kPic18 ? 0 : kBankMask;
}

constexpr bool bit7(uint8_t v) {
  return (v & 0x80) != 0;
}

uint8_t swap_nibbles(uint8_t v) {
  return static_cast<uint8_t>((v << 4) | (v >> 4));
}

}  // namespace

PicMachine::PicMachine(const PicProgram& program)
    : program_(&program),
      bytes_(program.byte_names.size() + kCoreFileCount, 0),
      byte_count_(static_cast<int>(program.byte_names.size())) {}

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
  assert(index >= 0 && index < byte_count_);
  return bytes_[static_cast<size_t>(index)];
}

void PicMachine::set_byte_at(int index, uint8_t v) {
  assert(index >= 0 && index < byte_count_);
  bytes_[static_cast<size_t>(index)] = v;
}

uint8_t PicMachine::status() const {
  if (program_->core == PicCore::kPic18) {
    return static_cast<uint8_t>((negative ? 16 : 0) | (overflow ? 8 : 0) | (zero ? 4 : 0) |
                                (digit_carry ? 2 : 0) | (carry ? 1 : 0));
  }
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
  for (int i = 0; i < byte_count_; ++i) bytes_[static_cast<size_t>(i)] = next_byte();
  w = next_byte();
  const uint8_t flags = next_byte();
  carry = (flags & kFillCarry) != 0;
  digit_carry = (flags & kFillDigitCarry) != 0;
  zero = (flags & kFillZero) != 0;
  bank_bits = 0;
  overflow = false;
  negative = false;
  if (program_->core != PicCore::kPic18) return;
  overflow = (flags & kFillOverflow) != 0;
  negative = (flags & kFillNegative) != 0;
  prodl = next_byte();
  prodh = next_byte();
}

uint8_t PicMachine::add_setting_flags(uint8_t a, uint8_t b, bool carry_in) {
  const unsigned in = carry_in ? 1 : 0;
  const unsigned sum = unsigned{a} + b + in;
  const auto r = static_cast<uint8_t>(sum);
  digit_carry = (a & 0x0F) + (b & 0x0F) + in > 0x0F;
  carry = sum > 0xFF;
  zero = r == 0;
  // Both addends of one sign and the sum of the other.
  overflow = bit7(static_cast<uint8_t>((a ^ r) & (b ^ r)));
  negative = bit7(r);
  return r;
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
  const bool pic18 = program_->core == PicCore::kPic18;
  uint8_t* const mem = bytes_.data();
  const uint8_t writable_bank_bits = bank_mask(program_->core);
  // W and the product bytes live in their slots for the run, where a file operand naming
  // WREG, PRODL or PRODH finds them.
  uint8_t& wreg = mem[program_->core_file_index(CoreFile::kWreg)];
  uint8_t& prod_low = mem[program_->core_file_index(CoreFile::kProdl)];
  uint8_t& prod_high = mem[program_->core_file_index(CoreFile::kProdh)];
  wreg = w;
  prod_low = prodl;
  prod_high = prodh;
  // Z and N of a result; N is PIC18's alone.
  const auto set_zero_negative = [&](uint8_t r) {
    zero = r == 0;
    negative = bit7(r);
  };
  const auto multiply = [&](uint8_t factor) {
    const unsigned product = unsigned{wreg} * factor;
    prod_low = static_cast<uint8_t>(product);
    prod_high = static_cast<uint8_t>(product >> 8);
  };
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
        f = wreg;
        break;
      case PicOp::kMovfW:
        wreg = f;
        set_zero_negative(wreg);
        break;
      case PicOp::kMovfF:
        set_zero_negative(f);
        break;
      case PicOp::kMovlw:
        wreg = k;
        break;
      case PicOp::kAndlw:
        wreg &= k;
        set_zero_negative(wreg);
        break;
      case PicOp::kIorlw:
        wreg |= k;
        set_zero_negative(wreg);
        break;
      case PicOp::kAddlw:
        wreg = add_setting_flags(wreg, k, false);
        break;
      case PicOp::kClrf:
        f = 0;
        zero = true;
        break;
      case PicOp::kSwapfW:
        wreg = swap_nibbles(f);
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
        set_zero_negative(r);
        (in.op == PicOp::kComfF ? f : wreg) = r;
        break;
      }
      case PicOp::kRlfW:
      case PicOp::kRlfF: {
        const auto r = static_cast<uint8_t>((f << 1) | (carry ? 1 : 0));
        carry = bit7(f);
        (in.op == PicOp::kRlfF ? f : wreg) = r;
        break;
      }
      case PicOp::kRrfW:
      case PicOp::kRrfF: {
        const auto r = static_cast<uint8_t>((f >> 1) | (carry ? 0x80 : 0));
        carry = (f & 1) != 0;
        (in.op == PicOp::kRrfF ? f : wreg) = r;
        break;
      }
      case PicOp::kAddwfW:
      case PicOp::kAddwfF:
        (in.op == PicOp::kAddwfF ? f : wreg) = add_setting_flags(f, wreg, false);
        break;
      case PicOp::kSubwfW:
      case PicOp::kSubwfF:
        // f - W = f + ~W + 1; C and DC are "no borrow" (set when W <= f, per byte and per low
        // nibble).
        (in.op == PicOp::kSubwfF ? f : wreg) =
            add_setting_flags(f, static_cast<uint8_t>(~wreg), true);
        break;
      case PicOp::kIorwfW:
      case PicOp::kIorwfF: {
        const auto r = static_cast<uint8_t>(f | wreg);
        set_zero_negative(r);
        (in.op == PicOp::kIorwfF ? f : wreg) = r;
        break;
      }
      case PicOp::kXorwfW:
      case PicOp::kXorwfF: {
        const auto r = static_cast<uint8_t>(f ^ wreg);
        set_zero_negative(r);
        (in.op == PicOp::kXorwfF ? f : wreg) = r;
        break;
      }
      case PicOp::kIncfW:
      case PicOp::kIncfF: {
        // PIC18's incf sets every arithmetic flag, as an addition of 1; the PIC16 one sets Z.
        const auto r = pic18 ? add_setting_flags(f, 0, true) : static_cast<uint8_t>(f + 1);
        zero = r == 0;
        (in.op == PicOp::kIncfF ? f : wreg) = r;
        break;
      }
      case PicOp::kIncfszW:
      case PicOp::kIncfszF: {
        const auto r = static_cast<uint8_t>(f + 1);
        skip = r == 0;
        (in.op == PicOp::kIncfszF ? f : wreg) = r;
        break;
      }
      case PicOp::kXorwfStatus: {
        // STATUS as the destination of an instruction that affects Z: C, DC and Z (on PIC18
        // OV and N too) are not written, Z (and N) come from the flag logic, TO and PD are
        // read-only; only the bank bits take the result.
        const auto r = static_cast<uint8_t>(status() ^ wreg);
        bank_bits = r & writable_bank_bits;
        set_zero_negative(r);
        break;
      }
      case PicOp::kXorwfStatusW: {
        wreg = static_cast<uint8_t>(status() ^ wreg);
        set_zero_negative(wreg);
        break;
      }
      case PicOp::kMovwfStatus:
        // movwf affects no flag, so every writable STATUS bit takes W; TO and PD stay. Bits 3
        // and 4 are OV and N on PIC18, TO and PD elsewhere.
        bank_bits = wreg & writable_bank_bits;
        negative = (wreg & 16) != 0;
        overflow = (wreg & 8) != 0;
        zero = (wreg & 4) != 0;
        digit_carry = (wreg & 2) != 0;
        carry = (wreg & 1) != 0;
        break;
      case PicOp::kClrc:
        carry = false;
        break;
      case PicOp::kSetc:
        carry = true;
        break;
      case PicOp::kDecfW:
      case PicOp::kDecfF: {
        // PIC18's decf sets every arithmetic flag, as f + ~1 + 1; the PIC16 one sets Z.
        const auto r = pic18 ? add_setting_flags(f, 0xFE, true) : static_cast<uint8_t>(f - 1);
        zero = r == 0;
        (in.op == PicOp::kDecfF ? f : wreg) = r;
        break;
      }
      case PicOp::kDecfszW:
      case PicOp::kDecfszF: {
        const auto r = static_cast<uint8_t>(f - 1);
        skip = r == 0;
        (in.op == PicOp::kDecfszF ? f : wreg) = r;
        break;
      }
      case PicOp::kBcf:
        f = static_cast<uint8_t>(f & ~(1u << in.bit));
        break;
      case PicOp::kAndwfW:
      case PicOp::kAndwfF: {
        const auto r = static_cast<uint8_t>(f & wreg);
        set_zero_negative(r);
        (in.op == PicOp::kAndwfF ? f : wreg) = r;
        break;
      }
      case PicOp::kGoto:
      case PicOp::kBra:
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
      case PicOp::kAddwfcF:
        (in.op == PicOp::kAddwfcF ? f : wreg) = add_setting_flags(f, wreg, carry);
        break;
      case PicOp::kSubwfbW:
      case PicOp::kSubwfbF:
        // f - W - borrow = f + ~W + C, where the borrow in is the inverse of C; C and DC come
        // out as "no borrow" of the whole byte and of the low nibble.
        (in.op == PicOp::kSubwfbF ? f : wreg) =
            add_setting_flags(f, static_cast<uint8_t>(~wreg), carry);
        break;
      case PicOp::kLslfW:
      case PicOp::kLslfF: {
        const auto r = static_cast<uint8_t>(f << 1);
        carry = bit7(f);
        zero = r == 0;
        (in.op == PicOp::kLslfF ? f : wreg) = r;
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
        (in.op == PicOp::kLsrfF || in.op == PicOp::kAsrfF ? f : wreg) = r;
        break;
      }
      case PicOp::kRlcfW:
      case PicOp::kRlcfF: {
        const auto r = static_cast<uint8_t>((f << 1) | (carry ? 1 : 0));
        carry = bit7(f);
        set_zero_negative(r);
        (in.op == PicOp::kRlcfF ? f : wreg) = r;
        break;
      }
      case PicOp::kRrcfW:
      case PicOp::kRrcfF: {
        const auto r = static_cast<uint8_t>((f >> 1) | (carry ? 0x80 : 0));
        carry = (f & 1) != 0;
        set_zero_negative(r);
        (in.op == PicOp::kRrcfF ? f : wreg) = r;
        break;
      }
      case PicOp::kMullw:
        multiply(k);
        break;
      case PicOp::kMulwf:
        multiply(f);
        break;
    }
    ++pc;
    if (skip) {
      if (pc == count) {
        stats.skipped_past_end = true;
      } else {
        ++pc;
        ++stats.cycles;
        // A PIC18 goto is two words; skipping the second costs a cycle of its own.
        if (pic18 && code[pc - 1].op == PicOp::kGoto) ++stats.cycles;
      }
    }
  }
  w = wreg;
  prodl = prod_low;
  prodh = prod_high;
  return stats;
}

}  // namespace tarvek

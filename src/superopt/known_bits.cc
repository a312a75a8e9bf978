#include "superopt/known_bits.h"

#include <cassert>

#include "superopt/window_machine.h"

namespace tarvek {
namespace {

constexpr int kW = 0;
constexpr int kC = 1;
constexpr int kDC = 2;
constexpr int kZ = 3;

constexpr KnownBits kUnknown{0, 0};

KnownBits exactly(uint8_t value) {
  return {0xFF, value};
}

KnownBits flag(bool value) {
  return {1, static_cast<uint8_t>(value ? 1 : 0)};
}

// Whether a value with these known bits is 0: known when a known bit is 1, or all are known.
KnownBits is_zero(KnownBits v) {
  if (v.value != 0) return flag(false);
  return v.mask == 0xFF ? flag(true) : kUnknown;
}

KnownBits complement(KnownBits v) {
  return {v.mask, static_cast<uint8_t>(~v.value & v.mask)};
}

// a + b + carry_in, bit by bit: the sum, the carry out of bit 7 and out of bit 3.
struct Sum {
  KnownBits result;
  KnownBits carry;
  KnownBits digit_carry;
};

Sum add(KnownBits a, KnownBits b, KnownBits carry_in) {
  bool carry_known = (carry_in.mask & 1) != 0;
  bool carry = (carry_in.value & 1) != 0;
  Sum sum;
  for (int bit = 0; bit < 8; ++bit) {
    const bool a_known = (a.mask >> bit) & 1;
    const bool b_known = (b.mask >> bit) & 1;
    const bool a_value = (a.value >> bit) & 1;
    const bool b_value = (b.value >> bit) & 1;
    if (a_known && b_known && carry_known) {
      if (a_value ^ b_value ^ carry) {
        sum.result.value = static_cast<uint8_t>(sum.result.value | (1u << bit));
      }
      sum.result.mask = static_cast<uint8_t>(sum.result.mask | (1u << bit));
      carry = (a_value && b_value) || (carry && (a_value || b_value));
    } else if (a_known && b_known && a_value == b_value) {
      // The majority of two equal known bits and anything.
      carry_known = true;
      carry = a_value;
    } else if (a_known && carry_known && a_value == carry) {
      carry = a_value;
    } else if (b_known && carry_known && b_value == carry) {
      carry = b_value;
    } else {
      carry_known = false;
    }
    if (bit == 3) sum.digit_carry = carry_known ? flag(carry) : kUnknown;
  }
  sum.carry = carry_known ? flag(carry) : kUnknown;
  return sum;
}

// The places of one instruction's state as known bits.
class Places {
 public:
  Places(uint8_t* mask, uint8_t* value, int file_place)
      : mask_(mask), value_(value), file_(file_place) {}

  KnownBits get(int place) const {
    if (place < 0) return kUnknown;
    return {mask_[place], value_[place]};
  }
  void set(int place, KnownBits v) {
    if (place < 0) return;
    mask_[place] = v.mask;
    value_[place] = static_cast<uint8_t>(v.value & v.mask);
  }
  KnownBits file() const { return get(file_); }
  int file_place() const { return file_; }

 private:
  uint8_t* mask_;
  uint8_t* value_;
  int file_;
};

// The result of a sum into its destination, with the flags an addition sets.
void store_sum(Places& p, int destination, const Sum& sum) {
  p.set(destination, sum.result);
  p.set(kC, sum.carry);
  p.set(kDC, sum.digit_carry);
  p.set(kZ, is_zero(sum.result));
}

void store_with_z(Places& p, int destination, KnownBits result) {
  result.value &= result.mask;
  p.set(destination, result);
  p.set(kZ, is_zero(result));
}

// known_through for a rotation or a shift of f into `destination`, C holding `c` before it.
void known_shift(Op op, KnownBits f, KnownBits c, int destination, Places& p) {
  const bool left = op == Op::kRlf || op == Op::kLslf;
  // What enters at the free end: C for a rotation, 0 for a logical shift, bit 7 itself
  // for an arithmetic one.
  KnownBits in = op == Op::kRlf || op == Op::kRrf ? c : flag(false);
  if (op == Op::kAsrf) in = {static_cast<uint8_t>(f.mask >> 7), static_cast<uint8_t>(f.value >> 7)};
  KnownBits result;
  if (left) {
    result = {static_cast<uint8_t>((f.mask << 1) | (in.mask & 1)),
              static_cast<uint8_t>((f.value << 1) | (in.value & 1))};
  } else {
    result = {static_cast<uint8_t>((f.mask >> 1) | ((in.mask & 1) << 7)),
              static_cast<uint8_t>((f.value >> 1) | ((in.value & 1) << 7))};
  }
  const int out_bit = left ? 7 : 0;
  p.set(kC, {static_cast<uint8_t>((f.mask >> out_bit) & 1),
             static_cast<uint8_t>((f.value >> out_bit) & 1)});
  p.set(destination, result);
  if (op != Op::kRlf && op != Op::kRrf) p.set(kZ, is_zero(result));
}

// known_through for an instruction without a file operand.
void known_through_without_file(Op op, uint8_t k, Places& p) {
  const KnownBits w = p.get(kW);
  switch (op) {
    case Op::kMovlw:
      p.set(kW, exactly(k));
      return;
    case Op::kAndlw:
      store_with_z(p, kW, {static_cast<uint8_t>(w.mask | ~k), static_cast<uint8_t>(w.value & k)});
      return;
    case Op::kIorlw:
      store_with_z(p, kW, {static_cast<uint8_t>(w.mask | k), static_cast<uint8_t>(w.value | k)});
      return;
    case Op::kAddlw:
      store_sum(p, kW, add(w, exactly(k), flag(false)));
      return;
    case Op::kClrc:
      p.set(kC, flag(false));
      return;
    case Op::kSkpc:
    case Op::kSkpnc:
    case Op::kSkpnz:
      return;
    default:
      assert(false && "not runnable");
      return;
  }
}

}  // namespace

void known_through(Op op, bool to_w, uint8_t k, int file_place, uint8_t* mask,
                   uint8_t* known_value) {
  Places p(mask, known_value, file_place);
  if (op >= Op::kMovlw) {
    known_through_without_file(op, k, p);
    return;
  }
  const int destination = to_w ? kW : file_place;
  const KnownBits f = p.file();
  const KnownBits w = p.get(kW);
  const KnownBits c = p.get(kC);
  switch (op) {
    case Op::kMovwf:
      p.set(file_place, w);
      return;
    case Op::kMovf:
      if (to_w) p.set(kW, f);
      p.set(kZ, is_zero(f));
      return;
    case Op::kClrf:
      p.set(file_place, exactly(0));
      p.set(kZ, flag(true));
      return;
    case Op::kSwapf: {
      const auto swap = [](uint8_t v) { return static_cast<uint8_t>((v << 4) | (v >> 4)); };
      p.set(destination, {swap(f.mask), swap(f.value)});
      return;
    }
    case Op::kBtfsc:
      return;
    case Op::kBsf: {
      const auto bit = static_cast<uint8_t>(1u << (k & 7));
      p.set(file_place, {static_cast<uint8_t>(f.mask | bit), static_cast<uint8_t>(f.value | bit)});
      return;
    }
    case Op::kComf:
      store_with_z(p, destination, complement(f));
      return;
    case Op::kRlf:
    case Op::kRrf:
    case Op::kLslf:
    case Op::kLsrf:
    case Op::kAsrf:
      known_shift(op, f, c, destination, p);
      return;
    case Op::kAddwf:
      store_sum(p, destination, add(f, w, flag(false)));
      return;
    case Op::kSubwf:
      // f - W is f + ~W + 1; C and DC are the carries, "no borrow".
      store_sum(p, destination, add(f, complement(w), flag(true)));
      return;
    case Op::kAddwfc:
      store_sum(p, destination, add(f, w, c));
      return;
    case Op::kSubwfb:
      store_sum(p, destination, add(f, complement(w), c));
      return;
    case Op::kIorwf:
    case Op::kXorwf: {
      const bool ior = op == Op::kIorwf;
      // A known 1 in either decides an inclusive or; an exclusive one needs both bits.
      const auto ones = static_cast<uint8_t>((f.value & f.mask) | (w.value & w.mask));
      KnownBits result;
      if (ior) {
        result.mask = static_cast<uint8_t>((f.mask & w.mask) | ones);
        result.value = static_cast<uint8_t>(f.value | w.value);
      } else {
        result.mask = static_cast<uint8_t>(f.mask & w.mask);
        result.value = static_cast<uint8_t>(f.value ^ w.value);
      }
      store_with_z(p, destination, result);
      return;
    }
    case Op::kIncf:
      store_with_z(p, destination, add(f, exactly(1), flag(false)).result);
      return;
    case Op::kIncfsz:
      p.set(destination, add(f, exactly(1), flag(false)).result);
      return;
    default:
      assert(false && "not runnable");
      return;
  }
}

void join_known(Known& into, const Known& other, int places) {
  for (int p = 0; p < places; ++p) {
    const auto agree =
        static_cast<uint8_t>(into.mask[p] & other.mask[p] & ~(into.value[p] ^ other.value[p]));
    into.mask[p] = agree;
    into.value[p] &= agree;
  }
}

std::vector<Known> known_before(const Code& code, const RoutineBytes& bytes,
                                const Known& at_start) {
  const std::vector<Instruction>& ins = code.instructions();
  const std::size_t n = ins.size();
  const int places = kFirstBytePlace + static_cast<int>(bytes.bytes().size());
  std::vector<Known> before(n + 1);
  before[0] = at_start;
  // Whether an earlier skip has already joined into before[i].
  std::vector<bool> reached(n + 2, false);
  reached[0] = true;
  for (std::size_t i = 0; i < n; ++i) {
    Known after = before[i];
    const int number = bytes.number_of(ins[i]);
    known_through(ins[i].op, ins[i].to_w, static_cast<uint8_t>(ins[i].value),
                  number < 0 ? -1 : kFirstBytePlace + number, after.mask.data(),
                  after.value.data());
    // The next instruction runs after this one; after a skip, the one after it may run next
    // too, with this one's state.
    const std::size_t targets[2] = {i + 1, is_skip(ins[i].op) ? std::min(n, i + 2) : i + 1};
    for (const std::size_t next : targets) {
      if (reached[next]) {
        join_known(before[next], after, places);
      } else {
        before[next] = after;
        reached[next] = true;
      }
    }
  }
  before.pop_back();
  return before;
}

}  // namespace tarvek

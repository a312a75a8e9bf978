#include "multiply/product_emission.h"

#include <algorithm>
#include <cassert>
#include <tuple>
#include <vector>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {
namespace {

struct PartialProduct {
  // Input byte i times multiplier byte m at byte place i + j.
  int i = 0;
  int m = 0;
  int place = 0;
  // The largest value it takes.
  int largest = 0;
};

class ProductWriter {
 public:
  ProductWriter(const ProductPlan& plan, const ResultTarget& target, const RoutineNames& names,
                int output_bytes)
      : plan_(plan),
        writer_(names.core),
        acc_(names.acc, 0, names.little_endian),
        sum_(names.temp, 0, true),
        input_bytes_((target.input_bits + 7) / 8),
        result_bytes_((target.result_bits + 7) / 8),
        output_bytes_(
            std::max(output_bytes > 0 ? output_bytes : 0, std::max(input_bytes_, result_bytes_))) {
    const BigInt largest_v = target.max_input * plan.multiplier + plan.offset;
    top_ = std::max(plan.kept_from, (largest_v.bit_length() + 7) / 8 - 1);
    for (int i = 0; i < input_bytes_; ++i) {
      for (int j = 0; j < multiplier_bytes(plan); ++j) {
        const int m = multiplier_byte(plan, j);
        const int largest = largest_input_byte(target, i) * m;
        if (largest > 0 && i + j >= plan.kept_from) products_.push_back({i, m, i + j, largest});
      }
    }
    find_skipped_bytes();
    acc_.set_width(8 * std::max(input_bytes_, output_bytes_), 0);
    sum_.set_width(8 * (top_ - first_ + 1), 0);
    written_.assign(static_cast<std::size_t>(top_ + 2), false);
  }

  EmittedRoutine emit(ProductLayout layout) {
    add_offset();
    std::vector<PartialProduct> order = products_;
    std::stable_sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
      switch (layout.order) {
        case ProductOrder::kUpwards:
          return a.place < b.place;
        case ProductOrder::kDownwards:
          return a.place > b.place;
        case ProductOrder::kRows:
          break;
      }
      return std::tie(a.i, a.m, a.place) < std::tie(b.i, b.m, b.place);
    });
    for (const PartialProduct& product : order) add_product(product);
    take_result(layout.shift);
    EmittedRoutine routine;
    routine.code = writer_.code;
    routine.instructions = routine.code.words();
    routine.output_bytes = output_bytes_;
    routine.acc_bytes = std::max(input_bytes_, output_bytes_);
    routine.temp_bytes = top_ - first_ + 1;
    return routine;
  }

 private:
  // A byte below the result that only ever takes one value (one part of one product, and no
  // carry from below) never carries into the next: it is not kept at all.
  void find_skipped_bytes() {
    const int lowest = plan_.shift / 8;
    std::vector<int> values(static_cast<std::size_t>(top_ + 2), 0);
    for (int k = plan_.kept_from; k <= top_; ++k) {
      if (offset_byte(k) != 0) ++values[k];
    }
    for (const PartialProduct& p : products_) {
      ++values[p.place];
      if (p.m != 1 && p.largest >= 256) ++values[p.place + 1];
    }
    skipped_.assign(static_cast<std::size_t>(top_ + 2), false);
    bool carry_in = false;
    first_ = top_;
    for (int k = plan_.kept_from; k <= top_; ++k) {
      const int taken = values[k] + (carry_in ? 1 : 0);
      skipped_[k] = k < lowest && taken <= 1;
      carry_in = taken >= 2;
      if (!skipped_[k]) first_ = std::min(first_, k);
    }
  }

  int offset_byte(int place) const { return byte_of(plan_.offset, place); }
  // The accumulator's byte `k` places above its least significant one, of `count` bytes.
  int acc_byte(int k, int count) const { return byte_from_low(acc_, count, k); }
  int sum_byte(int place) const { return place - first_; }

  void add_offset() {
    for (int k = plan_.kept_from; k <= top_; ++k) {
      if (offset_byte(k) == 0 || skipped_[k]) continue;
      load_literal(offset_byte(k));
      writer_.movwf(sum_, sum_byte(k));
      w_literal_ = offset_byte(k);
      written_[k] = true;
    }
    bound_ = plan_.offset;
  }

  void load_literal(int value) {
    if (w_literal_ != value) writer_.movlw(value);
    w_literal_ = value;
  }

  // Whether the sum so far may reach byte `place`: only then can a carry go into it.
  bool may_reach(int place) const { return bound_ >= BigInt::power_of_two(8 * place); }

  void add_product(const PartialProduct& p) {
    const bool multiplied = p.m != 1;
    // The product bytes keep the last product until the next multiplication.
    if (!multiplied || product_input_ != p.i || product_multiplier_ != p.m) {
      writer_.movf_w(acc_, acc_byte(p.i, input_bytes_));
      w_literal_ = -1;
    }
    if (multiplied && (product_input_ != p.i || product_multiplier_ != p.m)) {
      writer_.mullw(p.m);
      product_input_ = p.i;
      product_multiplier_ = p.m;
    }
    bound_ += BigInt(p.largest) << (8 * p.place);
    bool carry = false;
    if (!skipped_[p.place]) {
      if (multiplied) {
        writer_.movf_product_w(false);
        w_literal_ = -1;
      }
      if (!written_[p.place]) {
        writer_.movwf(sum_, sum_byte(p.place));
        written_[p.place] = true;
      } else {
        writer_.addwf_f(sum_, sum_byte(p.place));
        carry = may_reach(p.place + 1);
      }
    }
    int next = p.place + 1;
    if (multiplied && p.largest >= 256) {
      add_high_part(p.place + 1, carry);
      next = p.place + 2;
    }
    ripple(next, carry);
  }

  // PRODH into byte `place`, with the carry from below when `carry`.
  void add_high_part(int place, bool& carry) {
    if (skipped_[place]) return;
    if (!written_[place]) {
      if (carry) {
        // PRODH is at most 0xFE, so PRODH + C leaves no carry; clrf and movf keep C.
        writer_.clrf(sum_, sum_byte(place));
        writer_.movf_product_w(true);
        writer_.addwfc_f(sum_, sum_byte(place));
        carry = false;
      } else {
        writer_.movf_product_w(true);
        writer_.movwf(sum_, sum_byte(place));
      }
      w_literal_ = -1;
      written_[place] = true;
      return;
    }
    writer_.movf_product_w(true);
    w_literal_ = -1;
    if (carry) {
      writer_.addwfc_f(sum_, sum_byte(place));
    } else {
      writer_.addwf_f(sum_, sum_byte(place));
    }
    carry = may_reach(place + 1);
  }

  void ripple(int place, bool carry) {
    while (carry && place <= top_) {
      if (!written_[place]) {
        // clrf keeps C; rotating it in makes the byte the carry.
        writer_.clrf(sum_, sum_byte(place));
        writer_.rlf_f(sum_, sum_byte(place));
        written_[place] = true;
        return;
      }
      load_literal(0);
      writer_.addwfc_f(sum_, sum_byte(place));
      carry = may_reach(place + 1);
      ++place;
    }
  }

  void take_result(ResultShift how) {
    const int lowest = plan_.shift / 8;
    const int bits = plan_.shift % 8;
    const int highest = std::min(top_, lowest + result_bytes_ - 1 + (bits > 0 ? 1 : 0));
    for (int k = lowest; k <= highest; ++k) {
      if (!written_[k]) {
        writer_.clrf(sum_, sum_byte(k));
        written_[k] = true;
      }
    }
    if (bits == 0) {
      for (int k = 0; k < result_bytes_; ++k) {
        if (lowest + k <= highest) {
          writer_.movf_w(sum_, sum_byte(lowest + k));
          writer_.movwf(acc_, acc_byte(k, output_bytes_));
        } else {
          writer_.clrf(acc_, acc_byte(k, output_bytes_));
        }
      }
    } else if (how == ResultShift::kRotate) {
      rotate_out(lowest, highest, bits);
    } else {
      multiply_out(lowest, highest, bits);
    }
    for (int k = result_bytes_; k < output_bytes_; ++k) {
      writer_.clrf(acc_, acc_byte(k, output_bytes_));
    }
  }

  void rotate_out(int lowest, int highest, int bits) {
    for (int round = 1; round <= bits; ++round) {
      writer_.clrc();
      for (int k = highest; k >= lowest; --k) {
        const int out = k - lowest;
        if (round < bits) {
          writer_.rrf_f(sum_, sum_byte(k));
        } else if (out < result_bytes_) {
          writer_.rrf_w(sum_, sum_byte(k));
          writer_.movwf(acc_, acc_byte(out, output_bytes_));
        } else if (k > lowest) {
          // Only its low bit, through C, belongs to the result.
          writer_.rrf_w(sum_, sum_byte(k));
        }
      }
    }
    for (int out = highest - lowest + 1; out < result_bytes_; ++out) {
      writer_.clrf(acc_, acc_byte(out, output_bytes_));
    }
  }

  // Byte k times 2^(8 - bits): PRODH is its part of result byte k - lowest, PRODL its part of
  // the byte below.
  void multiply_out(int lowest, int highest, int bits) {
    std::vector<bool> started(static_cast<std::size_t>(result_bytes_ + 1), false);
    for (int k = highest; k >= lowest; --k) {
      const int out = k - lowest;
      writer_.movf_w(sum_, sum_byte(k));
      writer_.mullw(1 << (8 - bits));
      if (out < result_bytes_) {
        writer_.movf_product_w(true);
        if (started[out]) {
          writer_.iorwf_f(acc_, acc_byte(out, output_bytes_));
        } else {
          writer_.movwf(acc_, acc_byte(out, output_bytes_));
        }
        started[out] = true;
      }
      if (out >= 1 && out - 1 < result_bytes_) {
        writer_.movf_product_w(false);
        writer_.movwf(acc_, acc_byte(out - 1, output_bytes_));
        started[out - 1] = true;
      }
    }
    for (int out = 0; out < result_bytes_; ++out) {
      if (!started[out]) writer_.clrf(acc_, acc_byte(out, output_bytes_));
    }
  }

  const ProductPlan& plan_;
  CodeWriter writer_;
  Register acc_;
  Register sum_;
  int input_bytes_;
  int result_bytes_;
  int output_bytes_;
  // The highest byte place v reaches, and the lowest one kept.
  int top_ = 0;
  int first_ = 0;
  std::vector<PartialProduct> products_;
  std::vector<bool> skipped_;
  std::vector<bool> written_;
  // What the sum so far can be at most.
  BigInt bound_;
  // The literal W holds, or -1.
  int w_literal_ = -1;
  // The partial product PRODH:PRODL holds: input byte and multiplier byte (-1: none).
  int product_input_ = -1;
  int product_multiplier_ = -1;
};

}  // namespace

EmittedRoutine emit_product(const ProductPlan& plan, const ResultTarget& target,
                            const RoutineNames& names, int output_bytes, ProductLayout layout) {
  assert(names.core == Core::kPic18);
  return ProductWriter(plan, target, names, output_bytes).emit(layout);
}

}  // namespace tarvek

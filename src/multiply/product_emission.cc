#include "multiply/product_emission.h"

#include <algorithm>
#include <cassert>
#include <tuple>
#include <utility>
#include <vector>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {
namespace {

// Something added into v: a partial product, or a byte of the offset.
struct Term {
  // Input byte i times multiplier byte m; or, with i = -1, the offset's byte m.
  int i = 0;
  int m = 0;
  int place = 0;
  // The largest value it takes.
  int largest = 0;

  bool is_offset() const { return i < 0; }
  bool is_multiplied() const { return !is_offset() && m != 1; }
};

// Where a byte of v is kept: a byte of the temporary register, or a product byte.
enum class Home { kSum, kProdl, kProdh };

// What is added into a byte of v.
struct Source {
  enum Kind { kProdl, kProdh, kInput, kLiteral } kind;
  // The input byte, or the literal.
  int value = 0;
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
    const int m_bytes = multiplier_bytes(plan);
    std::vector<int> multiplier(static_cast<std::size_t>(m_bytes));
    for (int j = 0; j < m_bytes; ++j) multiplier[j] = multiplier_byte(plan, j);
    for (int i = 0; i < input_bytes_; ++i) {
      const int largest_x = largest_input_byte(target, i);
      for (int j = 0; j < m_bytes; ++j) {
        const int m = multiplier[j];
        const int largest = largest_x * m;
        if (largest == 0 || i + j < plan.kept_from) continue;
        products_.push_back({i, m, i + j, largest});
      }
    }
    for (int k = plan.kept_from; k <= top_; ++k) {
      const int byte = byte_of(plan.offset, k);
      if (byte != 0) offsets_.push_back({-1, byte, k, byte});
    }
    // Product bytes that hold bytes of v cannot be read again as the product: only a product
    // used by one term alone may stay there.
    single_multiplication_ = std::count_if(products_.begin(), products_.end(),
                                           [](const Term& t) { return t.is_multiplied(); }) == 1;
    find_skipped_bytes();
    acc_.set_width(8 * std::max(input_bytes_, output_bytes_), 0);
    sum_.set_width(8 * (top_ + 1), 0);
    written_.assign(static_cast<std::size_t>(top_ + 2), false);
    home_.assign(static_cast<std::size_t>(top_ + 2), Home::kSum);
    sum_index_.assign(static_cast<std::size_t>(top_ + 2), -1);
  }

  EmittedRoutine emit(ProductLayout layout) {
    const bool bits = plan_.shift % 8 != 0;
    // Multiplying the result out would overwrite product bytes that hold bytes of v.
    in_product_ = layout.in_product && single_multiplication_ &&
                  !(bits && layout.shift == ResultShift::kMultiply);
    for (const Term& term : ordered_terms(layout.order)) add_term(term);
    take_result(layout.shift);
    EmittedRoutine routine;
    routine.code = writer_.code;
    routine.instructions = routine.code.words();
    routine.output_bytes = output_bytes_;
    routine.acc_bytes = std::max(input_bytes_, output_bytes_);
    routine.temp_bytes = temp_bytes_;
    return routine;
  }

 private:
  // Without product bytes kept as bytes of v, the offset's bytes come first: written, not
  // added. With them, the offset is added after the multiplication, byte by byte in place
  // order with the products, so that its carries join theirs.
  std::vector<Term> ordered_terms(ProductOrder order) const {
    std::vector<Term> terms = products_;
    std::stable_sort(terms.begin(), terms.end(), [&](const Term& a, const Term& b) {
      switch (order) {
        case ProductOrder::kUpwards:
          return a.place < b.place;
        case ProductOrder::kDownwards:
          return a.place > b.place;
        case ProductOrder::kRows:
          break;
      }
      return std::tie(a.i, a.m, a.place) < std::tie(b.i, b.m, b.place);
    });
    if (!in_product_) {
      terms.insert(terms.begin(), offsets_.begin(), offsets_.end());
      return terms;
    }
    terms.insert(terms.end(), offsets_.begin(), offsets_.end());
    std::stable_sort(terms.begin(), terms.end(), [](const Term& a, const Term& b) {
      return std::tuple(a.place, a.is_offset()) < std::tuple(b.place, b.is_offset());
    });
    return terms;
  }

  // A byte below the result that only ever takes one value (one part of one term, and no
  // carry from below) never carries into the next: it is not kept at all.
  void find_skipped_bytes() {
    const int lowest = plan_.shift / 8;
    std::vector<int> values(static_cast<std::size_t>(top_ + 2), 0);
    for (const Term& t : offsets_) ++values[t.place];
    for (const Term& p : products_) {
      ++values[p.place];
      if (p.is_multiplied() && p.largest >= 256) ++values[p.place + 1];
    }
    skipped_.assign(static_cast<std::size_t>(top_ + 2), false);
    bool carry_in = false;
    for (int k = plan_.kept_from; k <= top_; ++k) {
      const int taken = values[k] + (carry_in ? 1 : 0);
      skipped_[k] = k < lowest && taken <= 1;
      carry_in = taken >= 2;
    }
  }

  // The accumulator's byte `k` places above its least significant one, of `count` bytes.
  int acc_byte(int k, int count) const { return byte_from_low(acc_, count, k); }

  // `op` on the byte of v at `place`, wherever it is kept.
  void sum_op(Op op, int place, bool to_w = false) {
    if (home_[place] != Home::kSum) {
      writer_.product_op(op, home_[place] == Home::kProdh, to_w);
      if (to_w) w_literal_ = -1;
      return;
    }
    // Temporary bytes are numbered as v's bytes first need one, so that bytes kept in the
    // product bytes or never kept take none.
    if (sum_index_[place] < 0) sum_index_[place] = temp_bytes_++;
    const int byte = sum_index_[place];
    switch (op) {
      case Op::kMovwf:
        writer_.movwf(sum_, byte);
        return;
      case Op::kMovf:
        writer_.movf_w(sum_, byte);
        break;
      case Op::kAddwf:
        writer_.addwf_f(sum_, byte);
        return;
      case Op::kAddwfc:
        writer_.addwfc_f(sum_, byte);
        return;
      case Op::kClrf:
        writer_.clrf(sum_, byte);
        return;
      case Op::kRlf:
        writer_.rlf_f(sum_, byte);
        return;
      case Op::kRrf:
        if (to_w) {
          writer_.rrf_w(sum_, byte);
        } else {
          writer_.rrf_f(sum_, byte);
        }
        break;
      default:
        assert(false && "not an operation on a byte of v");
    }
    if (to_w) w_literal_ = -1;
  }

  void load_literal(int value) {
    if (w_literal_ != value) writer_.movlw(value);
    w_literal_ = value;
  }

  void load(const Source& source) {
    switch (source.kind) {
      case Source::kProdl:
      case Source::kProdh:
        writer_.product_op(Op::kMovf, source.kind == Source::kProdh, true);
        w_literal_ = -1;
        return;
      case Source::kInput:
        if (!writer_.w_holds(acc_, acc_byte(source.value, input_bytes_))) w_literal_ = -1;
        writer_.movf_w(acc_, acc_byte(source.value, input_bytes_));
        return;
      case Source::kLiteral:
        load_literal(source.value);
        return;
    }
  }

  // Whether the sum so far may reach byte `place`: only then can a carry go into it.
  bool may_reach(int place) const { return place < 16 && (bound_ >> (8 * place)) != 0; }

  void add_term(const Term& term) {
    bound_ += UInt128{static_cast<unsigned>(term.largest)} << (8 * term.place);
    if (term.is_offset()) {
      add_to(term.place, {Source::kLiteral, term.m}, false);
      return;
    }
    if (!term.is_multiplied()) {
      add_to(term.place, {Source::kInput, term.i}, false);
      return;
    }
    // The product bytes keep the last product until the next multiplication; neither loading
    // W nor multiplying changes the carry a term may have left for the next.
    if (product_input_ != term.i || product_multiplier_ != term.m) {
      load({Source::kInput, term.i});
      writer_.mullw(term.m);
      product_input_ = term.i;
      product_multiplier_ = term.m;
    }
    add_to(term.place, {Source::kProdl, 0}, false);
    // PRODH is at most 0xFE: with a carry into an empty byte it makes no carry out.
    if (term.largest >= 256) add_to(term.place + 1, {Source::kProdh, 0}, true);
  }

  // Adds `source` into the byte of v at `place`, with the carry left for it when there is
  // one; a carry left for another byte is taken there first.
  void add_to(int place, const Source& source, bool at_most_fe) {
    const bool carry_in = carry_place_ == place;
    if (!carry_in) settle_carry();
    carry_place_ = -1;
    if (skipped_[place]) return;
    if (!written_[place] && !carry_in) {
      written_[place] = true;
      if (in_product_ && (source.kind == Source::kProdl || source.kind == Source::kProdh)) {
        home_[place] = source.kind == Source::kProdh ? Home::kProdh : Home::kProdl;
        return;
      }
      load(source);
      sum_op(Op::kMovwf, place);
      return;
    }
    bool may_carry = may_reach(place + 1);
    if (!written_[place]) {
      // clrf keeps C.
      sum_op(Op::kClrf, place);
      written_[place] = true;
      may_carry = may_carry && !at_most_fe;
    }
    load(source);
    sum_op(carry_in ? Op::kAddwfc : Op::kAddwf, place);
    if (may_carry) carry_place_ = place + 1;
  }

  // The carry left for a byte, added in and carried on as far as the sum may reach.
  void settle_carry() {
    int place = carry_place_;
    carry_place_ = -1;
    while (place >= 0 && place <= top_) {
      if (!written_[place]) {
        // clrf keeps C; rotating it in makes the byte the carry.
        sum_op(Op::kClrf, place);
        sum_op(Op::kRlf, place);
        written_[place] = true;
        return;
      }
      load_literal(0);
      sum_op(Op::kAddwfc, place);
      if (!may_reach(place + 1)) return;
      ++place;
    }
  }

  void take_result(ResultShift how) {
    const int lowest = plan_.shift / 8;
    const int bits = plan_.shift % 8;
    const int highest = std::min(top_, lowest + result_bytes_ - 1 + (bits > 0 ? 1 : 0));
    // A carry into the byte above the result, rotated down one place, is what the rotation
    // needs of that byte: it stays in C.
    const bool top_in_carry = bits == 1 && how == ResultShift::kRotate && carry_place_ == highest &&
                              !written_[highest] && highest - lowest >= result_bytes_;
    if (!top_in_carry) settle_carry();
    for (int k = lowest; k <= highest; ++k) {
      if (!written_[k] && !(top_in_carry && k == highest)) {
        sum_op(Op::kClrf, k);
        written_[k] = true;
      }
    }
    if (bits == 0) {
      for (int k = 0; k < result_bytes_; ++k) {
        if (lowest + k <= highest) {
          sum_op(Op::kMovf, lowest + k, true);
          writer_.movwf(acc_, acc_byte(k, output_bytes_));
        } else {
          writer_.clrf(acc_, acc_byte(k, output_bytes_));
        }
      }
    } else if (how == ResultShift::kRotate) {
      rotate_out(lowest, highest, bits, top_in_carry);
    } else {
      multiply_out(lowest, highest, bits);
    }
    for (int k = result_bytes_; k < output_bytes_; ++k) {
      writer_.clrf(acc_, acc_byte(k, output_bytes_));
    }
  }

  void rotate_out(int lowest, int highest, int bits, bool top_in_carry) {
    for (int round = 1; round <= bits; ++round) {
      int from = highest;
      if (top_in_carry && round == 1) {
        --from;
      } else {
        writer_.clrc();
      }
      for (int k = from; k >= lowest; --k) {
        const int out = k - lowest;
        if (round < bits) {
          sum_op(Op::kRrf, k);
        } else if (out < result_bytes_) {
          sum_op(Op::kRrf, k, true);
          writer_.movwf(acc_, acc_byte(out, output_bytes_));
        } else if (k > lowest) {
          // Only its low bit, through C, belongs to the result.
          sum_op(Op::kRrf, k, true);
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
      sum_op(Op::kMovf, k, true);
      writer_.mullw(1 << (8 - bits));
      if (out < result_bytes_) {
        writer_.product_op(Op::kMovf, true, true);
        if (started[out]) {
          writer_.iorwf_f(acc_, acc_byte(out, output_bytes_));
        } else {
          writer_.movwf(acc_, acc_byte(out, output_bytes_));
        }
        started[out] = true;
      }
      if (out >= 1 && out - 1 < result_bytes_) {
        writer_.product_op(Op::kMovf, false, true);
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
  // The highest byte place v reaches.
  int top_ = 0;
  std::vector<Term> products_;
  std::vector<Term> offsets_;
  bool single_multiplication_ = false;
  bool in_product_ = false;
  std::vector<bool> skipped_;
  std::vector<bool> written_;
  std::vector<Home> home_;
  // The temporary byte of each byte of v kept there (-1: none yet), and how many are taken.
  std::vector<int> sum_index_;
  int temp_bytes_ = 0;
  // What the terms added so far can be at most: below 2^(8 * 15), as v is.
  UInt128 bound_ = 0;
  // The byte a carry is left for, or -1.
  int carry_place_ = -1;
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

#include "superopt/window_search.h"

#include <algorithm>
#include <bit>
#include <span>

namespace tarvek {
namespace {

// Places as bits: W, C, DC and Z, then slot k as bit kFirstBytePlace + k.
using PlaceBits = uint16_t;

PlaceBits place_bits(uint8_t effect_places, int slot) {
  PlaceBits set = effect_places & 0xF;
  if ((effect_places & kPlaceFile) != 0)
    set |= static_cast<PlaceBits>(1u << (kFirstBytePlace + slot));
  return set;
}

constexpr Op kFileOps[] = {Op::kMovf,  Op::kSwapf, Op::kComf,  Op::kRlf,  Op::kRrf,   Op::kAddwf,
                           Op::kSubwf, Op::kIorwf, Op::kXorwf, Op::kIncf, Op::kIncfsz};
constexpr Op kEnhancedFileOps[] = {Op::kAddwfc, Op::kSubwfb, Op::kLslf, Op::kLsrf, Op::kAsrf};
constexpr Op kLiteralOps[] = {Op::kMovlw, Op::kAndlw, Op::kIorlw, Op::kAddlw};
constexpr Op kBareOps[] = {Op::kClrc, Op::kSkpc, Op::kSkpnc, Op::kSkpnz};

// What the window does on the sample states, and what any replacement must therefore write.
class Target {
 public:
  explicit Target(const Window& window) : window_(window) {
    for (const WindowState& sample : sample_states()) {
      // Only states the routine can reach there: what is known holds.
      const WindowState start = conform(sample, window.known_before);
      starts_.push_back(start);
      WindowState end = start;
      run(window.code, end);
      expected_.push_back(end);
      // A place whose read bits the window changes must be written by a replacement too.
      for (int place = 0; place < kWindowPlaces; ++place) {
        WindowDemand one{};
        one[place] = window.read_after[place];
        if (one[place] != 0 && !same_bits(start, end, one)) {
          needed_ |= static_cast<PlaceBits>(1u << place);
        }
      }
    }
  }

  PlaceBits needed() const { return needed_; }
  const WindowState& expected(std::size_t k) const { return expected_[k]; }
  const WindowState& start(std::size_t k) const { return starts_[k]; }

  // Whether the candidate agrees with the window on every sample after the first (which the
  // caller checks as it builds the candidate) and is proven the same.
  bool holds(std::span<const SlotInstruction> candidate, int most_input_bits,
             std::size_t first_sample) const {
    for (std::size_t k = first_sample; k < starts_.size(); ++k) {
      WindowState s = starts_[k];
      run(candidate, s);
      if (!same_bits(s, expected_[k], window_.read_after)) return false;
    }
    return prove_same(window_.code, candidate, window_.read_after, most_input_bits,
                      window_.known_before) == Equivalence::kSame;
  }

  const Window& window() const { return window_; }

 private:
  const Window& window_;
  // The sample states made to agree with what is known, and the window's results from them.
  std::vector<WindowState> starts_;
  std::vector<WindowState> expected_;
  PlaceBits needed_ = 0;
};

// Depth-first enumeration of every stretch of `length` instructions of the alphabet, the
// first sample's state carried along so that a leaf costs one instruction.
class Enumeration {
 public:
  Enumeration(const Target& target, const std::vector<SlotInstruction>& alphabet,
              int most_input_bits, long most_stretches)
      : target_(target),
        alphabet_(alphabet),
        most_input_bits_(most_input_bits),
        most_stretches_(most_stretches) {}

  std::optional<std::vector<SlotInstruction>> run_length(int length) {
    length_ = length;
    sequence_.assign(static_cast<std::size_t>(length), SlotInstruction{});
    found_.reset();
    stretches_ = 0;
    if (length == 0) {
      if (target_.holds({}, most_input_bits_, 0)) found_ = std::vector<SlotInstruction>{};
      return found_;
    }
    descend(0, target_.start(0), false, 0);
    return found_;
  }

 private:
  // Slots among `needed` that `written` misses.
  static int missing_slots(PlaceBits needed, PlaceBits written) {
    return std::popcount(static_cast<unsigned>((needed & ~written) >> kFirstBytePlace));
  }

  void descend(int depth, const WindowState& state, bool skipping, PlaceBits written) {
    const int left = length_ - depth;
    for (const SlotInstruction& in : alphabet_) {
      if (found_ || stretches_ >= most_stretches_) return;
      const Effects e = effects_of(in.op, in.to_w);
      if (depth == length_ - 1 && e.skips) continue;
      const PlaceBits writes = place_bits(e.writes, in.slot);
      // A write the next instruction overwrites unread is wasted: such stretches are never
      // the shortest.
      if (depth > 0 && !previous_skips_ && depth_writes_ != 0 && (depth_writes_ & ~writes) == 0 &&
          (place_bits(e.reads, in.slot) & depth_writes_) == 0) {
        continue;
      }
      const PlaceBits now_written = written | writes;
      if (missing_slots(target_.needed(), now_written) > left - 1) continue;
      WindowState next = state;
      bool next_skipping = false;
      if (!skipping) next_skipping = step(in, next);
      sequence_[static_cast<std::size_t>(depth)] = in;
      if (depth + 1 == length_) {
        ++stretches_;
        if ((now_written & target_.needed()) != target_.needed()) continue;
        if (!same_bits(next, target_.expected(0), target_.window().read_after)) continue;
        if (target_.holds(sequence_, most_input_bits_, 1)) found_ = sequence_;
        continue;
      }
      const PlaceBits saved_writes = depth_writes_;
      const bool saved_skips = previous_skips_;
      // An instruction right after a skip may not run: it surely writes nothing.
      depth_writes_ = previous_skips_ ? 0 : writes;
      previous_skips_ = e.skips;
      descend(depth + 1, next, next_skipping, now_written);
      depth_writes_ = saved_writes;
      previous_skips_ = saved_skips;
    }
  }

  const Target& target_;
  const std::vector<SlotInstruction>& alphabet_;
  int most_input_bits_;
  long most_stretches_;
  long stretches_ = 0;
  int length_ = 0;
  std::vector<SlotInstruction> sequence_;
  // What the instruction before the current depth surely writes when it runs unskipped,
  // and whether it is a skip (which makes the current one conditional).
  PlaceBits depth_writes_ = 0;
  bool previous_skips_ = false;
  std::optional<std::vector<SlotInstruction>> found_;
};

bool ends_on_skip(std::span<const SlotInstruction> code) {
  return !code.empty() && effects_of(code.back().op, code.back().to_w).skips;
}

// The window with one or two of its instructions dropped, or one dropped and another changed
// to an instruction of the alphabet: shortest first.
std::optional<std::vector<SlotInstruction>> edit_window(
    const Target& target, const std::vector<SlotInstruction>& alphabet, int most_input_bits,
    int enumerated) {
  const std::vector<SlotInstruction>& code = target.window().code;
  const std::size_t n = code.size();
  const auto try_candidate = [&](const std::vector<SlotInstruction>& c) {
    return !ends_on_skip(c) && target.holds(c, most_input_bits, 0);
  };
  if (n >= 3 && static_cast<int>(n) - 2 > enumerated) {
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = i + 1; j < n; ++j) {
        std::vector<SlotInstruction> c;
        for (std::size_t k = 0; k < n; ++k) {
          if (k != i && k != j) c.push_back(code[k]);
        }
        if (try_candidate(c)) return c;
      }
    }
  }
  if (static_cast<int>(n) - 1 <= enumerated) return std::nullopt;
  for (std::size_t i = 0; i < n; ++i) {
    std::vector<SlotInstruction> c = code;
    c.erase(c.begin() + static_cast<std::ptrdiff_t>(i));
    if (try_candidate(c)) return c;
  }
  for (std::size_t i = 0; i < n; ++i) {
    std::vector<SlotInstruction> c = code;
    c.erase(c.begin() + static_cast<std::ptrdiff_t>(i));
    for (std::size_t j = 0; j < c.size(); ++j) {
      const SlotInstruction kept = c[j];
      for (const SlotInstruction& in : alphabet) {
        if (in == kept) continue;
        c[j] = in;
        if (try_candidate(c)) return c;
      }
      c[j] = kept;
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<SlotInstruction> window_alphabet(const Window& window, Core core) {
  std::vector<uint8_t> literals = {0, 1, 0x0F, 0xF0, 0x80, 0xFF};
  std::vector<uint8_t> bits = {0, 7};
  for (const SlotInstruction& in : window.code) {
    const OperandKind kind = operand_kind(in.op);
    if (kind == OperandKind::kLiteral) {
      for (const int v : {int{in.value}, -int{in.value}, ~int{in.value}}) {
        literals.push_back(static_cast<uint8_t>(v));
      }
    }
    if (kind == OperandKind::kFileBit) bits.push_back(in.value);
  }
  const auto unique = [](std::vector<uint8_t>& v) {
    std::vector<uint8_t> seen;
    for (const uint8_t x : v) {
      if (std::find(seen.begin(), seen.end(), x) == seen.end()) seen.push_back(x);
    }
    v = seen;
  };
  unique(literals);
  unique(bits);
  std::vector<SlotInstruction> alphabet;
  const auto slots = static_cast<uint8_t>(window.slots.size());
  for (uint8_t slot = 0; slot < slots; ++slot) {
    for (const Op op : kFileOps) {
      alphabet.push_back({op, slot, true, 0});
      alphabet.push_back({op, slot, false, 0});
    }
    if (core == Core::kEnhanced) {
      for (const Op op : kEnhancedFileOps) {
        alphabet.push_back({op, slot, true, 0});
        alphabet.push_back({op, slot, false, 0});
      }
    }
    alphabet.push_back({Op::kMovwf, slot, false, 0});
    alphabet.push_back({Op::kClrf, slot, false, 0});
    for (const uint8_t bit : bits) {
      alphabet.push_back({Op::kBtfsc, slot, false, bit});
      alphabet.push_back({Op::kBsf, slot, false, bit});
    }
  }
  for (const Op op : kLiteralOps) {
    if (!runnable(op, core)) continue;
    for (const uint8_t literal : literals) alphabet.push_back({op, 0, false, literal});
  }
  for (const Op op : kBareOps) alphabet.push_back({op, 0, false, 0});
  return alphabet;
}

std::optional<std::vector<SlotInstruction>> find_shorter(const Window& window, Core core,
                                                         const WindowSearchLimits& limits) {
  const Target target(window);
  const std::vector<SlotInstruction> alphabet = window_alphabet(window, core);
  const int longest = static_cast<int>(window.code.size()) - 1;
  const int enumerated = std::min(limits.enumerated_length, longest);
  Enumeration enumeration(target, alphabet, limits.most_input_bits, limits.most_stretches);
  for (int length = 0; length <= enumerated; ++length) {
    if (auto found = enumeration.run_length(length)) return found;
  }
  return edit_window(target, alphabet, limits.most_input_bits, enumerated);
}

}  // namespace tarvek

#include "superopt/rule_pass.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <optional>

#include "superopt/window_machine.h"

namespace tarvek {
namespace {

// The operations with a file operand: every one before the literal operations (instruction.h).
constexpr bool has_file(Op op) {
  return op < Op::kMovlw;
}

// One line of the routine as the sweep keeps it: the instruction, its file operand's place (-1
// without one) and its pins.
struct Line {
  Instruction in;
  int place = -1;
  LinePins pins;
};

// The routine being rebuilt from its end, with what is read before each of its lines: only the
// routine's own places are kept, `places` of them a line, since copying them is most of what a
// sweep costs.
class Sweep {
 public:
  // Requires: no more than `lines` lines are ever held at once.
  Sweep(Demand& at_end, std::size_t places, std::size_t lines)
      : at_end_(at_end), places_(places), before_((lines + 1) * places) {
    stack_.reserve(lines + 1);
  }

  // What is read after the line that would go in front of the `depth` lines built last.
  const uint8_t* read_after(std::size_t depth) const {
    return depth < stack_.size() ? &before_[(stack_.size() - 1 - depth) * places_] : at_end_.data();
  }
  // The k-th line from the front (0: the line put in front last).
  const Line& front(std::size_t k) const { return stack_[stack_.size() - 1 - k]; }
  std::size_t size() const { return stack_.size(); }

  // Puts `line` in front of the routine built so far.
  void push(Line line) {
    uint8_t* before = &before_[stack_.size() * places_];
    std::memcpy(before, read_after(0), places_);
    if (is_skip(line.in.op)) {
      const uint8_t* passed = read_after(1);
      for (std::size_t p = 0; p < places_; ++p) before[p] |= passed[p];
    }
    demand_through(line.in.op, line.in.to_w, static_cast<uint8_t>(line.in.value), line.place,
                   before);
    add_pins(line.pins, before);
    stack_.push_back(std::move(line));
  }

  // Pins bits where the routine built so far starts (at its end when it is empty).
  void pin_front(const LinePins& pins) {
    if (pins.empty()) return;
    if (stack_.empty()) {
      add_pins(pins, at_end_.data());
      return;
    }
    add_pins(pins, &before_[(stack_.size() - 1) * places_]);
    LinePins& held = stack_.back().pins;
    held.insert(held.end(), pins.begin(), pins.end());
  }

  // Takes the `count` lines in front off, returning what their pins read where they start.
  LinePins pop(std::size_t count) {
    std::vector<Instruction> lines;
    std::vector<int> places;
    std::vector<LinePins> pins;
    for (std::size_t k = 0; k < count; ++k) {
      lines.push_back(front(k).in);
      places.push_back(front(k).place);
      pins.push_back(front(k).pins);
    }
    stack_.resize(stack_.size() - count);
    return pins_at_start(lines, places, pins);
  }

  // The lines in routine order.
  void take(std::vector<Line>& lines) const { lines.assign(stack_.rbegin(), stack_.rend()); }

 private:
  Demand& at_end_;
  std::size_t places_;
  std::vector<Line> stack_;
  // What is read before line k of the stack, at k * places_.
  std::vector<uint8_t> before_;
};

// Whether `in`, put in front of the routine built so far, writes nothing read afterwards.
bool unread(const Instruction& in, int place, const uint8_t* after) {
  const Effects e = effects_of(in.op, in.to_w);
  if (e.skips) return false;
  for (int flag = 0; flag < kFirstBytePlace; ++flag) {
    if (((e.writes >> flag) & 1) && after[flag] != 0) return false;
  }
  return (e.writes & kPlaceFile) == 0 || after[place] == 0;
}

// The rules a line may start, looked up by their first three instructions (operation,
// destination, literal or bit), or all of a shorter pattern: most lines start none, and a lookup
// costs a binary search whatever the table holds.
class RuleIndex {
 public:
  explicit RuleIndex(std::span<const RewriteRule> rules) {
    for (std::size_t r = 0; r < rules.size(); ++r) {
      const RewriteRule& rule = rules[r];
      // Every change shortens the routine, so the sweeps end.
      if (rule.pattern.empty() || rule.replacement.size() >= rule.pattern.size()) continue;
      heads_.push_back({key(rule.pattern.begin(), std::min(kKeyLength, rule.pattern.size())), r});
    }
    // Stable: rules of one key stay in table order.
    std::stable_sort(heads_.begin(), heads_.end(),
                     [](const Head& a, const Head& b) { return a.key < b.key; });
  }

  // Calls `each(r)` for every rule whose first instructions are those of `lines` (the next
  // ones of the routine, up to three), the shortest patterns first, each in table order, until
  // it returns true.
  template <typename Each>
  void match(std::span<const SlotInstruction> lines, Each each) const {
    for (std::size_t length = 1; length <= lines.size(); ++length) {
      const uint64_t k = key(lines.data(), length);
      auto at = std::lower_bound(heads_.begin(), heads_.end(), k,
                                 [](const Head& h, uint64_t v) { return h.key < v; });
      for (; at != heads_.end() && at->key == k; ++at) {
        if (each(at->rule)) return;
      }
    }
  }

  static constexpr std::size_t kKeyLength = 3;

 private:
  // The operation, destination and literal of each instruction, 15 bits each, and how many.
  static uint64_t key(const SlotInstruction* code, std::size_t length) {
    uint64_t k = length;
    for (std::size_t i = 0; i < length; ++i) {
      k |= (static_cast<uint64_t>(code[i].op) | uint64_t{code[i].to_w} << 6 |
            uint64_t{code[i].value} << 7)
           << (2 + 15 * i);
    }
    return k;
  }

  struct Head {
    uint64_t key;
    std::size_t rule;
  };
  std::vector<Head> heads_;
};

// The bytes a match bound the rule's slots to, and their places: held in place, since a sweep
// tries thousands of matches.
struct Binding {
  std::array<Instruction, kWindowSlots> bytes{};
  std::array<int, kWindowSlots> places{};
  std::size_t count = 0;
};

// Whether the rule's pattern is the first lines of the sweep, its slots bound to distinct
// bytes, with nothing read after it beyond what it allows; the slots' bytes go to `slots`.
bool matches(const RewriteRule& rule, const Sweep& sweep, const uint8_t* known_mask,
             const uint8_t* known_value, Binding& slots) {
  const std::size_t length = rule.pattern.size();
  if (length > sweep.size()) return false;
  slots.count = 0;
  for (std::size_t k = 0; k < length; ++k) {
    const Instruction& in = sweep.front(k).in;
    const SlotInstruction& p = rule.pattern[k];
    if (in.op != p.op || in.to_w != p.to_w || static_cast<uint8_t>(in.value) != p.value) {
      return false;
    }
    if (!has_file(p.op)) continue;
    if (p.slot == slots.count) {
      for (std::size_t b = 0; b < slots.count; ++b) {
        if (slots.bytes[b].same_file_byte(in)) return false;
      }
      slots.bytes[slots.count] = in;
      slots.places[slots.count++] = sweep.front(k).place;
    } else if (p.slot > slots.count || !slots.bytes[p.slot].same_file_byte(in)) {
      return false;
    }
  }
  const uint8_t* after = sweep.read_after(length);
  for (int flag = 0; flag < kFirstBytePlace; ++flag) {
    if ((after[flag] & ~rule.may_read[flag]) != 0) return false;
  }
  for (std::size_t slot = 0; slot < slots.count; ++slot) {
    if ((after[slots.places[slot]] & ~rule.may_read[kFirstBytePlace + slot]) != 0) return false;
  }
  // What the rule requires known where it starts.
  for (int p = 0; p < kWindowPlaces; ++p) {
    const uint8_t required = rule.precondition.mask[p];
    if (required == 0) continue;
    const auto slot = static_cast<std::size_t>(p - kFirstBytePlace);
    if (!known_mask || (p >= kFirstBytePlace && slot >= slots.count)) return false;
    const int place = p < kFirstBytePlace ? p : slots.places[slot];
    if ((known_mask[place] & required) != required ||
        ((known_value[place] ^ rule.precondition.value[p]) & required) != 0) {
      return false;
    }
  }
  return true;
}

// The rule's replacement over the bytes its slots were bound to, and their places.
std::vector<Instruction> bound_replacement(const RewriteRule& rule, const Binding& slots,
                                           std::vector<int>& places) {
  std::vector<Instruction> out;
  places.clear();
  for (const SlotInstruction& s : rule.replacement) {
    Instruction in;
    in.op = s.op;
    const OperandKind kind = operand_kind(s.op);
    in.to_w = kind == OperandKind::kFileDest && s.to_w;
    int place = -1;
    if (has_file(s.op)) {
      in.file = slots.bytes[s.slot].file;
      in.byte = slots.bytes[s.slot].byte;
      place = slots.places[s.slot];
    }
    if (kind == OperandKind::kLiteral) in.value = static_cast<int8_t>(s.value);
    if (kind == OperandKind::kFileBit) in.value = s.value;
    out.push_back(in);
    places.push_back(place);
  }
  return out;
}

// What is known before each line (known_bits.h's known_before over lines and their places),
// only the routine's own places kept: masks and values of line i at i * places.
class KnownAlong {
 public:
  KnownAlong(const std::vector<Line>& lines, std::size_t places, const Known& at_start)
      : places_(places), mask_((lines.size() + 1) * places), value_((lines.size() + 1) * places) {
    const std::size_t n = lines.size();
    std::vector<bool> reached(n + 1, false);
    std::copy(at_start.mask.begin(), at_start.mask.begin() + places, mask_.begin());
    std::copy(at_start.value.begin(), at_start.value.begin() + places, value_.begin());
    reached[0] = true;
    std::vector<uint8_t> mask(places);
    std::vector<uint8_t> value(places);
    for (std::size_t i = 0; i < n; ++i) {
      std::copy(mask_.begin() + i * places, mask_.begin() + (i + 1) * places, mask.begin());
      std::copy(value_.begin() + i * places, value_.begin() + (i + 1) * places, value.begin());
      const Instruction& in = lines[i].in;
      known_through(in.op, in.to_w, static_cast<uint8_t>(in.value), lines[i].place, mask.data(),
                    value.data());
      // The next line runs after this one; after a skip, the one after it may run next too.
      into(i + 1, mask, value, reached);
      if (is_skip(in.op)) into(std::min(n, i + 2), mask, value, reached);
    }
  }

  const uint8_t* mask(std::size_t line) const { return &mask_[line * places_]; }
  const uint8_t* value(std::size_t line) const { return &value_[line * places_]; }

 private:
  void into(std::size_t line, const std::vector<uint8_t>& mask, const std::vector<uint8_t>& value,
            std::vector<bool>& reached) {
    uint8_t* m = &mask_[line * places_];
    uint8_t* v = &value_[line * places_];
    if (!reached[line]) {
      std::copy(mask.begin(), mask.end(), m);
      std::copy(value.begin(), value.end(), v);
      reached[line] = true;
      return;
    }
    // Two ways in: only what both agree on.
    for (std::size_t p = 0; p < places_; ++p) {
      m[p] = static_cast<uint8_t>(m[p] & mask[p] & ~(v[p] ^ value[p]));
      v[p] &= m[p];
    }
  }

  std::size_t places_;
  std::vector<uint8_t> mask_;
  std::vector<uint8_t> value_;
};

// The rule's precondition as pins on the routine's places its slots were bound to.
LinePins precondition_pins(const RewriteRule& rule, const Binding& slots) {
  LinePins pins;
  for (int p = 0; p < kWindowPlaces; ++p) {
    const uint8_t bits = rule.precondition.mask[p];
    if (bits == 0) continue;
    const int place = p < kFirstBytePlace ? p : slots.places[p - kFirstBytePlace];
    pins.push_back({static_cast<uint8_t>(place), bits});
  }
  return pins;
}

// One backward sweep over the routine's lines; whether a rule fired (what an unread line frees
// is seen in the same sweep, as the lines before it come after it).
bool sweep_once(std::vector<Line>& lines, std::size_t place_count, Core core, const Known* at_start,
                Demand& at_end, const RuleIndex& index, std::span<const RewriteRule> rules,
                std::vector<long>* fired) {
  // Going backward leaves the lines before the current one as they were: what is known before
  // each, worked out first, stays true.
  const std::optional<KnownAlong> known =
      at_start ? std::optional<KnownAlong>(std::in_place, lines, place_count, *at_start)
               : std::nullopt;
  Sweep sweep(at_end, place_count, lines.size());
  Binding slots;
  std::vector<int> replacement_places;
  bool fired_any = false;
  for (std::size_t i = lines.size(); i-- > 0;) {
    const Instruction& in = lines[i].in;
    // A line right after a skip stays as it is: the skip passes over exactly it.
    const bool after_skip = i > 0 && is_skip(lines[i - 1].in.op);
    if (!after_skip && unread(in, lines[i].place, sweep.read_after(0))) {
      // What it was pinned to know holds where the next line starts now.
      sweep.pin_front(lines[i].pins);
      continue;
    }
    sweep.push(lines[i]);
    if (after_skip) continue;
    // The next lines, as the index looks them up.
    std::array<SlotInstruction, RuleIndex::kKeyLength> next{};
    const std::size_t ahead = std::min(RuleIndex::kKeyLength, sweep.size());
    for (std::size_t k = 0; k < ahead; ++k) {
      const Instruction& line = sweep.front(k).in;
      next[k] = {line.op, 0, line.to_w, static_cast<uint8_t>(line.value)};
    }
    index.match(std::span(next.data(), ahead), [&](std::size_t r) {
      const RewriteRule& rule = rules[r];
      if (!matches(rule, sweep, known ? known->mask(i) : nullptr, known ? known->value(i) : nullptr,
                   slots)) {
        return false;
      }
      const std::vector<Instruction> replacement =
          bound_replacement(rule, slots, replacement_places);
      if (!std::all_of(replacement.begin(), replacement.end(),
                       [&](const Instruction& r_in) { return runnable(r_in.op, core); })) {
        return false;
      }
      LinePins pins = sweep.pop(rule.pattern.size());
      const LinePins required = precondition_pins(rule, slots);
      pins.insert(pins.end(), required.begin(), required.end());
      for (std::size_t k = replacement.size(); k-- > 0;) {
        sweep.push({replacement[k], replacement_places[k], k == 0 ? pins : LinePins{}});
      }
      if (replacement.empty()) sweep.pin_front(pins);
      if (fired) ++(*fired)[r];
      fired_any = true;
      return true;
    });
  }
  sweep.take(lines);
  return fired_any;
}

}  // namespace

void apply_rules(Rewriting& routine, const RoutineBytes& bytes, Core core, const Known& at_start,
                 std::span<const RewriteRule> rules, std::vector<long>* fired, int max_sweeps) {
  assert(!fired || fired->size() == rules.size());
  const RuleIndex index(rules);
  std::vector<Instruction>& ins = routine.code.instructions();
  std::vector<Line> lines;
  lines.reserve(ins.size());
  for (std::size_t i = 0; i < ins.size(); ++i) {
    const int number = bytes.number_of(ins[i]);
    lines.push_back({ins[i], number < 0 ? -1 : kFirstBytePlace + number, routine.pins[i]});
  }
  const std::size_t place_count = kFirstBytePlace + bytes.bytes().size();
  // The forward analysis costs a step per line: only when some rule needs it.
  const bool needs_known = std::any_of(rules.begin(), rules.end(), [](const RewriteRule& rule) {
    return std::any_of(rule.precondition.mask.begin(), rule.precondition.mask.end(),
                       [](uint8_t m) { return m != 0; });
  });
  const Known* known = needs_known ? &at_start : nullptr;
  // A rule that fires can make one match again further on: sweeps repeat, up to a bound on what
  // a request may spend.
  for (int sweep = 0; sweep < max_sweeps && sweep_once(lines, place_count, core, known,
                                                       routine.at_end, index, rules, fired);
       ++sweep) {
  }
  ins.clear();
  routine.pins.clear();
  for (Line& line : lines) {
    ins.push_back(line.in);
    routine.pins.push_back(std::move(line.pins));
  }
}

}  // namespace tarvek

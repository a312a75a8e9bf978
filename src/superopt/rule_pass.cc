#include "superopt/rule_pass.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "superopt/window_machine.h"

namespace tarvek {
namespace {

bool has_file(Op op) {
  const OperandKind kind = operand_kind(op);
  return kind == OperandKind::kFileDest || kind == OperandKind::kFile ||
         kind == OperandKind::kFileBit;
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

// Whether the rule's pattern is the first lines of the sweep, its slots bound to distinct
// bytes, with nothing read after it beyond what it allows; the slots' bytes go to `slots`.
bool matches(const RewriteRule& rule, const Sweep& sweep, const Known* known,
             std::vector<Instruction>& slots, std::vector<int>& slot_places) {
  const std::size_t length = rule.pattern.size();
  if (length > sweep.size()) return false;
  slots.clear();
  slot_places.clear();
  for (std::size_t k = 0; k < length; ++k) {
    const Instruction& in = sweep.front(k).in;
    const SlotInstruction& p = rule.pattern[k];
    if (in.op != p.op || in.to_w != p.to_w || static_cast<uint8_t>(in.value) != p.value) {
      return false;
    }
    if (!has_file(p.op)) continue;
    if (p.slot == slots.size()) {
      for (const Instruction& bound : slots) {
        if (bound.same_file_byte(in)) return false;
      }
      slots.push_back(in);
      slot_places.push_back(sweep.front(k).place);
    } else if (p.slot > slots.size() || !slots[p.slot].same_file_byte(in)) {
      return false;
    }
  }
  const uint8_t* after = sweep.read_after(length);
  for (int flag = 0; flag < kFirstBytePlace; ++flag) {
    if ((after[flag] & ~rule.may_read[flag]) != 0) return false;
  }
  for (std::size_t slot = 0; slot < slots.size(); ++slot) {
    if ((after[slot_places[slot]] & ~rule.may_read[kFirstBytePlace + slot]) != 0) return false;
  }
  // What the rule requires known where it starts.
  for (int p = 0; p < kWindowPlaces; ++p) {
    const uint8_t required = rule.precondition.mask[p];
    if (required == 0) continue;
    const auto slot = static_cast<std::size_t>(p - kFirstBytePlace);
    if (!known || (p >= kFirstBytePlace && slot >= slots.size())) return false;
    const int place = p < kFirstBytePlace ? p : slot_places[slot];
    if ((known->mask[place] & required) != required ||
        ((known->value[place] ^ rule.precondition.value[p]) & required) != 0) {
      return false;
    }
  }
  return true;
}

// The rule's replacement over the bytes its slots were bound to, and their places.
std::vector<Instruction> bound_replacement(const RewriteRule& rule,
                                           const std::vector<Instruction>& slots,
                                           const std::vector<int>& slot_places,
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
      in.file = slots[s.slot].file;
      in.byte = slots[s.slot].byte;
      place = slot_places[s.slot];
    }
    if (kind == OperandKind::kLiteral) in.value = static_cast<int8_t>(s.value);
    if (kind == OperandKind::kFileBit) in.value = s.value;
    out.push_back(in);
    places.push_back(place);
  }
  return out;
}

// What is known before each line (known_bits.h's known_before over lines and their places).
std::vector<Known> known_along(const std::vector<Line>& lines, std::size_t place_count,
                               const Known& at_start) {
  const std::size_t n = lines.size();
  std::vector<Known> before(n + 1);
  std::vector<bool> reached(n + 1, false);
  before[0] = at_start;
  reached[0] = true;
  for (std::size_t i = 0; i < n; ++i) {
    Known after = before[i];
    const Instruction& in = lines[i].in;
    known_through(in.op, in.to_w, static_cast<uint8_t>(in.value), lines[i].place, after.mask.data(),
                  after.value.data());
    const std::size_t targets[2] = {i + 1, is_skip(in.op) ? std::min(n, i + 2) : i + 1};
    for (const std::size_t next : targets) {
      if (reached[next]) {
        join_known(before[next], after, static_cast<int>(place_count));
      } else {
        before[next] = after;
        reached[next] = true;
      }
    }
  }
  return before;
}

// The rule's precondition as pins on the routine's places its slots were bound to.
LinePins precondition_pins(const RewriteRule& rule, const std::vector<int>& slot_places) {
  LinePins pins;
  for (int p = 0; p < kWindowPlaces; ++p) {
    const uint8_t bits = rule.precondition.mask[p];
    if (bits == 0) continue;
    const int place = p < kFirstBytePlace ? p : slot_places[p - kFirstBytePlace];
    pins.push_back({static_cast<uint8_t>(place), bits});
  }
  return pins;
}

// One backward sweep over the routine's lines; whether a rule fired (what an unread line frees
// is seen in the same sweep, as the lines before it come after it).
bool sweep_once(std::vector<Line>& lines, std::size_t place_count, Core core, const Known* at_start,
                Demand& at_end, const std::vector<std::vector<std::size_t>>& by_op,
                const std::vector<RewriteRule>& rules, std::vector<long>* fired) {
  // Going backward leaves the lines before the current one as they were: what is known before
  // each, worked out first, stays true.
  const std::vector<Known> known =
      at_start ? known_along(lines, place_count, *at_start) : std::vector<Known>{};
  Sweep sweep(at_end, place_count, lines.size());
  std::vector<Instruction> slots;
  std::vector<int> slot_places;
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
    for (const std::size_t r : by_op[static_cast<std::size_t>(in.op)]) {
      const RewriteRule& rule = rules[r];
      if (!matches(rule, sweep, known.empty() ? nullptr : &known[i], slots, slot_places)) continue;
      const std::vector<Instruction> replacement =
          bound_replacement(rule, slots, slot_places, replacement_places);
      if (!std::all_of(replacement.begin(), replacement.end(),
                       [&](const Instruction& r_in) { return runnable(r_in.op, core); })) {
        continue;
      }
      LinePins pins = sweep.pop(rule.pattern.size());
      const LinePins required = precondition_pins(rule, slot_places);
      pins.insert(pins.end(), required.begin(), required.end());
      for (std::size_t k = replacement.size(); k-- > 0;) {
        sweep.push({replacement[k], replacement_places[k], k == 0 ? pins : LinePins{}});
      }
      if (replacement.empty()) sweep.pin_front(pins);
      if (fired) ++(*fired)[r];
      fired_any = true;
      break;
    }
  }
  sweep.take(lines);
  return fired_any;
}

}  // namespace

void apply_rules(Rewriting& routine, const RoutineBytes& bytes, Core core, const Known& at_start,
                 const std::vector<RewriteRule>& rules, std::vector<long>* fired) {
  assert(!fired || fired->size() == rules.size());
  std::vector<std::vector<std::size_t>> by_op(static_cast<std::size_t>(Op::kSkpnz) + 1);
  for (std::size_t r = 0; r < rules.size(); ++r) {
    // Every change shortens the routine, so the sweeps end.
    if (!rules[r].pattern.empty() && rules[r].replacement.size() < rules[r].pattern.size()) {
      by_op[static_cast<std::size_t>(rules[r].pattern.front().op)].push_back(r);
    }
  }
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
  while (sweep_once(lines, place_count, core, known, routine.at_end, by_op, rules, fired)) {
  }
  ins.clear();
  routine.pins.clear();
  for (Line& line : lines) {
    ins.push_back(line.in);
    routine.pins.push_back(std::move(line.pins));
  }
}

}  // namespace tarvek

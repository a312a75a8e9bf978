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

// One line of the routine as the sweep keeps it: the instruction and its file operand's place
// (-1 without one).
struct Line {
  Instruction in;
  int place = -1;
};

// The routine being rebuilt from its end, with what is read before each of its lines: only the
// routine's own places are kept, `places` of them a line, since copying them is most of what a
// sweep costs.
class Sweep {
 public:
  // Requires: no more than `lines` lines are ever held at once.
  Sweep(const Demand& at_end, std::size_t places, std::size_t lines)
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

  // Puts `in`, whose file operand is at `place`, in front of the routine built so far.
  void push(const Instruction& in, int place) {
    uint8_t* before = &before_[stack_.size() * places_];
    std::memcpy(before, read_after(0), places_);
    if (is_skip(in.op)) {
      const uint8_t* passed = read_after(1);
      for (std::size_t p = 0; p < places_; ++p) before[p] |= passed[p];
    }
    demand_through(in.op, in.to_w, static_cast<uint8_t>(in.value), place, before);
    stack_.push_back({in, place});
  }

  void pop(std::size_t count) { stack_.resize(stack_.size() - count); }

  // The lines in routine order.
  void take(std::vector<Instruction>& ins, std::vector<int>& places) const {
    ins.clear();
    places.clear();
    for (std::size_t k = stack_.size(); k-- > 0;) {
      ins.push_back(stack_[k].in);
      places.push_back(stack_[k].place);
    }
  }

 private:
  const Demand& at_end_;
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
bool matches(const RewriteRule& rule, const Sweep& sweep, std::vector<Instruction>& slots,
             std::vector<int>& slot_places) {
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

// One backward sweep over the routine's lines and their places; whether a rule fired (what an
// unread line frees is seen in the same sweep, as the lines before it come after it).
bool sweep_once(std::vector<Instruction>& ins, std::vector<int>& places, std::size_t place_count,
                Core core, const Demand& at_end, const std::vector<std::vector<std::size_t>>& by_op,
                const std::vector<RewriteRule>& rules, std::vector<long>* fired) {
  Sweep sweep(at_end, place_count, ins.size());
  std::vector<Instruction> slots;
  std::vector<int> slot_places;
  std::vector<int> replacement_places;
  bool fired_any = false;
  for (std::size_t i = ins.size(); i-- > 0;) {
    // A line right after a skip stays as it is: the skip passes over exactly it.
    const bool after_skip = i > 0 && is_skip(ins[i - 1].op);
    if (!after_skip && unread(ins[i], places[i], sweep.read_after(0))) continue;
    sweep.push(ins[i], places[i]);
    if (after_skip) continue;
    for (const std::size_t r : by_op[static_cast<std::size_t>(ins[i].op)]) {
      const RewriteRule& rule = rules[r];
      if (!matches(rule, sweep, slots, slot_places)) continue;
      const std::vector<Instruction> replacement =
          bound_replacement(rule, slots, slot_places, replacement_places);
      if (!std::all_of(replacement.begin(), replacement.end(),
                       [&](const Instruction& in) { return runnable(in.op, core); })) {
        continue;
      }
      sweep.pop(rule.pattern.size());
      for (std::size_t k = replacement.size(); k-- > 0;) {
        sweep.push(replacement[k], replacement_places[k]);
      }
      if (fired) ++(*fired)[r];
      fired_any = true;
      break;
    }
  }
  sweep.take(ins, places);
  return fired_any;
}

}  // namespace

Code apply_rules(const Code& code, const RoutineBytes& bytes, Core core, const Demand& at_end,
                 const std::vector<RewriteRule>& rules, std::vector<long>* fired) {
  assert(!fired || fired->size() == rules.size());
  std::vector<std::vector<std::size_t>> by_op(static_cast<std::size_t>(Op::kSkpnz) + 1);
  for (std::size_t r = 0; r < rules.size(); ++r) {
    // Every change shortens the routine, so the sweeps end.
    if (!rules[r].pattern.empty() && rules[r].replacement.size() < rules[r].pattern.size()) {
      by_op[static_cast<std::size_t>(rules[r].pattern.front().op)].push_back(r);
    }
  }
  std::vector<Instruction> ins = code.instructions();
  std::vector<int> places;
  places.reserve(ins.size());
  for (const Instruction& in : ins) {
    const int number = bytes.number_of(in);
    places.push_back(number < 0 ? -1 : kFirstBytePlace + number);
  }
  const std::size_t place_count = kFirstBytePlace + bytes.bytes().size();
  while (sweep_once(ins, places, place_count, core, at_end, by_op, rules, fired)) {
  }
  Code out = code;
  out.instructions() = std::move(ins);
  return out;
}

}  // namespace tarvek

#include "superopt/superoptimizer.h"

#include <algorithm>
#include <cassert>
#include <optional>
#include <string>

#include "superopt/rule_pass.h"

namespace tarvek {
namespace {

// A routine while the window search works on it: its lines and their pins, what is read after
// each and what is known before each, kept up to date as stretches are replaced.
class Routine {
 public:
  Routine(Rewriting& routine, const RoutineBytes& bytes, const Known& at_start)
      : routine_(routine), bytes_(bytes), at_start_(at_start) {
    analyse();
  }

  const Code& code() const { return routine_.code; }
  std::size_t size() const { return routine_.code.size(); }
  const std::vector<Demand>& demand() const { return demand_; }
  const std::vector<Known>& known() const { return known_; }

  // Puts `replacement` in place of the window's instructions. What the proof took as known at
  // the window's start is pinned there, with what the replaced lines' own pins read there.
  void replace(const Window& window, std::span<const SlotInstruction> replacement) {
    const std::vector<Instruction> instructions = routine_instructions(window, replacement);
    std::vector<Instruction>& ins = routine_.code.instructions();
    const auto start = static_cast<std::ptrdiff_t>(window.start);
    const auto end = static_cast<std::ptrdiff_t>(window.end);
    LinePins pins = carried_pins(window);
    const WindowDemand relied = relied_on(window, replacement);
    for (int p = 0; p < kWindowPlaces; ++p) {
      if (relied[p] == 0) continue;
      const int place = p < kFirstBytePlace
                            ? p
                            : kFirstBytePlace + bytes_.number_of(window.slots[p - kFirstBytePlace]);
      pins.push_back({static_cast<uint8_t>(place), relied[p]});
    }
    ins.erase(ins.begin() + start, ins.begin() + end);
    ins.insert(ins.begin() + start, instructions.begin(), instructions.end());
    std::vector<LinePins>& all = routine_.pins;
    all.erase(all.begin() + start, all.begin() + end);
    all.insert(all.begin() + start, instructions.size(), LinePins{});
    // With nothing in its place, the pins go to the line after it, or to the end.
    if (window.start < all.size()) {
      LinePins& held = all[window.start];
      held.insert(held.end(), pins.begin(), pins.end());
    } else {
      add_pins(pins, routine_.at_end.data());
    }
    analyse();
  }

 private:
  void analyse() {
    demand_ = demand_after(routine_.code, bytes_, routine_.at_end, &routine_.pins);
    known_ = known_before(routine_.code, bytes_, at_start_);
  }

  // The replaced lines' pins, carried back to the window's start.
  LinePins carried_pins(const Window& window) const {
    const std::vector<Instruction>& ins = routine_.code.instructions();
    std::vector<int> places;
    for (std::size_t i = window.start; i < window.end; ++i) {
      const int number = bytes_.number_of(ins[i]);
      places.push_back(number < 0 ? -1 : kFirstBytePlace + number);
    }
    const std::size_t count = window.end - window.start;
    return pins_at_start(std::span(ins).subspan(window.start, count), places,
                         std::span(routine_.pins).subspan(window.start, count));
  }

  // The known bits the proof fixed rather than ranged over: those either stretch reads.
  static WindowDemand relied_on(const Window& window,
                                std::span<const SlotInstruction> replacement) {
    WindowDemand reads = demand_before(window.code, window.read_after);
    const WindowDemand other = demand_before(replacement, window.read_after);
    for (int p = 0; p < kWindowPlaces; ++p) {
      reads[p] = static_cast<uint8_t>((reads[p] | other[p]) & window.known_before.mask[p]);
    }
    return reads;
  }

  Rewriting& routine_;
  const RoutineBytes& bytes_;
  const Known& at_start_;
  std::vector<Demand> demand_;
  std::vector<Known> known_;
};

// The memo's key of a window: its instructions over slots and what is read after it.
std::string key_of(const Window& window) {
  std::string key(window.read_after.begin(), window.read_after.end());
  key.append(window.known_before.mask.begin(), window.known_before.mask.end());
  key.append(window.known_before.value.begin(), window.known_before.value.end());
  for (const SlotInstruction& in : window.code) {
    key.push_back(static_cast<char>(in.op));
    key.push_back(static_cast<char>(in.slot));
    key.push_back(in.to_w ? 1 : 0);
    key.push_back(static_cast<char>(in.value));
  }
  return key;
}

// Searches every window up to the effort's length, longest first at each start, and puts the
// first shorter stretch found in place; whether any was.
bool search_windows(Routine& routine, const RoutineBytes& bytes, const SuperoptEffort& effort,
                    Core core, WindowMemo& memo, std::vector<FoundReplacement>* found) {
  bool any = false;
  const auto reach = static_cast<std::size_t>(effort.longest_window);
  std::size_t at = 0;
  while (at < routine.size()) {
    bool replaced = false;
    const std::size_t longest = std::min(reach, routine.size() - at);
    for (std::size_t length = longest; length >= 2 && !replaced; --length) {
      const std::optional<Window> window =
          make_window(routine.code(), bytes, routine.demand(), at, at + length, &routine.known());
      if (!window) continue;
      const std::optional<std::vector<SlotInstruction>>& answer =
          memo.find(*window, core, effort.search);
      if (!answer) continue;
      if (found) found->push_back({*window, *answer});
      routine.replace(*window, *answer);
      replaced = any = true;
    }
    // A replacement can free what a stretch just before it keeps: look there again.
    at = replaced ? at - std::min(at, reach) : at + 1;
  }
  return any;
}

}  // namespace

SuperoptEffort superopt_effort(int level) {
  assert(level >= 1 && level <= 9);
  SuperoptEffort effort;
  if (level <= 5) return effort;
  effort.longest_routine = effort.longest_searched_routine;
  effort.rule_sweeps = 1000;
  constexpr int kWindow[] = {4, 5, 6, 7};
  constexpr int kEnumerated[] = {1, 2, 2, 3};
  constexpr int kBits[] = {20, 20, 20, 22};
  constexpr long kStretches[] = {100'000, 100'000, 200'000, 400'000};
  effort.longest_window = kWindow[level - 6];
  effort.search.enumerated_length = kEnumerated[level - 6];
  effort.search.most_input_bits = kBits[level - 6];
  effort.search.most_stretches = kStretches[level - 6];
  return effort;
}

const std::optional<std::vector<SlotInstruction>>& WindowMemo::find(
    const Window& window, Core core, const WindowSearchLimits& limits) {
  // The core and the limits are part of the answer.
  std::string key = key_of(window);
  key.push_back(static_cast<char>(core));
  key.push_back(static_cast<char>(limits.enumerated_length));
  key.push_back(static_cast<char>(limits.most_input_bits));
  key.append(std::to_string(limits.most_stretches));
  auto known = answers_.find(key);
  if (known == answers_.end()) {
    known = answers_.emplace(key, find_shorter(window, core, limits)).first;
  }
  return known->second;
}

Code superoptimize(const Code& code, const RoutineContract& contract,
                   const SuperoptEffort& effort) {
  return superoptimize_traced(code, contract, effort, learned_rules(), {});
}

Code superoptimize_with(const Code& code, const RoutineContract& contract,
                        const SuperoptEffort& effort, std::span<const RewriteRule> rules) {
  return superoptimize_traced(code, contract, effort, rules, {});
}

Code superoptimize_traced(const Code& code, const RoutineContract& contract,
                          const SuperoptEffort& effort, std::span<const RewriteRule> rules,
                          const SuperoptTrace& trace) {
  if (code.size() > static_cast<std::size_t>(effort.longest_routine)) return code;
  const RoutineBytes bytes(code);
  if (!modelled(code, bytes, contract.core)) return code;
  Known at_start;
  for (const auto& [byte, zeros] : contract.zero_at_start) {
    const int number = bytes.number_of(byte);
    if (number >= 0) at_start.mask[kFirstBytePlace + number] = zeros;
  }
  Rewriting routine{code, std::vector<LinePins>(code.size()),
                    output_demand(bytes, contract.outputs)};
  std::vector<long> unused(rules.size());
  std::vector<long>* counts = trace.fired ? trace.fired : &unused;
  const auto rule_pass = [&] {
    if (effort.rule_pass) {
      apply_rules(routine, bytes, contract.core, at_start, rules, counts, effort.rule_sweeps);
    }
  };
  rule_pass();
  const bool search =
      effort.longest_window >= 2 &&
      routine.code.size() <= static_cast<std::size_t>(effort.longest_searched_routine);
  if (!search) return routine.code;
  WindowMemo own_memo;
  WindowMemo& memo = trace.memo ? *trace.memo : own_memo;
  while (true) {
    Routine searching(routine, bytes, at_start);
    if (!search_windows(searching, bytes, effort, contract.core, memo, trace.found)) break;
    const std::size_t searched = routine.code.size();
    rule_pass();
    if (routine.code.size() == searched) break;
  }
  return routine.code;
}

}  // namespace tarvek

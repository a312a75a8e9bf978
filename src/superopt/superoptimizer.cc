#include "superopt/superoptimizer.h"

#include <algorithm>
#include <cassert>
#include <optional>
#include <string>

#include "superopt/rule_pass.h"

namespace tarvek {
namespace {

// A routine while the window search works on it: its instructions and what is read after each,
// kept up to date as stretches are replaced.
class Routine {
 public:
  Routine(const Code& code, const RoutineBytes& bytes, const Demand& at_end)
      : code_(code), bytes_(bytes), at_end_(at_end) {
    demand_ = demand_after(code_, bytes_, at_end_);
  }

  const Code& code() const { return code_; }
  std::size_t size() const { return code_.size(); }
  const std::vector<Demand>& demand() const { return demand_; }

  // Puts `replacement` in place of the window's instructions.
  void replace(const Window& window, std::span<const SlotInstruction> replacement) {
    const std::vector<Instruction> instructions = routine_instructions(window, replacement);
    std::vector<Instruction>& ins = code_.instructions();
    const auto first = ins.begin() + static_cast<std::ptrdiff_t>(window.start);
    ins.erase(first, ins.begin() + static_cast<std::ptrdiff_t>(window.end));
    ins.insert(ins.begin() + static_cast<std::ptrdiff_t>(window.start), instructions.begin(),
               instructions.end());
    demand_ = demand_after(code_, bytes_, at_end_);
  }

 private:
  Code code_;
  const RoutineBytes& bytes_;
  const Demand& at_end_;
  std::vector<Demand> demand_;
};

// The memo's key of a window: its instructions over slots and what is read after it.
std::string key_of(const Window& window) {
  std::string key(window.read_after.begin(), window.read_after.end());
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
          make_window(routine.code(), bytes, routine.demand(), at, at + length);
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
  constexpr int kWindow[] = {4, 5, 6, 7};
  constexpr int kEnumerated[] = {1, 2, 2, 3};
  constexpr int kBits[] = {20, 20, 24, 24};
  effort.longest_window = kWindow[level - 6];
  effort.search.enumerated_length = kEnumerated[level - 6];
  effort.search.most_input_bits = kBits[level - 6];
  return effort;
}

const std::optional<std::vector<SlotInstruction>>& WindowMemo::find(
    const Window& window, Core core, const WindowSearchLimits& limits) {
  // The core and the limits are part of the answer.
  std::string key = key_of(window);
  key.push_back(static_cast<char>(core));
  key.push_back(static_cast<char>(limits.enumerated_length));
  key.push_back(static_cast<char>(limits.most_input_bits));
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
                        const SuperoptEffort& effort, const std::vector<RewriteRule>& rules) {
  return superoptimize_traced(code, contract, effort, rules, {});
}

Code superoptimize_traced(const Code& code, const RoutineContract& contract,
                          const SuperoptEffort& effort, const std::vector<RewriteRule>& rules,
                          const SuperoptTrace& trace) {
  if (code.size() > static_cast<std::size_t>(effort.longest_routine)) return code;
  const RoutineBytes bytes(code);
  if (!modelled(code, bytes, contract.core)) return code;
  const Demand at_end = output_demand(bytes, contract.outputs);
  std::vector<long> unused(rules.size());
  std::vector<long>* counts = trace.fired ? trace.fired : &unused;
  const auto rule_pass = [&](const Code& in) {
    return effort.rule_pass ? apply_rules(in, bytes, contract.core, at_end, rules, counts) : in;
  };
  Code out = rule_pass(code);
  const bool search = effort.longest_window >= 2 &&
                      out.size() <= static_cast<std::size_t>(effort.longest_searched_routine);
  if (!search) return out;
  WindowMemo own_memo;
  WindowMemo& memo = trace.memo ? *trace.memo : own_memo;
  while (true) {
    Routine routine(out, bytes, at_end);
    if (!search_windows(routine, bytes, effort, contract.core, memo, trace.found)) break;
    const Code searched = routine.code();
    out = rule_pass(searched);
    if (out.size() == searched.size()) break;
  }
  return out;
}

}  // namespace tarvek

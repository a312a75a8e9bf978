#include "superopt/rewrite_rule.h"

#include <algorithm>
#include <cstdio>

namespace tarvek {
namespace {

int slot_count(std::span<const SlotInstruction> code) {
  int count = 0;
  for (const SlotInstruction& in : code) {
    const OperandKind kind = operand_kind(in.op);
    if (kind == OperandKind::kFileDest || kind == OperandKind::kFile ||
        kind == OperandKind::kFileBit) {
      count = std::max(count, in.slot + 1);
    }
  }
  return count;
}

std::string text_of(std::span<const SlotInstruction> code) {
  std::string out;
  for (const SlotInstruction& in : code) {
    if (!out.empty()) out += "; ";
    out += mnemonic(in.op);
    char operand[16] = "";
    switch (operand_kind(in.op)) {
      case OperandKind::kFileDest:
        std::snprintf(operand, sizeof operand, " %d,%c", in.slot, in.to_w ? 'w' : 'f');
        break;
      case OperandKind::kFile:
        std::snprintf(operand, sizeof operand, " %d", in.slot);
        break;
      case OperandKind::kFileBit:
        std::snprintf(operand, sizeof operand, " %d,%d", in.slot, in.value);
        break;
      case OperandKind::kLiteral:
        std::snprintf(operand, sizeof operand, " 0x%02X", in.value);
        break;
      case OperandKind::kNone:
      case OperandKind::kLabel:  // Rules hold straight-line code only.
        break;
    }
    out += operand;
  }
  return out.empty() ? "(nothing)" : out;
}

}  // namespace

WindowDemand touched_places(std::span<const SlotInstruction> code) {
  WindowDemand set{};
  for (const SlotInstruction& in : code) {
    const Effects e = effects_of(in.op, in.to_w);
    const uint8_t places = e.reads | e.writes;
    for (int flag = 0; flag < kFirstBytePlace; ++flag) {
      if ((places >> flag) & 1) set[flag] = 0xFF;
    }
    if ((places & kPlaceFile) != 0) set[kFirstBytePlace + in.slot] = 0xFF;
  }
  return set;
}

std::string describe(const RewriteRule& rule) {
  std::string unread;
  const char* const flags[] = {"W", "C", "DC", "Z"};
  for (int place = 0; place < kWindowPlaces; ++place) {
    const auto bits = static_cast<uint8_t>(~rule.may_read[place]);
    if (bits == 0) continue;
    unread += ' ';
    unread += place < kFirstBytePlace ? flags[place] : std::to_string(place - kFirstBytePlace);
    if (bits != 0xFF) {
      char mask[8];
      std::snprintf(mask, sizeof mask, ":%02X", bits);
      unread += mask;
    }
  }
  std::string known;
  for (int place = 0; place < kWindowPlaces; ++place) {
    const uint8_t mask = rule.precondition.mask[place];
    if (mask == 0) continue;
    known += ' ';
    known += place < kFirstBytePlace ? flags[place] : std::to_string(place - kFirstBytePlace);
    char bits[16];
    std::snprintf(bits, sizeof bits, "&%02X=%02X", mask, rule.precondition.value[place]);
    known += bits;
  }
  return text_of(rule.pattern) + " => " + text_of(rule.replacement) + " | unread" +
         (unread.empty() ? " -" : unread) + (known.empty() ? "" : " | known" + known);
}

std::optional<WindowDemand> widest_reads(std::span<const SlotInstruction> pattern,
                                         std::span<const SlotInstruction> replacement,
                                         int most_input_bits, const WindowKnown& precondition) {
  if (slot_count(replacement) > slot_count(pattern)) return std::nullopt;
  const WindowDemand in_pattern = touched_places(pattern);
  const WindowDemand in_replacement = touched_places(replacement);
  WindowDemand reads{};
  for (int place = 0; place < kWindowPlaces; ++place) {
    // Places neither touches keep their value in both.
    if (in_pattern[place] == 0 && in_replacement[place] == 0) {
      reads[place] = 0xFF;
      continue;
    }
    const int bits = place >= 1 && place < kFirstBytePlace ? 1 : 8;
    for (int b = 0; b < bits; ++b) {
      WindowDemand one{};
      one[place] = static_cast<uint8_t>(1u << b);
      switch (prove_same(pattern, replacement, one, most_input_bits, precondition)) {
        case Equivalence::kSame:
          // A flag is one bit: proven, it may be read whole.
          reads[place] |= bits == 1 ? 0xFF : one[place];
          break;
        case Equivalence::kDiffers:
        case Equivalence::kTooWide:
          // Not proven: the bit must not be read after the rule.
          break;
      }
    }
  }
  return reads;
}

bool prove_rule(const RewriteRule& rule, int most_input_bits) {
  if (slot_count(rule.replacement) > slot_count(rule.pattern)) return false;
  for (int place = 0; place < kWindowPlaces; ++place) {
    const int bits = place >= 1 && place < kFirstBytePlace ? 1 : 8;
    for (int b = 0; b < bits; ++b) {
      WindowDemand one{};
      one[place] = static_cast<uint8_t>(rule.may_read[place] & (1u << b));
      if (one[place] == 0) continue;
      if (prove_same(rule.pattern, rule.replacement, one, most_input_bits, rule.precondition) !=
          Equivalence::kSame) {
        return false;
      }
    }
  }
  return true;
}

std::optional<Window> match_rule(const RewriteRule& rule, const Code& code,
                                 const RoutineBytes& bytes, const std::vector<Demand>& demand,
                                 std::size_t at, const std::vector<Known>* known) {
  const std::vector<Instruction>& ins = code.instructions();
  const std::size_t length = rule.pattern.size();
  if (length == 0 || at + length > ins.size()) return std::nullopt;
  // The operations first: most rules fail here, before any window is made.
  for (std::size_t k = 0; k < length; ++k) {
    const Instruction& in = ins[at + k];
    const SlotInstruction& p = rule.pattern[k];
    if (in.op != p.op || in.to_w != p.to_w || static_cast<uint8_t>(in.value) != p.value) {
      return std::nullopt;
    }
  }
  std::optional<Window> window = make_window(code, bytes, demand, at, at + length, known);
  if (!window || !(RuleCode(window->code) == rule.pattern)) return std::nullopt;
  if (!knows_all(window->known_before, rule.precondition)) return std::nullopt;
  for (int place = 0; place < kWindowPlaces; ++place) {
    if ((window->read_after[place] & ~rule.may_read[place]) != 0) return std::nullopt;
  }
  return window;
}

}  // namespace tarvek

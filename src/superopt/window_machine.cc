#include "superopt/window_machine.h"

#include <cassert>

namespace tarvek {
namespace {

uint8_t swap_nibbles(uint8_t v) {
  return static_cast<uint8_t>((v << 4) | (v >> 4));
}

// The sum f + w + carry_in with the flags addwf (and addwfc) leaves.
uint8_t add(WindowState& s, uint8_t f, uint8_t w, unsigned carry_in) {
  const unsigned sum = unsigned{f} + w + carry_in;
  s.dc = (f & 0x0F) + (w & 0x0F) + carry_in > 0x0F;
  s.c = sum > 0xFF;
  s.z = (sum & 0xFF) == 0;
  return static_cast<uint8_t>(sum);
}

// f - w - borrow_in with the flags subwf (and subwfb) leaves: C and DC are "no borrow".
uint8_t subtract(WindowState& s, uint8_t f, uint8_t w, int borrow_in) {
  const int difference = int{f} - int{w} - borrow_in;
  s.dc = (f & 0x0F) - (w & 0x0F) - borrow_in >= 0;
  s.c = difference >= 0;
  const auto r = static_cast<uint8_t>(difference);
  s.z = r == 0;
  return r;
}

}  // namespace

bool runnable(Op op, Core core) {
  switch (op) {
    case Op::kMovf:
    case Op::kSwapf:
    case Op::kComf:
    case Op::kRlf:
    case Op::kRrf:
    case Op::kAddwf:
    case Op::kSubwf:
    case Op::kIorwf:
    case Op::kXorwf:
    case Op::kIncf:
    case Op::kIncfsz:
    case Op::kMovwf:
    case Op::kClrf:
    case Op::kBsf:
    case Op::kBtfsc:
    case Op::kMovlw:
    case Op::kAndlw:
    case Op::kIorlw:
    case Op::kClrc:
    case Op::kSkpc:
    case Op::kSkpnc:
    case Op::kSkpnz:
      return true;
    case Op::kAddlw:
      return core != Core::kBaseline;
    case Op::kAddwfc:
    case Op::kSubwfb:
    case Op::kLslf:
    case Op::kLsrf:
    case Op::kAsrf:
      return core == Core::kEnhanced;
    default:
      return false;
  }
}

Effects effects_of(Op op, bool to_w) {
  const uint8_t result = to_w ? kPlaceW : kPlaceFile;
  switch (op) {
    case Op::kMovwf:
      return {kPlaceW, kPlaceFile, false};
    case Op::kMovf:
      return {kPlaceFile, static_cast<uint8_t>((to_w ? kPlaceW : 0) | kPlaceZ), false};
    case Op::kMovlw:
      return {0, kPlaceW, false};
    case Op::kAndlw:
    case Op::kIorlw:
      return {kPlaceW, kPlaceW | kPlaceZ, false};
    case Op::kAddlw:
      return {kPlaceW, kPlaceW | kPlaceC | kPlaceDC | kPlaceZ, false};
    case Op::kClrf:
      return {0, kPlaceFile | kPlaceZ, false};
    case Op::kSwapf:
      return {kPlaceFile, result, false};
    case Op::kBtfsc:
      return {kPlaceFile, 0, true};
    case Op::kBsf:
      return {kPlaceFile, kPlaceFile, false};
    case Op::kComf:
    case Op::kIncf:
      return {kPlaceFile, static_cast<uint8_t>(result | kPlaceZ), false};
    case Op::kRlf:
    case Op::kRrf:
      return {kPlaceFile | kPlaceC, static_cast<uint8_t>(result | kPlaceC), false};
    case Op::kAddwf:
    case Op::kSubwf:
      return {kPlaceFile | kPlaceW, static_cast<uint8_t>(result | kPlaceC | kPlaceDC | kPlaceZ),
              false};
    case Op::kIorwf:
    case Op::kXorwf:
      return {kPlaceFile | kPlaceW, static_cast<uint8_t>(result | kPlaceZ), false};
    case Op::kIncfsz:
      return {kPlaceFile, result, true};
    case Op::kClrc:
      return {0, kPlaceC, false};
    case Op::kSkpc:
    case Op::kSkpnc:
      return {kPlaceC, 0, true};
    case Op::kSkpnz:
      return {kPlaceZ, 0, true};
    case Op::kAddwfc:
    case Op::kSubwfb:
      return {kPlaceFile | kPlaceW | kPlaceC,
              static_cast<uint8_t>(result | kPlaceC | kPlaceDC | kPlaceZ), false};
    case Op::kLslf:
    case Op::kLsrf:
    case Op::kAsrf:
      return {kPlaceFile, static_cast<uint8_t>(result | kPlaceC | kPlaceZ), false};
    default:
      assert(false && "not runnable");
      return {};
  }
}

namespace {

// f rotated through C or shifted, C and (for a shift) Z set as the instruction sets them.
uint8_t shifted(Op op, uint8_t f, WindowState& s) {
  uint8_t r = 0;
  switch (op) {
    case Op::kRlf:
      r = static_cast<uint8_t>((f << 1) | (s.c ? 1 : 0));
      s.c = (f & 0x80) != 0;
      return r;
    case Op::kRrf:
      r = static_cast<uint8_t>((f >> 1) | (s.c ? 0x80 : 0));
      s.c = (f & 1) != 0;
      return r;
    case Op::kLslf:
      r = static_cast<uint8_t>(f << 1);
      s.c = (f & 0x80) != 0;
      break;
    default:
      r = static_cast<uint8_t>((f >> 1) | (op == Op::kAsrf ? f & 0x80 : 0));
      s.c = (f & 1) != 0;
      break;
  }
  s.z = r == 0;
  return r;
}

// An instruction without a file operand: a literal operation or a bit operation on STATUS.
bool step_without_file(const SlotInstruction& in, WindowState& s) {
  const uint8_t k = in.value;
  switch (in.op) {
    case Op::kMovlw:
      s.w = k;
      return false;
    case Op::kAndlw:
      s.w &= k;
      s.z = s.w == 0;
      return false;
    case Op::kIorlw:
      s.w |= k;
      s.z = s.w == 0;
      return false;
    case Op::kAddlw:
      s.w = add(s, s.w, k, 0);
      return false;
    case Op::kClrc:
      s.c = false;
      return false;
    case Op::kSkpc:
      return s.c;
    case Op::kSkpnc:
      return !s.c;
    case Op::kSkpnz:
      return !s.z;
    default:
      assert(false && "not runnable");
      return false;
  }
}

}  // namespace

bool step(const SlotInstruction& in, WindowState& s) {
  if (in.op >= Op::kMovlw) return step_without_file(in, s);
  assert(in.slot < kWindowSlots);
  uint8_t& f = s.bytes[in.slot];
  uint8_t& d = in.to_w ? s.w : f;
  const uint8_t k = in.value;
  switch (in.op) {
    case Op::kMovwf:
      f = s.w;
      return false;
    case Op::kMovf:
      s.z = f == 0;
      d = f;
      return false;
    case Op::kClrf:
      f = 0;
      s.z = true;
      return false;
    case Op::kSwapf:
      d = swap_nibbles(f);
      return false;
    case Op::kBtfsc:
      return ((f >> (k & 7)) & 1) == 0;
    case Op::kBsf:
      f = static_cast<uint8_t>(f | (1u << (k & 7)));
      return false;
    case Op::kComf:
      d = static_cast<uint8_t>(~f);
      s.z = d == 0;
      return false;
    case Op::kRlf:
    case Op::kRrf:
    case Op::kLslf:
    case Op::kLsrf:
    case Op::kAsrf:
      d = shifted(in.op, f, s);
      return false;
    case Op::kAddwf:
      d = add(s, f, s.w, 0);
      return false;
    case Op::kSubwf:
      d = subtract(s, f, s.w, 0);
      return false;
    case Op::kIorwf:
      d = static_cast<uint8_t>(f | s.w);
      s.z = d == 0;
      return false;
    case Op::kXorwf:
      d = static_cast<uint8_t>(f ^ s.w);
      s.z = d == 0;
      return false;
    case Op::kIncf:
      d = static_cast<uint8_t>(f + 1);
      s.z = d == 0;
      return false;
    case Op::kIncfsz:
      d = static_cast<uint8_t>(f + 1);
      return d == 0;
    case Op::kAddwfc:
      d = add(s, f, s.w, s.c ? 1 : 0);
      return false;
    case Op::kSubwfb:
      d = subtract(s, f, s.w, s.c ? 0 : 1);
      return false;
    default:
      assert(false && "not runnable");
      return false;
  }
}

void run(std::span<const SlotInstruction> code, WindowState& state) {
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (step(code[i], state)) ++i;
  }
}

}  // namespace tarvek

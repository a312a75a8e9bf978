#include "superopt/known_bits.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codegen/listing_for_tests.h"
#include "superopt/window.h"

namespace tarvek {
namespace {

constexpr Op kRunnable[] = {
    Op::kMovf,  Op::kSwapf, Op::kComf,  Op::kRlf,    Op::kRrf,    Op::kAddwf,  Op::kSubwf,
    Op::kIorwf, Op::kXorwf, Op::kIncf,  Op::kIncfsz, Op::kAddwfc, Op::kSubwfb, Op::kLslf,
    Op::kLsrf,  Op::kAsrf,  Op::kMovwf, Op::kClrf,   Op::kBsf,    Op::kBtfsc,  Op::kMovlw,
    Op::kAndlw, Op::kIorlw, Op::kAddlw, Op::kClrc,   Op::kSkpc,   Op::kSkpnc,  Op::kSkpnz};

// A window state's places as bytes (a flag as bit 0), laid out as liveness.h's places.
std::array<uint8_t, kWindowPlaces> places_of(const WindowState& s) {
  std::array<uint8_t, kWindowPlaces> p{};
  p[0] = s.w;
  p[1] = s.c;
  p[2] = s.dc;
  p[3] = s.z;
  for (int k = 0; k < kWindowSlots; ++k) p[kFirstBytePlace + k] = s.bytes[k];
  return p;
}

// Every bit an instruction's rule claims to know afterwards is the bit it leaves, from every
// state that agrees with what was known before.
TEST(KnownBitsTest, AnInstructionKnowsOnlyWhatItDecides) {
  std::mt19937_64 random(5);
  int known_after = 0;
  for (const Op op : kRunnable) {
    for (const bool to_w : {false, true}) {
      for (int trial = 0; trial < 3000; ++trial) {
        const SlotInstruction in{op, 2, to_w, static_cast<uint8_t>(random())};
        WindowState s;
        for (uint8_t& b : s.bytes) b = static_cast<uint8_t>(random());
        s.w = static_cast<uint8_t>(random());
        s.c = random() & 1;
        s.dc = random() & 1;
        s.z = random() & 1;
        const std::array<uint8_t, kWindowPlaces> start = places_of(s);
        std::array<uint8_t, kWindowPlaces> mask{};
        std::array<uint8_t, kWindowPlaces> value{};
        for (int p = 0; p < kWindowPlaces; ++p) {
          // Mostly known, so that the rules have something to decide.
          mask[p] = static_cast<uint8_t>(random() | random());
          if (p >= 1 && p < kFirstBytePlace) mask[p] &= 1;
          value[p] = start[p] & mask[p];
        }
        known_through(op, to_w, in.value, kFirstBytePlace + 2, mask.data(), value.data());
        step(in, s);
        const std::array<uint8_t, kWindowPlaces> end = places_of(s);
        for (int p = 0; p < kWindowPlaces; ++p) {
          ASSERT_EQ(end[p] & mask[p], value[p])
              << mnemonic(op) << (to_w ? ", w" : ", f") << " place " << p;
          known_after += std::popcount(mask[p]);
        }
      }
    }
  }
  EXPECT_GT(known_after, 1000000);
}

// Along a whole routine with skips, what is known before each instruction holds on every run
// that starts as the start knowledge says.
TEST(KnownBitsTest, WhatIsKnownHoldsAlongEveryWayThroughARoutine) {
  std::mt19937_64 random(9);
  const std::vector<std::string> listings = {
      "clrf ACC1; movf ACC0, w; andlw 15; addwf ACC1, f; skpnc; incf ACC2, f; swapf ACC1, w",
      "clrc; rrf ACC0, f; rrf ACC1, f; btfsc ACC1, 7; bsf ACC0, 3; movf ACC0, w; iorlw 1",
      "movlw 7; skpnc; movlw 9; movwf ACC2; clrc; rlf ACC2, f; comf ACC2, w; addlw 1",
      "movf ACC0, w; subwf ACC1, w; skpc; incfsz ACC1, w; subwf ACC2, f; movlw 0; skpnz; "
      "movlw 1"};
  for (const std::string& listing : listings) {
    const Code code = code_from_listing(lines(listing), {"ACC"});
    const RoutineBytes bytes(code);
    Known at_start;
    // The input's byte 0 below 16.
    at_start.mask[kFirstBytePlace + bytes.number_of(ByteRef{0, 0})] = 0xF0;
    const std::vector<Known> before = known_before(code, bytes, at_start);
    for (int run = 0; run < 2000; ++run) {
      std::array<uint8_t, kRoutinePlaces> state{};
      for (uint8_t& b : state) b = static_cast<uint8_t>(random());
      for (int flag = 1; flag < kFirstBytePlace; ++flag) state[flag] &= 1;
      state[kFirstBytePlace + bytes.number_of(ByteRef{0, 0})] &= 0x0F;
      const std::vector<Instruction>& ins = code.instructions();
      for (std::size_t i = 0; i < ins.size(); ++i) {
        for (int p = 0; p < kRoutinePlaces; ++p) {
          ASSERT_EQ(state[p] & before[i].mask[p], before[i].value[p])
              << listing << ": before line " << i << ", place " << p;
        }
        // The instruction on the routine's state, through a window of its one byte.
        const int number = bytes.number_of(ins[i]);
        WindowState s;
        s.w = state[0];
        s.c = state[1];
        s.dc = state[2];
        s.z = state[3];
        if (number >= 0) s.bytes[0] = state[kFirstBytePlace + number];
        const bool skips = step({ins[i].op, 0, ins[i].to_w, static_cast<uint8_t>(ins[i].value)}, s);
        state[0] = s.w;
        state[1] = s.c;
        state[2] = s.dc;
        state[3] = s.z;
        if (number >= 0) state[kFirstBytePlace + number] = s.bytes[0];
        if (skips) ++i;
      }
    }
  }
}

TEST(KnownBitsTest, KnowsWhatMasksClearsAndCarriesDecide) {
  struct Case {
    const char* what;
    std::string code;
    // Known of W and of C before the last line.
    uint8_t w_mask;
    uint8_t w_value;
    uint8_t c_mask;
  };
  const Case kCases[] = {
      {"a mask", "movf ACC0, w; andlw 15; clrc", 0xF0, 0x00, 0},
      {"a swapped nibble", "movf ACC0, w; andlw 15; movwf ACC1; swapf ACC1, w; clrc", 0x0F, 0, 0},
      {"a nibble plus a nibble carries nothing",
       "movf ACC0, w; andlw 15; movwf ACC1; addwf ACC1, w; clrc", 0xE0, 0, 1},
      {"a cleared carry shifted in", "movlw 0; clrc; rrf ACC0, w; clrc", 0x80, 0, 0},
      {"two ways that agree", "movlw 3; skpnc; movlw 7; clrc", 0xFB, 0x03, 0},
  };
  for (const Case& c : kCases) {
    const Code code = code_from_listing(lines(c.code), {"ACC"});
    const RoutineBytes bytes(code);
    const std::vector<Known> before = known_before(code, bytes, Known{});
    const Known& last = before.back();
    EXPECT_EQ(last.mask[0], c.w_mask) << c.what;
    EXPECT_EQ(last.value[0], c.w_value) << c.what;
    EXPECT_EQ(last.mask[1], c.c_mask) << c.what;
  }
}

}  // namespace
}  // namespace tarvek

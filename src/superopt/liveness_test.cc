#include "superopt/liveness.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codegen/listing_for_tests.h"
#include "superopt/window.h"

namespace tarvek {
namespace {

const std::vector<std::string> kNames = {"ACC", "TEMP"};

constexpr Op kRunnable[] = {
    Op::kMovf,  Op::kSwapf, Op::kComf,  Op::kRlf,    Op::kRrf,    Op::kAddwf,  Op::kSubwf,
    Op::kIorwf, Op::kXorwf, Op::kIncf,  Op::kIncfsz, Op::kAddwfc, Op::kSubwfb, Op::kLslf,
    Op::kLsrf,  Op::kAsrf,  Op::kMovwf, Op::kClrf,   Op::kBsf,    Op::kBtfsc,  Op::kMovlw,
    Op::kAndlw, Op::kIorlw, Op::kAddlw, Op::kClrc,   Op::kSkpc,   Op::kSkpnc,  Op::kSkpnz};

// A bit no read result depends on can take any value: flipping the bits of the starting state
// outside what demand_through says is read before an instruction changes none of the bits
// read after it, nor whether it skips.
TEST(LivenessTest, AnInstructionsResultsDependOnlyOnTheBitsItsRuleReads) {
  std::mt19937_64 random(3);
  for (const Op op : kRunnable) {
    for (const bool to_w : {false, true}) {
      for (int trial = 0; trial < 3000; ++trial) {
        const SlotInstruction in{op, 1, to_w, static_cast<uint8_t>(random())};
        WindowDemand after{};
        for (uint8_t& bits : after) bits = static_cast<uint8_t>(random() & random());
        for (int flag = 1; flag < kFirstBytePlace; ++flag) after[flag] &= 1;
        WindowDemand before = after;
        demand_through(in.op, in.to_w, in.value, kFirstBytePlace + 1, before.data());
        WindowState a;
        for (uint8_t& b : a.bytes) b = static_cast<uint8_t>(random());
        a.w = static_cast<uint8_t>(random());
        a.c = random() & 1;
        a.dc = random() & 1;
        a.z = random() & 1;
        WindowState b = a;
        const auto flip = static_cast<uint8_t>(random());
        b.w ^= flip & ~before[0];
        if (before[1] == 0) b.c = !b.c;
        if (before[2] == 0) b.dc = !b.dc;
        if (before[3] == 0) b.z = !b.z;
        for (int slot = 0; slot < kWindowSlots; ++slot) {
          b.bytes[slot] ^= static_cast<uint8_t>(random()) & ~before[kFirstBytePlace + slot];
        }
        const bool a_skips = step(in, a);
        const bool b_skips = step(in, b);
        EXPECT_EQ(a_skips, b_skips) << mnemonic(op);
        EXPECT_TRUE(same_bits(a, b, after)) << mnemonic(op) << (to_w ? ", w" : ", f");
        if (HasFailure()) return;
      }
    }
  }
}

// The demand after chosen lines of whole routines: the places read, by the bits read.
TEST(LivenessTest, DemandFollowsTheRoutineBackToItsStart) {
  struct Case {
    const char* what;
    std::string code;
    // Outputs: ACC bytes 0 .. output_bytes - 1.
    int output_bytes;
    std::size_t line;
    // Byte names and masks read after that line, and W and C.
    std::vector<std::pair<std::string, int>> bytes;
    int w;
    int c;
  };
  const Case kCases[] = {
      {"a rotation right moves the demand up a bit and the carry onto bit 7",
       lines("clrc; rrf ACC0, f"),
       1,
       0,
       {{"ACC0", 0xFE}},
       0,
       1},
      {"the carry a rotation leaves is read only through the next one",
       lines("rrf ACC1, f; rrf ACC0, f"),
       1,
       0,
       {{"ACC0", 0xFE}, {"ACC1", 0}},
       0,
       1},
      {"an addition reads every bit of both operands up to the highest one read",
       lines("movf TEMP0, w; addwf ACC1, w; andlw 7; movwf ACC0"),
       1,
       0,
       {{"ACC1", 0x07}, {"TEMP0", 0}},
       0x07,
       0},
      {"a mask drops the bits it clears",
       lines("movf TEMP0, w; andlw 15; movwf ACC0"),
       1,
       0,
       {{"TEMP0", 0}},
       0x0F,
       0},
      {"a swap exchanges the nibbles read",
       lines("clrc; swapf TEMP0, w; andlw 15; movwf ACC0"),
       1,
       0,
       {{"TEMP0", 0xF0}},
       0,
       0},
      {"nothing read at the end but the output bytes",
       lines("movf ACC0, w; movwf TEMP0; incf ACC1, f"),
       1,
       2,
       {{"ACC0", 0xFF}, {"ACC1", 0}},
       0,
       0},
      {"after a skip both ways count: the skipped line's reads and the next line's",
       lines("skpnc; incf ACC0, f; movf TEMP0, w; movwf ACC1"),
       2,
       0,
       {{"ACC0", 0xFF}, {"TEMP0", 0xFF}},
       0,
       0},
      {"a test of a bit reads that bit",
       lines("clrc; btfsc TEMP0, 3; incf ACC0, f"),
       1,
       0,
       {{"TEMP0", 0x08}, {"ACC0", 0xFF}},
       0,
       0},
  };
  for (const Case& c : kCases) {
    const Code code = code_from_listing(c.code, kNames);
    const RoutineBytes bytes(code);
    std::vector<ByteRef> outputs;
    for (int b = 0; b < c.output_bytes; ++b) outputs.push_back({0, static_cast<int16_t>(b)});
    // What is read after line L is what is read before line L + 1.
    const std::vector<Demand> after = demand_after(code, bytes, output_demand(bytes, outputs));
    const Demand& d = after[c.line];
    EXPECT_EQ(d[0], c.w) << c.what;
    EXPECT_EQ(d[1], c.c) << c.what;
    for (const auto& [name, mask] : c.bytes) {
      const bool temp = name.starts_with("TEMP");
      const ByteRef byte{static_cast<uint8_t>(temp ? 1 : 0),
                         static_cast<int16_t>(name.back() - '0')};
      const int number = bytes.number_of(byte);
      ASSERT_GE(number, 0) << c.what << ": " << name;
      EXPECT_EQ(d[kFirstBytePlace + number], mask) << c.what << ": " << name;
    }
  }
}

// Bytes are numbered by register and byte number in the order the routine first names them,
// whatever the registers are called: byte 11 of B and byte 1 of B1 both print as B11 and stay
// two bytes.
TEST(LivenessTest, BytesAreNumberedByIdentityNotByName) {
  Code code;
  const uint8_t b = code.register_number("B");
  const uint8_t b1 = code.register_number("B1");
  code.push_back({Op::kMovf, b, true, 1, 0});
  code.push_back({Op::kMovwf, b1, false, 1, 0});
  code.push_back({Op::kAddwf, b, false, 11, 0});
  code.push_back({Op::kMovf, b1, true, 1, 0});
  const RoutineBytes bytes(code);
  ASSERT_EQ(bytes.bytes().size(), 3u);
  EXPECT_EQ(bytes.bytes()[0], (ByteRef{b, 1}));
  EXPECT_EQ(bytes.bytes()[1], (ByteRef{b1, 1}));
  EXPECT_EQ(bytes.bytes()[2], (ByteRef{b, 11}));
  EXPECT_TRUE(modelled(code, bytes, Core::kMidrange));
  Code status = code;
  status.push_back({Op::kMovwf, kStatusFile, false, 0, 0});
  EXPECT_FALSE(modelled(status, RoutineBytes(status), Core::kMidrange));
  Code enhanced = code;
  enhanced.push_back({Op::kLslf, b, false, 1, 0});
  EXPECT_FALSE(modelled(enhanced, RoutineBytes(enhanced), Core::kMidrange));
  EXPECT_TRUE(modelled(enhanced, RoutineBytes(enhanced), Core::kEnhanced));
}

}  // namespace
}  // namespace tarvek

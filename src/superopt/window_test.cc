#include "superopt/window.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codegen/listing_for_tests.h"

namespace tarvek {
namespace {

const std::vector<std::string> kNames = {"ACC", "TEMP"};

// A stretch over slots from a listing over registers ACC and TEMP: ACC byte k is slot k, TEMP
// byte k slot 4 + k.
std::vector<SlotInstruction> stretch(const std::string& listing) {
  const Code code = code_from_listing(lines(listing), kNames);
  std::vector<SlotInstruction> out;
  for (const Instruction& in : code.instructions()) {
    const auto slot = static_cast<uint8_t>(in.file == 1 ? 4 + in.byte : in.byte);
    const OperandKind kind = operand_kind(in.op);
    const bool file = kind == OperandKind::kFileDest || kind == OperandKind::kFile ||
                      kind == OperandKind::kFileBit;
    out.push_back({in.op, file ? slot : uint8_t{0}, in.to_w, static_cast<uint8_t>(in.value)});
  }
  return out;
}

// What is read after: "W", "C", "Z" whole, "k" slot k whole, "k:MM" slot k's bits MM.
WindowDemand reads(const std::vector<std::string>& places) {
  WindowDemand demand{};
  for (const std::string& place : places) {
    if (place == "W") {
      demand[0] = 0xFF;
    } else if (place == "C") {
      demand[1] = 1;
    } else if (place == "Z") {
      demand[3] = 1;
    } else {
      const std::size_t colon = place.find(':');
      const int slot = std::stoi(place.substr(0, colon));
      demand[kFirstBytePlace + slot] =
          colon == std::string::npos
              ? 0xFF
              : static_cast<uint8_t>(std::stoi(place.substr(colon + 1), nullptr, 16));
    }
  }
  return demand;
}

TEST(WindowTest, ProvesTheSameOnlyWhatIsTheSameOnEveryReadBit) {
  struct Case {
    const char* what;
    std::string original;
    std::string replacement;
    std::vector<std::string> read_after;
    Equivalence expected;
  };
  const Case kCases[] = {
      {"a clear of C that only reaches an unread bit",
       "clrc; rrf ACC0, f",
       "rrf ACC0, f",
       {"0:7F", "C"},
       Equivalence::kSame},
      {"the same with that bit read",
       "clrc; rrf ACC0, f",
       "rrf ACC0, f",
       {"0", "C"},
       Equivalence::kDiffers},
      {"a reload of what W holds",
       "movf ACC0, w; movwf ACC1; movf ACC1, w",
       "movf ACC0, w; movwf ACC1",
       {"W", "1", "Z"},
       Equivalence::kSame},
      {"doubling by an addition leaves C as a rotation through a clear C does",
       "clrc; rlf ACC0, f",
       "movf ACC0, w; addwf ACC0, f",
       {"0", "C"},
       Equivalence::kSame},
      {"but not W",
       "clrc; rlf ACC0, f",
       "movf ACC0, w; addwf ACC0, f",
       {"0", "C", "W"},
       Equivalence::kDiffers},
      {"a skip inside the window runs as the routine runs it",
       "movlw 1; skpnc; addwf ACC0, f",
       "movlw 0; skpnc; incf ACC0, f",
       {"0"},
       Equivalence::kSame},
      {"the nibbles of a swap",
       "swapf ACC0, w; andlw 15",
       "swapf ACC0, w; andlw 15; iorlw 0",
       {"W"},
       Equivalence::kSame},
      {"three whole bytes and W are more than the proof ranges over",
       "movf ACC0, w; addwf ACC1, f; movf ACC2, w; addwf ACC3, f",
       "movf ACC2, w; addwf ACC3, f; movf ACC0, w; addwf ACC1, f",
       {"1", "3"},
       Equivalence::kTooWide},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(prove_same(stretch(c.original), stretch(c.replacement), reads(c.read_after), 20),
              c.expected)
        << c.what;
  }
}

// The proof fixes the bits neither stretch's read results depend on: a stretch proven the same
// agrees with the original on every read bit from any starting state at all.
TEST(WindowTest, WhatIsProvenHoldsFromEveryState) {
  std::mt19937_64 random(11);
  const std::vector<std::string> originals = {"clrc; rrf ACC0, f; rrf ACC1, f",
                                              "movf ACC0, w; addwf ACC1, f; rrf ACC1, f",
                                              "swapf ACC0, w; andlw 15; addwf ACC1, f",
                                              "movf ACC1, w; skpnc; incfsz ACC1, w; addwf ACC0, f"};
  int proven = 0;
  for (const std::string& original : originals) {
    const std::vector<SlotInstruction> a = stretch(original);
    for (int trial = 0; trial < 300; ++trial) {
      // The original with one instruction dropped, read after on a random set of bits.
      std::vector<SlotInstruction> b = a;
      b.erase(b.begin() + static_cast<std::ptrdiff_t>(random() % b.size()));
      if (!b.empty() && is_skip(b.back().op)) continue;
      WindowDemand demand{};
      demand[1] = random() & 1;
      demand[kFirstBytePlace] = static_cast<uint8_t>(random() & random());
      demand[kFirstBytePlace + 1] = static_cast<uint8_t>(random() & random());
      if (prove_same(a, b, demand, 24) != Equivalence::kSame) continue;
      ++proven;
      for (int k = 0; k < 2000; ++k) {
        WindowState start;
        for (uint8_t& byte : start.bytes) byte = static_cast<uint8_t>(random());
        start.w = static_cast<uint8_t>(random());
        start.c = random() & 1;
        start.dc = random() & 1;
        start.z = random() & 1;
        WindowState x = start;
        WindowState y = start;
        run(a, x);
        run(b, y);
        ASSERT_TRUE(same_bits(x, y, demand)) << original;
      }
    }
  }
  EXPECT_GT(proven, 10);
}

TEST(WindowTest, AWindowNeitherFollowsNorEndsOnASkip) {
  struct Case {
    const char* what;
    std::size_t start;
    std::size_t end;
    bool is_window;
  };
  const Code code = code_from_listing(
      lines("movf TEMP0, w; skpnc; incfsz TEMP0, w; addwf ACC0, f; clrc; rrf ACC0, f"), kNames);
  const Case kCases[] = {
      {"the whole routine", 0, 6, true},
      {"from the skip on", 1, 6, true},
      {"from the skipped line on", 2, 6, false},
      {"ending on the skip", 0, 2, false},
      {"ending on incfsz, which skips too", 0, 3, false},
      {"right after incfsz", 3, 6, false},
      {"after the skipped lines", 4, 6, true},
  };
  const RoutineBytes bytes(code);
  Demand at_end{};
  at_end[kFirstBytePlace + bytes.number_of(ByteRef{0, 0})] = 0xFF;
  const std::vector<Demand> demand = demand_after(code, bytes, at_end);
  for (const Case& c : kCases) {
    EXPECT_EQ(make_window(code, bytes, demand, c.start, c.end).has_value(), c.is_window) << c.what;
  }
  const std::optional<Window> window = make_window(code, bytes, demand, 4, 6);
  ASSERT_TRUE(window);
  EXPECT_EQ(window->slots.size(), 1u);
  EXPECT_EQ(window->read_after[kFirstBytePlace], 0xFF);
  EXPECT_EQ(window->read_after[0], 0);
  EXPECT_EQ(routine_instructions(*window, window->code),
            std::vector<Instruction>(code.instructions().begin() + 4, code.instructions().end()));
}

TEST(WindowTest, AWindowNamesAtMostEightBytes) {
  std::string text;
  for (int k = 0; k < 9; ++k) text += "clrf ACC" + std::to_string(k) + (k < 8 ? "; " : "");
  const Code code = code_from_listing(lines(text), kNames);
  const RoutineBytes bytes(code);
  const std::vector<Demand> demand = demand_after(code, bytes, Demand{});
  EXPECT_TRUE(make_window(code, bytes, demand, 0, 8));
  EXPECT_FALSE(make_window(code, bytes, demand, 0, 9));
}

}  // namespace
}  // namespace tarvek

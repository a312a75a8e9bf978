#include "superopt/window_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codegen/listing_for_tests.h"
#include "superopt/simulator_check_for_tests.h"

namespace tarvek {
namespace {

const std::vector<std::string> kNames = {"ACC"};

// The whole listing as one window, with `read` read after it (ACC byte k is slot k, in the
// order the listing names them, which the cases keep to).
Window window_of(const std::string& listing, const WindowDemand& read) {
  const Code code = code_from_listing(lines(listing), kNames);
  const RoutineBytes bytes(code);
  const std::vector<Demand> demand = demand_after(code, bytes, Demand{});
  std::optional<Window> window = make_window(code, bytes, demand, 0, code.size());
  EXPECT_TRUE(window) << listing;
  if (!window) return {};
  window->read_after = read;
  return *window;
}

WindowDemand reading(int w, int c, std::vector<int> slots) {
  WindowDemand demand{};
  demand[0] = static_cast<uint8_t>(w);
  demand[1] = static_cast<uint8_t>(c);
  for (std::size_t k = 0; k < slots.size(); ++k) {
    demand[kFirstBytePlace + k] = static_cast<uint8_t>(slots[k]);
  }
  return demand;
}

TEST(WindowSearchTest, FindsTheShortestStretchThatDoesTheSame) {
  struct Case {
    const char* what;
    std::string window;
    WindowDemand read;
    // Instructions of the replacement; -1 for none.
    int expected_length;
  };
  const Case kCases[] = {
      {"a reload of what W holds", "movf ACC0, w; movwf ACC1; movf ACC1, w",
       reading(0xFF, 0, {0, 0xFF}), 2},
      {"a byte cleared and or-ed into is a store",
       "clrf ACC0; swapf ACC1, w; andlw 15; iorwf ACC0, f", reading(0, 0, {0xFF, 0xFF}), 3},
      {"a doubling through a clear carry is an addition",
       "movf ACC0, w; movwf ACC1; clrc; rlf ACC1, f", reading(0, 1, {0xFF, 0xFF}), 3},
      {"an increment by a carry", "movlw 1; skpnc; addwf ACC0, f", reading(0, 0, {0xFF}), 2},
      {"a clear of C whose bit is not read", "clrc; rrf ACC0, f; rrf ACC1, f",
       reading(0, 1, {0x7F, 0xFF}), 2},
      {"everything it writes unread", "movf ACC0, w; addwf ACC1, f", reading(0, 0, {0, 0}), 0},
      {"an addition whose carry is read has nothing shorter", "movf ACC0, w; addwf ACC1, f",
       reading(0, 1, {0, 0xFF}), -1},
  };
  const WindowSearchLimits limits{2, 20};
  for (const Case& c : kCases) {
    const Window window = window_of(c.window, c.read);
    const std::optional<std::vector<SlotInstruction>> found =
        find_shorter(window, Core::kMidrange, limits);
    if (c.expected_length < 0) {
      EXPECT_FALSE(found) << c.what;
      continue;
    }
    ASSERT_TRUE(found) << c.what;
    EXPECT_EQ(static_cast<int>(found->size()), c.expected_length) << c.what;
    // Held to the simulator too, on every state of the bits either one reads.
    EXPECT_TRUE(same_on_simulator(window.code, *found, c.read, PicCore::kMidrange)) << c.what;
  }
}

TEST(WindowSearchTest, UsesTheEnhancedInstructionsOnlyForThatCore) {
  // A doubling whose C nothing reads: the enhanced core shifts with lslf.
  const Window window = window_of("clrc; rlf ACC0, f", reading(0, 0, {0xFF}));
  const WindowSearchLimits limits{2, 20};
  const auto midrange = find_shorter(window, Core::kMidrange, limits);
  const auto enhanced = find_shorter(window, Core::kEnhanced, limits);
  EXPECT_FALSE(midrange);
  ASSERT_TRUE(enhanced);
  EXPECT_EQ(enhanced->size(), 1u);
  EXPECT_TRUE(same_on_simulator(window.code, *enhanced, window.read_after, PicCore::kEnhanced));
  for (const SlotInstruction& in : window_alphabet(window, Core::kMidrange)) {
    EXPECT_TRUE(runnable(in.op, Core::kMidrange)) << mnemonic(in.op);
  }
}

TEST(WindowSearchTest, TheAlphabetHoldsTheWindowsOwnLiteralsAndBits) {
  const Window window =
      window_of("movlw 3; addwf ACC0, f; btfsc ACC1, 5; incf ACC0, f", reading(0, 0, {0xFF}));
  const std::vector<SlotInstruction> alphabet = window_alphabet(window, Core::kMidrange);
  const auto has = [&](SlotInstruction in) {
    return std::find(alphabet.begin(), alphabet.end(), in) != alphabet.end();
  };
  EXPECT_TRUE(has({Op::kMovlw, 0, false, 3}));
  EXPECT_TRUE(has({Op::kAddlw, 0, false, 0xFD}));
  EXPECT_TRUE(has({Op::kBtfsc, 1, false, 5}));
  EXPECT_TRUE(has({Op::kRrf, 1, true, 0}));
  EXPECT_FALSE(has({Op::kRrf, 2, true, 0}));
  EXPECT_FALSE(has({Op::kMovlw, 0, false, 0x42}));
}

}  // namespace
}  // namespace tarvek

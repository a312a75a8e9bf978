// Routines of the PIC18 core held to the core's own instruction set and to gpsim on a
// PIC18F452.
//
// Every line of every routine of a broad set of requests (exact results made with the
// multiplier or with shifts and adds, signed inputs, remainders, routines for size and
// approximations) must be one of the PIC18's instructions, from a list written here from that
// core's instruction set, not taken from our parser; and gpsim must leave the same bytes, W,
// flags, product bytes and cycles as our simulator on a sample that holds every shape.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "exact_sweep.h"
#include "exact_tool_checks.h"

namespace tarvek {
namespace {

// PIC18 routines of every fourth constant of the family at widths from 1 to 32 bits, both
// byte orders: unsigned and signed exact results in every mode, the approximation at error 0,
// a remainder beside floor, and routines for size.
const std::vector<Made>& pic18_routines() {
  static const std::vector<Made> made = [] {
    const auto family = exact_sweep_constants();
    std::vector<std::pair<std::string, std::string>> constants;
    for (std::size_t i = 0; i < family.size(); i += 4) constants.push_back(family[i]);
    const std::vector<int> widths = {1, 5, 8, 12, 16, 24, 32};
    std::vector<ExactSweepRequest> requests;
    for (const bool is_signed : {false, true}) {
      for (const ExactSweepRequest& request :
           exact_requests(constants, widths, is_signed, Core::kPic18)) {
        requests.push_back(request);
        if (request.result != "floor") continue;
        ExactSweepRequest other = request;
        other.result = is_signed ? "trunc" : "approx";
        other.is_signed = false;
        requests.push_back(other);
        ExactSweepRequest size = request;
        size.optimize = Optimize::kSize;
        requests.push_back(size);
        if (!request.divide_by.empty()) {
          ExactSweepRequest rem = request;
          rem.remainder = true;
          requests.push_back(rem);
        }
      }
    }
    return generate_exact_blocks(requests);
  }();
  return made;
}

// The PIC18's instructions a routine may use, and the operand-less macros that stand for its
// bit operations on STATUS.
const std::set<std::string> kPic18Mnemonics = {
    "addwf", "addwfc", "andwf", "clrf",   "comf",  "decf",  "decfsz", "incf",  "incfsz",
    "iorwf", "movf",   "movwf", "mulwf",  "negf",  "rlcf",  "rlncf",  "rrcf",  "rrncf",
    "setf",  "subfwb", "subwf", "subwfb", "swapf", "xorwf", "bcf",    "bsf",   "btfsc",
    "btfss", "btg",    "addlw", "andlw",  "iorlw", "movlw", "mullw",  "sublw", "xorlw",
    "bra",   "goto",   "clrc",  "setc",   "skpc",  "skpnc", "skpz",   "skpnz"};

TEST(ExactPic18Tools, EveryLineIsAPic18Instruction) {
  ASSERT_GT(pic18_routines().size(), 300u);
  int multiplied = 0;
  for (const Made& made : pic18_routines()) {
    for (const std::string& mnemonic : instruction_mnemonics(made.block)) {
      EXPECT_TRUE(kPic18Mnemonics.count(mnemonic)) << describe(made.request) << ": " << mnemonic;
      if (mnemonic == "mullw") ++multiplied;
    }
  }
  // The multiplier is what the core is chosen for: most exact routines use it.
  EXPECT_GT(multiplied, 100);
}

TEST(ExactPic18Tools, GpsimAgreesOnASampleOfEveryShape) {
  std::mt19937 random(18);
  const std::vector<Made>& routines = pic18_routines();
  for (std::size_t k = 0; k < routines.size(); k += 9) {
    const ExactSweepRequest& request = routines[k].request;
    expect_gpsim_agrees(routines[k].block, request.bits, request.little_endian, request.is_signed,
                        PicCore::kPic18, describe(request), random);
  }
}

}  // namespace
}  // namespace tarvek

#include "page/printed_check.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "page/routine_generation.h"
#include "page/routine_summary.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

struct Request {
  GeneratorRequest request;
  int input_bits;
  const char* acc;
  const char* temp;
  bool little_endian;
};

// The block the generator prints for the request.
std::string printed_block(const Request& r) {
  Register acc(r.acc, r.input_bits, r.little_endian);
  Register temp(r.temp, 0, r.little_endian);
  std::ostringstream out;
  EXPECT_EQ(generate_routine(out, r.request, acc, temp), 0);
  return out.str();
}

GeneratorRequest exact(uint64_t numerator, uint64_t denominator, ResultMode mode, int output_bits,
                       bool is_signed = false) {
  GeneratorRequest request;
  request.mode = mode;
  request.numerator = numerator;
  request.denominator = denominator;
  request.const_value = static_cast<double>(numerator) / static_cast<double>(denominator);
  request.output_bits = output_bits;
  request.is_signed = is_signed;
  return request;
}

GeneratorRequest approx(double constant, int output_bits) {
  GeneratorRequest request;
  request.const_value = constant;
  request.output_bits = output_bits;
  return request;
}

// `block` with the first `from` in it replaced by `to`.
std::string replaced(std::string block, const std::string& from, const std::string& to) {
  const std::size_t at = block.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? block : block.replace(at, from.size(), to);
}

// A routine leaves the generator only when its printed text, run on the simulator, keeps the
// promise of its comment block: a line lost or changed after the proof is refused with 11, a
// byte name printed twice with 4, and nothing of the refused routine is written.
TEST(PrintedCheckTest, PrintsOnlyRoutinesWhoseTextKeepsTheirPromise) {
  const Request tenth{exact(1, 10, ResultMode::kFloor, 5), 8, "A0", "A", true};
  const Request signed_tenth{exact(1, 10, ResultMode::kTrunc, 5, true), 8, "ACC", "TEMP", false};
  const Request wide{exact(1000, 3, ResultMode::kNearest, 33), 24, "ACC", "TEMP", false};
  const Request times_ten{approx(10, 12), 8, "ACC", "TEMP", false};
  const Request once{approx(1, 8), 8, "ACC", "TEMP", false};
  struct Case {
    const char* name;
    Request request;
    // Turns the printed block into the text checked; none when the block stays as printed.
    std::string (*edit)(const std::string&);
    int refusal;
  };
  const Case cases[] = {
      {"x / 10 with the names A0 and A, as printed", tenth, nullptr, 0},
      {"its last store lost", tenth,
       [](const std::string& b) { return replaced(b, "\tmovwf\tA00\n", ""); }, 11},
      {"signed x / 10 as printed", signed_tenth, nullptr, 0},
      {"signed x / 10 with a shift turned round", signed_tenth,
       [](const std::string& b) { return replaced(b, "\trrf", "\trlf"); }, 11},
      {"24 bits, edges and sample", wide, nullptr, 0},
      {"24 bits with the divisor of its correction changed", wide,
       [](const std::string& b) { return replaced(b, "\tmovlw\t6\n", "\tmovlw\t5\n"); }, 11},
      {"an approximation as printed", times_ten, nullptr, 0},
      {"an approximation with a byte declared twice", times_ten,
       [](const std::string& b) { return replaced(b, "\tcblock\n", "\tcblock\n\tACC0\n"); }, 4},
      {"a constant of 1 as printed", once, nullptr, 0},
      {"a constant of 1 without its result byte declared", once,
       [](const std::string& b) { return replaced(b, "\tACC0\n", ""); }, 11},
  };
  for (const Case& c : cases) {
    const std::string block = printed_block(c.request);
    const std::string text = c.edit ? c.edit(block) : block;
    ASSERT_FALSE(c.edit != nullptr && text == block) << c.name;
    std::ostringstream out;
    const PrintedRoutine routine{text,
                                 c.request.acc,
                                 c.request.temp,
                                 c.request.little_endian,
                                 c.request.input_bits,
                                 c.request.request.output_bits,
                                 Core::kMidrange};
    EXPECT_EQ(print_checked(out, routine, kPrintedCheckBits), c.refusal) << c.name;
    EXPECT_EQ(out.str(), c.refusal == 0 ? text : "") << c.name;
  }
}

// A routine for PIC18 is read back for that core: its multiplier and product bytes hold the
// promise, and what the core lacks or another core's request does not.
TEST(PrintedCheckTest, APic18RoutineIsRunOnItsOwnCore) {
  const std::string block =
      "; ACC = floor(ACC * 10)\n; Core: PIC18 (PIC18Fxxx), registers in the access bank\n"
      "; Input:  ACC0\t(8 bits)\n; Output: ACC0 .. ACC1\t(12 bits)\n\n\tcblock\n\tACC0\n"
      "\tACC1\n\tendc\n\n\tmovf\tACC0, w\n\tmullw\tD'10'\n\tmovf\tPRODH, w\n"
      "\tmovwf\tACC0\n\tmovf\tPRODL, w\n\tmovwf\tACC1\n";
  struct Case {
    const char* name;
    std::string block;
    Core core;
    PrintedCheck check;
  };
  const Case cases[] = {
      {"as written", block, Core::kPic18, PrintedCheck::kHolds},
      {"for mid-range", block, Core::kMidrange, PrintedCheck::kFails},
      {"another multiplier", replaced(block, "D'10'", "D'9'"), Core::kPic18, PrintedCheck::kFails},
      {"a mid-range rotate", block + "\trlf\tACC1, f\n", Core::kPic18, PrintedCheck::kFails},
  };
  for (const Case& c : cases) {
    const PrintedRoutine routine{c.block, "ACC", "TEMP", false, 8, 12, c.core};
    EXPECT_EQ(check_printed_routine(routine, kPrintedCheckBits), c.check) << c.name;
  }
}

// Code around a routine reads its result from the bytes its Output line names, so every one
// of them is declared, in every mode, also where the routine has nothing to do.
TEST(PrintedCheckTest, EveryOutputByteIsDeclared) {
  struct Case {
    const char* name;
    Request request;
  };
  const Case cases[] = {
      {"1, 8 bits", {approx(1, 8), 8, "QUOT", "TEMP", false}},
      {"1, 16 bits, little-endian", {approx(1, 16), 16, "QUOT", "TEMP", true}},
      {"1.0000001 within 50 %, 9 bits", {approx(1.0000001, 10), 9, "ACC", "TEMP", false}},
      {"0.5", {approx(0.5, 7), 8, "ACC", "TEMP", false}},
      {"floor of 1", {exact(1, 1, ResultMode::kFloor, 8), 8, "QUOT", "TEMP", false}},
      {"nearest of 1, 12 bits", {exact(1, 1, ResultMode::kNearest, 12), 12, "Q", "T", true}},
      {"signed trunc of 1", {exact(1, 1, ResultMode::kTrunc, 8, true), 8, "Q", "T", false}},
      {"floor of 3", {exact(3, 1, ResultMode::kFloor, 10), 8, "Q", "T", false}},
  };
  for (const Case& c : cases) {
    const std::string block = printed_block(c.request);
    const RoutineSummary summary = summarize_routine(block, c.request.acc);
    ASSERT_FALSE(summary.output_bytes.empty()) << c.name << "\n" << block;
    const ParseOutcome parsed = parse_generated_block(block);
    ASSERT_TRUE(parsed.program) << c.name << ": " << parsed.error;
    for (const std::string& byte : summary.output_bytes) {
      EXPECT_GE(parsed.program->index_of(byte), 0) << c.name << ": " << byte << "\n" << block;
    }
  }
}

}  // namespace
}  // namespace tarvek

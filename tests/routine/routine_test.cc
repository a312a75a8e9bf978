// Whole generated routines run on the simulator against the documented product.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "routine_runner.h"

namespace tarvek {
namespace {

struct Case {
  const char* name;
  double constant;
  int bits;
  double error;
};

void check_cases(const Case* begin, const Case* end, int random_count) {
  for (const Case* c = begin; c != end; ++c) {
    for (bool little_endian : {false, true}) {
      const RoutineRequest request{c->constant, c->bits, c->error, little_endian};
      const CheckReport report =
          check_request(request, sample_inputs(c->bits, 10, random_count, 7), 11);
      EXPECT_TRUE(report.passed) << c->name << ", " << describe(request) << ": " << report.failure
                                 << "\n"
                                 << generate_block(request);
    }
  }
}

// The requests whose generator calls are spelled out for program assembly.
TEST(RoutineTest, ExamplesOfProgramAssembly) {
  const Case cases[] = {
      {"one", 1, 8, 0},     {"half", 0.5, 8, 0}, {"one and a half", 1.5, 8, 0},
      {"ten", 10, 8, 0},    {"seven", 7, 8, 0},  {"a tenth at 1 %", 0.1, 8, 1},
      {"1024", 1024, 8, 0},
  };
  check_cases(std::begin(cases), std::end(cases), 0);
}

TEST(RoutineTest, IntegerConstants) {
  const Case cases[] = {
      {"3", 3, 8, 0},
      {"5 on 1 bit", 5, 1, 0},
      {"6 on 3 bits", 6, 3, 0},
      {"9 on 12 bits", 9, 12, 0},
      {"15", 15, 16, 0},
      {"100 on 7 bits", 100, 7, 0},
      {"255 on 9 bits", 255, 9, 0},
      {"257 on 16 bits", 257, 16, 0},
      {"1000 on 10 bits", 1000, 10, 0},
      {"4095 on 20 bits", 4095, 20, 0},
      {"65535 on 24 bits", 65535, 24, 0},
      {"12345 on 17 bits", 12345, 17, 0},
      {"a million on 32 bits", 1e6, 32, 0},
      {"2^31 on 32 bits", 2147483648.0, 32, 0},
      {"2^31 - 1 on 32 bits", 2147483647.0, 32, 0},
      {"1234567 on 5 bits", 1234567, 5, 0},
      {"256 on 8 bits", 256, 8, 0},
      {"3 x 2^20 - 2^16 on 16 bits", 3 * 1048576.0 - 65536, 16, 0},
  };
  check_cases(std::begin(cases), std::end(cases), 48);
}

TEST(RoutineTest, FractionalConstants) {
  const Case cases[] = {
      {"0.75", 0.75, 8, 0},
      {"0.3 at 1 %", 0.3, 12, 1},
      {"0.9 at 0.1 %", 0.9, 16, 0.1},
      {"0.123 at 5 %", 0.123, 8, 5},
      {"a third, exact as far as 16 bits go", 1.0 / 3, 16, 0},
      {"0.01 on 24 bits at 2 %", 0.01, 24, 2},
      {"0.6 on 4 bits", 0.6, 4, 0},
      {"0.875 on 2 bits", 0.875, 2, 0},
      {"0.005 on 8 bits: no term reaches", 0.005, 8, 0},
      {"0.7 on 32 bits", 0.7, 32, 0},
      {"0.999 on 20 bits at 0.01 %", 0.999, 20, 0.01},
  };
  check_cases(std::begin(cases), std::end(cases), 48);
}

TEST(RoutineTest, MixedConstants) {
  const Case cases[] = {
      {"3.3 at 0.5 %", 3.3, 16, 0.5},         {"1.1", 1.1, 8, 0},
      {"2.54 at 0.1 %", 2.54, 12, 0.1},       {"9.81", 9.81, 16, 0},
      {"pi at 0.01 %", 3.14159265, 24, 0.01}, {"1.2345 on 32 bits", 1.2345, 32, 0},
      {"100.5 on 15 bits", 100.5, 15, 0},     {"655.36 on 31 bits", 655.36, 31, 0},
      {"1.875 on 6 bits", 1.875, 6, 0},       {"1.125 on 16 bits", 1.125, 16, 0},
      {"1.75 on 9 bits", 1.75, 9, 0},
  };
  check_cases(std::begin(cases), std::end(cases), 48);
}

// Requests where the bytes the accumulator ends on differ from those of the Output line: a
// single term with one output bit more than the input, and right shifts that leave the
// value on more bytes than the output needs.
TEST(RoutineTest, ProductOnExactlyTheOutputBytes) {
  const Case cases[] = {
      {"1.01 at 5 %", 1.01, 8, 5},
      {"1.01 on 16 bits at 5 %", 1.01, 16, 5},
      {"36.86 on 19 bits at 50 %", 36.86, 19, 50},
      {"0.0766 on 20 bits at 50 %", 0.0766, 20, 50},
      {"0.11 on 11 bits", 0.11, 11, 0},
      {"0.03 on 13 bits", 0.03, 13, 0},
      {"0.0586 on 28 bits", 0.058630791615177959, 28, 0},
      {"83.58 on 18 bits at 25 %", 83.58, 18, 25},
  };
  check_cases(std::begin(cases), std::end(cases), 48);
}

// The generated block for constant 10, 8 bits, error 0, big-endian, ACC and TEMP, as kept
// in the golden file.
TEST(RoutineTest, GoldenBlockForTen) {
  std::ifstream file(TARVEK_ROUTINE_GOLDEN_DIR "/const10_8bit_big.txt", std::ios::binary);
  ASSERT_TRUE(file) << "golden file missing";
  std::stringstream golden;
  golden << file.rdbuf();
  Register acc("ACC", 8, false);
  Register temp("TEMP", 0, false);
  std::ostringstream out;
  generate_code(out, GeneratorRequest{10, 0, 12}, acc, temp);
  EXPECT_EQ(out.str(), golden.str());
}

}  // namespace
}  // namespace tarvek

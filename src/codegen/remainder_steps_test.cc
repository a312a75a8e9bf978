// The generators of a remainder, each run on our simulator over byte counts, byte orders,
// constants and values (edges and seeded random ones), from arbitrary bytes, W and flags,
// against plain integer arithmetic modulo the bytes' range, on both cores.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "codegen/correction.h"
#include "codegen/modular_multiple.h"
#include "codegen/remainder_step.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

const Core kCores[] = {Core::kMidrange, Core::kEnhanced};

std::vector<std::string> byte_names(const std::string& name, int count) {
  std::vector<std::string> names;
  for (int k = 0; k < count; ++k) {
    std::string byte = name;
    byte += std::to_string(k);
    names.push_back(byte);
  }
  return names;
}

Register bytes_register(const std::string& name, int bytes, bool little) {
  Register reg(name, 0, little);
  reg.set_width(8 * bytes, 0);
  return reg;
}

PicProgram parse(const std::string& code, const std::vector<std::string>& declared, Core core) {
  ParseOutcome parsed = parse_instructions(
      code, declared, core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange);
  EXPECT_TRUE(parsed.program) << parsed.error << "\n" << code;
  return parsed.program ? *parsed.program : PicProgram{};
}

uint64_t mask_of(int bytes) {
  return bytes >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * bytes)) - 1;
}

TEST(RemainderStepsTest, MultipleAddedInPlaceWrapsModuloTheBytes) {
  std::mt19937_64 random(5);
  for (const Core core : kCores) {
    for (const bool little : {false, true}) {
      for (int bytes = 1; bytes <= 4; ++bytes) {
        for (const uint64_t m : {uint64_t{1}, uint64_t{10}, uint64_t{255}, uint64_t{1000},
                                 uint64_t{3600}, uint64_t{65535}, uint64_t{0x12345678}}) {
          for (const bool subtract : {false, true}) {
            Register target = bytes_register("T", bytes, little);
            Register multiplicand = bytes_register("M", bytes, little);
            CodeWriter writer(core);
            add_multiple_in_place(writer, target, multiplicand, bytes, m, subtract);
            std::vector<std::string> declared = byte_names("T", bytes);
            for (const std::string& name : byte_names("M", bytes)) declared.push_back(name);
            const PicProgram program = parse(writer.code.text(), declared, core);
            for (int run = 0; run < 20; ++run) {
              const uint64_t t = random() & mask_of(bytes);
              const uint64_t v = random() & mask_of(bytes);
              PicMachine machine(program);
              machine.fill(random());
              machine.write_value("T", bytes, little, t);
              machine.write_value("M", bytes, little, v);
              machine.run();
              const uint64_t product = v * m;
              const uint64_t wanted = (subtract ? t - product : t + product) & mask_of(bytes);
              ASSERT_EQ(machine.read_value("T", bytes, little), wanted)
                  << bytes << " bytes, m " << m << (subtract ? " subtracted" : " added")
                  << (little ? ", little" : ", big")
                  << (core == Core::kEnhanced ? ", enhanced" : "");
            }
          }
        }
      }
    }
  }
}

// q = floor((a x + b) / d) in Q, x's low bytes where the step wants them; the remainder's
// bytes must hold a x + b - d q modulo their range.
TEST(RemainderStepsTest, RemainderOfTheQuotient) {
  struct Case {
    uint64_t a, b, d;
    int bytes;
  };
  const Case cases[] = {{1, 0, 10, 1},  {1, 0, 255, 1},   {1, 0, 256, 1},    {5, 0, 9, 1},
                        {1, 7, 100, 1}, {1, 0, 1000, 2},  {1, 0, 3600, 2},   {5000, 0, 1023, 2},
                        {10, 3, 7, 1},  {1, 0, 65537, 3}, {3, 1000, 4001, 2}};
  std::mt19937_64 random(9);
  for (const Core core : kCores) {
    for (const Case& c : cases) {
      for (const bool little : {false, true}) {
        const RemainderStep step{c.a, c.b, c.d, c.bytes};
        const bool in_place = saves_input_in_remainder(step);
        const int quotient_count = 4;
        Register rem = bytes_register("R", c.bytes, little);
        Register saved = bytes_register("S", c.bytes, little);
        Register quotient = bytes_register("Q", quotient_count, little);
        CodeWriter writer(core);
        compute_remainder(writer, rem, in_place ? rem : saved, quotient, quotient_count,
                          quotient_count, saved, step);
        std::vector<std::string> declared = byte_names("R", c.bytes);
        for (const std::string& name : byte_names("S", c.bytes)) declared.push_back(name);
        for (const std::string& name : byte_names("Q", quotient_count)) declared.push_back(name);
        const PicProgram program = parse(writer.code.text(), declared, core);
        for (int run = 0; run < 200; ++run) {
          const uint64_t x = run < 4 ? (run < 2 ? run : 0xFFFFFFFF - run) : random() & 0xFFFFFFFF;
          const uint64_t q = (c.a * x + c.b) / c.d;
          if (q > 0xFFFFFFFF) continue;
          PicMachine machine(program);
          machine.fill(random());
          machine.write_value(in_place ? "R" : "S", c.bytes, little, x & mask_of(c.bytes));
          machine.write_value("Q", quotient_count, little, q);
          machine.run();
          EXPECT_EQ(machine.read_value("R", c.bytes, little), (c.a * x + c.b - c.d * q))
              << c.a << "x + " << c.b << " over " << c.d << ", x " << x
              << (little ? ", little" : ", big") << (core == Core::kEnhanced ? ", enhanced" : "");
        }
      }
    }
  }
}

// A quotient short by up to `steps` is corrected, and the final remainder kept in R0 (x in R0
// when a is 1, else in T0).
TEST(RemainderStepsTest, CorrectionKeepsTheRemainder) {
  struct Case {
    int a, b, d, steps;
  };
  for (const Core core : kCores) {
    for (const Case c : {Case{1, 0, 10, 1}, Case{6, 7, 10, 2}, Case{2, 3, 6, 2}, Case{3, 0, 85, 2},
                         Case{1, 0, 127, 1}, Case{257, 1, 9, 1}}) {
      for (const bool little : {false, true}) {
        Register q("Q", 16, little);
        Register r("R", 8, little);
        Register t("T", 8, little);
        CodeWriter writer(core);
        const CorrectionStep step{c.a & 0xFF, c.b, c.d, c.steps, true};
        const std::string code = correct_quotient(writer, q, 2, r, t, step).text();
        std::vector<std::string> declared = byte_names("Q", 2);
        declared.push_back("R0");
        declared.push_back("T0");
        const PicProgram program = parse(code, declared, core);
        for (uint64_t x = 0; x < 700; ++x) {
          const uint64_t exact = (c.a * x + c.b) / c.d;
          for (int short_by = 0; short_by <= c.steps && short_by <= static_cast<int>(exact);
               ++short_by) {
            PicMachine machine(program);
            machine.fill(x * 5 + short_by);
            machine.write_value("Q", 2, little, exact - short_by);
            machine.set_byte((c.a & 0xFF) == 1 ? "R0" : "T0", static_cast<uint8_t>(x));
            machine.run();
            ASSERT_EQ(machine.read_value("Q", 2, little), exact)
                << c.a << "x+" << c.b << " over " << c.d << " at " << x;
            ASSERT_EQ(machine.byte("R0"), c.a * x + c.b - c.d * exact)
                << c.a << "x+" << c.b << " over " << c.d << " at " << x << " short by " << short_by;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvek

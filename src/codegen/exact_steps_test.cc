// The generators the exact routines add to the walk, each run on our simulator over widths,
// byte orders, values (edges and seeded random ones) and arbitrary W and flags, against plain
// integer arithmetic; and each descriptor checked against the value left behind.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codegen/constant_add.h"
#include "codegen/correction.h"
#include "codegen/self_add.h"
#include "codegen/shifted_copy.h"
#include "codegen/signed_steps.h"
#include "sim/pic_machine.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

std::vector<std::string> byte_names(const std::string& name, int count) {
  std::vector<std::string> names;
  for (int k = 0; k < count; ++k) {
    std::string byte = name;
    byte += std::to_string(k);
    names.push_back(byte);
  }
  return names;
}

// Values of `bits` bits: the edges and some random ones.
std::vector<uint64_t> values(int bits, std::mt19937_64& random) {
  const uint64_t max = bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  std::vector<uint64_t> all{0, 1, max, max - 1, max >> 1, (max >> 1) + 1};
  for (int i = 0; i < 12; ++i) all.push_back(random() & max);
  for (uint64_t& v : all) v &= max;
  return all;
}

// Runs `code` over the declared names after `setup`; returns the machine for reading.
PicMachine run(const PicProgram& program, uint64_t seed,
               const std::function<void(PicMachine&)>& setup) {
  PicMachine machine(program);
  machine.fill(seed);
  setup(machine);
  machine.run();
  return machine;
}

PicProgram parse(const std::string& code, const std::vector<std::string>& declared) {
  ParseOutcome parsed = parse_instructions(code, declared);
  EXPECT_TRUE(parsed.program) << parsed.error << "\n" << code;
  return parsed.program ? *parsed.program : PicProgram{};
}

TEST(ExactStepsTest, ConstantAddAndSelfAddKeepValueAndWidth) {
  std::mt19937_64 random(3);
  for (const bool little : {false, true}) {
    for (int bits = 1; bits <= 40; bits += 3) {
      for (const uint64_t c : {uint64_t{1}, uint64_t{255}, uint64_t{256}, uint64_t{0xFF00FF},
                               uint64_t{0x12345}, random() & 0xFFFFFFFF}) {
        Register acc("A", 0, little);
        acc.set_width(bits, (8 - bits % 8) % 8);
        CodeWriter writer;
        std::string code = add_constant(writer, acc, c);
        writer.clear_text();
        code += writer.flush_carry();
        const int bytes = std::max(acc.bytes, acc.value_bytes());
        const PicProgram program = parse(code, byte_names("A", bytes));
        for (const uint64_t x : values(bits, random)) {
          const PicMachine m = run(program, x, [&](PicMachine& machine) {
            machine.write_value("A", bytes, little, 0);
            machine.write_value("A", (bits + 7) / 8, little, x);
          });
          const uint64_t got = m.read_value("A", acc.value_bytes(), little);
          ASSERT_EQ(got, x + c) << bits << " bits + " << c << " at " << x;
          ASSERT_LT(got >> 1 >> (acc.width - 1), 1u) << "width " << acc.width;
        }
      }
      for (int shift = 1; shift <= 3; ++shift) {
        Register acc("A", 0, little);
        acc.set_width(bits, (8 - bits % 8) % 8);
        CodeWriter writer;
        std::string code = add_upper_bytes(writer, acc, shift);
        writer.clear_text();
        code += writer.flush_carry();
        const int bytes = std::max(acc.bytes, acc.value_bytes());
        const PicProgram program = parse(code, byte_names("A", bytes));
        for (const uint64_t x : values(bits, random)) {
          const PicMachine m = run(program, x + 7, [&](PicMachine& machine) {
            machine.write_value("A", bytes, little, 0);
            machine.write_value("A", (bits + 7) / 8, little, x);
          });
          ASSERT_EQ(m.read_value("A", acc.value_bytes(), little), x + (x >> (8 * shift)))
              << bits << " bits, " << shift << " bytes, at " << x;
        }
      }
    }
  }
}

TEST(ExactStepsTest, ShiftedCopyLeavesSourceAndShiftsEveryWay) {
  std::mt19937_64 random(4);
  for (const bool little : {false, true}) {
    for (int bits = 1; bits <= 40; bits += 3) {
      for (int k = 1; k <= 21; ++k) {
        Register src("S", 0, little);
        src.set_width(bits, (8 - bits % 8) % 8);
        Register dst("D", 0, little);
        CodeWriter writer;
        const std::string code = copy_shifted_right(writer, dst, src, k);
        if (dst.value_bytes() == 0) {
          EXPECT_TRUE(code.empty());
          continue;
        }
        std::vector<std::string> declared = byte_names("S", src.value_bytes());
        for (const std::string& name : byte_names("D", dst.value_bytes())) declared.push_back(name);
        const PicProgram program = parse(code, declared);
        for (const uint64_t x : values(bits, random)) {
          const PicMachine m = run(program, x + 11, [&](PicMachine& machine) {
            machine.write_value("S", src.value_bytes(), little, x);
          });
          ASSERT_EQ(m.read_value("D", dst.value_bytes(), little), x >> k)
              << bits << " bits >> " << k << " at " << x << "\n"
              << code;
          ASSERT_EQ(m.read_value("S", src.value_bytes(), little), x);
          ASSERT_EQ((x >> k) >> dst.width, 0u);
        }
      }
    }
  }
}

TEST(ExactStepsTest, SignedStepsAndCorrection) {
  std::mt19937_64 random(5);
  for (const bool little : {false, true}) {
    for (int bits = 1; bits <= 32; ++bits) {
      const int bytes = (bits + 7) / 8;
      Register reg("A", bits, little);
      Register sign("T", 0, little);
      sign.set_width(8, 0);
      CodeWriter writer;
      std::string code = bias_signed_input(writer, reg, bits);
      const std::string biased = code;
      code = save_sign(writer, reg, bytes, sign);
      code += negate_if_signed(writer, reg, bytes, sign);
      std::vector<std::string> declared = byte_names("A", bytes);
      declared.push_back("T0");
      const PicProgram bias = parse(biased, declared);
      const PicProgram magnitude = parse(code, declared);
      const int64_t half = int64_t{1} << (bits - 1);
      const uint64_t mask = bytes == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * bytes)) - 1;
      for (const uint64_t raw : values(bits, random)) {
        const int64_t x =
            static_cast<int64_t>(raw) - (raw >= static_cast<uint64_t>(half) ? 2 * half : 0);
        const auto setup = [&](PicMachine& machine) {
          machine.write_value("A", bytes, little, static_cast<uint64_t>(x) & mask);
        };
        ASSERT_EQ(run(bias, raw, setup).read_value("A", bytes, little),
                  static_cast<uint64_t>(x + half))
            << bits << " bits, bias of " << x;
        ASSERT_EQ(run(magnitude, raw, setup).read_value("A", bytes, little),
                  static_cast<uint64_t>(x < 0 ? -x : x))
            << bits << " bits, magnitude of " << x;
      }
    }
  }
  // q within `steps` below floor((a x + b) / d) is corrected to it, for every 9-bit x.
  struct Case {
    int a, b, d, steps;
  };
  for (const Case c : {Case{1, 0, 10, 1}, Case{6, 7, 10, 2}, Case{2, 3, 6, 2}, Case{3, 0, 85, 2},
                       Case{1, 0, 127, 1}}) {
    for (const bool little : {false, true}) {
      Register q("Q", 16, little);
      Register r("R", 8, little);
      Register t("T", 8, little);
      CodeWriter writer;
      const std::string code =
          correct_quotient(writer, q, 2, r, t, CorrectionStep{c.a, c.b, c.d, c.steps});
      std::vector<std::string> declared = byte_names("Q", 2);
      declared.push_back("R0");
      declared.push_back("T0");
      const PicProgram program = parse(code, declared);
      for (uint64_t x = 0; x < 512; ++x) {
        const uint64_t exact = (c.a * x + c.b) / c.d;
        for (int short_by = 0; short_by <= c.steps && short_by <= static_cast<int>(exact);
             ++short_by) {
          const PicMachine m = run(program, x * 3 + short_by, [&](PicMachine& machine) {
            machine.write_value("Q", 2, little, exact - short_by);
            machine.set_byte("R0", static_cast<uint8_t>(x));
          });
          ASSERT_EQ(m.read_value("Q", 2, little), exact)
              << c.a << "x+" << c.b << " over " << c.d << " at " << x << " short by " << short_by;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvek

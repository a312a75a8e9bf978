// The generators the exact routines add to the walk, each run on our simulator over widths,
// byte orders, values (edges and seeded random ones) and arbitrary W and flags, against plain
// integer arithmetic; and each descriptor checked against the value left behind. All of it on
// both cores; the enhanced core's code must also leave the same descriptors, carry state and
// a true W record in no more instructions than the mid-range core's.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "codegen/arithmetic.h"
#include "codegen/constant_add.h"
#include "codegen/correction.h"
#include "codegen/listing_for_tests.h"
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

const Core kCores[] = {Core::kMidrange, Core::kEnhanced, Core::kBaseline};

const char* core_name(Core core) {
  switch (core) {
    case Core::kEnhanced:
      return "enhanced";
    case Core::kBaseline:
      return "baseline";
    case Core::kPic18:
      return "pic18";
    case Core::kMidrange:
      break;
  }
  return "mid-range";
}

// Parsed for the core's parts, which refuse an instruction the core lacks.
PicProgram parse(const std::string& code, const std::vector<std::string>& declared, Core core) {
  const PicCore part = core == Core::kEnhanced   ? PicCore::kEnhanced
                       : core == Core::kBaseline ? PicCore::kBaseline
                                                 : PicCore::kMidrange;
  ParseOutcome parsed = parse_instructions(code, declared, part);
  EXPECT_TRUE(parsed.program) << parsed.error << "\n" << code;
  return parsed.program ? *parsed.program : PicProgram{};
}

// The W record is true on the machine after the run: W holds the byte it names, if any.
void expect_w_record(const CodeWriter& writer, const PicMachine& machine, const std::string& what) {
  if (const Register* held = writer.w_register) {
    EXPECT_EQ(machine.w, machine.byte(held->name + std::to_string(held->base + writer.w_byte)))
        << what << ": W is not " << held->name << held->base + writer.w_byte;
  }
}

TEST(ExactStepsTest, ConstantAddAndSelfAddKeepValueAndWidth) {
  for (const Core core : kCores) {
    std::mt19937_64 random(3);
    for (const bool little : {false, true}) {
      for (int bits = 1; bits <= 40; bits += 3) {
        for (const uint64_t c : {uint64_t{1}, uint64_t{255}, uint64_t{256}, uint64_t{0xFF00FF},
                                 uint64_t{0x12345}, random() & 0xFFFFFFFF}) {
          Register acc("A", 0, little);
          acc.set_width(bits, (8 - bits % 8) % 8);
          CodeWriter writer(core);
          std::string code = add_constant(writer, acc, c).text();
          writer.clear_code();
          code += writer.flush_carry();
          const int bytes = std::max(acc.bytes, acc.value_bytes());
          const PicProgram program = parse(code, byte_names("A", bytes), core);
          for (const uint64_t x : values(bits, random)) {
            const PicMachine m = run(program, x, [&](PicMachine& machine) {
              machine.write_value("A", bytes, little, 0);
              machine.write_value("A", (bits + 7) / 8, little, x);
            });
            const uint64_t got = m.read_value("A", acc.value_bytes(), little);
            ASSERT_EQ(got, x + c) << core_name(core) << ", " << bits << " bits + " << c << " at "
                                  << x;
            ASSERT_LT(got >> 1 >> (acc.width - 1), 1u) << "width " << acc.width;
            expect_w_record(writer, m, "constant add");
          }
        }
        for (int shift = 1; shift <= 3; ++shift) {
          Register acc("A", 0, little);
          acc.set_width(bits, (8 - bits % 8) % 8);
          CodeWriter writer(core);
          std::string code = add_upper_bytes(writer, acc, shift).text();
          writer.clear_code();
          code += writer.flush_carry();
          const int bytes = std::max(acc.bytes, acc.value_bytes());
          const PicProgram program = parse(code, byte_names("A", bytes), core);
          for (const uint64_t x : values(bits, random)) {
            const PicMachine m = run(program, x + 7, [&](PicMachine& machine) {
              machine.write_value("A", bytes, little, 0);
              machine.write_value("A", (bits + 7) / 8, little, x);
            });
            ASSERT_EQ(m.read_value("A", acc.value_bytes(), little), x + (x >> (8 * shift)))
                << core_name(core) << ", " << bits << " bits, " << shift << " bytes, at " << x;
            expect_w_record(writer, m, "self add");
          }
        }
      }
    }
  }
}

// v += v >> 4 in place, through one scratch byte, for every width and byte order, on the
// simulator; never longer than the shifted copy and the register addition it stands for.
TEST(ExactStepsTest, NibbleAddedDownIsTheValuePlusItsSixteenth) {
  for (const Core core : kCores) {
    std::mt19937_64 random(6);
    for (const bool little : {false, true}) {
      for (int bits = 1; bits <= 33; ++bits) {
        Register acc("A", 0, little);
        acc.set_width(bits, (8 - bits % 8) % 8);
        Register scratch("T", 0, little);
        CodeWriter writer(core);
        const std::string added = add_nibble_down(writer, acc, scratch).text();
        writer.clear_code();
        const std::string code = added + writer.flush_carry().text();
        const int bytes = std::max(acc.bytes, acc.value_bytes());
        std::vector<std::string> declared = byte_names("A", bytes);
        declared.push_back("T0");
        const PicProgram program = parse(code, declared, core);
        for (const uint64_t x : values(bits, random)) {
          const PicMachine m = run(program, x + 5, [&](PicMachine& machine) {
            machine.write_value("A", bytes, little, 0);
            machine.write_value("A", (bits + 7) / 8, little, x);
          });
          ASSERT_EQ(m.read_value("A", acc.value_bytes(), little), x + (x >> 4))
              << core_name(core) << ", " << bits << " bits, at " << x;
          expect_w_record(writer, m, "nibble added down");
        }
        // What it stands for: a copy shifted by a nibble, added.
        Register again("A", 0, little);
        again.set_width(bits, (8 - bits % 8) % 8);
        Register copy("T", 0, little);
        CodeWriter other(core);
        std::string separate = copy_shifted_right(other, copy, again, 4).text();
        separate += add_register(other, again, copy).text();
        EXPECT_LE(std::count(added.begin(), added.end(), '\n'),
                  std::count(separate.begin(), separate.end(), '\n'))
            << core_name(core) << ", " << bits << " bits";
      }
    }
  }
}

TEST(ExactStepsTest, ShiftedCopyLeavesSourceAndShiftsEveryWay) {
  for (const Core core : kCores) {
    std::mt19937_64 random(4);
    for (const bool little : {false, true}) {
      for (int bits = 1; bits <= 40; bits += 3) {
        for (int k = 1; k <= 21; ++k) {
          Register src("S", 0, little);
          src.set_width(bits, (8 - bits % 8) % 8);
          Register dst("D", 0, little);
          CodeWriter writer(core);
          const std::string code = copy_shifted_right(writer, dst, src, k).text();
          if (dst.value_bytes() == 0) {
            EXPECT_TRUE(code.empty());
            continue;
          }
          std::vector<std::string> declared = byte_names("S", src.value_bytes());
          // Every byte dst allocates: a copy made by shifting left uses one past its value.
          for (const std::string& name : byte_names("D", dst.bytes)) declared.push_back(name);
          const PicProgram program = parse(code, declared, core);
          for (const uint64_t x : values(bits, random)) {
            const PicMachine m = run(program, x + 11, [&](PicMachine& machine) {
              machine.write_value("S", src.value_bytes(), little, x);
            });
            ASSERT_EQ(m.read_value("D", dst.value_bytes(), little), x >> k)
                << core_name(core) << ", " << bits << " bits >> " << k << " at " << x << "\n"
                << code;
            ASSERT_EQ(m.read_value("S", src.value_bytes(), little), x);
            ASSERT_EQ((x >> k) >> dst.width, 0u);
            expect_w_record(writer, m, "shifted copy");
          }
        }
      }
    }
  }
}

TEST(ExactStepsTest, SignedStepsAndCorrection) {
  for (const Core core : kCores) {
    std::mt19937_64 random(5);
    for (const bool little : {false, true}) {
      for (int bits = 1; bits <= 32; ++bits) {
        const int bytes = (bits + 7) / 8;
        Register reg("A", bits, little);
        Register sign("T", 0, little);
        sign.set_width(8, 0);
        CodeWriter writer(core);
        std::string code = bias_signed_input(writer, reg, bits).text();
        const std::string biased = code;
        code = save_sign(writer, reg, bytes, sign).text();
        code += negate_if_signed(writer, reg, bytes, sign);
        std::vector<std::string> declared = byte_names("A", bytes);
        declared.push_back("T0");
        const PicProgram bias = parse(biased, declared, core);
        const PicProgram magnitude = parse(code, declared, core);
        const int64_t half = int64_t{1} << (bits - 1);
        const uint64_t mask = bytes == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * bytes)) - 1;
        for (const uint64_t raw : values(bits, random)) {
          const int64_t x =
              static_cast<int64_t>(raw) - (raw >= static_cast<uint64_t>(half) ? 2 * half : 0);
          const auto setup = [&](PicMachine& machine) {
            machine.write_value("A", bytes, little, static_cast<uint64_t>(x) & mask);
          };
          const std::string what = std::string(core_name(core)) + ", " + std::to_string(bits) +
                                   " bits, x = " + std::to_string(x);
          ASSERT_EQ(run(bias, raw, setup).read_value("A", bytes, little),
                    static_cast<uint64_t>(x + half))
              << what << ": bias";
          const PicMachine m = run(magnitude, raw, setup);
          ASSERT_EQ(m.read_value("A", bytes, little), static_cast<uint64_t>(x < 0 ? -x : x))
              << what << ": magnitude";
          expect_w_record(writer, m, what);
        }
        // The result's constant: minus an offset m, modulo the bytes; 1 and the bytes' all-ones
        // value carry through every byte.
        for (const uint64_t value :
             {uint64_t{1}, mask, mask - 0xFF, (~uint64_t{0x1234}) & mask, random() & mask}) {
          Register sum("A", 8 * bytes, little);
          CodeWriter adder(core);
          const PicProgram program = parse(add_constant_wrapping(adder, sum, bytes, value).text(),
                                           byte_names("A", bytes), core);
          for (const uint64_t x : values(8 * bytes, random)) {
            const PicMachine m = run(program, x ^ value, [&](PicMachine& machine) {
              machine.write_value("A", bytes, little, x);
            });
            ASSERT_EQ(m.read_value("A", bytes, little), (x + value) & mask)
                << core_name(core) << ", " << bytes << " bytes: " << x << " + " << value;
            expect_w_record(adder, m, "wrapping add");
          }
        }
      }
    }
  }
}

// q within `steps` below floor((a x + b) / d) is corrected to it, for every 9-bit x, on
// quotients of one to three bytes; a quotient just below a multiple of 2^16 (its upper bytes
// all ones) makes the increment carry through every byte.
TEST(ExactStepsTest, CorrectionReachesTheQuotient) {
  struct Case {
    int a, b, d, steps;
  };
  for (const Core core : kCores) {
    // Single steps with an offset b (the baseline core's sign test, one with b = d, where
    // nothing is added) besides those without.
    for (const Case c : {Case{1, 0, 10, 1}, Case{6, 7, 10, 2}, Case{2, 3, 6, 2}, Case{3, 0, 85, 2},
                         Case{1, 0, 127, 1}, Case{1, 5, 10, 1}, Case{3, 250, 7, 1},
                         Case{1, 10, 10, 1}, Case{5, 1, 128, 1}}) {
      for (const bool little : {false, true}) {
        for (int bytes = 1; bytes <= 3; ++bytes) {
          const uint64_t mask = (uint64_t{1} << (8 * bytes)) - 1;
          Register q("Q", 8 * bytes, little);
          Register r("R", 8, little);
          Register t("T", 8, little);
          CodeWriter writer(core);
          const std::string code =
              correct_quotient(writer, q, bytes, r, t, CorrectionStep{c.a, c.b, c.d, c.steps})
                  .text();
          std::vector<std::string> declared = byte_names("Q", bytes);
          declared.push_back("R0");
          declared.push_back("T0");
          const PicProgram program = parse(code, declared, core);
          for (const uint64_t high : {uint64_t{0}, mask - 0xFF}) {
            for (uint64_t x = 0; x < 512; ++x) {
              const uint64_t exact = (c.a * x + c.b) / c.d;
              for (int short_by = 0; short_by <= c.steps && short_by <= static_cast<int>(exact);
                   ++short_by) {
                const PicMachine m = run(program, x * 3 + short_by, [&](PicMachine& machine) {
                  machine.write_value("Q", bytes, little, (high + exact - short_by) & mask);
                  machine.set_byte("R0", static_cast<uint8_t>(x));
                });
                ASSERT_EQ(m.read_value("Q", bytes, little), (high + exact) & mask)
                    << core_name(core) << ", " << bytes << " bytes: " << c.a << "x+" << c.b
                    << " over " << c.d << " at " << x << " short by " << short_by;
                expect_w_record(writer, m, "correction");
              }
            }
          }
        }
      }
    }
  }
}

// What a generator call wrote and left behind.
struct Written {
  std::string code;
  int width = 0;
  int spare = 0;
  bool carry_known = false;
  bool carry_overflow = false;
};

// The enhanced core's own instructions in each generator, written out: the carry taken in by
// addwfc (W loaded only when the addend changes), a doubling by lslf, a first shift by lsrf
// without clrc. Each call leaves the descriptor and carry state of the mid-range core's call
// in fewer instructions.
TEST(ExactStepsTest, EnhancedListings) {
  struct Case {
    const char* name;
    std::function<Written(CodeWriter&)> call;
    const char* listing;
  };
  // A register of `bits` bits in its first bytes; the written code and the state it left.
  const auto reg = [](int bits, bool little) {
    Register r("A", 0, little);
    r.set_width(bits, (8 - bits % 8) % 8);
    return r;
  };
  const auto written = [](CodeWriter& writer, const Code& code, const Register& r) {
    return Written{code.text(), r.width, r.spare, writer.carry_known_of(r),
                   writer.carry_overflow_of(r)};
  };
  const Case cases[] = {
      {"constant add, big-endian, 16 bits + 0x105",
       [&](CodeWriter& w) {
         Register a = reg(16, false);
         return written(w, add_constant(w, a, 0x105), a);
       },
       "movlw 5; addwf A1, f; movlw 1; addwfc A0, f"},
      {"constant add, little-endian, 24 bits + 0xFF",
       [&](CodeWriter& w) {
         Register a = reg(24, true);
         return written(w, add_constant(w, a, 0xFF), a);
       },
       "movlw D'-1'; addwf A0, f; movlw 0; addwfc A1, f; addwfc A2, f"},
      {"wrapping add, little-endian, 3 bytes + 0xFFFF00",
       [&](CodeWriter& w) {
         Register a = reg(24, true);
         return written(w, add_constant_wrapping(w, a, 3, 0xFFFF00), a);
       },
       "movlw D'-1'; addwf A1, f; addwfc A2, f"},
      {"self add, big-endian, 24 bits + 8 bits down",
       [&](CodeWriter& w) {
         Register a = reg(24, false);
         return written(w, add_upper_bytes(w, a, 1), a);
       },
       "movf A1, w; addwf A2, f; movf A0, w; addwfc A1, f; movlw 0; addwfc A0, f"},
      {"sign put back, little-endian, 3 bytes",
       [&](CodeWriter& w) {
         Register a = reg(24, true);
         Register sign("T", 0, true);
         sign.set_width(8, 0);
         return written(w, negate_if_signed(w, a, 3, sign), a);
       },
       "movf T0, w; addwf A0, f; addwfc A1, f; addwfc A2, f; xorwf A0, f; xorwf A1, f; "
       "xorwf A2, f"},
      {"correction of 3x / 10, big-endian, 2 bytes",
       [&](CodeWriter& w) {
         Register q = reg(16, false);
         Register r("R", 8, false);
         Register t("T", 8, false);
         return written(w, correct_quotient(w, q, 2, r, t, CorrectionStep{3, 0, 10, 1}), q);
       },
       "movf R0, w; movwf T0; lslf T0, f; addwf T0, f; movf A1, w; movwf R0; lslf R0, f; "
       "lslf R0, f; addwf R0, f; lslf R0, f; movf R0, w; subwf T0, w; addlw D'-10'; "
       "movlw 0; addwfc A1, f; addwfc A0, f"},
      {"shifted copy, big-endian, 16 bits >> 2",
       [&](CodeWriter& w) {
         Register src = reg(16, false);
         Register dst("D", 0, false);
         return written(w, copy_shifted_right(w, dst, src, 2), dst);
       },
       "lsrf A0, w; movwf D0; rrf A1, w; movwf D1; lsrf D0, f; rrf D1, f"},
  };
  for (const Case& c : cases) {
    CodeWriter midrange;
    CodeWriter enhanced(Core::kEnhanced);
    const Written mid = c.call(midrange);
    const Written enh = c.call(enhanced);
    EXPECT_EQ(enh.code, lines(c.listing)) << c.name;
    EXPECT_LT(std::count(enh.code.begin(), enh.code.end(), '\n'),
              std::count(mid.code.begin(), mid.code.end(), '\n'))
        << c.name;
    EXPECT_EQ(enh.width, mid.width) << c.name;
    EXPECT_EQ(enh.spare, mid.spare) << c.name;
    EXPECT_EQ(enh.carry_known, mid.carry_known) << c.name;
    EXPECT_EQ(enh.carry_overflow, mid.carry_overflow) << c.name;
  }
}

// The baseline core's correction, written out: without addlw, a single step takes d off with
// the target's b and tests the sign of r - d (btfss in place of addlw and skpnc: one
// instruction less than the mid-range step, three where b - d leaves nothing to add), or
// loads d and subtracts it (one instruction more) where the target has no b; with two steps
// nothing changes.
TEST(ExactStepsTest, BaselineCorrectionListings) {
  struct Case {
    const char* name;
    CorrectionStep step;
    int quotient_bytes;
    const char* listing;
    // Instructions more than the mid-range core's.
    int extra;
  };
  const Case cases[] = {
      {"(x + 3) / 10, 2 bytes: the sign of r - 10",
       {1, 3, 10, 1},
       2,
       "movlw D'-7'; addwf R0, f; movf A1, w; addwf A1, w; subwf R0, f; movwf T0; addwf T0, w; "
       "movwf T0; addwf T0, w; subwf R0, f; btfss R0, 7; incf A1, f; skpnz; incf A0, f",
       -1},
      {"(x + 10) / 10, 1 byte: nothing left to add",
       {1, 10, 10, 1},
       1,
       "movf A1, w; addwf A1, w; subwf R0, f; movwf T0; addwf T0, w; movwf T0; addwf T0, w; "
       "subwf R0, f; btfss R0, 7; incf A1, f",
       -3},
      {"x / 10, 2 bytes: 10 loaded",
       {1, 0, 10, 1},
       2,
       "movf A1, w; addwf A1, w; subwf R0, f; movwf T0; addwf T0, w; movwf T0; addwf T0, w; "
       "subwf R0, f; movlw D'10'; subwf R0, w; skpnc; incf A1, f; skpnz; incf A0, f",
       1},
      {"(2x + 3) / 6, two steps",
       {2, 3, 6, 2},
       1,
       "movf R0, w; movwf T0; addwf T0, f; movlw 3; addwf T0, f; movf A1, w; addwf A1, w; subwf "
       "T0, f; movwf R0; addwf R0, w; subwf T0, f; "
       "movlw 6; subwf T0, w; skpnc; movwf T0; skpnc; incf A1, f; movlw 6; subwf T0, w; skpnc; "
       "incf A1, f",
       0},
  };
  for (const Case& c : cases) {
    std::string text[2];
    for (const Core core : {Core::kMidrange, Core::kBaseline}) {
      Register q("A", 16, false);
      Register r("R", 8, false);
      Register t("T", 8, false);
      CodeWriter writer(core);
      text[core == Core::kBaseline] =
          correct_quotient(writer, q, c.quotient_bytes, r, t, c.step).text();
    }
    EXPECT_EQ(text[1], lines(c.listing)) << c.name;
    EXPECT_EQ(std::count(text[1].begin(), text[1].end(), '\n'),
              std::count(text[0].begin(), text[0].end(), '\n') + c.extra)
        << c.name;
  }
}

}  // namespace
}  // namespace tarvek

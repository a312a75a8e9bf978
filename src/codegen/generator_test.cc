#include "codegen/generator.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "codegen/arithmetic.h"
#include "codegen/code_writer.h"
#include "codegen/decomposition.h"
#include "codegen/listing_for_tests.h"
#include "codegen/program_assembly.h"
#include "codegen/register.h"
#include "codegen/shift.h"

namespace tarvek {
namespace {

std::string block(const std::string& declarations, const std::string& code) {
  return "\n\n\tcblock\n" + declarations + "\tendc\n\n" + code + "\n";
}

// A decomposition with the given (index, digit) terms; term_end is one past the last.
Decomposition terms(std::initializer_list<std::pair<int, int>> chosen, int input_bits) {
  Decomposition d;
  for (const auto& [index, digit] : chosen) {
    d.digits[static_cast<size_t>(index)] = static_cast<int8_t>(digit);
    d.term_end = index + 1;
    ++d.term_count;
  }
  d.input_bytes = (input_bits + 7) / 8;
  return d;
}

// The generator calls that program assembly is expected to make, replayed on fresh
// registers and a fresh writer; the caller's steps (sign flag, carry clearing after an
// addition to a signed accumulator) are written out by each case.
using Replay = std::function<std::string(CodeWriter&, Register&, Register&)>;

struct SequenceCase {
  const char* name;
  Decomposition decomposition;
  int output_bits;
  Replay expected_calls;
};

std::string flush_if_narrow(CodeWriter& w, Register& acc, int output_bits) {
  if (output_bits <= acc.width) return "";
  w.clear_code();
  return w.flush_carry().text();
}

TEST(ProgramAssemblyTest, GeneratorCallSequences) {
  const SequenceCase cases[] = {
      {"1", terms({{31, 1}}, 8), 8, [](CodeWriter&, Register&, Register&) { return ""; }},
      {"0.5", terms({{32, 1}}, 8), 7,
       [](CodeWriter& w, Register& acc, Register&) { return shift_right(w, acc, 1).text(); }},
      {"10", terms({{28, 1}, {30, 1}}, 8), 12,
       [](CodeWriter& w, Register& acc, Register& temp) {
         std::string code = shift_left(w, acc, 1).text();
         code += temp.copy_from(w, acc);
         code += shift_left(w, temp, 2);
         code += add_register(w, acc, temp);
         return code + flush_if_narrow(w, acc, 12);
       }},
      {"7", terms({{28, 1}, {31, -1}}, 8), 11,
       [](CodeWriter& w, Register& acc, Register& temp) {
         std::string code = temp.copy_from(w, acc).text();
         code += negate_register(w, acc);
         acc.is_signed = true;
         code += shift_left(w, temp, 3);
         code += add_register(w, acc, temp);
         w.set_carry_known(false, acc);
         w.set_carry_overflow(false, acc);
         acc.is_signed = false;
         return code + flush_if_narrow(w, acc, 11);
       }},
      {"1024", terms({{21, 1}}, 8), 18,
       [](CodeWriter& w, Register& acc, Register&) { return shift_left(w, acc, 10).text(); }},
      {"3 times 2^20 minus 2^16 at 16 bits", terms({{10, 1}, {11, 1}, {15, -1}}, 16), 38,
       [](CodeWriter& w, Register& acc, Register& temp) {
         std::string code = shift_left(w, acc, 16).text();
         code += temp.copy_from(w, acc);
         code += negate_register(w, acc);
         acc.is_signed = true;
         code += shift_left(w, temp, 4);
         code += add_register(w, acc, temp);
         w.set_carry_known(false, acc);
         w.set_carry_overflow(false, acc);
         acc.is_signed = false;
         code += shift_left(w, temp, 1);
         code += add_register(w, acc, temp);
         return code + flush_if_narrow(w, acc, 38);
       }},
      {"1.25 minus 2^-3 at 16 bits", terms({{31, 1}, {33, 1}, {34, -1}}, 16), 17,
       [](CodeWriter& w, Register& acc, Register& temp) {
         std::string code = temp.copy_from(w, acc).text();
         code += shift_right(w, acc, 1);
         code += negate_register(w, acc);
         acc.is_signed = true;
         code += add_register(w, acc, temp);
         w.set_carry_known(false, acc);
         w.set_carry_overflow(false, acc);
         acc.is_signed = false;
         code += shift_right(w, acc, 2);
         code += add_register(w, acc, temp);
         return code + flush_if_narrow(w, acc, 17);
       }},
      {"2 minus 2^-1 at 16 bits", terms({{30, 1}, {32, -1}}, 16), 17,
       [](CodeWriter& w, Register& acc, Register& temp) {
         std::string code = temp.copy_from(w, acc).text();
         code += shift_right(w, acc, 1);
         code += negate_register(w, acc);
         acc.is_signed = true;
         code += shift_left(w, temp, 1);
         code += add_register(w, acc, temp);
         w.set_carry_known(false, acc);
         w.set_carry_overflow(false, acc);
         acc.is_signed = false;
         return code + flush_if_narrow(w, acc, 17);
       }},
  };
  for (const SequenceCase& c : cases) {
    for (bool little_endian : {false, true}) {
      const int input_bits = c.decomposition.input_bytes == 1 ? 8 : 16;
      Register acc("ACC", input_bits, little_endian);
      Register temp("TEMP", 0, little_endian);
      Decomposition d = c.decomposition;
      const std::string text = assemble_program(d, c.output_bits, acc, temp);

      Register expected_acc("ACC", input_bits, little_endian);
      Register expected_temp("TEMP", 0, little_endian);
      CodeWriter writer;
      const std::string code = c.expected_calls(writer, expected_acc, expected_temp);
      const std::string name = std::string(c.name) + (little_endian ? " little" : " big");
      ASSERT_TRUE(expected_temp.used || c.decomposition.term_count == 1) << name;
      // The result bytes are declared whatever the code touches.
      expected_acc.used = true;
      EXPECT_EQ(text, block(expected_acc.cblock_listing() + expected_temp.cblock_listing(), code))
          << name;
      EXPECT_EQ(acc.width, expected_acc.width) << name;
      EXPECT_EQ(acc.spare, expected_acc.spare) << name;
      EXPECT_EQ(acc.bytes, expected_acc.bytes) << name;
    }
  }
}

// 1.5 and 0.1 read the temporary register nowhere: W still holds the copied byte at every
// addition. The copy becomes a single load of the accumulator's byte.
TEST(ProgramAssemblyTest, UnreadCopyBecomesOneLoad) {
  {
    Register acc("ACC", 8, false);
    Register temp("TEMP", 0, false);
    Decomposition d = terms({{31, 1}, {32, 1}}, 8);
    EXPECT_EQ(assemble_program(d, 9, acc, temp),
              block("\tACC0\n\tACC1\n",
                    lines("movf ACC0, w; clrc; rrf ACC0, f; addwf ACC0, f; movf ACC0, w; "
                          "movwf ACC1; clrf ACC0; rlf ACC0, f")));
    EXPECT_FALSE(temp.used);
  }
  {
    Register acc("ACC", 8, true);
    Register temp("TEMP", 0, true);
    Decomposition d = terms({{35, 1}, {36, 1}, {39, 1}, {40, 1}}, 8);
    Register expected_acc("ACC", 8, true);
    Register expected_temp("TEMP", 0, true);
    CodeWriter w;
    expected_temp.copy_from(w, expected_acc);
    std::string code = "\tmovf\tACC0, w\n";
    code += shift_right(w, expected_acc, 1);
    code += add_register(w, expected_acc, expected_temp);
    code += shift_right(w, expected_acc, 3);
    code += add_register(w, expected_acc, expected_temp);
    code += shift_right(w, expected_acc, 1);
    code += add_register(w, expected_acc, expected_temp);
    code += shift_right(w, expected_acc, 4);
    ASSERT_FALSE(expected_temp.used);
    EXPECT_EQ(assemble_program(d, 5, acc, temp), block("\tACC0\n", code));
  }
}

// The dropped copy's load is written even when W already holds that byte at the end.
TEST(ProgramAssemblyTest, LoadReplacingTheCopyIsAlwaysWritten) {
  Register acc("ACC", 7, true);
  Register temp("TEMP", 0, true);
  Decomposition d = terms({{31, 1}, {32, 1}}, 7);
  EXPECT_EQ(assemble_program(d, 8, acc, temp),
            block("\tACC0\n", lines("movf ACC0, w; clrc; rrf ACC0, f; addwf ACC0, f")));
}

TEST(ProgramAssemblyTest, CompleteRoutineForTen) {
  Register acc("ACC", 8, false);
  Register temp("TEMP", 0, false);
  Decomposition d = terms({{28, 1}, {30, 1}}, 8);
  EXPECT_EQ(assemble_program(d, 12, acc, temp),
            block("\tACC0\n\tACC1\n\tTEMP0\n\tTEMP1\n",
                  lines("movf ACC0, w; movwf ACC1; clrf ACC0; clrc; rlf ACC1, f; rlf ACC0, f; "
                        "movf ACC0, w; movwf TEMP0; movf ACC1, w; movwf TEMP1; "
                        "clrc; rlf TEMP1, f; rlf TEMP0, f; rlf TEMP1, f; rlf TEMP0, f; "
                        "movf TEMP1, w; addwf ACC1, f; movf TEMP0, w; skpnc; incfsz TEMP0, w; "
                        "addwf ACC0, f")));
  EXPECT_EQ(acc.width, 12);
  EXPECT_EQ(acc.spare, 4);
}

// Constant 1: no instruction, but the result bytes the Output line names are declared, so
// that the code reading the result assembles.
TEST(ProgramAssemblyTest, ConstantOneDeclaresItsResult) {
  Register acc("QUOT", 8, true);
  Register temp("TEMP", 0, true);
  Decomposition d = terms({{31, 1}}, 8);
  EXPECT_EQ(assemble_program(d, 8, acc, temp), "\n\n\tcblock\n\tQUOT0\n\tendc\n\n\n");
  Register wide("QUOT", 16, true);
  Decomposition wide_d = terms({{31, 1}}, 16);
  EXPECT_EQ(assemble_program(wide_d, 16, wide, temp),
            "\n\n\tcblock\n\tQUOT0\n\tQUOT1\n\tendc\n\n\n");
}

// A whole-byte left shift in big-endian order only writes the accumulator; it is declared
// all the same, or the routine would not assemble.
TEST(ProgramAssemblyTest, AccumulatorThatIsOnlyWrittenIsDeclared) {
  Register acc("ACC", 8, false);
  Register temp("TEMP", 0, false);
  Decomposition d = terms({{23, 1}}, 8);
  EXPECT_EQ(assemble_program(d, 16, acc, temp), block("\tACC0\n\tACC1\n", lines("clrf ACC1")));
}

// With a single term of 1 and an error bound that stops there (1.01 at 5 %), the product
// has one bit more than the input but no addition leaves a carry to store: the routine
// still gives the output its byte, moving the value up in big-endian order.
TEST(ProgramAssemblyTest, AccumulatorIsBroughtOntoTheOutputBytes) {
  struct Case {
    const char* name;
    bool little_endian;
    const char* code;
    const char* declarations;
  };
  const Case cases[] = {
      {"big", false, "movf ACC0, w; movwf ACC1; clrf ACC0", "\tACC0\n\tACC1\n"},
      {"little", true, "clrf ACC1", "\tACC0\n\tACC1\n"},
  };
  for (const Case& c : cases) {
    Register acc("ACC", 8, c.little_endian);
    Register temp("TEMP", 0, c.little_endian);
    Decomposition d = terms({{31, 1}}, 8);
    EXPECT_EQ(assemble_program(d, 9, acc, temp), block(c.declarations, lines(c.code))) << c.name;
    EXPECT_EQ(acc.value_bytes(), 2) << c.name;
  }
}

// A value proven to need fewer bytes than it occupies, in big-endian order, moves down so
// that its low byte is the last output byte.
TEST(ProgramAssemblyTest, SurplusTopBytesOfABigEndianAccumulatorAreDropped) {
  Register acc("ACC", 16, false);
  Register temp("TEMP", 0, false);
  Decomposition d = terms({{34, 1}}, 16);
  // 16 bits / 8 leave 13 bits; an output of 8 bits, as if the constant were known smaller.
  EXPECT_EQ(assemble_program(d, 8, acc, temp),
            block("\tACC0\n\tACC1\n",
                  lines("clrc; rrf ACC0, f; rrf ACC1, f; clrc; rrf ACC0, f; rrf ACC1, f; clrc; "
                        "rrf ACC0, f; rrf ACC1, f; movf ACC1, w; movwf ACC0")));
  EXPECT_EQ(acc.width, 8);
  EXPECT_EQ(acc.spare, 0);
}

// No term could be chosen: the comment promises an accumulator of 0.
TEST(ProgramAssemblyTest, NoTermClearsTheAccumulator) {
  for (bool little_endian : {false, true}) {
    Register acc("ACC", 12, little_endian);
    Register temp("TEMP", 0, little_endian);
    Decomposition d;
    d.term_end = 1;
    d.input_bytes = 2;
    EXPECT_EQ(assemble_program(d, 1, acc, temp),
              block("\tACC0\n\tACC1\n", lines("clrf ACC0; clrf ACC1")));
  }
}

TEST(ProgramAssemblyTest, LongNamesOnWideRegistersAreNotCut) {
  const std::string long_name(31, 'A');
  Register acc(long_name, 32, false);
  Register temp(std::string(31, 'T'), 0, false);
  Decomposition d = terms({{0, 1}, {2, -1}, {4, 1}, {6, -1}, {8, 1}, {31, 1}}, 32);
  const std::string text = assemble_program(d, 63, acc, temp);
  EXPECT_GT(text.size(), 4096u);
  EXPECT_EQ(text.substr(text.size() - 3), "f\n\n");
  EXPECT_NE(text.find("\t" + long_name + "7\n"), std::string::npos);
}

TEST(GenerateCodeTest, CommentBlockThenDeclarationsAndRoutine) {
  const GeneratorRequest request{10, 0, 12};
  Register acc("ACC", 8, false);
  Register temp("TEMP", 0, false);
  std::ostringstream out;
  generate_code(out, request, acc, temp);

  Register comment_acc("ACC", 8, false);
  std::ostringstream comment;
  Decomposition d = decompose(comment, request, comment_acc);
  Register expected_acc("ACC", 8, false);
  Register expected_temp("TEMP", 0, false);
  EXPECT_EQ(out.str(), comment.str() + assemble_program(d, 12, expected_acc, expected_temp));
  EXPECT_NE(out.str().find("; Output: ACC0 .. ACC1\t(12 bits)\n\n\tcblock\n"), std::string::npos);
}

// The enhanced core: one comment line naming it after the Output line, then the routine
// written for that core, which program assembly writes with the writer made for it.
TEST(GenerateCodeTest, TheEnhancedCoreIsNamedAndItsRoutineFollows) {
  GeneratorRequest request{10, 0, 12};
  request.core = Core::kEnhanced;
  Register acc("ACC", 8, false);
  Register temp("TEMP", 0, false);
  std::ostringstream out;
  generate_code(out, request, acc, temp);

  Register comment_acc("ACC", 8, false);
  std::ostringstream comment;
  Decomposition d = decompose(comment, request, comment_acc);
  Register expected_acc("ACC", 8, false);
  Register expected_temp("TEMP", 0, false);
  const std::string routine = assemble_program(d, 12, expected_acc, expected_temp, Core::kEnhanced);
  EXPECT_EQ(out.str(), comment.str() + "\n; Core: enhanced mid-range (PIC16F1xxx)" + routine);
  EXPECT_NE(routine.find("\taddwfc\tACC0, f\n"), std::string::npos);
  EXPECT_EQ(routine.find("skpnc"), std::string::npos);
}

TEST(CblockOpeningTest, Table) {
  struct Case {
    const char* name;
    std::string notes;
    int address;
    std::string expected;
  };
  const Case cases[] = {
      {"as it always was", "", -1, "\n\n\tcblock\n"},
      {"an address", "", 0x20, "\n\n\tcblock 0x20\n"},
      {"address 0, two digits", "", 0, "\n\n\tcblock 0x00\n"},
      {"the last address", "", 0x1FF, "\n\n\tcblock 0x1FF\n"},
      {"notes", "; a\n; b\n", -1, "\n; a\n; b\n\n\tcblock\n"},
      {"notes and an address", "; a\n", 0xA0, "\n; a\n\n\tcblock 0xA0\n"},
  };
  for (const Case& c : cases) {
    GeneratorRequest request;
    request.notes = c.notes;
    request.ram_address = c.address;
    EXPECT_EQ(cblock_opening(request), c.expected) << c.name;
  }
}

// The baseline core: its core line and the RAM line after the Output line, then the very
// routine of the mid-range core, whose approximations need no addlw. The RAM line counts the
// input and result bytes, and the temporary ones only where a routine has any.
TEST(GenerateCodeTest, TheBaselineCoreIsNamedWithTheRamTheRoutineTakes) {
  struct Case {
    const char* name;
    double constant;
    int input_bits;
    int output_bits;
    const char* lines;
  };
  const Case cases[] = {
      {"x 10, 8 bits", 10, 8, 12, "; RAM: 4 bytes (ACC0 .. ACC1, temporary TEMP0 .. TEMP1)"},
      {"x 256, 16 bits: only moves", 256, 16, 24, "; RAM: 3 bytes (ACC0 .. ACC2)"},
      {"x 0.5, 8 bits: one byte", 0.5, 8, 7, "; RAM: 1 byte (ACC0)"},
      {"x 3, 20 bits", 3, 20, 22, "; RAM: 6 bytes (ACC0 .. ACC2, temporary TEMP0 .. TEMP2)"},
  };
  for (const Case& c : cases) {
    GeneratorRequest request{c.constant, 0, c.output_bits};
    std::string text[2];
    for (const Core core : {Core::kMidrange, Core::kBaseline}) {
      request.core = core;
      Register acc("ACC", c.input_bits, false);
      Register temp("TEMP", 0, false);
      std::ostringstream out;
      generate_code(out, request, acc, temp);
      text[core == Core::kBaseline] = out.str();
    }
    const std::size_t declarations = text[0].find("\n\n\tcblock\n");
    ASSERT_NE(declarations, std::string::npos) << c.name;
    std::string expected = text[0];
    expected.insert(declarations,
                    "\n; Core: baseline (PIC10F, PIC12F5xx, PIC16F5x)\n" + std::string(c.lines));
    EXPECT_EQ(text[1], expected) << c.name;
  }
}

}  // namespace
}  // namespace tarvek

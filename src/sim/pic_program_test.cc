#include "sim/pic_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/times_ten_block_for_tests.h"

namespace tarvek {
namespace {

const std::vector<std::string> kNames = {"ACC0", "ACC1", "TEMP0"};

TEST(ParseInstructions, AcceptsEveryInstructionForm) {
  struct Case {
    const char* name;
    const char* line;
    PicOp op;
    uint16_t operand;
    uint8_t bit;
  };
  const Case cases[] = {
      {"movwf", "\tmovwf\tACC1", PicOp::kMovwf, 1, 0},
      {"movf w", "\tmovf\tACC0, w", PicOp::kMovfW, 0, 0},
      {"movf f", "\tmovf\tTEMP0, f", PicOp::kMovfF, 2, 0},
      {"movlw 1", "\tmovlw\t1", PicOp::kMovlw, 1, 0},
      {"movlw -16", "\tmovlw\tD'-16'", PicOp::kMovlw, 0xF0, 0},
      {"movlw -128", "\tmovlw\tD'-128'", PicOp::kMovlw, 0x80, 0},
      {"movlw 127", "\tmovlw\tD'127'", PicOp::kMovlw, 0x7F, 0},
      {"movlw 0", "\tmovlw\t0", PicOp::kMovlw, 0, 0},
      {"andlw 15", "\tandlw\tD'15'", PicOp::kAndlw, 0x0F, 0},
      {"iorlw 16", "\tiorlw\tD'16'", PicOp::kIorlw, 0x10, 0},
      {"addlw -7", "\taddlw\tD'-7'", PicOp::kAddlw, 0xF9, 0},
      {"clrf", "\tclrf\tACC0", PicOp::kClrf, 0, 0},
      {"swapf w", "\tswapf\tACC1, w", PicOp::kSwapfW, 1, 0},
      {"swapf f", "\tswapf\tACC1, f", PicOp::kSwapfF, 1, 0},
      {"btfsc", "\tbtfsc\tACC1, 7", PicOp::kBtfsc, 1, 7},
      {"btfss", "\tbtfss\tACC0, 0", PicOp::kBtfss, 0, 0},
      {"bsf", "\tbsf\tTEMP0, 3", PicOp::kBsf, 2, 3},
      {"comf f", "\tcomf\tACC0, f", PicOp::kComfF, 0, 0},
      {"comf w", "\tcomf\tACC0, w", PicOp::kComfW, 0, 0},
      {"rlf w", "\trlf\tACC0, w", PicOp::kRlfW, 0, 0},
      {"rlf f", "\trlf\tACC0, f", PicOp::kRlfF, 0, 0},
      {"rrf w", "\trrf\tACC1, w", PicOp::kRrfW, 1, 0},
      {"rrf f", "\trrf\tACC1, f", PicOp::kRrfF, 1, 0},
      {"addwf f", "\taddwf\tACC0, f", PicOp::kAddwfF, 0, 0},
      {"addwf w", "\taddwf\tACC0, w", PicOp::kAddwfW, 0, 0},
      {"subwf f", "\tsubwf\tACC1, f", PicOp::kSubwfF, 1, 0},
      {"iorwf f", "\tiorwf\tACC1, f", PicOp::kIorwfF, 1, 0},
      {"incf f", "\tincf\tACC1, f", PicOp::kIncfF, 1, 0},
      {"incfsz w", "\tincfsz\tTEMP0, w", PicOp::kIncfszW, 2, 0},
      {"xorwf STATUS", "\txorwf STATUS, f", PicOp::kXorwfStatus, 0, 0},
      {"xorwf STATUS, w", "\txorwf\tSTATUS, w", PicOp::kXorwfStatusW, 0, 0},
      {"movwf STATUS", "\tmovwf\tSTATUS", PicOp::kMovwfStatus, 0, 0},
      {"clrc", "\tclrc", PicOp::kClrc, 0, 0},
      {"skpc", "\tskpc", PicOp::kSkpc, 0, 0},
      {"skpnc", "\tskpnc", PicOp::kSkpnc, 0, 0},
      {"skpnz", "\tskpnz", PicOp::kSkpnz, 0, 0},
      {"clear carry as a bit", "\tbcf\tSTATUS, 0", PicOp::kClrc, 0, 0},
      {"set carry as a bit", "\tbsf\tSTATUS, 0", PicOp::kSetc, 0, 0},
      {"skip on carry as a bit", "\tbtfss\tSTATUS, 0", PicOp::kSkpc, 0, 0},
      {"skip on no carry as a bit", "\tbtfsc\tSTATUS, 0", PicOp::kSkpnc, 0, 0},
      {"skip on not zero as a bit", "\tbtfsc\tSTATUS, 2", PicOp::kSkpnz, 0, 0},
      {"movlw 0xF0", "\tmovlw\t0xF0", PicOp::kMovlw, 0xF0, 0},
      {"andlw 0x0F", "\tandlw\t0x0F", PicOp::kAndlw, 0x0F, 0},
      {"addlw 0xF6", "\taddlw\t0xF6", PicOp::kAddlw, 0xF6, 0},
      {"iorlw 0x80", "\tiorlw\t0x80", PicOp::kIorlw, 0x80, 0},
  };
  for (const Case& c : cases) {
    const ParseOutcome outcome = parse_instructions(std::string(c.line) + "\n", kNames);
    ASSERT_TRUE(outcome.program) << c.name << ": " << outcome.error;
    ASSERT_EQ(outcome.program->instructions.size(), 1u) << c.name;
    const PicInstruction& in = outcome.program->instructions[0];
    EXPECT_EQ(in.op, c.op) << c.name;
    EXPECT_EQ(in.operand, c.operand) << c.name;
    EXPECT_EQ(in.bit, c.bit) << c.name;
    EXPECT_EQ(in.line, 1) << c.name;
  }
}

TEST(ParseInstructions, RejectsAnythingOutsideTheLineFormat) {
  struct Case {
    const char* name;
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"unknown mnemonic", "\tmovlf\t1\n", "line 1: unknown mnemonic \"movlf\""},
      {"upper case", "\tMOVLW\t1\n", "line 1: unknown mnemonic \"MOVLW\""},
      {"no leading tab", "movlw\t1\n", "line 1: not an instruction line (no leading tab)"},
      {"blank instead of tab", "\tmovlw 1\n", "line 1: unknown mnemonic \"movlw 1\""},
      {"blank line", "\tclrc\n\n\tclrc\n", "line 2: not an instruction line (no leading tab)"},
      {"comment line", "; note\n", "line 1: not an instruction line (no leading tab)"},
      {"carriage return", "\tclrc\r\n", "line 1: unknown mnemonic \"clrc\r\""},
      {"macro with tab", "\tskpc\t\n", "line 1: \"skpc\" takes no operands"},
      {"missing operands", "\tmovwf\n", "line 1: \"movwf\" needs operands"},
      {"undeclared byte", "\tmovf\tACC2, w\n", "line 1: register byte \"ACC2\" is not declared"},
      {"negative index", "\tclrf\tACC-1\n", "line 1: register byte \"ACC-1\" is not declared"},
      {"empty operand", "\tclrf\t\n", "line 1: bad file register operand \"\""},
      {"destination missing", "\tmovf\tACC0\n", "line 1: operands \"ACC0\" lack \", \""},
      {"destination W", "\tmovf\tACC0, W\n", "line 1: destination \"W\" is neither w nor f"},
      {"destination 0", "\trlf\tACC0, 0\n", "line 1: destination \"0\" is neither w nor f"},
      {"comma no blank", "\trlf\tACC0,f\n", "line 1: operands \"ACC0,f\" lack \", \""},
      {"file op with dest", "\tmovwf\tACC0, f\n", "line 1: bad file register operand \"ACC0, f\""},
      {"bit 8", "\tbsf\tACC0, 8\n", "line 1: bit number \"8\" is not 0 to 7"},
      {"bit 10", "\tbtfsc\tACC0, 10\n", "line 1: bit number \"10\" is not 0 to 7"},
      {"literal 240", "\tandlw\tD'240'\n",
       "line 1: literal \"D'240'\" is neither a digit, D'n' with n a signed byte, nor 0x and two "
       "hex digits"},
      {"literal -129", "\tmovlw\tD'-129'\n",
       "line 1: literal \"D'-129'\" is neither a digit, D'n' with n a signed byte, nor 0x and two "
       "hex digits"},
      {"literal lower-case hex", "\tmovlw\t0xf0\n",
       "line 1: literal \"0xf0\" is neither a digit, D'n' with n a signed byte, nor 0x and two hex "
       "digits"},
      {"literal one hex digit", "\tmovlw\t0x5\n",
       "line 1: literal \"0x5\" is neither a digit, D'n' with n a signed byte, nor 0x and two hex "
       "digits"},
      {"literal three hex digits", "\tmovlw\t0x1F0\n",
       "line 1: literal \"0x1F0\" is neither a digit, D'n' with n a signed byte, nor 0x and two "
       "hex digits"},
      {"literal upper-case X", "\tmovlw\t0XF0\n",
       "line 1: literal \"0XF0\" is neither a digit, D'n' with n a signed byte, nor 0x and two hex "
       "digits"},
      {"literal leading zero", "\tmovlw\tD'015'\n",
       "line 1: literal \"D'015'\" is neither a digit, D'n' with n a signed byte, nor 0x and two "
       "hex digits"},
      {"literal -0", "\tmovlw\tD'-0'\n",
       "line 1: literal \"D'-0'\" is neither a digit, D'n' with n a signed byte, nor 0x and two "
       "hex digits"},
      {"literal plus", "\tmovlw\t+1\n",
       "line 1: literal \"+1\" is neither a digit, D'n' with n a signed byte, nor 0x and two hex "
       "digits"},
      {"bare two digits", "\tandlw\t15\n",
       "line 1: literal \"15\" is neither a digit, D'n' with n a signed byte, nor 0x and two hex "
       "digits"},
      {"bare negative", "\tmovlw\t-1\n",
       "line 1: literal \"-1\" is neither a digit, D'n' with n a signed byte, nor 0x and two hex "
       "digits"},
      {"lower-case radix", "\tmovlw\td'15'\n",
       "line 1: literal \"d'15'\" is neither a digit, D'n' with n a signed byte, nor 0x and two "
       "hex digits"},
      {"unclosed radix", "\tmovlw\tD'15\n",
       "line 1: literal \"D'15\" is neither a digit, D'n' with n a signed byte, nor 0x and two hex "
       "digits"},
      {"xorwf STATUS with tab", "\txorwf\tSTATUS, f\n",
       "line 1: register byte \"STATUS\" is not declared"},
      {"STATUS elsewhere", "\tbtfsc\tSTATUS, 1\n",
       "line 1: register byte \"STATUS\" is not declared"},
      {"skip on zero as a bit", "\tbtfss\tSTATUS, 2\n",
       "line 1: register byte \"STATUS\" is not declared"},
      {"carry bit with a blank", "\tbtfsc STATUS, 0\n",
       "line 1: unknown mnemonic \"btfsc STATUS, 0\""},
      {"unlisted instruction", "\tcall\tx\n", "line 1: unknown mnemonic \"call\""},
      {"jump to an address", "\tgoto\t0\n", "line 1: label \"0\" is not placed"},
      {"error on line 3", "\tclrc\n\tskpc\n\tnop\n", "line 3: unknown mnemonic \"nop\""},
  };
  for (const Case& c : cases) {
    const ParseOutcome outcome = parse_instructions(c.text, kNames);
    EXPECT_FALSE(outcome.program) << c.name;
    EXPECT_EQ(outcome.error, c.error) << c.name;
  }
}

TEST(ParseInstructions, AcceptsEmptyTextAndAMissingFinalNewline) {
  const ParseOutcome empty = parse_instructions("", kNames);
  ASSERT_TRUE(empty.program) << empty.error;
  EXPECT_TRUE(empty.program->instructions.empty());
  EXPECT_EQ(empty.program->byte_names, kNames);

  const ParseOutcome last = parse_instructions("\tclrc\n\tskpc", kNames);
  ASSERT_TRUE(last.program) << last.error;
  ASSERT_EQ(last.program->instructions.size(), 2u);
  EXPECT_EQ(last.program->instructions[1].op, PicOp::kSkpc);
  EXPECT_EQ(last.program->instructions[1].line, 2);
}

TEST(ParseInstructions, RejectsBadDeclarations) {
  EXPECT_EQ(parse_instructions("", {"A0", "A0"}).error,
            "declaration: byte \"A0\" is declared twice");
  EXPECT_EQ(parse_instructions("", {"A 0"}).error, "declaration: bad byte name \"A 0\"");
  EXPECT_EQ(parse_instructions("", {""}).error, "declaration: bad byte name \"\"");
}

TEST(PicProgram, ResolvesValueBytesInBothByteOrders) {
  const ParseOutcome outcome = parse_instructions("", {"X1", "Y0", "X0", "X2"});
  ASSERT_TRUE(outcome.program);
  const PicProgram& p = *outcome.program;
  EXPECT_EQ(p.index_of("X0"), 2);
  EXPECT_EQ(p.index_of("X3"), -1);
  EXPECT_EQ(p.value_indexes("X", 3, true), (std::vector<int>{2, 0, 3}));
  EXPECT_EQ(p.value_indexes("X", 3, false), (std::vector<int>{3, 0, 2}));
}

TEST(ParseGeneratedBlock, ReadsDeclarationsAndInstructions) {
  const ParseOutcome outcome = parse_generated_block(kTimesTenBlock);
  ASSERT_TRUE(outcome.program) << outcome.error;
  const PicProgram& p = *outcome.program;
  EXPECT_EQ(p.byte_names, (std::vector<std::string>{"ACC0", "ACC1", "TEMP0", "TEMP1"}));
  ASSERT_EQ(p.instructions.size(), 21u);
  EXPECT_EQ(p.instructions[0].op, PicOp::kMovfW);
  EXPECT_EQ(p.instructions[0].line, 22);
  EXPECT_EQ(p.instructions[20].op, PicOp::kAddwfF);
  EXPECT_EQ(p.instructions[20].operand, 0);
  EXPECT_EQ(p.instructions[20].line, 42);
}

TEST(ParseGeneratedBlock, AcceptsAnEmptyRoutine) {
  const ParseOutcome outcome =
      parse_generated_block("; ACC = ACC * 1.000000\n\n\tcblock\n\tendc\n\n\n");
  ASSERT_TRUE(outcome.program) << outcome.error;
  EXPECT_TRUE(outcome.program->byte_names.empty());
  EXPECT_TRUE(outcome.program->instructions.empty());
}

TEST(ParseGeneratedBlock, RejectsMalformedBlocks) {
  struct Case {
    const char* name;
    const char* block;
    const char* error;
  };
  const Case cases[] = {
      {"no cblock", "; c\n\tclrc\n",
       "line 2: expected \"\\tcblock\" before any instruction, found \"\tclrc\""},
      {"only comments", "; c\n\n", "no \"\\tcblock\" declaration"},
      {"unclosed cblock", "\tcblock\n\tA0\n", "\"\\tcblock\" without \"\\tendc\""},
      {"bad declaration", "\tcblock\nA0\n\tendc\n", "line 2: bad declaration line \"A0\""},
      {"declaration with blank", "\tcblock\n\tA0 B0\n\tendc\n",
       "line 2: bad declaration line \"\tA0 B0\""},
      {"duplicate", "\tcblock\n\tA0\n\tA0\n\tendc\n", "line 3: byte \"A0\" is declared twice"},
      {"second cblock", "\tcblock\n\tA0\n\tendc\n\tclrf\tA0\n\tcblock\n",
       "line 5: a second cblock section"},
      {"undeclared", "\tcblock\n\tA0\n\tendc\n\n\tclrf\tA0\n\tmovwf\tA1\n",
       "line 6: register byte \"A1\" is not declared"},
      {"bad instruction", "\tcblock\n\tendc\n\tmovlw\t999\n",
       "line 3: literal \"999\" is neither a digit, D'n' with n a signed byte, nor 0x and two hex "
       "digits"},
  };
  for (const Case& c : cases) {
    const ParseOutcome outcome = parse_generated_block(c.block);
    EXPECT_FALSE(outcome.program) << c.name;
    EXPECT_EQ(outcome.error, c.error) << c.name;
  }
}

TEST(ParseGeneratedBlock, ReadsTheCblockStartAddressForm) {
  struct Case {
    const char* name;
    const char* opening;
    bool accepted;
  };
  const Case cases[] = {
      {"bare", "\tcblock", true},
      {"two digits", "\tcblock 0x20", true},
      {"three digits", "\tcblock 0x1A0", true},
      {"one digit", "\tcblock 0x0", true},
      {"decimal, which an assembler reads in its own radix", "\tcblock 32", false},
      {"no digits", "\tcblock 0x", false},
      {"lower-case digits", "\tcblock 0x1a0", false},
      {"a tab before the address", "\tcblock\t0x20", false},
      {"four digits", "\tcblock 0x1000", false},
      {"text after it", "\tcblock 0x20 ; bank 0", false},
  };
  for (const Case& c : cases) {
    const std::string block = std::string("; c\n") + c.opening + "\n\tA0\n\tendc\n\tclrf\tA0\n";
    const ParseOutcome outcome = parse_generated_block(block);
    EXPECT_EQ(outcome.program.has_value(), c.accepted) << c.name << ": " << outcome.error;
    if (outcome.program) {
      EXPECT_EQ(outcome.program->byte_names, std::vector<std::string>{"A0"}) << c.name;
    }
    // An address does not make a second section acceptable.
    const ParseOutcome twice = parse_generated_block(block + c.opening + "\n");
    EXPECT_FALSE(twice.program) << c.name;
  }
}

TEST(ParseGeneratedBlock, SkipsCommentsAndBlankLinesBetweenInstructions) {
  const ParseOutcome outcome =
      parse_generated_block("\tcblock\n\tA0\n\tendc\n\tclrf\tA0\n; between\n\n\tincf\tA0, f\n");
  ASSERT_TRUE(outcome.program) << outcome.error;
  ASSERT_EQ(outcome.program->instructions.size(), 2u);
  EXPECT_EQ(outcome.program->instructions[1].line, 7);
}

}  // namespace
}  // namespace tarvek

#include "page/packaging_request.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tarvek {
namespace {

TEST(PackagingRequestTest, ReadsSyntaxAndWrap) {
  struct Case {
    const char* syntax_text;
    const char* wrap_text;
    Core core;
    std::optional<Syntax> syntax;
    std::optional<Wrap> wrap;
  };
  const Case cases[] = {
      {"", "", Core::kMidrange, Syntax::kMpasm, Wrap::kInline},
      {"mpasm", "inline", Core::kMidrange, Syntax::kMpasm, Wrap::kInline},
      {"mpasm", "subroutine", Core::kMidrange, Syntax::kMpasm, Wrap::kSubroutine},
      {"pic-as", "", Core::kMidrange, Syntax::kPicAs, Wrap::kInline},
      {"pic-as", "macro", Core::kMidrange, Syntax::kPicAs, Wrap::kMacro},
      // A module is a subroutine unless told otherwise; asked inline, it is refused later.
      {"gpasm-reloc", "", Core::kMidrange, Syntax::kGpasmReloc, Wrap::kSubroutine},
      {"gpasm-reloc", "inline", Core::kMidrange, Syntax::kGpasmReloc, Wrap::kInline},
      {"gpasm-reloc", "macro", Core::kMidrange, Syntax::kGpasmReloc, Wrap::kMacro},
      {"MPASM", "Macro", Core::kMidrange, std::nullopt, std::nullopt},
      {"picas", " inline", Core::kMidrange, std::nullopt, std::nullopt},
      {"gpasm", "sub", Core::kMidrange, std::nullopt, std::nullopt},
      // A whole program is a PIC18 one; any other core has the wraps it always had.
      {"mpasm", "program", Core::kPic18, Syntax::kMpasm, Wrap::kProgram},
      {"", "program", Core::kPic18, Syntax::kMpasm, Wrap::kProgram},
      {"gpasm-reloc", "", Core::kPic18, Syntax::kGpasmReloc, Wrap::kSubroutine},
      {"mpasm", "Program", Core::kPic18, Syntax::kMpasm, std::nullopt},
      {"mpasm", "program", Core::kMidrange, Syntax::kMpasm, std::nullopt},
      {"mpasm", "program", Core::kEnhanced, Syntax::kMpasm, std::nullopt},
      {"mpasm", "program", Core::kBaseline, Syntax::kMpasm, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<Syntax> syntax = syntax_named(c.syntax_text);
    EXPECT_EQ(syntax, c.syntax) << c.syntax_text;
    EXPECT_EQ(wrap_named(c.wrap_text, syntax.value_or(Syntax::kMpasm), c.core), c.wrap)
        << c.syntax_text << " " << c.wrap_text;
    if (syntax) {
      EXPECT_EQ(syntax_named(syntax_name(*syntax)), syntax) << c.syntax_text;
    }
  }
  for (const Wrap wrap : {Wrap::kInline, Wrap::kSubroutine, Wrap::kMacro, Wrap::kProgram}) {
    EXPECT_EQ(wrap_named(wrap_name(wrap), Syntax::kPicAs, Core::kPic18), wrap) << wrap_name(wrap);
  }
}

TEST(PackagingRequestTest, TakesOnlyIdentifiersEveryAssemblerReadsAsALabel) {
  struct Case {
    const char* name;
    bool valid;
    // Whether the PIC18 core takes it too.
    bool pic18 = valid;
  };
  const Case cases[] = {
      {"acc_div10_floor", true},
      {"_times10", true},
      {"T", true},
      {"div10_2", true},
      {"abcdefghijklmnopqrstuvwxyz01234", true},
      {"abcdefghijklmnopqrstuvwxyz012345", false},
      {"", false},
      {"10div", false},
      {"div-10", false},
      {"div.10", false},
      {"div$10", false},
      {"div 10", false},
      {"movf", false},
      {"MOVWF", false},
      {"skpnc", false},
      {"Return", false},
      {"banksel", false},
      {"endm", false},
      {"PSECT", false},
      {"ds", false},
      {"w", false},
      {"F", false},
      {"status", false},
      {"movfw", false},
      {"lslf", false},
      // The PIC18's own words are reserved on that core only: a name the other cores have
      // always taken stays valid there.
      {"mullw", true, false},
      {"MULWF", true, false},
      {"rlcf", true, false},
      {"rrcf", true, false},
      {"movff", true, false},
      {"WREG", true, false},
      {"prodl", true, false},
      {"ProdH", true, false},
      {"udata_acs", true, false},
      {"access", true, false},
      {"rlcf_10", true, true},
      {"bra", false, false},
  };
  for (const Case& c : cases) {
    for (const Core core : {Core::kMidrange, Core::kEnhanced, Core::kBaseline}) {
      EXPECT_EQ(is_routine_name(c.name, core), c.valid) << c.name;
    }
    EXPECT_EQ(is_routine_name(c.name, Core::kPic18), c.pic18) << c.name << " on PIC18";
  }
}

TEST(PackagingRequestTest, FindsANameThatSpellsARegisterByte) {
  struct Case {
    const char* name;
    const char* acc;
    const char* temp;
    const char* byte;
  };
  const Case cases[] = {
      {"ACC0", "ACC", "TEMP", "ACC0"}, {"TEMP15", "ACC", "TEMP", "TEMP15"},
      {"ACC16", "ACC", "TEMP", ""},    {"ACC01", "ACC", "TEMP", ""},
      {"ACC", "ACC", "TEMP", ""},      {"acc0", "ACC", "TEMP", ""},
      {"X10", "X", "X1", "X10"},       {"ACCA", "ACC", "TEMP", ""},
      {"times10", "ACC", "TEMP", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(register_byte_named(c.name, c.acc, c.temp), c.byte) << c.name;
  }
}

TEST(PackagingRequestTest, MakesANameFromTheRegisterAndTheRequest) {
  struct Case {
    const char* name;
    const char* acc;
    ResultMode mode;
    uint64_t numerator;
    uint64_t denominator;
    double constant;
    bool is_signed;
    const char* made;
  };
  const Case cases[] = {
      {"C's x / 10", "ACC", ResultMode::kFloor, 1, 10, 0.1, false, "acc_div10_floor"},
      {"signed", "Acc", ResultMode::kTrunc, 1, 10, 0.1, true, "acc_div10_trunc_signed"},
      {"integer", "PROD", ResultMode::kFloor, 10, 1, 10, false, "prod_x10_floor"},
      {"fraction", "q", ResultMode::kNearest, 3, 7, 3.0 / 7, false, "q_x3_div7_nearest"},
      {"approximation", "ACC", ResultMode::kApprox, 0, 1, 3.14159, false, "acc_x3p14159_approx"},
      {"small approximation", "ACC", ResultMode::kApprox, 0, 1, 1e-5, false, "acc_x1em05_approx"},
      {"odd characters", "A.b$c", ResultMode::kFloor, 1, 3, 1.0 / 3, false, "a_b_c_div3_floor"},
      {"the register's part cut", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", ResultMode::kFloor, 1, 1000, 0.001,
       false, "abcdefghijklmnopq_div1000_floor"},
      {"a long fraction cut", "ACC", ResultMode::kFloor, 1234567890123, 9876543210987,
       1234567890123.0 / 9876543210987, false, "acc_x1234567890123_div987654321"},
  };
  for (const Case& c : cases) {
    GeneratorRequest request;
    request.mode = c.mode;
    request.numerator = c.numerator;
    request.denominator = c.denominator;
    request.const_value = c.constant;
    request.is_signed = c.is_signed;
    const std::string made = default_routine_name(c.acc, request);
    EXPECT_EQ(made, c.made) << c.name;
    EXPECT_TRUE(is_routine_name(made, Core::kPic18)) << c.name;
  }
}

}  // namespace
}  // namespace tarvek

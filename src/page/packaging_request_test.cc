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
    std::optional<Syntax> syntax;
    std::optional<Wrap> wrap;
  };
  const Case cases[] = {
      {"", "", Syntax::kMpasm, Wrap::kInline},
      {"mpasm", "inline", Syntax::kMpasm, Wrap::kInline},
      {"mpasm", "subroutine", Syntax::kMpasm, Wrap::kSubroutine},
      {"pic-as", "", Syntax::kPicAs, Wrap::kInline},
      {"pic-as", "macro", Syntax::kPicAs, Wrap::kMacro},
      // A module is a subroutine unless told otherwise; asked inline, it is refused later.
      {"gpasm-reloc", "", Syntax::kGpasmReloc, Wrap::kSubroutine},
      {"gpasm-reloc", "inline", Syntax::kGpasmReloc, Wrap::kInline},
      {"gpasm-reloc", "macro", Syntax::kGpasmReloc, Wrap::kMacro},
      {"MPASM", "Macro", std::nullopt, std::nullopt},
      {"picas", " inline", std::nullopt, std::nullopt},
      {"gpasm", "sub", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<Syntax> syntax = syntax_named(c.syntax_text);
    EXPECT_EQ(syntax, c.syntax) << c.syntax_text;
    EXPECT_EQ(wrap_named(c.wrap_text, syntax.value_or(Syntax::kMpasm)), c.wrap)
        << c.syntax_text << " " << c.wrap_text;
    if (syntax) {
      EXPECT_EQ(syntax_named(syntax_name(*syntax)), syntax) << c.syntax_text;
    }
  }
  for (const Wrap wrap : {Wrap::kInline, Wrap::kSubroutine, Wrap::kMacro}) {
    EXPECT_EQ(wrap_named(wrap_name(wrap), Syntax::kPicAs), wrap) << wrap_name(wrap);
  }
}

TEST(PackagingRequestTest, TakesOnlyIdentifiersEveryAssemblerReadsAsALabel) {
  struct Case {
    const char* name;
    bool valid;
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
  };
  for (const Case& c : cases) EXPECT_EQ(is_routine_name(c.name), c.valid) << c.name;
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
    EXPECT_TRUE(is_routine_name(made)) << c.name;
  }
}

}  // namespace
}  // namespace tarvek

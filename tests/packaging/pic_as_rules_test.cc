// The rules of the MPLAB XC8 PIC Assembler's documentation that tarvek's pic-as texts follow,
// checked line by line on generated routines of every kind, wrap and placement (pic-as itself
// does not run here): no D'..' literal and no cblock anywhere; a line at the left margin
// defines a label with its colon, or is an EQU or a MACRO line; every other line is a device
// instruction or one of the documented directives used, never an MPASM pseudo-instruction;
// and every literal reads the same in pic-as's decimal default radix as in gpasm's
// hexadecimal one (a digit, or 0x and two hexadecimal digits).
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "codegen/register.h"
#include "form/urlencoded.h"
#include "page/routine_generation.h"
#include "page/validation.h"

namespace tarvek {
namespace {

// The instructions of the mid-range and enhanced mid-range cores, as their data sheets list
// them; the directives the pic-as texts use, as the assembler's user's guide lists them.
const std::set<std::string> kInstructions = {
    "addwf", "andwf",  "clrf",  "clrw",  "comf",  "decf",   "decfsz", "incf",  "incfsz", "iorwf",
    "movf",  "movwf",  "nop",   "rlf",   "rrf",   "subwf",  "swapf",  "xorwf", "bcf",    "bsf",
    "btfsc", "btfss",  "addlw", "andlw", "call",  "clrwdt", "goto",   "iorlw", "movlw",  "retfie",
    "retlw", "return", "sleep", "sublw", "xorlw", "addwfc", "subwfb", "lslf",  "lsrf",   "asrf",
    "movlb", "movlp",  "brw",   "callw", "bra",   "addfsr", "moviw",  "movwi", "reset"};
const std::set<std::string> kDirectives = {"GLOBAL", "PSECT", "DABS", "BANKSEL", "ENDM"};
const std::set<std::string> kLiteralInstructions = {"addlw", "andlw", "iorlw",
                                                    "movlw", "sublw", "xorlw"};

// The text for `query`, or empty with the numbered error that refused it in `refused`.
std::string generated(const std::string& query, int& refused) {
  FormEntryList form;
  parse_urlencoded(form, query);
  const RequestFields fields = read_request_fields(form);
  form_list_free(form);
  const ValidatedRequest checked = validate_request(fields);
  refused = checked.error_code;
  if (refused != 0) return {};
  Register acc(fields.acc_name, checked.input_bits, fields.little_endian);
  Register temp(fields.temp_name, 0, fields.little_endian);
  std::ostringstream out;
  refused = generate_routine(out, checked.request, acc, temp);
  return out.str();
}

// What is wrong with `line` of a pic-as text, or empty.
std::string broken_rule(const std::string& line) {
  static const std::regex label(R"(^[A-Za-z_][A-Za-z0-9_]*:$)");
  static const std::regex reservation(R"(^[A-Za-z_][A-Za-z0-9_]*:\tDS\t1$)");
  static const std::regex equate(R"(^[A-Za-z_][A-Za-z0-9_]*\tEQU\t0x[0-9A-F]{2}$)");
  static const std::regex macro(R"(^[A-Za-z_][A-Za-z0-9_]*\tMACRO$)");
  static const std::regex literal(R"(^([0-9]|0x[0-9A-F]{2})$)");
  if (line.empty() || line[0] == ';' || line == "#include <xc.inc>") return {};
  if (line[0] != '\t') {
    if (std::regex_match(line, label) || std::regex_match(line, reservation) ||
        std::regex_match(line, equate) || std::regex_match(line, macro)) {
      return {};
    }
    return "a line at the margin that is no label with its colon, EQU or MACRO";
  }
  const std::size_t tab = line.find('\t', 1);
  const std::string word = line.substr(1, tab == std::string::npos ? std::string::npos : tab - 1);
  const std::string operands = tab == std::string::npos ? "" : line.substr(tab + 1);
  if (kDirectives.count(word) != 0) return {};
  if (kInstructions.count(word) == 0) return "\"" + word + "\" is no instruction or directive used";
  if (kLiteralInstructions.count(word) != 0 && !std::regex_match(operands, literal)) {
    return "literal " + operands + " reads otherwise in some radix";
  }
  return {};
}

TEST(PicAsRulesTest, GeneratedTextsFollowTheDocumentedSyntax) {
  const std::string kinds[] = {
      "Const=10&Bits=8",
      "Const=3.14159&Bits=16&ConstErr=0.1",
      "Const=0.1&Bits=24&endian=little",
      "Const=1&DivideBy=10&Result=floor&Bits=16",
      "Const=0.6&Result=nearest&Bits=8",
      "Const=1&DivideBy=7&Result=trunc&Signed=1&Bits=12",
      "Const=5000&DivideBy=1023&Result=floor&Bits=10&Core=enhanced",
      "Const=1&DivideBy=3&Result=trunc&Signed=1&Bits=16&Core=enhanced&endian=little",
  };
  int lines = 0;
  for (const std::string& kind : kinds) {
    for (const char* wrap : {"inline", "subroutine", "macro"}) {
      for (const char* ram : {"", "0x20", "0x70"}) {
        const std::string query =
            kind + "&Acc=ACC&Temp=TEMP&Syntax=pic-as&Wrap=" + wrap + "&Ram=" + ram;
        int refused = 0;
        const std::string text = generated(query, refused);
        // Common memory has 16 bytes: a routine with more registers is refused there.
        if (refused == 44 && std::string(ram) == "0x70") continue;
        ASSERT_EQ(refused, 0) << query;
        EXPECT_EQ(text.find("D'"), std::string::npos) << query;
        EXPECT_EQ(text.find("cblock"), std::string::npos) << query;
        EXPECT_EQ(text.find("endc"), std::string::npos) << query;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
          ++lines;
          EXPECT_EQ(broken_rule(line), "") << query << ": \"" << line << "\"";
        }
      }
    }
  }
  EXPECT_GT(lines, 2000);
}

// The rules themselves, on lines that break them: a rule that passes everything checks
// nothing.
TEST(PicAsRulesTest, TheRulesCatchWhatTheyForbid) {
  const char* broken[] = {
      "times10",       "times10\tmacro", "ACC0\tres\t1",   "ACC0 DS 1",         "\tskpnc",
      "\tclrc",        "\tmovfw\tACC0",  "\tcblock 0x20",  "\tandlw\tD'15'",    "\taddlw\t15",
      "\tmovlw\t0xf0", "\tudata",        "\tglobal\tACC0", "STATUS\tequ\t0x03", "\tend",
  };
  for (const char* line : broken) EXPECT_NE(broken_rule(line), "") << line;
  const char* kept[] = {"times10:",           "ACC0:\tDS\t1",  "ACC0\tEQU\t0x20", "times10\tMACRO",
                        "\tbtfsc\tSTATUS, 0", "\taddlw\t0xF6", "\tmovlw\t1",      "\tPSECT\tcode"};
  for (const char* line : kept) EXPECT_EQ(broken_rule(line), "") << line;
}

}  // namespace
}  // namespace tarvek

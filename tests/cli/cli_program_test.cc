#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "program_runner.h"

namespace tarvek {
namespace {

// One request, as both programs are given it.
struct Request {
  const char* name;
  std::string constant;
  std::string bits;
  std::optional<std::string> error;
  std::string acc = "ACC";
  std::string temp = "TEMP";
  bool little_endian = false;
  std::optional<std::string> core = std::nullopt;
};

std::string url_encoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const unsigned char c : text) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

std::vector<std::string> cli_args(const Request& r) {
  std::vector<std::string> args{"--const", r.constant, "--bits", r.bits,
                                "--acc",   r.acc,      "--temp", r.temp};
  if (r.error) args.insert(args.end(), {"--error", *r.error});
  if (r.little_endian) args.push_back("--little-endian");
  if (r.core) args.insert(args.end(), {"--core", *r.core});
  return args;
}

std::string query(const Request& r) {
  std::string q = "Const=" + url_encoded(r.constant) + "&Bits=" + url_encoded(r.bits) +
                  "&Acc=" + url_encoded(r.acc) + "&Temp=" + url_encoded(r.temp) +
                  "&endian=" + (r.little_endian ? "little" : "big");
  if (r.error) q += "&ConstErr=" + url_encoded(*r.error);
  if (r.core) q += "&Core=" + url_encoded(*r.core);
  return q;
}

ProgramRun run_cgi(const std::string& query_string, const std::vector<std::string>& args = {}) {
  ProgramCall call;
  call.arguments = args;
  call.environment = {"REQUEST_METHOD=GET", "QUERY_STRING=" + query_string};
  call.limits.seconds = 60;
  return run_program(TARVEK_PROGRAM, call);
}

ProgramRun run_asm(const std::vector<std::string>& args,
                   std::optional<std::string> output_path = {}) {
  ProgramCall call;
  call.arguments = args;
  call.output_path = std::move(output_path);
  call.limits.seconds = 60;
  return run_program(TARVEK_ASM, call);
}

std::string html_unescaped(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [reference, c] : {std::pair<std::string, char>{"&lt;", '<'},
                                       {"&gt;", '>'},
                                       {"&quot;", '"'},
                                       {"&amp;", '&'}}) {
      if (text.compare(i, reference.size(), reference) == 0) {
        plain += c;
        i += reference.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) plain += text[i++];
  }
  return plain;
}

// What the page holds for the request: the generated block, unescaped, or the error
// message in the tool's one-line form; "" when the page has neither.
struct PageContent {
  std::optional<std::string> block;
  std::optional<std::string> error_line;
};

PageContent page_content(const std::string& page) {
  PageContent content;
  const std::size_t pre = page.find("<PRE>\n");
  const std::size_t end = page.find("</PRE>\n");
  if (pre != std::string::npos && end != std::string::npos && pre < end) {
    content.block = html_unescaped(page.substr(pre + 6, end - pre - 6));
    return content;
  }
  static const std::regex error_block("<H1>#([0-9]+) Error in input</H1>([^\n<]*)");
  std::smatch match;
  if (std::regex_search(page, match, error_block)) {
    // Appended piece by piece: GCC 12 at -O3 takes "#" + std::string for an overlapping copy
    // (a false -Wrestrict).
    std::string line = "#";
    line += match[1].str();
    line += " Error in input: ";
    line += match[2].str();
    line += "\n";
    content.error_line = line;
  }
  return content;
}

// The page's block and the text answer both equal the tool's output, for a request that
// sends Ram as the web form does: the tool is a current client, which says where the
// registers go.
TEST(CliProgramTest, SameTextAsThePage) {
  const Request requests[] = {
      {"ten", "10", "8", std::nullopt},
      {"tenth, 1 % error, little-endian", "0.1", "16", "1", "ACC", "TEMP", true},
      {"seven, 32 bits", "7", "32", "0"},
      {"one", "1", "8", std::nullopt},
      {"half", "0.5", "8", std::nullopt},
      {"1024", "1024", "8", std::nullopt},
      {"largest constant", "2147483648", "32", std::nullopt},
      {"a third", "0.3333333333333333", "24", "0.01", "SUM", "SCRATCH", true},
      {"names the page escapes", "1.5", "12", std::nullopt, "A<b>&\"x", "T'>", false},
      {"names with spaces", "3.7", "20", "5", "R one", "S two", true},
      {"enhanced core", "0.1", "16", std::nullopt, "ACC", "TEMP", false, "enhanced"},
      {"enhanced core, little-endian", "7", "32", "0", "R", "S", true, "enhanced"},
      {"mid-range core named", "10", "8", std::nullopt, "ACC", "TEMP", false, "midrange"},
  };
  for (const Request& r : requests) {
    const ProgramRun page = run_cgi(query(r) + "&Ram=");
    const PageContent content = page_content(page.out);
    ASSERT_TRUE(content.block) << r.name << "\n" << page.out;
    const ProgramRun tool = run_asm(cli_args(r));
    EXPECT_EQ(tool.status, 0) << r.name;
    EXPECT_EQ(tool.out, *content.block) << r.name;
    EXPECT_EQ(tool.err, "") << r.name;
    const ProgramRun text = run_cgi(query(r) + "&Ram=&format=text");
    EXPECT_EQ(text.status, 0) << r.name;
    EXPECT_EQ(text.out, "Content-type: text/plain; charset=us-ascii\n\n" + tool.out) << r.name;
    // A request without Ram gets the block it always got: the same, without the notes.
    const PageContent older = page_content(run_cgi(query(r)).out);
    ASSERT_TRUE(older.block) << r.name;
    EXPECT_EQ(older.block->find("\n; RAM: "), std::string::npos) << r.name;
    EXPECT_EQ(older.block->find("\n; Not exact: "), std::string::npos) << r.name;
    EXPECT_EQ(older.block->substr(older.block->find("\n\n\tcblock\n")),
              content.block->substr(content.block->find("\n\n\tcblock\n")))
        << r.name;
  }
}

// The web form reads a number as far as it goes; the tool refuses what follows it, since a
// build script that wrote it has made a mistake.
TEST(CliProgramTest, TextAfterANumber) {
  const Request loose{"numbers read as far as they go", "10.0abc", "8bit", "none"};
  const Request plain{"the numbers alone", "10.0", "8", "0"};
  ASSERT_TRUE(page_content(run_cgi(query(plain)).out).block);
  EXPECT_EQ(page_content(run_cgi(query(loose)).out).block,
            page_content(run_cgi(query(plain)).out).block);
  const ProgramRun tool = run_asm(cli_args(loose));
  EXPECT_EQ(tool.status, 64);
  EXPECT_EQ(tool.out, "");
  EXPECT_EQ(tool.err.rfind("tarvek-asm: --const '10.0abc' is not a number", 0), 0u) << tool.err;
  // A fraction reads whole in both: 22/7, never 22.
  const Request fraction{"a fraction", "22/7", "8", std::nullopt};
  const PageContent page = page_content(run_cgi(query(fraction)).out);
  ASSERT_TRUE(page.block);
  EXPECT_EQ(page.block->rfind("; ACC = ACC * 3.142857\n", 0), 0u) << *page.block;
  std::vector<std::string> args = cli_args(fraction);
  args.insert(args.end(), {"--result", "approx"});
  EXPECT_EQ(run_asm(args).out.rfind("; ACC = ACC * 3.142857\n", 0), 0u);
}

TEST(CliProgramTest, SameRefusalAsThePage) {
  const Request requests[] = {
      {"33 bits", "10", "33", std::nullopt},
      {"constant 0", "0", "8", std::nullopt},
      {"accumulator name", "10", "8", std::nullopt, "1A"},
      {"empty temporary name", "10", "8", std::nullopt, "ACC", ""},
      {"same names", "10", "8", std::nullopt, "R", "R"},
      {"too big", "1e400", "8", std::nullopt},
      {"error bound", "10", "8", "50.5"},
      {"zero result", "0.5", "1", std::nullopt},
      {"another core", "10", "8", std::nullopt, "ACC", "TEMP", false, "pic10"},
  };
  const std::string refused_text =
      "Status: 400 Bad Request\nContent-type: text/plain; charset=us-ascii\n\n";
  for (const Request& r : requests) {
    const ProgramRun page = run_cgi(query(r));
    const PageContent content = page_content(page.out);
    ASSERT_TRUE(content.error_line) << r.name << "\n" << page.out;
    const ProgramRun tool = run_asm(cli_args(r));
    EXPECT_EQ(tool.status, 2) << r.name;
    EXPECT_EQ(tool.out, "") << r.name;
    // The page's numbered error; the tool, a current client, tells which names clash.
    const std::string& line = *content.error_line;
    EXPECT_EQ(tool.err.substr(0, tool.err.find(':')), line.substr(0, line.find(':'))) << r.name;
    EXPECT_EQ(tool.err == line, std::string(r.name) != "same names") << r.name << tool.err;
    const ProgramRun current = run_cgi(query(r) + "&Ram=&format=text");
    EXPECT_EQ(current.status, 0) << r.name;
    EXPECT_EQ(current.out, refused_text + tool.err) << r.name;
    // A request without Ram gets the page's message, as it always did.
    const ProgramRun text = run_cgi(query(r) + "&format=text");
    EXPECT_EQ(text.out, refused_text + line) << r.name;
  }
}

// The routine from its cblock on, without the comment block.
std::string code_part(const std::string& block) {
  const std::size_t at = block.find("\n\tcblock");
  return at == std::string::npos ? block : block.substr(at);
}

TEST(CliProgramTest, DivideByMatchesThePageWithTheReciprocal) {
  const ProgramRun page = run_cgi("Const=0.3333333333333333&Bits=16&Acc=ACC&Temp=TEMP");
  const PageContent content = page_content(page.out);
  ASSERT_TRUE(content.block);
  const ProgramRun tool = run_asm({"--divide-by", "3", "--bits", "16", "--result", "approx"});
  EXPECT_EQ(tool.status, 0);
  EXPECT_EQ(code_part(tool.out), code_part(*content.block));
  // The page divides the same way, and its notes compare with floor(x * 1/3) as well.
  const ProgramRun divided =
      run_cgi("Const=1&DivideBy=3&Bits=16&Acc=ACC&Temp=TEMP&Ram=&format=text");
  EXPECT_EQ(divided.out, "Content-type: text/plain; charset=us-ascii\n\n" + tool.out);
  EXPECT_NE(tool.out.find("\n; Not exact: input 3 gives 0 where floor(3 * 1/3) is 1.\n"),
            std::string::npos);
}

// The exact modes: the CGI's text answer is the tool's output, or its refusal under Status 400.
TEST(CliProgramTest, ExactModesSameTextAsTheTextAnswer) {
  struct Case {
    const char* name;
    std::string query;
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {"floor of a tenth",
       "Const=1&DivideBy=10&Result=floor&Bits=16",
       {"--const", "1", "--divide-by", "10", "--result", "floor", "--bits", "16"},
       0},
      {"nearest of a fraction, little-endian",
       "Const=22%2F7&Result=nearest&Bits=12&endian=little",
       {"--const", "22/7", "--result", "nearest", "--bits", "12", "--little-endian"},
       0},
      {"signed trunc of a tenth on the enhanced core",
       "Const=1&DivideBy=10&Result=trunc&Signed=1&Bits=16&Core=enhanced",
       {"--const", "1", "--divide-by", "10", "--result", "trunc", "--signed", "--bits", "16",
        "--core", "enhanced"},
       0},
      {"a divisor of 0",
       "Const=1&DivideBy=0&Result=floor&Bits=8",
       {"--const", "1", "--divide-by", "0", "--result", "floor", "--bits", "8"},
       2},
      {"a divisor alone is C's division",
       "Const=1&DivideBy=7&Result=floor&Bits=16&Ram=0x40",
       {"--divide-by", "7", "--bits", "16", "--ram", "0x40"},
       0},
      {"a signed divisor alone is C's division",
       "Const=1&DivideBy=7&Result=trunc&Signed=1&Bits=16",
       {"--divide-by", "7", "--bits", "16", "--signed"},
       0},
  };
  for (const Case& c : cases) {
    const ProgramRun text = run_cgi(c.query + "&Acc=ACC&Temp=TEMP&Ram=&format=text");
    const ProgramRun tool = run_asm(c.args);
    EXPECT_EQ(tool.status, c.status) << c.name;
    EXPECT_EQ(text.out, c.status == 0 ? "Content-type: text/plain; charset=us-ascii\n\n" + tool.out
                                      : "Status: 400 Bad Request\n"
                                        "Content-type: text/plain; charset=us-ascii\n\n" +
                                            tool.err)
        << c.name;
  }
}

TEST(CliProgramTest, ExitStatuses) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    // Where the text must go: "out", "err".
    const char* stream;
  };
  const Case cases[] = {
      {"valid", {"--const", "10", "--bits", "8"}, 0, "out"},
      {"valid, separate values with =", {"--const=10", "--bits=8", "--error=0"}, 0, "out"},
      {"help", {"--help"}, 0, "out"},
      {"version", {"--version"}, 0, "out"},
      {"refused", {"--const", "10", "--bits", "40"}, 2, "err"},
      {"no arguments", {}, 64, "err"},
      {"unknown option", {"--const", "10", "--bits", "8", "--fast"}, 64, "err"},
      {"missing value", {"--const", "10", "--bits"}, 64, "err"},
      {"operand", {"--const", "10", "--bits", "8", "out.asm"}, 64, "err"},
      {"both constants: their quotient",
       {"--const", "10", "--divide-by", "10", "--bits", "8"},
       0,
       "out"},
      {"text after a number", {"--const", "10", "--bits", "8bit"}, 64, "err"},
      {"the allowed error of an exact division",
       {"--divide-by", "3", "--bits", "8", "--error", "1"},
       64,
       "err"},
      {"a RAM address beyond bank 3", {"--const", "10", "--bits", "8", "--ram", "512"}, 2, "err"},
      {"names that meet at byte 20 of a long digits routine",
       {"--result", "digits", "--divide-by", "20", "--bits", "23", "--acc", "v2", "--temp", "v",
        "--little-endian", "--core", "baseline"},
       2,
       "err"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = run_asm(c.args);
    EXPECT_EQ(run.status, c.status) << c.name;
    const bool to_out = std::string(c.stream) == "out";
    EXPECT_EQ(run.out.empty(), !to_out) << c.name;
    EXPECT_EQ(run.err.empty(), to_out) << c.name;
    if (c.args.size() > 2 && c.args[1] == "digits") {
      EXPECT_NE(run.err.find("byte named v20."), std::string::npos) << run.err;
    }
    if (c.status == 64) {
      EXPECT_EQ(run.err.rfind("tarvek-asm: ", 0), 0u) << c.name;
      EXPECT_NE(run.err.find("\nUsage: tarvek-asm "), std::string::npos) << c.name;
    }
  }
}

// An approximation whose error exceeds the allowed one is written, with its WARNING, and
// the exit status tells a build script; the page keeps showing it as it always did.
TEST(CliProgramTest, AnErrorAboveTheAllowedOne) {
  const ProgramRun run =
      run_asm({"--divide-by", "5000", "--bits", "13", "--error", "1", "--result", "approx"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.out.find("\n; WARNING:\n"), std::string::npos);
  EXPECT_EQ(run.err.rfind("tarvek-asm: warning: the approximation's error, 100 %, exceeds the "
                          "allowed 1 %",
                          0),
            0u)
      << run.err;
  const PageContent page =
      page_content(run_cgi("Const=1&DivideBy=5000&Bits=13&ConstErr=1&Acc=ACC&Temp=TEMP").out);
  ASSERT_TRUE(page.block);
  EXPECT_NE(page.block->find("\n; WARNING:\n"), std::string::npos);
}

TEST(CliProgramTest, OutputThatCannotBeWritten) {
  const ProgramRun run = run_asm({"--const", "10", "--bits", "8"}, "/dev/full");
  EXPECT_EQ(run.status, 74);
  EXPECT_EQ(run.err, "tarvek-asm: cannot write the output\n");
}

TEST(CliProgramTest, VerifyTimesTen) {
  const ProgramRun page = run_cgi("Const=10&Bits=8&Acc=ACC&Temp=TEMP&Ram=");
  const PageContent content = page_content(page.out);
  ASSERT_TRUE(content.block);
  const ProgramRun run = run_asm({"--const", "10", "--bits", "8", "--verify"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, *content.block +
                         "; Verification on tarvek's PIC16 simulator, each run starting from\n"
                         "; arbitrary values in every other byte, W and the flags:\n"
                         "; Inputs checked: 256 (every 8-bit input)\n"
                         "; Every result equals the documented computation.\n"
                         "; Routine: 21 instructions, 21 cycles\n"
                         "; Worst deviation from input * 10 (result minus exact value, truncation "
                         "included):\n"
                         ";   absolute 0 at input 0\n"
                         ";   relative 0 % at input 1 (undefined at input 0, which is left out)\n");
  EXPECT_EQ(run.err, "");
}

TEST(CliProgramTest, VerifyDivideByTen) {
  const ProgramRun run =
      run_asm({"--divide-by", "10", "--bits", "8", "--result", "approx", "--verify"});
  EXPECT_EQ(run.status, 0);
  const std::string tail =
      "; Inputs checked: 256 (every 8-bit input)\n"
      "; Every result equals the documented computation.\n"
      "; Routine: 109 instructions, 109 cycles\n"
      "; Worst deviation from input / 10 (result minus exact value, truncation included):\n"
      ";   absolute -0.9 at input 9\n"
      ";   relative -100 % at input 1 (undefined at input 0, which is left out)\n";
  ASSERT_GE(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
}

TEST(CliProgramTest, VerifyAWideRoutine) {
  const ProgramRun run = run_asm(
      {"--const", "3.14159", "--bits", "24", "--error", "0.01", "--little-endian", "--verify"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find(" of the 2^24 (0 to 3,"), std::string::npos);
  EXPECT_NE(run.out.find("; Every result equals the documented computation.\n"), std::string::npos);
}

TEST(CliProgramTest, TheCgiProgramIgnoresArguments) {
  const std::string q = "Const=10&Bits=8&Acc=ACC&Temp=TEMP";
  const ProgramRun plain = run_cgi(q);
  const ProgramRun with_args = run_cgi(q, {"--const", "3", "--bits", "4", "--help"});
  EXPECT_EQ(with_args.status, 0);
  EXPECT_EQ(with_args.err, "");
  ASSERT_TRUE(page_content(plain.out).block);
  EXPECT_EQ(page_content(with_args.out).block, page_content(plain.out).block);
}

// The README's worked example is the program's real output.
// The README's example between `intro` and the paragraph starting with `next`, indented by
// four spaces (blank lines stay empty), without the indentation.
std::string readme_example(const std::string& intro, const std::string& next) {
  std::ifstream file(TARVEK_README);
  std::stringstream readme;
  readme << file.rdbuf();
  const std::string text = readme.str();
  const std::size_t start = text.find(intro);
  EXPECT_NE(start, std::string::npos) << intro;
  const std::size_t end = text.find("\n" + next, start);
  EXPECT_NE(end, std::string::npos) << next;
  if (start == std::string::npos || end == std::string::npos) return {};
  std::istringstream lines(text.substr(start + intro.size(), end - start - intro.size()));
  std::string example;
  std::string line;
  while (std::getline(lines, line))
    example += (line.rfind("    ", 0) == 0 ? line.substr(4) : line) + "\n";
  return example;
}

TEST(CliProgramTest, ReadmeExample) {
  const std::string example =
      readme_example("A worked example, `build/tarvek-asm --const 10 --bits 8 --verify`:\n\n",
                     "A refused request");
  const ProgramRun run = run_asm({"--const", "10", "--bits", "8", "--verify"});
  EXPECT_EQ(run.out, example);
}

TEST(CliProgramTest, ReadmeEnhancedExample) {
  const std::string example =
      readme_example("`build/tarvek-asm --const 10 --bits 8 --core enhanced`:\n\n", "Such a");
  const ProgramRun run = run_asm({"--const", "10", "--bits", "8", "--core", "enhanced"});
  // The block ends with a blank line, which the paragraph break after the example takes.
  EXPECT_EQ(run.out, example + "\n");
}

}  // namespace
}  // namespace tarvek

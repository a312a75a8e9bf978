// The manual page is written by hand, so this test is what keeps it in step with the tool: an
// option or exit status that `tarvek-asm --help` names but the page has no entry for fails
// here, as does an entry for an option the tool does not have, or a value of --core its usage
// offers that the entry of --core does not name. The help text is read from the built program,
// so an option added to the tool is checked the moment it is in its help.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "program_runner.h"

namespace tarvek {
namespace {

using Names = std::set<std::string>;

std::string file_text(const char* path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

Names all_matches(const std::string& text, const std::regex& pattern) {
  Names names;
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
    names.insert((*it)[1].str());
  }
  return names;
}

// Every long option the help text mentions anywhere (usage, descriptions, examples), without
// its dashes: "--bits N" and "--bits=8" both give "bits".
Names options_in_help(const std::string& help) {
  static const std::regex option(R"((?:^|[^-\w])--([a-z][a-z0-9]*(?:-[a-z0-9]+)*))");
  return all_matches(help, option);
}

// The statuses of the help text's closing paragraph, "Exit status: 0 ..., 1 ..., 64 ...".
Names statuses_in_help(const std::string& help) {
  static const std::regex status(R"((?:Exit status:|,)\s+(\d+)\s)");
  const std::size_t start = help.find("Exit status:");
  return start == std::string::npos ? Names{} : all_matches(help.substr(start), status);
}

// The tag lines of the entries (the line after each .TP) in section `section` of the page,
// with roff's escaped hyphen "\-" read as "-".
std::vector<std::string> entry_tags(const std::string& page, const std::string& section) {
  std::vector<std::string> tags;
  std::istringstream lines(page);
  std::string line;
  bool inside = false;
  bool tag_next = false;
  while (std::getline(lines, line)) {
    if (line.rfind(".SH", 0) == 0) {
      inside = line == ".SH " + section || line == ".SH \"" + section + "\"";
      tag_next = false;
    } else if (inside && line.rfind(".TP", 0) == 0) {
      tag_next = true;
    } else if (tag_next) {
      for (std::size_t at; (at = line.find("\\-")) != std::string::npos;) line.erase(at, 1);
      tags.push_back(line);
      tag_next = false;
    }
  }
  return tags;
}

// The options with an entry under OPTIONS: the first "--name" of each tag.
Names options_in_manual(const std::string& page) {
  static const std::regex option(R"(--([a-z][a-z0-9]*(?:-[a-z0-9]+)*))");
  Names names;
  std::smatch m;
  for (const std::string& tag : entry_tags(page, "OPTIONS")) {
    if (std::regex_search(tag, m, option)) names.insert(m[1].str());
  }
  return names;
}

// The statuses with an entry under EXIT STATUS: the number each tag holds.
Names statuses_in_manual(const std::string& page) {
  static const std::regex status(R"((\d+))");
  Names names;
  std::smatch m;
  for (const std::string& tag : entry_tags(page, "EXIT STATUS")) {
    if (std::regex_search(tag, m, status)) names.insert(m[1].str());
  }
  return names;
}

// The values a usage line offers for `option`: "[--core midrange|enhanced]" gives both.
Names values_in_help(const std::string& help, const std::string& option) {
  // A value is a word of lower-case letters and digits: pic18 as well as midrange.
  const std::regex values("--" + option + R"( ([a-z][a-z0-9]*(?:\|[a-z][a-z0-9]*)+))");
  Names names;
  std::smatch m;
  if (!std::regex_search(help, m, values)) return names;
  std::istringstream list(m[1].str());
  for (std::string value; std::getline(list, value, '|');) names.insert(value);
  return names;
}

// The words set in bold on a line of their own (".B word") in the entry of `option` under
// OPTIONS: the values its text names.
Names bold_words_in_entry(const std::string& page, const std::string& option) {
  Names names;
  std::istringstream lines(page);
  std::string line;
  bool options = false;
  bool inside = false;
  bool tag_next = false;
  static const std::regex bold(R"(^\.B ([a-z][a-z0-9]*)$)");
  std::smatch m;
  while (std::getline(lines, line)) {
    if (line.rfind(".SH", 0) == 0) {
      options = line == ".SH OPTIONS";
      inside = false;
    } else if (options && line.rfind(".TP", 0) == 0) {
      inside = false;
      tag_next = true;
    } else if (tag_next) {
      for (std::size_t at; (at = line.find("\\-")) != std::string::npos;) line.erase(at, 1);
      inside = line.find("--" + option + " ") != std::string::npos ||
               line.find("--" + option + "\"") != std::string::npos;
      tag_next = false;
    } else if (inside && std::regex_match(line, m, bold)) {
      names.insert(m[1].str());
    }
  }
  return names;
}

// "a, b" for the names of `wanted` that `present` lacks; empty when none is missing.
std::string missing(const Names& wanted, const Names& present) {
  std::string list;
  for (const std::string& name : wanted) {
    if (present.count(name) == 0) list += (list.empty() ? "" : ", ") + name;
  }
  return list;
}

// A page that mentions --signed only in its prose, and a help text that offers it: the option
// counts as undocumented, because only an entry under OPTIONS documents an option.
TEST(ManualPageCheck, OnlyEntriesDocumentAnOption) {
  const std::string page =
      ".TH T 1\n.SH DESCRIPTION\nSee \\-\\-signed.\n.TP\n.B \\-\\-verbose\nprose\n"
      ".SH OPTIONS\n.TP\n.BI \\-\\-bits \" N\"\nWidth.\n.TP\n.B \\-\\-little\\-endian\nOrder.\n"
      ".SH \"EXIT STATUS\"\n.TP\n.B 64\nUsage.\n.SH EXAMPLES\n.TP\n\\-\\-help 2\n";
  const std::string help =
      "Usage: t (--const K | --divide-by D) --bits N\n  --signed  read the input as signed\n"
      "  e.g. --bits=8\nExit status: 0 written (see --help), 2 refused, 64 usage error.\n";
  EXPECT_EQ(options_in_manual(page), (Names{"bits", "little-endian"}));
  EXPECT_EQ(statuses_in_manual(page), Names{"64"});
  EXPECT_EQ(options_in_help(help), (Names{"bits", "const", "divide-by", "help", "signed"}));
  EXPECT_EQ(statuses_in_help(help), (Names{"0", "2", "64"}));
  EXPECT_EQ(missing(options_in_help(help), options_in_manual(page)),
            "const, divide-by, help, signed");
}

// The core values of a usage line, and the values an entry names in bold; an entry that leaves
// one out is caught by missing().
TEST(ManualPageCheck, ReadsTheValuesOfAnOption) {
  const std::string help = "Usage: t [--little-endian] [--core midrange|enhanced|baseline|pic18]\n";
  const std::string page =
      ".SH OPTIONS\n.TP\n.BI \\-\\-core \" CORE\"\nThe core.\n.B midrange\nruns anywhere;\n"
      ".B enhanced\nfewer.\n.B pic18\nmultiplies.\n.TP\n.B \\-\\-verify\n.B baseline\n"
      ".SH EXAMPLES\n.B baseline\n";
  EXPECT_EQ(values_in_help(help, "core"), (Names{"baseline", "enhanced", "midrange", "pic18"}));
  EXPECT_EQ(bold_words_in_entry(page, "core"), (Names{"enhanced", "midrange", "pic18"}));
  EXPECT_EQ(missing(values_in_help(help, "core"), bold_words_in_entry(page, "core")), "baseline");
}

class ManualPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramCall call;
    call.arguments = {"--help"};
    const ProgramRun run = run_program(TARVEK_ASM, call);
    ASSERT_EQ(run.status, 0) << run.err;
    help_ = run.out;
    page_ = file_text(TARVEK_MANUAL);
    ASSERT_FALSE(page_.empty()) << "cannot read " << TARVEK_MANUAL;
  }

  std::string help_;
  std::string page_;
};

TEST_F(ManualPageTest, EveryOptionOfTheHelpHasAnEntry) {
  const Names offered = options_in_help(help_);
  // Guards the reading of the help text itself: two options it has always had.
  ASSERT_TRUE(offered.count("const") && offered.count("bits")) << help_;
  EXPECT_EQ(missing(offered, options_in_manual(page_)), "")
      << "options of tarvek-asm --help without an entry under OPTIONS in " << TARVEK_MANUAL;
}

TEST_F(ManualPageTest, EveryEntryIsAnOptionOfTheTool) {
  EXPECT_EQ(missing(options_in_manual(page_), options_in_help(help_)), "")
      << "entries under OPTIONS in " << TARVEK_MANUAL << " that tarvek-asm --help lacks";
}

// The short usage a usage error prints lists the values of --core.
TEST_F(ManualPageTest, EveryCoreOfTheUsageIsInTheEntryOfCore) {
  ProgramCall call;
  call.arguments = {"--no-such-option"};
  const ProgramRun run = run_program(TARVEK_ASM, call);
  ASSERT_EQ(run.status, 64) << run.err;
  const Names offered = values_in_help(run.err, "core");
  ASSERT_TRUE(offered.count("midrange") && offered.count("enhanced")) << run.err;
  EXPECT_EQ(missing(offered, bold_words_in_entry(page_, "core")), "")
      << "values of --core that the entry of --core in " << TARVEK_MANUAL << " does not name";
}

TEST_F(ManualPageTest, EveryExitStatusOfTheHelpHasAnEntry) {
  const Names listed = statuses_in_help(help_);
  ASSERT_TRUE(listed.count("0") && listed.count("64")) << help_;
  EXPECT_EQ(missing(listed, statuses_in_manual(page_)), "")
      << "exit statuses of tarvek-asm --help without an entry under EXIT STATUS in "
      << TARVEK_MANUAL;
}

// groff's warnings (an unknown macro, an unclosed font change, ...) go to standard error,
// while man itself still exits with status 0.
TEST(ManualPage, RendersWithoutWarnings) {
  const std::string man = TARVEK_MAN;
  ASSERT_TRUE(man.find("NOTFOUND") == std::string::npos && !man.empty())
      << "no man program (scripts/install-deps installs man-db)";
  ProgramCall call;
  call.arguments = {"--warnings", "-l", TARVEK_MANUAL};
  call.environment = {"PATH=/usr/bin:/bin", "MANWIDTH=80"};
  const ProgramRun run = run_program(man, call);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("tarvek-asm"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tarvek

// The routines written for size as the program prints them: their labels, never more words
// than the routine for speed, the same routine as for speed where no loop is shorter, and the
// words the hand-written loops set as the bar.
#include "size/size_generator.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "exact/exact_generator.h"

namespace tarvek {
namespace {

struct Request {
  uint64_t p;
  uint64_t q;
  ResultMode mode;
  int bits;
  bool is_signed = false;
  bool little = false;
  Core core = Core::kMidrange;
};

GeneratorRequest generator_request(const Request& r, Optimize optimize,
                                   const std::string& labels = "") {
  GeneratorRequest request;
  request.mode = r.mode;
  request.numerator = r.p;
  request.denominator = r.q;
  request.is_signed = r.is_signed;
  request.core = r.core;
  request.optimize = optimize;
  request.label_prefix = labels;
  return request;
}

std::string block_of(const Request& r, Optimize optimize, const std::string& labels = "") {
  Register acc("ACC", r.bits, r.little);
  Register temp("TEMP", 0, r.little);
  std::ostringstream out;
  const GeneratorRequest request = generator_request(r, optimize, labels);
  const int refused = optimize == Optimize::kSize ? generate_size(out, request, acc, temp)
                                                  : generate_exact(out, request, acc, temp);
  EXPECT_EQ(refused, 0);
  return out.str();
}

// Instruction lines: the lines after the declarations that start with a tab.
int words_of(const std::string& block) {
  std::size_t at = block.find("\tendc\n");
  int words = 0;
  std::istringstream lines(block.substr(at + 6));
  std::string line;
  while (std::getline(lines, line)) words += !line.empty() && line[0] == '\t' ? 1 : 0;
  return words;
}

std::string describe(const Request& r) {
  return std::to_string(r.p) + "/" + std::to_string(r.q) + ", " + std::to_string(r.bits) + " bits" +
         (r.is_signed ? ", signed" : "") + (r.little ? ", LE" : "") +
         (r.core == Core::kEnhanced ? ", enhanced" : "");
}

TEST(SizeGenerator, DefaultLabelPrefixes) {
  struct Case {
    const char* acc;
    uint64_t p, q;
    ResultMode mode;
    int bits;
    bool is_signed;
    const char* prefix;
  };
  const Case cases[] = {
      {"ACC", 1, 10, ResultMode::kFloor, 16, false, "acc_div10_f16_"},
      {"acc", 1, 10, ResultMode::kFloor, 8, false, "acc_div10_f8_"},
      {"Sum", 3, 1, ResultMode::kFloor, 12, false, "sum_x3_f12_"},
      {"ACC", 5000, 1023, ResultMode::kFloor, 10, false, "acc_x5000div1023_f10_"},
      {"ACC", 1, 10, ResultMode::kTrunc, 16, true, "acc_div10_t16s_"},
      {"ACC", 3, 5, ResultMode::kNearest, 8, false, "acc_x3div5_n8_"},
      // Too long: the constant becomes a hash, then the name is shortened.
      {"ACC", 62831853, 20000000, ResultMode::kNearest, 32, false, "acc_k_n32_"},
      {"Very_long_register_name", 1, 10, ResultMode::kFloor, 32, false, "very_long_reg_div10_f32_"},
      {"A.B", 1, 3, ResultMode::kFloor, 8, false, "a_b_div3_f8_"},
      // A short name and a long constant: the name as it is, the constant as a hash.
      {"dZ_jq", 3554433045029179, 500000000, ResultMode::kTrunc, 22, true, "dz_jq_k_t22s_"},
  };
  for (const Case& c : cases) {
    const ExactSpec spec =
        make_spec(Fraction::of(BigInt::from_unsigned(c.p), BigInt::from_unsigned(c.q)), c.mode,
                  c.bits, c.is_signed);
    const std::string prefix = default_label_prefix(c.acc, spec);
    EXPECT_LE(prefix.size(), kMaxLabelPrefix) << c.prefix;
    const std::string expected = c.prefix;
    const std::size_t hash = expected.find("_k");
    if (hash == std::string::npos) {
      EXPECT_EQ(prefix, expected);
    } else {
      // The hash's eight digits stand where the expected prefix has none.
      const std::regex pattern(expected.substr(0, hash + 2) + "[0-9a-f]{8}" +
                               expected.substr(hash + 2));
      EXPECT_TRUE(std::regex_match(prefix, pattern)) << prefix;
    }
  }
}

TEST(SizeGenerator, EveryLabelStartsWithTheRequestsPrefix) {
  const std::string block = block_of({1, 10, ResultMode::kFloor, 16}, Optimize::kSize, "my_");
  const std::regex label_line(R"((^|\n)([A-Za-z_][A-Za-z0-9_]*)\n)");
  const std::regex goto_line(R"(\tgoto\t(\S+)\n)");
  int seen = 0;
  for (const std::regex& pattern : {label_line, goto_line}) {
    for (auto m = std::sregex_iterator(block.begin(), block.end(), pattern);
         m != std::sregex_iterator(); ++m) {
      const std::string name = (*m)[m->size() - 1].str();
      EXPECT_EQ(name.rfind("my_", 0), 0u) << name;
      ++seen;
    }
  }
  EXPECT_GE(seen, 2);
  EXPECT_EQ(block.find('$'), std::string::npos);
}

TEST(SizeGenerator, NeverMoreWordsThanForSpeed) {
  int shorter = 0;
  int same = 0;
  for (const uint64_t q : {1, 2, 3, 5, 7, 10, 12, 100, 255, 1000}) {
    for (const ResultMode mode : {ResultMode::kFloor, ResultMode::kNearest, ResultMode::kTrunc}) {
      for (const int bits : {3, 8, 16, 24}) {
        for (const Core core : {Core::kMidrange, Core::kEnhanced}) {
          const Request r{1, q, mode, bits, mode == ResultMode::kTrunc, false, core};
          // Every result zero: such a request is refused before it gets here.
          if (make_spec(Fraction::of(1, BigInt::from_unsigned(q)), mode, bits, r.is_signed)
                  .result_bits == 0) {
            continue;
          }
          const std::string speed = block_of(r, Optimize::kSpeed);
          const std::string size = block_of(r, Optimize::kSize);
          EXPECT_LE(words_of(size), words_of(speed)) << describe(r);
          // When no loop is shorter, the routine is the one for speed, byte for byte.
          if (size.find("\tgoto\t") == std::string::npos) {
            EXPECT_EQ(size, speed) << describe(r);
            ++same;
          } else {
            ++shorter;
          }
        }
      }
    }
  }
  EXPECT_GT(shorter, 0);
  EXPECT_GT(same, 0);
}

// The hand-written loops measured on the mid-range core: no more words, and in the worst case
// no more cycles where the words are the same.
TEST(SizeGenerator, AtMostTheWordsOfHandWrittenLoops) {
  struct Case {
    Request request;
    int words;
    long most_cycles;
  };
  const Case cases[] = {
      {{1, 10, ResultMode::kFloor, 16}, 12, 162},
      {{1, 10, ResultMode::kFloor, 32}, 14, 386},
  };
  for (const Case& c : cases) {
    const std::string block = block_of(c.request, Optimize::kSize);
    EXPECT_LE(words_of(block), c.words) << describe(c.request);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(block, m, std::regex(R"(; Routine: (\d+) words, (\d+) cycles)")))
        << block;
    if (std::stoi(m[1].str()) == c.words) {
      EXPECT_LE(std::stol(m[2].str()), c.most_cycles) << describe(c.request);
    }
  }
}

}  // namespace
}  // namespace tarvek

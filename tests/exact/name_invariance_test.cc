// Whatever names a request gives its registers, the routine is the same: the same comment
// block, declarations and instructions, with only the names changed; or the request is refused
// with 4 when two byte names really meet. Names that look like each other's bytes (A0 beside
// A, whose bytes A00 and A0 differ only by where the name ends), that read as hexadecimal
// numbers (f9) or that are one letter (w, f) must not change a single instruction.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "exact_sweep.h"

namespace tarvek {
namespace {

struct Names {
  const char* acc;
  const char* temp;
};

const Names kAdversarial[] = {
    {"A0", "A"}, {"A", "A0"}, {"f99099", "f9"}, {"f9", "f"}, {"f99", "f9"},
    {"Z9", "Z"}, {"w", "f"},  {"f", "w"},       {"W", "F"},  {"b1", "d0"},
    {"A1", "A"}, {"X", "X1"}, {"ACC", "ACC0"},  {"T0", "T"}, {"ab0", "ab"},
};

bool is_word_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The digits after `prefix` when `word` is the prefix followed by a byte number.
bool byte_number_after(const std::string& word, const std::string& prefix, std::string& number) {
  if (word.size() <= prefix.size() || word.compare(0, prefix.size(), prefix) != 0) return false;
  number = word.substr(prefix.size());
  for (const char c : number) {
    if (c < '0' || c > '9') return false;
  }
  return number.size() == 1 || number[0] != '0';
}

// `block`, written with the registers ACC and TEMP, with every word that names one of them or
// one of their bytes written with `names` instead.
std::string renamed(const std::string& block, const Names& names) {
  std::string out;
  for (std::size_t i = 0; i < block.size();) {
    if (!is_word_char(block[i])) {
      out += block[i++];
      continue;
    }
    std::size_t end = i;
    while (end < block.size() && is_word_char(block[end])) ++end;
    const std::string word = block.substr(i, end - i);
    std::string number;
    if (word == "ACC") {
      out += names.acc;
    } else if (word == "TEMP") {
      out += names.temp;
    } else if (byte_number_after(word, "ACC", number)) {
      out += names.acc + number;
    } else if (byte_number_after(word, "TEMP", number)) {
      out += names.temp + number;
    } else {
      out += word;
    }
    i = end;
  }
  return out;
}

void expect_same_up_to_renaming(const ExactSweepRequest& request, const Names& names,
                                long& compared, long& clashed) {
  int plain_refusal = 0;
  const std::string plain = generate_exact_block(request, plain_refusal);
  int refusal = 0;
  const std::string other = generate_exact_block(request, refusal, names.acc, names.temp);
  const std::string what = describe(request) + ", names " + names.acc + " and " + names.temp;
  if (refusal == 4 && plain_refusal == 0) {
    // Refused only when some byte name of one register is also a byte name of the other.
    const std::string acc = names.acc;
    const std::string temp = names.temp;
    bool meet = false;
    for (int k = 0; k < 16 && !meet; ++k) {
      for (int j = 0; j < 16 && !meet; ++j) {
        meet = acc + std::to_string(k) == temp + std::to_string(j);
      }
    }
    EXPECT_TRUE(meet) << what;
    ++clashed;
    return;
  }
  ASSERT_EQ(refusal, plain_refusal) << what;
  EXPECT_EQ(other, renamed(plain, names)) << what;
  ++compared;
}

TEST(NameInvarianceTest, SameRoutineWhateverTheNames) {
  std::vector<ExactSweepRequest> requests =
      exact_requests(exact_sweep_constants(), {1, 5, 8, 13, 16, 24, 32});
  for (const ExactSweepRequest& r : exact_requests(exact_sweep_constants(), {8, 12}, true)) {
    requests.push_back(r);
  }
  // A sample of the approximating mode: the family's plain decimal constants, error 0.
  for (const auto& [constant, divide_by] : exact_sweep_constants()) {
    if (!divide_by.empty() || constant.find('/') != std::string::npos) continue;
    for (const int bits : {3, 8, 16, 32}) {
      requests.push_back(ExactSweepRequest{constant, "", "", bits, bits % 16 == 0});
    }
  }
  long compared = 0;
  long clashed = 0;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    ExactSweepRequest request = requests[i];
    // Every core, in turn.
    if (i % 3 == 1) request.core = Core::kEnhanced;
    if (i % 3 == 2) request.core = Core::kBaseline;
    const Names& names = kAdversarial[i % std::size(kAdversarial)];
    expect_same_up_to_renaming(request, names, compared, clashed);
    if (::testing::Test::HasFailure()) return;
  }
  // Both outcomes came up: most requests compared, the clashing pairs refused.
  std::printf("%ld requests compared, %ld refused for names that meet\n", compared, clashed);
  EXPECT_GT(compared, 1000);
  EXPECT_GT(clashed, 0);
}

// Routines written for size, loops among them: given a Label, their labels do not depend on
// the register names either.
TEST(NameInvarianceTest, SameRoutineWhateverTheNamesForSize) {
  std::vector<ExactSweepRequest> requests;
  const auto family = exact_sweep_constants();
  std::vector<std::pair<std::string, std::string>> sample;
  for (std::size_t i = 0; i < family.size(); i += 3) sample.push_back(family[i]);
  for (const bool is_signed : {false, true}) {
    for (ExactSweepRequest r :
         exact_requests(sample, {6, 8, 16, 32}, is_signed, Core::kMidrange, Optimize::kSize)) {
      r.label = "L_";
      requests.push_back(r);
    }
  }
  long compared = 0;
  long clashed = 0;
  int loops = 0;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    ExactSweepRequest request = requests[i];
    if (i % 3 == 1) request.core = Core::kEnhanced;
    int refusal = 0;
    loops += generate_exact_block(request, refusal).find("\tgoto\t") != std::string::npos;
    expect_same_up_to_renaming(request, kAdversarial[i % std::size(kAdversarial)], compared,
                               clashed);
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(compared, 300);
  EXPECT_GT(loops, 100);
}

}  // namespace
}  // namespace tarvek

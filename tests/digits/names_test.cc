// Whatever names a request gives its registers, a digits routine or a quotient with its
// remainder is the same: the same comment block, declarations and instructions, with only the
// names changed; or the request is refused when two byte names really meet. Names that look
// like each other's bytes (A0 beside A) or like numbers (f9) must not change an instruction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "digits_sweep.h"
#include "exact_sweep.h"

namespace tarvek {
namespace {

struct Names {
  const char* acc;
  const char* temp;
  const char* rem;
};

const Names kAdversarial[] = {
    {"A0", "A", "A00"}, {"A", "A0", "R"},  {"f9", "f", "f99"}, {"w", "f", "W"},
    {"X", "X1", "Y"},   {"T0", "T", "R1"}, {"ab0", "ab", "a"},
};

bool is_word_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The block of ACC, TEMP and REM with each of them, and each of their bytes, named anew.
std::string renamed(const std::string& block, const Names& names) {
  const std::vector<std::pair<std::string, std::string>> registers = {
      {"ACC", names.acc}, {"TEMP", names.temp}, {"REM", names.rem}};
  std::string out;
  for (std::size_t i = 0; i < block.size();) {
    if (!is_word_char(block[i])) {
      out += block[i++];
      continue;
    }
    std::size_t end = i;
    while (end < block.size() && is_word_char(block[end])) ++end;
    std::string word = block.substr(i, end - i);
    for (const auto& [from, to] : registers) {
      if (word.compare(0, from.size(), from) != 0) continue;
      const std::string rest = word.substr(from.size());
      const bool number = rest.find_first_not_of("0123456789") == std::string::npos &&
                          (rest.size() <= 1 || rest[0] != '0');
      if (number) {
        word = to + rest;
        break;
      }
    }
    out += word;
    i = end;
  }
  return out;
}

TEST(NamesTest, DigitsWhateverTheNames) {
  int compared = 0;
  int turn = 0;
  for (const DigitsSweepRequest& request :
       digits_requests({2, 10, 60, 256}, {4, 9, 16, 32}, Core::kMidrange)) {
    const Names& names = kAdversarial[static_cast<std::size_t>(turn++) % std::size(kAdversarial)];
    int plain_refusal = 0;
    const std::string plain = generate_digits_block(request, plain_refusal);
    int refusal = 0;
    const std::string other = generate_digits_block(request, refusal, names.acc, names.temp);
    const std::string what = describe(request) + ", names " + names.acc + " and " + names.temp;
    ASSERT_EQ(plain_refusal, 0) << what;
    if (refusal == 4) continue;  // X and X1: X10 would be a byte of both
    ASSERT_EQ(refusal, 0) << what;
    EXPECT_EQ(other, renamed(plain, names)) << what;
    ++compared;
  }
  EXPECT_GT(compared, 40);
}

TEST(NamesTest, RemaindersWhateverTheNames) {
  int compared = 0;
  int turn = 0;
  for (const ExactSweepRequest& request :
       remainder_requests({{"1", "10"}, {"1", "1000"}, {"5/9", ""}, {"1", "200"}}, {8, 16, 24})) {
    const Names& names = kAdversarial[static_cast<std::size_t>(turn++) % std::size(kAdversarial)];
    int plain_refusal = 0;
    const std::string plain = generate_exact_block(request, plain_refusal);
    int refusal = 0;
    const std::string other =
        generate_exact_block(request, refusal, names.acc, names.temp, names.rem);
    const std::string what =
        describe(request) + ", names " + names.acc + ", " + names.temp + " and " + names.rem;
    if (plain_refusal == 7) continue;  // every quotient 0
    ASSERT_EQ(plain_refusal, 0) << what;
    // Refused with 4 or 19 when byte names of two registers meet.
    if (refusal == 4 || refusal == 19) continue;
    ASSERT_EQ(refusal, 0) << what;
    EXPECT_EQ(other, renamed(plain, names)) << what;
    ++compared;
  }
  EXPECT_GT(compared, 30);
}

}  // namespace
}  // namespace tarvek

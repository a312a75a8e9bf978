#include "page/approximation_review.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "form/urlencoded.h"
#include "page/routine_generation.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

struct Reviewed {
  RequestFields fields;
  ValidatedRequest checked;
  ApproximationReview review;
};

Reviewed review_of(const std::string& query) {
  FormEntryList form;
  parse_urlencoded(form, query + "&Acc=ACC&Temp=TEMP");
  Reviewed r;
  r.fields = read_request_fields(form);
  form_list_free(form);
  r.checked = validate_request(r.fields);
  EXPECT_EQ(r.checked.error_code, 0) << query;
  if (r.checked.error_code == 0) r.review = review_approximation(r.fields, r.checked, 12);
  return r;
}

// The instructions of the routine the request of `query` prints.
int printed_instructions(const std::string& query) {
  FormEntryList form;
  parse_urlencoded(form, query + "&Acc=ACC&Temp=TEMP");
  const RequestFields fields = read_request_fields(form);
  form_list_free(form);
  const ValidatedRequest checked = validate_request(fields);
  EXPECT_EQ(checked.error_code, 0) << query;
  Register acc("ACC", checked.input_bits, fields.little_endian);
  Register temp("TEMP", 0, fields.little_endian);
  std::ostringstream block;
  EXPECT_EQ(generate_routine(block, checked.request, acc, temp), 0) << query;
  const ParseOutcome parsed = parse_generated_block(block.str());
  return parsed.program ? static_cast<int>(parsed.program->instructions.size()) : -1;
}

TEST(ApproximationReviewTest, Table) {
  struct Case {
    const char* name;
    std::string query;
    // The first input whose result differs from floor(x * K), with both values; -1 for none.
    long long input;
    long long result;
    long long floor;
    bool exceeds_allowed_error;
  };
  const Case cases[] = {
      // What C's x / 3 gives is 1 at 3; the approximation's truncations leave 0.
      {"a third", "Const=1&DivideBy=3&Bits=8", 3, 0, 1, false},
      {"a third as a fraction", "Const=1/3&Bits=8", 3, 0, 1, false},
      {"a tenth within 1 %", "Const=1&DivideBy=10&Bits=8&ConstErr=1", 10, 0, 1, false},
      {"an integer", "Const=10&Bits=8", -1, 0, 0, false},
      {"a power of two below 1", "Const=0.25&Bits=12", -1, 0, 0, false},
      // Every result 0: the 13-bit input cannot tell 1/5000 from 0 within 1 %.
      {"a width too narrow for the constant", "Const=1&DivideBy=5000&Bits=13&ConstErr=1", 5000, 0,
       1, true},
      // 1/16 is within 50 % of 0.1, and 10 / 16 falls short of 1.
      {"a tenth within 50 % of a little-endian 16-bit input",
       "Const=0.1&Bits=16&ConstErr=50&endian=little", 10, 0, 1, false},
  };
  for (const Case& c : cases) {
    const Reviewed r = review_of(c.query);
    ASSERT_TRUE(r.review.floor) << c.name;
    const FloorComparison& floor = *r.review.floor;
    EXPECT_EQ(r.review.exceeds_allowed_error, c.exceeds_allowed_error) << c.name;
    EXPECT_EQ(r.review.allowed_error, r.checked.request.const_error) << c.name;
    if (c.input < 0) {
      EXPECT_FALSE(floor.difference) << c.name << " at " << floor.difference->input;
      EXPECT_FALSE(floor.floor_instructions) << c.name;
      EXPECT_TRUE(floor.every_input) << c.name;
      EXPECT_EQ(floor.inputs, 1L << r.checked.input_bits) << c.name;
      continue;
    }
    ASSERT_TRUE(floor.difference) << c.name;
    EXPECT_EQ(floor.difference->input, static_cast<uint64_t>(c.input)) << c.name;
    EXPECT_EQ(floor.difference->result, c.result) << c.name;
    EXPECT_EQ(floor.difference->floor, c.floor) << c.name;
    // Inputs are compared from the smallest up, so the one that differs is the last.
    EXPECT_EQ(floor.inputs, c.input + 1) << c.name;
    ASSERT_TRUE(floor.floor_instructions) << c.name;
    EXPECT_EQ(*floor.floor_instructions, printed_instructions(c.query + "&Result=floor")) << c.name;
  }
}

TEST(ApproximationReviewTest, ErrorsAsTheCommentBlockStatesThem) {
  const Reviewed narrow = review_of("Const=1&DivideBy=5000&Bits=13&ConstErr=1");
  EXPECT_EQ(narrow.review.error, 100);
  EXPECT_EQ(narrow.review.allowed_error, 1);
  const Reviewed ten = review_of("Const=10&Bits=8&ConstErr=5");
  EXPECT_EQ(ten.review.error, 0);
  EXPECT_FALSE(ten.review.exceeds_allowed_error);
}

TEST(ApproximationReviewTest, WideInputsAreSampledAndLongConstantsNotCompared) {
  const Reviewed wide = review_of("Const=10&Bits=24");
  ASSERT_TRUE(wide.review.floor);
  EXPECT_FALSE(wide.review.floor->every_input);
  // The edges and the sample, some of whose small values meet.
  EXPECT_GT(wide.review.floor->inputs, kReviewSample / 2);
  EXPECT_LT(wide.review.floor->inputs, 2 * kReviewSample);
  // 30 significant digits: a fraction beyond 64-bit terms, which the exact modes refuse too.
  const Reviewed precise = review_of("Const=0.123456789012345678901234567891&Bits=8");
  EXPECT_FALSE(precise.review.floor);
}

// The walk made ready once gives what the documented computation gives, for terms of every
// kind: whole and fractional, added and subtracted, the least significant one negative.
TEST(TermWalkTest, AgreesWithTheDocumentedComputation) {
  const std::vector<std::vector<Term>> term_lists = {
      {},
      {{0, 1}},
      {{3, 1}, {1, 1}},
      {{-1, 1}},
      {{0, 1}, {-2, -1}},
      {{-2, 1}, {-4, 1}, {-6, 1}, {-8, 1}, {-30, 1}, {-64, 1}},
      {{4, 1}, {-1, -1}, {-3, 1}, {-17, -1}},
      {{31, 1}, {-64, -1}},
      {{2, -1}, {5, 1}},
  };
  uint64_t state = 0x2545F4914F6CDD1Dull;
  for (std::size_t list = 0; list < term_lists.size(); ++list) {
    const TermWalk walk(term_lists[list]);
    for (int i = 0; i < 2000; ++i) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      const uint64_t x = i < 300 ? static_cast<uint64_t>(i) : (state >> (i % 32)) & 0xFFFFFFFFull;
      ASSERT_EQ(walk(x), documented_product(term_lists[list], x)) << "list " << list << " x " << x;
    }
    EXPECT_EQ(walk(0xFFFFFFFFull), documented_product(term_lists[list], 0xFFFFFFFFull)) << list;
  }
}

TEST(ApproximationNotesTest, TellTheDifferenceAndTheCostOfTheExactRoutine) {
  ApproximationReview review;
  EXPECT_EQ(approximation_notes(review), "");
  review.floor = FloorComparison{"1/3", 256, true, std::nullopt, std::nullopt};
  EXPECT_EQ(approximation_notes(review), "");
  review.floor->difference = FloorDifference{3, 0, 1};
  EXPECT_EQ(approximation_notes(review),
            "; Not exact: input 3 gives 0 where floor(3 * 1/3) is 1.\n");
  review.floor->floor_instructions = 19;
  EXPECT_EQ(approximation_notes(review),
            "; Not exact: input 3 gives 0 where floor(3 * 1/3) is 1.\n"
            "; Exact floor: 19 instructions (result floor).\n");
}

}  // namespace
}  // namespace tarvek

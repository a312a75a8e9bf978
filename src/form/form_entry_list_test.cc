#include "form/form_entry_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "form/form_pairs_for_tests.h"

namespace tarvek {
namespace {

// Builds a list the way the readers do: each entry behind the one stored before it.
FormEntryList list_of(const Pairs& pairs) {
  FormEntryList list;
  form_list_init(list);
  const FormEntry* previous = nullptr;
  for (const auto& [name, value] : pairs) {
    previous = form_list_insert(list, previous, name, value);
  }
  return list;
}

TEST(FormEntryListTest, CopyStringIsAnIndependentCopy) {
  std::string original = "Const";
  const std::string copy = copy_string(original);
  original[0] = 'X';
  EXPECT_EQ(copy, "Const");
  EXPECT_EQ(copy_string(""), "");
}

TEST(FormEntryListTest, EmptyListFindsNothing) {
  FormEntryList list;
  form_list_init(list);
  EXPECT_EQ(form_value(list, "Const"), nullptr);
  EXPECT_EQ(form_value(list, ""), nullptr);
  EXPECT_FALSE(form_has(list, "Const"));
}

TEST(FormEntryListTest, Lookup) {
  const FormEntryList list =
      list_of({{"Const", "10"}, {"Acc", ""}, {"Const", "20"}, {"", "nameless"}});
  struct Case {
    const char* name;
    const char* looked_up;
    const char* expected;  // nullptr: not found
  };
  const Case cases[] = {
      {"first of two equal names wins", "Const", "10"},
      {"empty value is found", "Acc", ""},
      {"lower case differs", "const", nullptr},
      {"prefix is not the name", "Con", nullptr},
      {"longer name is not the name", "ConstErr", nullptr},
      {"empty name is a name", "", "nameless"},
      {"absent name", "Bits", nullptr},
  };
  for (const Case& c : cases) {
    const std::string* value = form_value(list, c.looked_up);
    if (c.expected == nullptr) {
      EXPECT_EQ(value, nullptr) << c.name;
      EXPECT_FALSE(form_has(list, c.looked_up)) << c.name;
    } else {
      ASSERT_NE(value, nullptr) << c.name;
      EXPECT_EQ(*value, c.expected) << c.name;
      EXPECT_TRUE(form_has(list, c.looked_up)) << c.name;
    }
  }
}

TEST(FormEntryListTest, EntriesKeepTheirOwnCopies) {
  FormEntryList list;
  form_list_init(list);
  {
    std::string name = "Acc";
    std::string value = "ACC";
    form_list_insert(list, nullptr, name, value);
    name.assign("XXX");
    value.assign("YYY");
  }
  ASSERT_TRUE(form_has(list, "Acc"));
  EXPECT_EQ(*form_value(list, "Acc"), "ACC");
}

TEST(FormEntryListTest, ChainedInsertionKeepsArrivalOrder) {
  const FormEntryList list = list_of({{"a", "1"}, {"b", "2"}, {"c", "3"}});
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "1"}, {"b", "2"}, {"c", "3"}}));
}

TEST(FormEntryListTest, InsertionBehindAnEarlierEntryTakesOverItsSuccessor) {
  FormEntryList list;
  form_list_init(list);
  FormEntry* first = form_list_insert(list, nullptr, "a", "1");
  form_list_insert(list, first, "c", "3");
  form_list_insert(list, first, "b", "2");
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "1"}, {"b", "2"}, {"c", "3"}}));
}

TEST(FormEntryListTest, FirstInsertionIgnoresAfter) {
  FormEntryList other;
  form_list_init(other);
  const FormEntry* foreign = form_list_insert(other, nullptr, "x", "y");
  FormEntryList list;
  form_list_init(list);
  const FormEntry* entry = form_list_insert(list, foreign, "a", "1");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "1"}}));
  EXPECT_EQ(pairs_of(other), (Pairs{{"x", "y"}}));
}

TEST(FormEntryListTest, InsertionWithoutAfterIntoNonEmptyListIsRefused) {
  FormEntryList list = list_of({{"a", "1"}});
#ifdef NDEBUG
  EXPECT_EQ(form_list_insert(list, nullptr, "b", "2"), nullptr);
  EXPECT_EQ(pairs_of(list), (Pairs{{"a", "1"}}));
#else
  // A debug build stops at the broken precondition.
  EXPECT_DEATH(form_list_insert(list, nullptr, "b", "2"), "after");
#endif
}

TEST(FormEntryListTest, FreeEmptiesTheList) {
  FormEntryList empty;
  form_list_init(empty);
  form_list_free(empty);
  EXPECT_TRUE(empty.entries.empty());

  FormEntryList list = list_of({{"a", "1"}, {"b", "2"}});
  form_list_free(list);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_FALSE(form_has(list, "a"));
}

TEST(FormEntryListTest, InitEmptiesAFilledList) {
  FormEntryList list = list_of({{"a", "1"}});
  form_list_init(list);
  EXPECT_TRUE(list.entries.empty());
}

}  // namespace
}  // namespace tarvek

#include "form/urlencoded.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "form/form_pairs_for_tests.h"

namespace tarvek {
namespace {

TEST(ParseUrlencodedTest, Table) {
  struct Case {
    const char* name;
    std::string text;
    Pairs entries;
    int count;
  };
  const Case cases[] = {
      {"two fields", "a=1&b=2", {{"a", "1"}, {"b", "2"}}, 2},
      {"final ampersand", "a=1&b=2&", {{"a", "1"}, {"b", "2"}}, 2},
      {"form fields", "Const=3.5&Acc=ACC", {{"Const", "3.5"}, {"Acc", "ACC"}}, 2},
      {"plus is a space", "Acc=my+reg", {{"Acc", "my reg"}}, 1},
      {"escaped plus", "Acc=a%2Bb", {{"Acc", "a+b"}}, 1},
      {"escaped letter", "Acc=%41cc", {{"Acc", "Acc"}}, 1},
      {"escaped percent is not decoded twice", "a=%2541", {{"a", "%41"}}, 1},
      {"escaped equals stays in the value", "a=x%3Dy", {{"a", "x=y"}}, 1},
      {"names are decoded", "%41+b=1", {{"A b", "1"}}, 1},
      {"empty value", "a=&b=1", {{"a", ""}, {"b", "1"}}, 2},
      {"equals inside a value", "a=b=c", {{"a", "b"}, {"c", ""}}, -1},
      {"name without equals stops", "a&b=1", {{"a", ""}}, -1},
      {"empty field stops", "a=1&&b=2", {{"a", "1"}, {"", ""}}, -1},
      {"leading ampersand stops", "&a=1", {{"", ""}}, -1},
      {"final equals", "a=1&b=", {{"a", "1"}, {"b", ""}}, 2},
      {"lone final equals", "b=", {{"b", ""}}, 1},
      {"name to the end stops", "a=1&b", {{"a", "1"}, {"b", ""}}, -1},
      {"name alone", "abc", {{"abc", ""}}, -1},
      {"lone ampersand", "&", {{"", ""}}, 1},
      {"lone equals", "=", {{"", ""}}, 1},
      {"empty name with value", "=1", {{"", "1"}}, 1},
      {"value ended by final equals", "a=b=", {{"a", "b"}}, 1},
      {"empty text", "", {}, 0},
      {"byte 0 ends a value", "a=%G0x", {{"a", ""}}, 1},
      {"byte 0 ends a name", "a%00b=1", {{"a", "1"}}, 1},
      {"NUL ends the text", std::string("a=1&b=2\0&c=3", 12), {{"a", "1"}, {"b", "2"}}, 2},
      {"percent at the end", "ConstErr=5%", {{"ConstErr", "5%"}}, 1},
      {"percent and one character at the end", "a=x%4", {{"a", "x%4"}}, 1},
      {"percent before a separator", "a=%&b=2", {{"a", "%"}, {"b", "2"}}, 2},
      {"escape of the field's last two characters", "a=%41&b=%4", {{"a", "A"}, {"b", "%4"}}, 2},
      {"same name twice", "Const=1&Const=2", {{"Const", "1"}, {"Const", "2"}}, 2},
  };
  for (const Case& c : cases) {
    FormEntryList list;
    const ReadOutcome outcome = parse_urlencoded(list, c.text);
    EXPECT_EQ(pairs_of(list), c.entries) << c.name;
    EXPECT_EQ(outcome.count, c.count) << c.name;
    EXPECT_FALSE(outcome.stop) << c.name;
  }
}

TEST(ParseUrlencodedTest, EmptiesTheListFirst) {
  FormEntryList list;
  parse_urlencoded(list, "old=1");
  parse_urlencoded(list, "new=2");
  EXPECT_EQ(pairs_of(list), (Pairs{{"new", "2"}}));
}

TEST(UnescapeTextTest, Table) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "abc", "abc"},
      {"empty", "", ""},
      {"upper-case escape", "%4A", "J"},
      {"lower-case escape", "%4a", "J"},
      {"escapes in a row", "%41%42%43", "ABC"},
      {"plus is not touched here", "a+b", "a+b"},
      {"byte 0 ends the text", "ab%00cd", "ab"},
      {"not hexadecimal, computed anyway", "%G0x", ""},
      {"high byte", "%FF", "\xFF"},
      {"percent last", "ab%", "ab%"},
      {"percent and one character last", "ab%4", "ab%4"},
      {"escape right at the end", "ab%41", "abA"},
      {"percent alone", "%", "%"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    unescape_text(text);
    EXPECT_EQ(text, c.expected) << c.name;
  }
}

TEST(HexPairValueTest, Table) {
  struct Case {
    const char* name;
    char first;
    char second;
    int expected;
  };
  const Case cases[] = {
      {"digits", '4', '1', 0x41},
      {"upper-case letters", 'F', 'F', 0xFF},
      {"lower-case letters", 'a', 'b', 0xAB},
      {"mixed", '2', 'b', 0x2B},
      {"A itself is a letter", 'A', '0', 0xA0},
      // '@' is 64, just below 'A': 64 - 48 = 16, which wraps 16 * 16 to 0.
      {"@ just below A", '@', '5', 5},
      {"zero", '0', '0', 0},
      // G counts as 16: 16 * 16 + 0 wraps to 0.
      {"G wraps to 0", 'G', '0', 0},
      {"g as G", 'g', '1', 1},
      // '!' is 33, below 'A': 33 - 48 = -15; 16 * -15 + 1 = -239, which is 17 modulo 256.
      {"punctuation below A", '!', '1', 17},
      // 'Z' gives 90 - 55 = 35; 16 * 1 + 35 = 51.
      {"letter beyond F", '1', 'Z', 51},
      // Byte 0xC1 as a signed 8-bit value is -63, below 'A': -63 - 48 = -111;
      // 16 * 0 + -111 = -111, which is 145 modulo 256.
      {"byte with bit 7 set", '0', '\xC1', 145},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hex_pair_value(c.first, c.second), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tarvek

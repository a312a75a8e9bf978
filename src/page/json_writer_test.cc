#include "page/json_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace tarvek {
namespace {

using namespace std::string_literals;

std::string json_string(const std::string& text) {
  JsonWriter json;
  json.string(text);
  return json.text();
}

TEST(JsonWriterTest, StringEscapes) {
  struct Case {
    const char* name;
    std::string text;
    std::string json;
  };
  const Case cases[] = {
      {"plain", "ACC0", R"("ACC0")"},
      {"markup stays as it is", "<b>&amp;</b>", R"("<b>&amp;</b>")"},
      {"quote and backslash", R"(a"b\c)", R"("a\"b\\c")"},
      {"line feed, tab, carriage return", "x\n\ty\r", R"("x\n\ty\r")"},
      {"other control characters and DEL", "\x01\x1f\x7f"s + '\0', R"("\u0001\u001f\u007f\u0000")"},
      {"two-byte UTF-8", "\xc3\xa4", R"("\u00e4")"},
      {"three-byte UTF-8", "\xe2\x82\xac", R"("\u20ac")"},
      {"four-byte UTF-8 as a surrogate pair", "\xf0\x9f\x98\x80", R"("\ud83d\ude00")"},
      {"highest code point", "\xf4\x8f\xbf\xbf", R"("\udbff\udfff")"},
      {"stray continuation byte", "a\x80z", R"("a\ufffdz")"},
      {"byte FF", "\xff", R"("\ufffd")"},
      {"overlong two-byte form of NUL", "\xc0\x80", R"("\ufffd\ufffd")"},
      {"overlong three-byte form", "\xe0\x9f\xbf", R"("\ufffd\ufffd\ufffd")"},
      {"UTF-8 encoded surrogate", "\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},
      {"above U+10FFFF", "\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
      {"sequence cut by the end", "A\xe2\x82", R"("A\ufffd\ufffd")"},
      {"sequence cut by an ASCII byte", "\xe2\x82Z", R"("\ufffd\ufffdZ")"},
  };
  for (const Case& c : cases) EXPECT_EQ(json_string(c.text), c.json) << c.name;
}

TEST(JsonWriterTest, Numbers) {
  struct Case {
    const char* name;
    double value;
    const char* json;
  };
  const Case cases[] = {
      {"integral", 10, "10"},
      {"shortest form of a fraction", 0.1, "0.1"},
      {"third", 1.0 / 3, "0.3333333333333333"},
      {"large", 1e21, "1e+21"},
      {"infinity", std::numeric_limits<double>::infinity(), "null"},
      {"not a number", std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const Case& c : cases) {
    JsonWriter json;
    json.number(c.value);
    EXPECT_EQ(json.text(), c.json) << c.name;
  }
  JsonWriter integer;
  integer.number(std::numeric_limits<long long>::min());
  EXPECT_EQ(integer.text(), "-9223372036854775808");
}

TEST(JsonWriterTest, CommasAndNesting) {
  JsonWriter json;
  json.begin_object();
  json.key("a");
  json.begin_array();
  json.number(1LL);
  json.boolean(true);
  json.null();
  json.begin_object();
  json.end_object();
  json.end_array();
  json.key("b\"");
  json.begin_object();
  json.key("c");
  json.string("");
  json.key("d");
  json.boolean(false);
  json.end_object();
  json.end_object();
  EXPECT_EQ(json.text(), R"({"a":[1,true,null,{}],"b\"":{"c":"","d":false}})");
}

}  // namespace
}  // namespace tarvek

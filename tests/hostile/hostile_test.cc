// Hostile requests against the built program, each with the outcome it must have: a whole
// page and exit status 0, or the page start, one "caught by tarvek: " message and exit
// status 1. Every run is bounded in time and, outside sanitizer builds, in address space.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "expected_page.h"
#include "program_runner.h"

namespace tarvek {
namespace {

using namespace std::string_literals;

const std::string kValidQuery = "Const=10&Bits=8&ConstErr=0&Acc=ACC&Temp=TEMP&endian=big";

// What a run must leave.
struct Outcome {
  // The page, for status 0: a routine for `form`, or the error page of `error_code`.
  std::optional<ValidForm> form;
  int error_code = 0;
  // For status 1: the message on standard error; the page is then only its start.
  std::string stop_message;
};

Outcome routine(ValidForm form = {}) {
  return Outcome{std::move(form), 0, ""};
}
Outcome error(int code) {
  return Outcome{std::nullopt, code, ""};
}
Outcome stopped(const std::string& reason) {
  return Outcome{std::nullopt, 0, "caught by tarvek: " + reason + "\n"};
}

struct Case {
  std::string name;
  std::vector<std::string> environment;
  std::string input;
  Outcome outcome;
  // Texts the page must hold, and texts it must not.
  std::vector<std::string> holds = {};
  std::vector<std::string> lacks = {};
};

ProgramLimits limits() {
  ProgramLimits bounds;
  bounds.seconds = 20;
#ifndef TARVEK_SANITIZE_BUILD
  // The sanitizer runtime reserves far more address space than this.
  bounds.memory_bytes = 256ul << 20;
#endif
  return bounds;
}

// A web server always sets a request method; without one the program reads a console line
// and prompts on standard error.
bool console_mode(const std::vector<std::string>& environment) {
  for (const std::string& entry : environment) {
    if (entry.starts_with("REQUEST_METHOD=") ||
        (entry.starts_with("CONTENT_TYPE=") &&
         entry.find("multipart/form-data") != std::string::npos)) {
      return false;
    }
  }
  return true;
}

void check_case(const Case& c) {
  SCOPED_TRACE(c.name);
  const ProgramRun run = run_program(TARVEK_PROGRAM, c.environment, c.input, limits());
  ASSERT_EQ(run.signal, 0) << "the program was killed";
  if (!c.outcome.stop_message.empty()) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, page_start());
    EXPECT_EQ(run.err, c.outcome.stop_message);
    return;
  }
  EXPECT_EQ(run.status, 0);
  if (c.outcome.form) {
    EXPECT_EQ(without_time(run.out), routine_page(*c.outcome.form));
  } else {
    EXPECT_EQ(run.out, error_page(c.outcome.error_code));
  }
  if (console_mode(c.environment)) {
    EXPECT_TRUE(run.err.starts_with("\n--- tarvek Interactive Mode ---\n")) << run.err;
  } else {
    EXPECT_EQ(run.err, "");
  }
  for (const std::string& text : c.holds) {
    EXPECT_NE(run.out.find(text), std::string::npos) << "missing: " << text;
  }
  for (const std::string& text : c.lacks) {
    EXPECT_EQ(run.out.find(text), std::string::npos) << "present: " << text;
  }
}

std::vector<std::string> get(const std::string& query) {
  return {"REQUEST_METHOD=GET", "QUERY_STRING=" + query, "CONTENT_LENGTH=0"};
}

std::vector<std::string> post(std::size_t length) {
  return {"REQUEST_METHOD=POST", "CONTENT_LENGTH=" + std::to_string(length),
          "CONTENT_TYPE=application/x-www-form-urlencoded"};
}

// The valid query with the accumulator and temporary names replaced (already encoded).
std::string query_with_names(const std::string& acc, const std::string& temp) {
  return "Const=10&Bits=8&ConstErr=0&Acc=" + acc + "&Temp=" + temp + "&endian=big";
}

ValidForm names(const std::string& acc, const std::string& temp) {
  ValidForm form;
  form.acc = acc;
  form.temp = temp;
  return form;
}

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

TEST(HostileRequestTest, RegisterNames) {
  const std::string n31(31, 'N');
  const std::string n32(32, 'N');
  const std::string t31(31, 'T');
  // Built in place: "A" + std::string(...) trips a false -Wrestrict warning of GCC 12.
  std::string n1000(1000, 'x');
  n1000[0] = 'A';
  const Case cases[] = {
      {"markup and quotes in names are escaped",
       get(query_with_names("A%3Cscript%3Ealert(%22x%22)%3C/script%3E", "T%27%3E%26amp;")),
       "",
       routine(names("A<script>alert(\"x\")</script>", "T'>&amp;")),
       {"A&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;", "T'&gt;&amp;amp;"},
       {"<script>", "\"x\""}},
      {"markup as plain characters in a POST body",
       post(query_with_names("B<i>", "T\"").size()),
       query_with_names("B<i>", "T\""),
       routine(names("B<i>", "T\"")),
       {"B&lt;i&gt;"},
       {"<i>"}},
      {"31-character names are accepted", get(query_with_names(n31, t31)), "",
       routine(names(n31, t31))},
      {"a 32-character accumulator name is refused", get(query_with_names(n32, "TEMP")), "",
       error(3)},
      {"a 32-character temporary name is refused", get(query_with_names("ACC", n32)), "", error(4)},
      {"a 1000-character accumulator name is refused", get(query_with_names(n1000, "TEMP")), "",
       error(3)},
      {"a 1000-character temporary name is refused", get(query_with_names("ACC", n1000)), "",
       error(4)},
      {"names whose bytes meet are refused", get(query_with_names("X", "X1")), "", error(4)},
  };
  for (const Case& c : cases) check_case(c);
}

TEST(HostileRequestTest, ContentLength) {
  const std::size_t size = kValidQuery.size();
  // The valid form padded with one more field to exactly 1 MiB, the largest body accepted.
  std::string at_limit = kValidQuery + "&Padding=";
  at_limit.resize(1048576, 'p');
  const Case cases[] = {
      {"CONTENT_LENGTH -1 reads as 0",
       {"REQUEST_METHOD=POST", "CONTENT_LENGTH=-1"},
       kValidQuery,
       error(3)},
      {"CONTENT_LENGTH 0 reads no body",
       {"REQUEST_METHOD=POST", "CONTENT_LENGTH=0"},
       kValidQuery,
       error(3)},
      {"a huge CONTENT_LENGTH is refused",
       {"REQUEST_METHOD=POST", "CONTENT_LENGTH=18446744073709551617"},
       kValidQuery,
       stopped("CONTENT_LENGTH > 1048576")},
      {"one byte over the body limit is refused",
       {"REQUEST_METHOD=POST", "CONTENT_LENGTH=1048577"},
       kValidQuery,
       stopped("CONTENT_LENGTH > 1048576")},
      {"a body of exactly the limit is read", post(at_limit.size()), at_limit, routine()},
      {"a non-numeric CONTENT_LENGTH reads as 0",
       {"REQUEST_METHOD=POST", "CONTENT_LENGTH=ten"},
       kValidQuery,
       error(3)},
      {"white space and a plus sign before the digits",
       {"REQUEST_METHOD=POST", "CONTENT_LENGTH= \t+" + std::to_string(size)},
       kValidQuery,
       routine()},
      {"a body shorter than announced is refused", post(size + 1), kValidQuery,
       stopped("input length < CONTENT_LENGTH")},
      {"an announced body that never comes is refused", post(size), "",
       stopped("input length < CONTENT_LENGTH")},
      {"a body longer than announced is read only as far as announced", post(size),
       kValidQuery + "&Bits=9999&Acc=%3C", routine()},
      {"a body cut by its length ends inside a value", post(size - 3), kValidQuery, routine()},
  };
  for (const Case& c : cases) check_case(c);
}

TEST(HostileRequestTest, NulBytesAndEscapes) {
  const std::string nul_body = query_with_names("AC", "TEMP") + std::string(1, '\0') + "X&Bits=99";
  const Case cases[] = {
      {"%00 ends a name", get(query_with_names("AB%00CD", "TEMP")), "",
       routine(names("AB", "TEMP"))},
      {"%00 ends a value", get("Const=10%00&Bits=8&Acc=ACC&Temp=TEMP"), "", routine()},
      {"a NUL byte in a POST body ends the request text", post(nul_body.size()), nul_body,
       routine(names("AC", "TEMP"))},
      {"a NUL byte on the console line ends it", {}, "Const=10&Bits=8&Acc=A\0&Temp=T\n"s, error(4)},
      {"an invalid escape yields the byte the rule computes", get(query_with_names("A%ZZ", "T%G1")),
       "", routine(names("AS", "T\x01"))},
      {"%G0 yields the byte 0 and ends the name", get(query_with_names("A%G0B", "TEMP")), "",
       routine(names("A", "TEMP"))},
      {"a % at the end of a name is kept", get(query_with_names("ACC", "T%")), "",
       routine(names("ACC", "T%"))},
      {"a % with one character after it is kept", get(query_with_names("A%4", "TEMP")), "",
       routine(names("A%4", "TEMP"))},
      {"an escaped NUL in the field name ends the name", get("Con%00st=10&" + kValidQuery), "",
       routine()},
  };
  for (const Case& c : cases) check_case(c);
}

TEST(HostileRequestTest, ManyAndLongFields) {
  const std::string thousand = repeated(kValidQuery + "&", 1000);
  const std::string junk_then_valid = repeated("Junk=1&", 1000) + kValidQuery;
  // As long as one environment text may be (128 KiB with "QUERY_STRING=" and the final NUL),
  // which is about what a server passes.
  const std::size_t longest = 131072 - std::string("QUERY_STRING=").size() - 1;
  const std::string long_junk =
      "x=" + std::string(longest - 3 - kValidQuery.size(), 'y') + "&" + kValidQuery;
  const std::string long_name = "Const=10&Bits=8&Temp=T&Acc=A" + std::string(131000, 'c');
  const Case cases[] = {
      {"fields repeated a thousand times: the first ones count", get(thousand), "", routine()},
      {"a thousand repeated fields in a POST", post(thousand.size()), thousand, routine()},
      {"a thousand other fields before the form", get(junk_then_valid), "", routine()},
      {"a 128 KiB query string of junk before the form", get(long_junk), "", routine()},
      {"a 128 KiB name is refused", get(long_name), "", error(3)},
      {"a 128 KiB console line", {}, long_junk + "\n", routine()},
  };
  for (const Case& c : cases) check_case(c);
}

// Seeded bytes that hold no line feed.
std::string garbage(std::size_t size, uint32_t seed) {
  std::string bytes;
  uint32_t state = seed;
  while (bytes.size() < size) {
    state = state * 1664525u + 1013904223u;
    const char byte = static_cast<char>(state >> 24);
    if (byte != '\n') bytes.push_back(byte);
  }
  return bytes;
}

TEST(HostileRequestTest, ConsoleLine) {
  const std::string noise = garbage(4096, 7);
  const std::string noise_without_separators = [&] {
    std::string text;
    for (const char c : noise) {
      if (c != '&' && c != '=' && c != '\0') text.push_back(c);
    }
    return text;
  }();
  const Case cases[] = {
      {"binary garbage", {}, noise + "\n", error(3)},
      {"binary garbage without separators or NUL", {}, noise_without_separators + "\n", error(3)},
      {"binary garbage after a valid line is not read", {}, kValidQuery + "\n" + noise, routine()},
      {"a carriage return before the line feed stays in the last value",
       {},
       kValidQuery + "\r\n",
       routine()},
      {"garbage without a line feed ends at the end of the input", {}, noise, error(3)},
  };
  for (const Case& c : cases) check_case(c);
}

TEST(HostileRequestTest, RequestMethods) {
  const Case cases[] = {
      {"PUT",
       {"REQUEST_METHOD=PUT", "QUERY_STRING=" + kValidQuery},
       "",
       stopped("REQUEST_METHOD invalid")},
      {"HEAD",
       {"REQUEST_METHOD=HEAD", "QUERY_STRING=" + kValidQuery},
       "",
       stopped("REQUEST_METHOD invalid")},
      {"DELETE with a body",
       {"REQUEST_METHOD=DELETE", "CONTENT_LENGTH=55"},
       kValidQuery,
       stopped("REQUEST_METHOD invalid")},
      {"lower-case post",
       {"REQUEST_METHOD=post", "CONTENT_LENGTH=55"},
       kValidQuery,
       stopped("REQUEST_METHOD invalid")},
      {"GET with a trailing space",
       {"REQUEST_METHOD=GET ", "QUERY_STRING=" + kValidQuery},
       "",
       stopped("REQUEST_METHOD invalid")},
      {"empty method",
       {"REQUEST_METHOD=", "QUERY_STRING=" + kValidQuery},
       "",
       stopped("REQUEST_METHOD invalid")},
      {"binary method",
       {"REQUEST_METHOD=\x01\xff\x7f", "QUERY_STRING=" + kValidQuery},
       "",
       stopped("REQUEST_METHOD invalid")},
      {"GET without a query string", {"REQUEST_METHOD=GET"}, "", error(3)},
  };
  for (const Case& c : cases) check_case(c);
}

}  // namespace
}  // namespace tarvek

#include "form/request_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "form/form_pairs_for_tests.h"

namespace tarvek {
namespace {

using Environment = std::map<std::string, std::string>;

EnvLookup lookup_in(Environment environment) {
  return [environment = std::move(environment)](const std::string& name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::nullopt : std::optional<std::string>(found->second);
  };
}

// One run of read_form against a literal environment and input.
struct ReaderRun {
  Pairs entries;
  int count = 0;
  std::optional<std::string> stop;  // the stop's message, when there was a stop
  std::string err;                  // what went to the error stream
  std::string rest;                 // the input left unread
};

ReaderRun run_read_form(const Environment& environment, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream err;
  const RequestSource source{lookup_in(environment), in, err, "/tmp"};
  FormEntryList list;
  const ReadOutcome outcome = read_form(list, source);
  ReaderRun run;
  run.entries = pairs_of(list);
  run.count = outcome.count;
  if (outcome.stop) run.stop = outcome.stop->message;
  run.err = err.str();
  run.rest.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}

const char kPrompt[] =
    "\n--- tarvek Interactive Mode ---\n"
    "Enter CGI input string.  Remember to encode appropriate characters.\n"
    "Press ENTER when done:\n\n";

std::string console_echo(const std::string& line) {
  return "\n Input string: " + line + "\nString length: " + std::to_string(line.size()) +
         "\n--- end tarvek Interactive Mode ---\n\n";
}

TEST(ReadFormTest, Table) {
  struct Case {
    const char* name;
    Environment environment;
    std::string input;
    Pairs entries;
    int count;
    std::optional<std::string> stop;
  };
  const std::string big_body = "a=" + std::string(kMaxBodyBytes - 2, 'x');
  const Case cases[] = {
      {"GET",
       {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "a=1&b=2"}},
       "",
       Pairs{{"a", "1"}, {"b", "2"}},
       2,
       std::nullopt},
      {"GET ignores the body",
       {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "a=1"}},
       "b=2",
       Pairs{{"a", "1"}},
       1,
       std::nullopt},
      {"GET without QUERY_STRING", {{"REQUEST_METHOD", "GET"}}, "", Pairs{}, 0, std::nullopt},
      {"GET with empty QUERY_STRING",
       {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", ""}},
       "",
       Pairs{},
       0,
       std::nullopt},
      {"POST",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "7"}},
       "a=1&b=2",
       Pairs{{"a", "1"}, {"b", "2"}},
       2,
       std::nullopt},
      {"POST ignores QUERY_STRING",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "3"}, {"QUERY_STRING", "q=1"}},
       "a=1",
       Pairs{{"a", "1"}},
       1,
       std::nullopt},
      {"POST reads only the announced length",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "3"}},
       "a=1&b=2",
       Pairs{{"a", "1"}},
       1,
       std::nullopt},
      {"POST without CONTENT_LENGTH",
       {{"REQUEST_METHOD", "POST"}},
       "a=1",
       Pairs{},
       0,
       std::nullopt},
      {"POST length with spaces and sign",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", " \t+3xyz"}},
       "a=1&b=2",
       Pairs{{"a", "1"}},
       1,
       std::nullopt},
      {"POST negative length reads as 0",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "-5"}},
       "a=1",
       Pairs{},
       0,
       std::nullopt},
      {"POST non-numeric length reads as 0",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "abc"}},
       "a=1",
       Pairs{},
       0,
       std::nullopt},
      {"POST of another content type is URL-encoded",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "3"}, {"CONTENT_TYPE", "text/plain"}},
       "a=1",
       Pairs{{"a", "1"}},
       1,
       std::nullopt},
      {"POST with NUL in the body",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "7"}},
       std::string("a=1\0b=2", 7),
       Pairs{{"a", "1"}},
       1,
       std::nullopt},
      {"short POST",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "10"}},
       "a=1",
       Pairs{},
       0,
       "caught by tarvek: input length < CONTENT_LENGTH\n"},
      {"POST at the limit",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(kMaxBodyBytes)}},
       big_body,
       Pairs{{"a", big_body.substr(2)}},
       1,
       std::nullopt},
      {"POST over the limit",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(kMaxBodyBytes + 1)}},
       big_body + "x",
       Pairs{},
       0,
       "caught by tarvek: CONTENT_LENGTH > 1048576\n"},
      {"POST with a huge length",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "99999999999999999999999999"}},
       "a=1",
       Pairs{},
       0,
       "caught by tarvek: CONTENT_LENGTH > 1048576\n"},
      {"lower-case method",
       {{"REQUEST_METHOD", "post"}, {"CONTENT_LENGTH", "3"}},
       "a=1",
       Pairs{},
       0,
       "caught by tarvek: REQUEST_METHOD invalid\n"},
      {"empty method",
       {{"REQUEST_METHOD", ""}},
       "a=1",
       Pairs{},
       0,
       "caught by tarvek: REQUEST_METHOD invalid\n"},
      {"other method",
       {{"REQUEST_METHOD", "PUT"}, {"QUERY_STRING", "a=1"}},
       "",
       Pairs{},
       0,
       "caught by tarvek: REQUEST_METHOD invalid\n"},
      // Without CONTENT_LENGTH the multipart reader stores nothing; a URL-encoded reading of
      // the same request would have stored a = 1.
      {"multipart POST is handed over",
       {{"REQUEST_METHOD", "POST"}, {"CONTENT_TYPE", "multipart/form-data; boundary=xyz"}},
       "a=1",
       Pairs{},
       0,
       std::nullopt},
      {"multipart GET is handed over",
       {{"REQUEST_METHOD", "GET"},
        {"QUERY_STRING", "a=1"},
        {"CONTENT_TYPE", "multipart/form-data; boundary=xyz"}},
       "",
       Pairs{},
       0,
       std::nullopt},
      {"multipart with an invalid method is handed over",
       {{"REQUEST_METHOD", "PUT"}, {"CONTENT_TYPE", "multipart/form-data"}},
       "",
       Pairs{},
       0,
       std::nullopt},
      {"multipart anywhere in the content type",
       {{"REQUEST_METHOD", "GET"},
        {"QUERY_STRING", "a=1"},
        {"CONTENT_TYPE", "x;multipart/form-data"}},
       "",
       Pairs{},
       0,
       std::nullopt},
      {"multipart in capitals is not multipart",
       {{"REQUEST_METHOD", "GET"},
        {"QUERY_STRING", "a=1"},
        {"CONTENT_TYPE", "Multipart/Form-Data"}},
       "",
       Pairs{{"a", "1"}},
       1,
       std::nullopt},
  };
  for (const Case& c : cases) {
    const ReaderRun run = run_read_form(c.environment, c.input);
    EXPECT_EQ(run.entries, c.entries) << c.name;
    EXPECT_EQ(run.count, c.count) << c.name;
    EXPECT_EQ(run.stop, c.stop) << c.name;
    EXPECT_EQ(run.err, "") << c.name;
  }
}

TEST(ReadFormTest, PostLeavesInputBeyondTheLengthUnread) {
  const ReaderRun run =
      run_read_form({{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "3"}}, "a=1&b=2");
  EXPECT_EQ(run.rest, "&b=2");
}

TEST(ReadFormTest, ConsoleLine) {
  struct Case {
    const char* name;
    std::string input;
    std::string line;  // the line as echoed and parsed
    Pairs entries;
    int count;
    std::string rest;
  };
  const std::string long_value(4998, 'v');
  const Case cases[] = {
      {"one line", "a=1&b=2\n", "a=1&b=2", {{"a", "1"}, {"b", "2"}}, 2, ""},
      {"only the first line", "a=1\nb=2\n", "a=1", {{"a", "1"}}, 1, "b=2\n"},
      {"end of input ends the line", "a=1", "a=1", {{"a", "1"}}, 1, ""},
      {"no input at all", "", "", {}, 0, ""},
      {"empty line", "\n", "", {}, 0, ""},
      {"carriage return is kept", "a=1\r\n", "a=1\r", {{"a", "1\r"}}, 1, ""},
      {"NUL ends the line's text", std::string("a=1\0b=2\n", 8), "a=1", {{"a", "1"}}, 1, ""},
      {"5000 characters", "a=" + long_value + "\n", "a=" + long_value, {{"a", long_value}}, 1, ""},
  };
  for (const Case& c : cases) {
    const ReaderRun run = run_read_form({}, c.input);
    EXPECT_EQ(run.err, kPrompt + console_echo(c.line)) << c.name;
    EXPECT_EQ(run.entries, c.entries) << c.name;
    EXPECT_EQ(run.count, c.count) << c.name;
    EXPECT_EQ(run.stop, std::nullopt) << c.name;
    EXPECT_EQ(run.rest, c.rest) << c.name;
  }
}

TEST(ReadFormTest, ConsoleModeIgnoresOtherVariables) {
  const ReaderRun run = run_read_form({{"QUERY_STRING", "q=1"}, {"CONTENT_LENGTH", "3"}}, "a=1\n");
  EXPECT_EQ(run.entries, (Pairs{{"a", "1"}}));
}

TEST(ReadFormTest, EmptiesAListThatHeldEntries) {
  std::istringstream in;
  std::ostringstream err;
  const RequestSource source{lookup_in({{"REQUEST_METHOD", "GET"}}), in, err, "/tmp"};
  FormEntryList list;
  form_list_insert(list, nullptr, "old", "1");
  const ReadOutcome outcome = read_form(list, source);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_EQ(outcome.count, 0);
}

TEST(ReadPostBodyTest, BodyLongerThanOnePieceArrivesWhole) {
  std::string body;
  for (int i = 0; body.size() < 200000; ++i) body += "f" + std::to_string(i) + "=v&";
  std::istringstream in(body + "tail");
  std::ostringstream err;
  const RequestSource source{lookup_in({{"CONTENT_LENGTH", std::to_string(body.size())}}), in, err,
                             "/tmp"};
  const RequestText text = read_post_body(source);
  EXPECT_FALSE(text.stop);
  ASSERT_TRUE(text.text);
  EXPECT_EQ(*text.text, body);
}

}  // namespace
}  // namespace tarvek

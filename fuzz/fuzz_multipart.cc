// Fuzz target of the multipart reader. The input is the request:
//   line 1: CONTENT_TYPE (the boundary comes from it);
//   line 2: HTTP_USER_AGENT, unset when the line is empty;
//   the rest: the body on standard input. CONTENT_LENGTH is set, to the body's length.
// An input without a line feed is all content type, with an empty body.
//
// Checks, for every input: the reader stops the request only for a body over the limit; the
// count is the number of entries stored; no name or value holds a NUL byte; and uploads land
// only as plain, visible files directly in the private upload folder, together no longer than
// the body (UploadSandbox::sweep, which also empties the folder for the next input).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "form/multipart_reader.h"
#include "fuzz_support.h"

namespace tarvek::fuzz {
namespace {

// The first line of `rest` (without its line feed), taking it off `rest`; the whole of `rest`
// when it has no line feed.
std::string_view take_line(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  const std::string_view line = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return line;
}

void run(std::string_view input) {
  std::string_view rest = input;
  const std::string content_type(take_line(rest));
  const std::string user_agent(take_line(rest));
  const std::string body(rest);

  UploadSandbox& sandbox = UploadSandbox::instance();
  std::istringstream in(body);
  std::ostringstream err;
  const RequestSource source{[&](const std::string& name) -> std::optional<std::string> {
                               if (name == "CONTENT_TYPE") return content_type;
                               if (name == "CONTENT_LENGTH") return std::to_string(body.size());
                               if (name == "HTTP_USER_AGENT" && !user_agent.empty())
                                 return user_agent;
                               return std::nullopt;
                             },
                             in, err, sandbox.uploads()};

  FormEntryList list;
  const ReadOutcome outcome = read_multipart(list, source);
  check(!outcome.stop || body.size() > kMaxBodyBytes, "the multipart reader stopped a request",
        outcome.stop ? outcome.stop->message : "");
  check(outcome.count == static_cast<int>(list.entries.size()),
        "the count is not the number of entries stored");
  for (const FormEntry& entry : list.entries) {
    check(entry.name.find('\0') == std::string::npos && entry.value.find('\0') == std::string::npos,
          "an entry holds a NUL byte", [&] { return entry.name + "=" + entry.value; });
  }
  check(err.str().empty(), "the multipart reader wrote to standard error", err.str());
  form_list_free(list);
  sandbox.sweep(body.size());
}

}  // namespace
}  // namespace tarvek::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarvek::fuzz::run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

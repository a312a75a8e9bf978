// Fuzz target of the whole request: from the CGI variables and standard input to the
// finished page, through run_request with the real code generator and a fixed clock.
//
// The input is the request, five lines of CGI variables and then standard input:
//   REQUEST_METHOD, QUERY_STRING, CONTENT_LENGTH, CONTENT_TYPE, HTTP_USER_AGENT.
// A line that begins with "=" sets its variable to the rest of the line; any other line
// leaves it unset. A CONTENT_LENGTH line of exactly "=*" sets the length of standard input.
// Everything after the fifth line feed is standard input; missing lines leave their
// variables unset.
//
// Checks, for every input: a stopped request leaves exactly the page start and a message
// that begins with "caught by tarvek: "; a text answer is a generated block, or a one-line
// numbered message under a Status 400 header; a JSON answer is one printable-ASCII object
// that holds an error exactly when its header says 400; any other request leaves a closed page
// holding either one of the numbered error blocks or a routine whose text has no markup
// character left unescaped, followed by the stamp and the credit box; the console prompts
// never reach the answer; uploads stay in the private upload folder.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "page/driver.h"
#include "page/error_message.h"
#include "page/page_frame.h"
#include "page/stamp.h"

namespace tarvek::fuzz {
namespace {

constexpr std::array<const char*, 5> kVariables = {
    "REQUEST_METHOD", "QUERY_STRING", "CONTENT_LENGTH", "CONTENT_TYPE", "HTTP_USER_AGENT"};

struct Request {
  std::array<std::optional<std::string>, kVariables.size()> values;
  std::string input;
};

Request request_of(std::string_view data) {
  Request request;
  for (std::optional<std::string>& value : request.values) {
    const std::size_t end = data.find('\n');
    const std::string_view line = data.substr(0, end);
    data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
    if (line.starts_with('=')) value = std::string(line.substr(1));
  }
  request.input = std::string(data);
  if (request.values[2] == "*") request.values[2] = std::to_string(request.input.size());
  return request;
}

std::string page_start() {
  std::ostringstream out;
  print_html_header(out);
  print_html_begin(out, "Code Generator Results");
  return out.str();
}

std::string page_end() {
  std::ostringstream out;
  print_html_end(out);
  return out.str();
}

std::string error_block(int code) {
  std::ostringstream out;
  show_error_page(out, code);
  return out.str();
}

std::string page_close() {
  std::ostringstream out;
  print_generator_stamp(out, kFixedTime);
  print_credit_box(out);
  return out.str();
}

// Whether `middle`, the page between its start and its end, is an error block or a routine.
void check_middle(std::string_view middle, std::string_view page) {
  static const std::array<std::string, kLastErrorCode> errors = [] {
    std::array<std::string, kLastErrorCode> blocks;
    for (int code = 1; code <= kLastErrorCode; ++code) {
      if (is_error_code(code)) blocks[code - 1] = error_block(code);
    }
    return blocks;
  }();
  for (const std::string& error : errors) {
    // The codes that are not given have no block.
    if (!error.empty() && middle == error) return;
  }
  static const std::string close = "</PRE>\n" + page_close();
  check(middle.starts_with("<PRE>\n") && middle.ends_with(close),
        "the page holds neither an error block nor a routine with its stamp", page);
  const std::string_view block = middle.substr(6, middle.size() - 6 - close.size());
  check(block.find_first_of("<>\"") == std::string_view::npos,
        "the routine holds an unescaped markup character", block);
}

// Checks `answer` when it is a text or JSON answer and says whether it was one.
bool check_plain_answer(std::string_view answer) {
  constexpr std::string_view kRefused = "Status: 400 Bad Request\n";
  constexpr std::string_view kText = "Content-type: text/plain; charset=us-ascii\n\n";
  constexpr std::string_view kJson = "Content-type: application/json\n\n";
  const bool refused = answer.starts_with(kRefused);
  const std::string_view rest = refused ? answer.substr(kRefused.size()) : answer;
  if (rest.starts_with(kText)) {
    const std::string_view body = rest.substr(kText.size());
    if (refused) {
      check(body.starts_with("#") && body.find(" Error in input: ") != std::string_view::npos &&
                body.find('\n') == body.size() - 1,
            "a refused text answer is not one numbered line", answer);
    } else {
      check(body.starts_with("; "), "the text answer is not a generated block", answer);
    }
    return true;
  }
  if (!rest.starts_with(kJson)) return false;
  const std::string_view body = rest.substr(kJson.size());
  check(body.starts_with("{\"request\":{") && body.ends_with("}\n"),
        "the JSON answer is not one object", answer);
  for (const char c : body.substr(0, body.size() - 1)) {
    check(c >= 0x20 && c < 0x7f, "the JSON answer holds a raw control or non-ASCII byte", answer);
  }
  // Inside a JSON string every quote is escaped, so only the answer's own member matches.
  check((body.find("\"error\":{\"code\":") != std::string_view::npos) == refused,
        "the JSON answer's error and its status disagree", answer);
  return true;
}

void run(std::string_view data) {
  const Request request = request_of(data);
  UploadSandbox& sandbox = UploadSandbox::instance();
  std::istringstream in(request.input);
  std::ostringstream err;
  const RequestSource source{[&](const std::string& name) -> std::optional<std::string> {
                               for (std::size_t i = 0; i < kVariables.size(); ++i) {
                                 if (name == kVariables[i]) return request.values[i];
                               }
                               return std::nullopt;
                             },
                             in, err, sandbox.uploads()};

  std::ostringstream out;
  const std::optional<RequestStop> stop = run_request(source, out, kFixedTime);
  const std::string page = out.str();
  static const std::string start = page_start();
  static const std::string end = page_end();
  if (stop) {
    check(page == start, "a stopped request left more than the page start", page);
    check(stop->message.starts_with("caught by tarvek: ") && stop->message.ends_with("\n"),
          "a stop's message is not a reader message", stop->message);
  } else if (!check_plain_answer(page)) {
    check(
        page.starts_with(start) && page.ends_with(end) && page.size() >= start.size() + end.size(),
        "the page is not framed", page);
    check_middle(
        std::string_view(page).substr(start.size(), page.size() - start.size() - end.size()), page);
  }
  // A register name is too short to hold this text, so only a prompt can have put it there.
  check(page.find("\n--- tarvek Interactive Mode ---\n") == std::string::npos,
        "a console prompt reached the page");
  sandbox.sweep(request.input.size());
}

}  // namespace
}  // namespace tarvek::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarvek::fuzz::run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

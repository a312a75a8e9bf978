// Where a request comes from, and how a reader refuses one.
//
// A reader never touches the process environment or the standard streams directly: the
// program's entry point wires the real ones in, and tests pass literal strings. A reader that
// refuses a request does not end the program itself; it returns a RequestStop, and the entry
// point prints its message to standard error and exits with status 1.
#ifndef TARVEK_FORM_REQUEST_SOURCE_H
#define TARVEK_FORM_REQUEST_SOURCE_H

#include <cstddef>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace tarvek {

// The value of a CGI environment variable, or nullopt when it is not set. A variable that is
// set but empty gives an empty string, which is not the same as unset.
using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;

// Largest request body the readers accept. A form of six short fields needs a few hundred
// bytes; the limit only keeps a hostile request from claiming unbounded memory.
inline constexpr std::size_t kMaxBodyBytes = 1048576;

struct RequestSource {
  // The CGI variables (REQUEST_METHOD, QUERY_STRING, CONTENT_LENGTH, CONTENT_TYPE,
  // HTTP_USER_AGENT).
  EnvLookup env;
  // The request body, or the line typed in console mode.
  std::istream& in;
  // Console prompts; never the page.
  std::ostream& err;
  // Directory that receives uploaded files of multipart forms.
  std::string upload_dir = "/tmp";
};

// A request that ends the run with exit status 1. The page start already printed stays.
struct RequestStop {
  // The whole text for standard error, "caught by tarvek: ..." with its line feed; empty when
  // the run ends without a message.
  std::string message;
};

// The stop with the message "caught by tarvek: <reason>\n".
inline RequestStop stop_request(std::string_view reason) {
  return RequestStop{"caught by tarvek: " + std::string(reason) + "\n"};
}

// What a reader did with a request.
struct ReadOutcome {
  // Entries stored, or -1 when URL-encoded parsing stopped early; not used by the page.
  int count = 0;
  // Set when the request must end the run; the list then holds whatever was stored.
  std::optional<RequestStop> stop;
};

}  // namespace tarvek

#endif  // TARVEK_FORM_REQUEST_SOURCE_H

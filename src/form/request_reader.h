// Turns one CGI request into a form list: the query string of a GET, the body of a POST, or
// a line typed at a console when no web server set a request method. Multipart bodies are
// handed to the multipart reader; everything else is parsed as URL-encoded text.
//
// A request that cannot be read comes back as a stop in the outcome ("caught by tarvek: ...");
// the readers themselves never end the program and print only the console prompts.
#ifndef TARVEK_FORM_REQUEST_READER_H
#define TARVEK_FORM_REQUEST_READER_H

#include <optional>
#include <string>

#include "form/form_entry_list.h"
#include "form/request_source.h"

namespace tarvek {

// Reads the request into `list`, which is always left initialised (empty when there is no
// input). The count is that of parse_urlencoded or read_multipart, 0 without input.
ReadOutcome read_form(FormEntryList& list, const RequestSource& source);

// A request text, or the stop that refused it. `text` is nullopt when the source has none.
struct RequestText {
  std::optional<std::string> text;
  std::optional<RequestStop> stop;
};

// QUERY_STRING as it is, or no text when it is unset.
RequestText read_query_string(const RequestSource& source);

// CONTENT_LENGTH bytes of the input, or no text when CONTENT_LENGTH is unset. A negative or
// non-numeric length reads as 0. A length over kMaxBodyBytes, or an input that ends before
// the announced length, stops the request. The body is read in pieces, so memory follows the
// bytes that actually arrive, never the announced length alone.
RequestText read_post_body(const RequestSource& source);

// One line of the input after the console prompts on `source.err`; it ends at a line feed,
// which is not kept, or at the end of the input. A NUL byte ends the line's text.
std::string read_interactive_line(const RequestSource& source);

}  // namespace tarvek

#endif  // TARVEK_FORM_REQUEST_READER_H

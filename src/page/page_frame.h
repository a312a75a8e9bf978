// The fixed texts that frame every result page, the numbered error block, and the escaping
// of generated text where it enters the page.
//
// Everything here prints to the given stream exactly the texts the page is made of; nothing
// is printed before the CGI header.
#ifndef TARVEK_PAGE_PAGE_FRAME_H
#define TARVEK_PAGE_PAGE_FRAME_H

#include <ostream>
#include <string>
#include <string_view>

namespace tarvek {

// The CGI header, ending in the empty line: "Content-type: text/html\n\n".
void print_html_header(std::ostream& out);

// The document start up to and including "<body>\n"; `title` is printed as it is.
void print_html_begin(std::ostream& out, std::string_view title);

// The document end: "</body> </html>\n".
void print_html_end(std::ostream& out);

// The error block for `code`: the heading, the code's message and the link back to the form.
// Requires: is_error_code(code).
void show_error_page(std::ostream& out, int code);

// `text` with &, <, > and " replaced by their character references, so that register names
// typed into the form show as typed and never act as markup.
std::string html_escape(std::string_view text);

}  // namespace tarvek

#endif  // TARVEK_PAGE_PAGE_FRAME_H

#include "page/page_frame.h"

#include <cassert>

#include "page/error_message.h"

namespace tarvek {

void print_html_header(std::ostream& out) {
  out << "Content-type: text/html\n\n";
}

void print_html_begin(std::ostream& out, std::string_view title) {
  out << "<html> <head>\n"
      << "<title>" << title << "</title>\n"
      << "</head>\n\n"
      << "<body>\n";
}

void print_html_end(std::ostream& out) {
  out << "</body> </html>\n";
}

void show_error_page(std::ostream& out, int code) {
  assert(code >= 1 && code <= kLastErrorCode);
  out << "<H1>#" << code << " Error in input</H1>" << error_message(code)
      << "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n";
}

std::string html_escape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  // Runs without a character to escape are copied whole: a routine is mostly such runs, and
  // a character at a time shows in the cost of a request.
  const auto is_special = [](char c) { return c == '&' || c == '<' || c == '>' || c == '"'; };
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t special = start;
    while (special < text.size() && !is_special(text[special])) ++special;
    escaped.append(text.data() + start, special - start);
    if (special == text.size()) break;
    switch (text[special]) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += "&quot;";
    }
    start = special + 1;
  }
  return escaped;
}

}  // namespace tarvek

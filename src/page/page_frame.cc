#include "page/page_frame.h"

#include <cassert>
#include <cstring>

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
  assert(is_error_code(code));
  out << "<H1>#" << code << " Error in input</H1>" << error_message(code)
      << "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n";
}

std::string html_escape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  // Runs without a character to escape are copied whole: a routine is mostly such runs, and
  // a character at a time shows in the cost of a request.
  // The nearest character to escape from `start` on, or the end: one fast scan per
  // character, and a routine without any is copied in one piece.
  const auto next_special = [&text](std::size_t start) {
    std::size_t nearest = text.size();
    for (const char c : {'&', '<', '>', '"'}) {
      const void* found = std::memchr(text.data() + start, c, nearest - start);
      if (found != nullptr) {
        nearest = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
      }
    }
    return nearest;
  };
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t special = next_special(start);
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

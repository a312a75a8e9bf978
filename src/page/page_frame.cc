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
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped.push_back(c);
    }
  }
  return escaped;
}

}  // namespace tarvek

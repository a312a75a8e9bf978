#include "page/page_frame.h"

#include <cassert>

namespace tarvek {
namespace {

// The numbered messages. Message 7 has no line break of its own: the back link follows it on
// the same line.
const char* error_message(int code) {
  switch (code) {
    case 1:
      return "Input size out of range (1..32 bits).\n";
    case 2:
      return "Constant value is negative, zero, or not a number.\n";
    case 3:
      return "Enter input register(s) name.\n";
    case 4:
      return "Enter temporary register(s) name.\n";
    case 5:
      return "Too big constant, size over 32 bits.\n";
    case 6:
      return "Constant error must be between 0 and 50%.\n";
    default:
      return "Result is zero for this combination of input size and constant.";
  }
}

}  // namespace

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
  assert(code >= 1 && code <= 7);
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

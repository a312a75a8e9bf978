#include "page/page_frame.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tarvek {
namespace {

TEST(PageFrameTest, FrameTexts) {
  std::ostringstream out;
  print_html_header(out);
  print_html_begin(out, "Code Generator Results");
  print_html_end(out);
  EXPECT_EQ(out.str(),
            "Content-type: text/html\n\n"
            "<html> <head>\n"
            "<title>Code Generator Results</title>\n"
            "</head>\n\n"
            "<body>\n"
            "</body> </html>\n");
}

TEST(PageFrameTest, TitleIsPrintedAsItIs) {
  std::ostringstream out;
  print_html_begin(out, "a<b>&\"");
  EXPECT_EQ(out.str(), "<html> <head>\n<title>a<b>&\"</title>\n</head>\n\n<body>\n");
}

TEST(ShowErrorPageTest, Table) {
  struct Case {
    const char* name;
    int code;
    const char* expected;
  };
  const Case cases[] = {
      {"input size", 1,
       "<H1>#1 Error in input</H1>Input size out of range (1..32 bits).\n"
       "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n"},
      {"constant", 2,
       "<H1>#2 Error in input</H1>Constant value is negative, zero, or not a number.\n"
       "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n"},
      {"input register", 3,
       "<H1>#3 Error in input</H1>Enter input register(s) name.\n"
       "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n"},
      {"temporary register", 4,
       "<H1>#4 Error in input</H1>Enter temporary register(s) name.\n"
       "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n"},
      {"big constant", 5,
       "<H1>#5 Error in input</H1>Too big constant, size over 32 bits.\n"
       "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n"},
      {"error bound", 6,
       "<H1>#6 Error in input</H1>Constant error must be between 0 and 50%.\n"
       "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n"},
      {"zero result, link on the same line", 7,
       "<H1>#7 Error in input</H1>Result is zero for this combination of input size and "
       "constant.<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    show_error_page(out, c.code);
    EXPECT_EQ(out.str(), c.expected) << c.name;
  }
}

TEST(HtmlEscapeTest, Table) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "\tmovf\tACC0,w\n", "\tmovf\tACC0,w\n"},
      {"empty", "", ""},
      {"markup", "A<script>", "A&lt;script&gt;"},
      {"ampersand first", "&lt;", "&amp;lt;"},
      {"quote", "a\"b", "a&quot;b"},
      {"apostrophe and percent stay", "a'b%", "a'b%"},
      {"every special", "<&>\"", "&lt;&amp;&gt;&quot;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(html_escape(c.text), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tarvek

// Test-only fixture: the fixed texts every page starts and ends with, and the link back to the
// form under an error, written out literally so that the page tests compare whole pages
// against text rather than against the code that prints it.
#ifndef TARVEK_PAGE_PAGE_TEXT_FOR_TESTS_H
#define TARVEK_PAGE_PAGE_TEXT_FOR_TESTS_H

#include <string>

namespace tarvek {

inline const std::string kPageStart =
    "Content-type: text/html\n\n"
    "<html> <head>\n"
    "<title>Code Generator Results</title>\n"
    "</head>\n\n"
    "<body>\n";
inline const std::string kPageEnd = "</body> </html>\n";
inline const std::string kBackLink = "<BR><BR><BR> <A HREF=\"/tarvek.htm\">Back to form</A>\n";

}  // namespace tarvek

#endif  // TARVEK_PAGE_PAGE_TEXT_FOR_TESTS_H

// The pages a hostile request must produce, built from the page's own parts rather than from
// the request reader under test: the fixed frame, the numbered error blocks, and the routine
// of a form given as plain values, generated and escaped as the page prints it.
#ifndef TARVEK_TESTS_HOSTILE_EXPECTED_PAGE_H
#define TARVEK_TESTS_HOSTILE_EXPECTED_PAGE_H

#include <string>

#include "page_time.h"  // without_time, to compare a run's page with routine_page

namespace tarvek {

// A valid form as values, after decoding.
struct ValidForm {
  double constant = 10;
  int bits = 8;
  double error = 0;
  std::string acc = "ACC";
  std::string temp = "TEMP";
  bool little_endian = false;
};

// The CGI header and the document start, all a stopped request leaves.
std::string page_start();

// The whole page of error `code` (1 to 7).
std::string error_page(int code);

// The whole page of a valid form, with the stamp's time text written as "<time>\n".
std::string routine_page(const ValidForm& form);

}  // namespace tarvek

#endif  // TARVEK_TESTS_HOSTILE_EXPECTED_PAGE_H

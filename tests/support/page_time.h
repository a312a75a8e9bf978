// Masks the one part of a generated page that changes from run to run, the time in its
// generator stamp, so that tests of the built program can compare whole pages.
#ifndef TARVEK_TESTS_SUPPORT_PAGE_TIME_H
#define TARVEK_TESTS_SUPPORT_PAGE_TIME_H

#include <string>

namespace tarvek {

// `page` with the stamp's time text replaced by "; <time>\n GMT<BR>\n"; a page without a
// well-formed time text (day of month zero-padded, as the stamp prints it) is returned
// unchanged, so a comparison with an expected page fails.
std::string without_time(const std::string& page);

}  // namespace tarvek

#endif  // TARVEK_TESTS_SUPPORT_PAGE_TIME_H

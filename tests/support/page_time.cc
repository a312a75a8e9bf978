#include "page_time.h"

#include <regex>

namespace tarvek {

std::string without_time(const std::string& page) {
  static const std::regex time_text(
      "; (Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\n GMT<BR>\n");
  return std::regex_replace(page, time_text, "; <time>\n GMT<BR>\n",
                            std::regex_constants::format_first_only);
}

}  // namespace tarvek

// Test-only shorthand for expected listings: "movf ACC0, w; movwf ACC1" stands for the exact
// emitted text "\tmovf\tACC0, w\n\tmovwf\tACC1\n", so a test can spell a whole routine on one
// line and still compare the output byte for byte.
#ifndef TARVEK_CODEGEN_LISTING_FOR_TESTS_H
#define TARVEK_CODEGEN_LISTING_FOR_TESTS_H

#include <string>
#include <string_view>

namespace tarvek {

// One "\tmnemonic\toperands\n" line per "; "-separated instruction; the first blank of each
// ends the mnemonic, and a mnemonic without operands gets no second tab.
inline std::string lines(std::string_view listing) {
  std::string text;
  while (!listing.empty()) {
    const std::size_t end = listing.find("; ");
    const std::string_view line = listing.substr(0, end);
    const std::size_t blank = line.find(' ');
    text += '\t';
    if (blank == std::string_view::npos) {
      text += line;
    } else {
      text += line.substr(0, blank);
      text += '\t';
      text += line.substr(blank + 1);
    }
    text += '\n';
    listing = end == std::string_view::npos ? std::string_view() : listing.substr(end + 2);
  }
  return text;
}

// `text` written `times` times in a row.
inline std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_LISTING_FOR_TESTS_H

// Test-only shorthand for expected listings: "movf ACC0, w; movwf ACC1" stands for the exact
// emitted text "\tmovf\tACC0, w\n\tmovwf\tACC1\n", so a test can spell a whole routine on one
// line and still compare the output byte for byte.
#ifndef TARVEK_CODEGEN_LISTING_FOR_TESTS_H
#define TARVEK_CODEGEN_LISTING_FOR_TESTS_H

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/code.h"

namespace tarvek {

// Generated code compares with an expected listing by its printed text, and a failing
// comparison shows that text.
inline bool operator==(const Code& code, const std::string& text) {
  return code.text() == text;
}
inline std::string& operator+=(std::string& text, const Code& code) {
  return text += code.text();
}
inline void PrintTo(const Code& code, std::ostream* out) {
  *out << code.text();
}

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

// The instructions of a listing as Code::text prints it, each file operand split into the
// longest of `names` it starts with that leaves a byte number after it (registers numbered in the
// order of `names`). Only for the fixed listings of tests: a generated routine is never read
// back from its text.
inline Code code_from_listing(std::string_view text, const std::vector<std::string>& names) {
  Code code;
  for (const std::string& name : names) code.register_number(name);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(1, end - 1);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::size_t tab = line.find('\t');
    const std::string_view name = line.substr(0, tab);
    Instruction in;
    for (int op = 0; op <= static_cast<int>(Op::kSkpnz); ++op) {
      if (name == mnemonic(static_cast<Op>(op))) in.op = static_cast<Op>(op);
    }
    if (tab != std::string_view::npos) {
      std::string_view operand = line.substr(tab + 1);
      const std::size_t comma = operand.find(", ");
      const std::string_view tail =
          comma == std::string_view::npos ? std::string_view() : operand.substr(comma + 2);
      operand = operand.substr(0, comma);
      if (operand_kind(in.op) == OperandKind::kLiteral) {
        const bool radix = operand.starts_with("D'");
        in.value = static_cast<int16_t>(
            std::stoi(std::string(radix ? operand.substr(2, operand.size() - 3) : operand)));
      } else if (operand == "STATUS") {
        in.file = kStatusFile;
      } else {
        std::size_t longest = 0;
        for (std::size_t k = 0; k < names.size(); ++k) {
          if (operand.starts_with(names[k]) && names[k].size() > longest &&
              names[k].size() < operand.size()) {
            longest = names[k].size();
            in.file = static_cast<uint8_t>(k);
          }
        }
        in.byte = static_cast<int16_t>(std::stoi(std::string(operand.substr(longest))));
      }
      in.to_w = tail == "w";
      if (operand_kind(in.op) == OperandKind::kFileBit) {
        in.value = static_cast<int16_t>(std::stoi(std::string(tail)));
      }
    }
    code.push_back(in);
  }
  return code;
}

// `text` written `times` times in a row.
inline std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_LISTING_FOR_TESTS_H

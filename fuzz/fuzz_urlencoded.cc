// Fuzz target of the URL-encoded parser and the %XX decoder: the input is one request text.
//
// Checks, for every input:
// - unescape_text agrees with a plain reading of the decoding rule (below), never lengthens
//   the text and leaves a text without "%" as it was;
// - parse_urlencoded reports either -1 or the number of entries it stored, stores no NUL byte
//   in a name or value, and the entries it stored, written back as a request text with every
//   byte escaped, parse to the same entries with a full count.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "form/urlencoded.h"
#include "fuzz_support.h"

namespace tarvek::fuzz {
namespace {

// The decoding rule read plainly: a "%" followed by two characters stands for the byte of
// hex_pair_value, and a 0 byte ends the text; a "%" with fewer than two characters after it
// is kept as it is, with whatever follows it.
std::string decoded(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const unsigned char byte = hex_pair_value(text[i + 1], text[i + 2]);
      if (byte == 0) break;
      result.push_back(static_cast<char>(byte));
      i += 3;
    } else {
      result.push_back(text[i]);
      ++i;
    }
  }
  return result;
}

// `text` with every byte written as an upper-case %XX escape.
std::string escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    result.push_back('%');
    result.push_back(kHex[byte >> 4]);
    result.push_back(kHex[byte & 15]);
  }
  return result;
}

std::vector<FormEntry> entries_of(const FormEntryList& list) {
  return std::vector<FormEntry>(list.entries.begin(), list.entries.end());
}

bool same_entries(const std::vector<FormEntry>& a, const std::vector<FormEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].value != b[i].value) return false;
  }
  return true;
}

std::string listing(const std::vector<FormEntry>& entries) {
  std::string text;
  for (const FormEntry& entry : entries) text += "[" + entry.name + "]=[" + entry.value + "]\n";
  return text;
}

void check_unescape(std::string_view input) {
  std::string text(input);
  unescape_text(text);
  const std::string expected = decoded(input);
  check(text == expected, "unescape_text differs from the decoding rule", [&] {
    return "input: " + std::string(input) + "\ngot: " + text + "\nexpected: " + expected;
  });
  check(text.size() <= input.size(), "unescape_text made the text longer");
  if (input.find('%') == std::string_view::npos) {
    check(text == input, "unescape_text changed a text without escapes");
  }
}

void check_parse(std::string_view input) {
  FormEntryList list;
  const ReadOutcome outcome = parse_urlencoded(list, input);
  check(!outcome.stop, "parse_urlencoded stopped the request");
  const std::vector<FormEntry> entries = entries_of(list);
  check(outcome.count == -1 || outcome.count == static_cast<int>(entries.size()),
        "parse_urlencoded's count is neither -1 nor the number of entries",
        [&] { return "count " + std::to_string(outcome.count) + "\n" + listing(entries); });
  for (const FormEntry& entry : entries) {
    check(entry.name.find('\0') == std::string::npos && entry.value.find('\0') == std::string::npos,
          "an entry holds a NUL byte", [&] { return listing(entries); });
  }

  // Every entry written back as name=value with each byte escaped: "&" and "=" then only
  // separate, so the same entries must come back, all of them counted.
  std::string again;
  for (const FormEntry& entry : entries) {
    if (!again.empty()) again += '&';
    again += escaped(entry.name) + "=" + escaped(entry.value);
  }
  FormEntryList reparsed;
  const ReadOutcome second = parse_urlencoded(reparsed, again);
  const std::vector<FormEntry> round_trip = entries_of(reparsed);
  check(same_entries(entries, round_trip) && second.count == static_cast<int>(entries.size()),
        "entries written back as a request text parse differently", [&] {
          return "first:\n" + listing(entries) + "again (count " + std::to_string(second.count) +
                 "):\n" + listing(round_trip);
        });
  form_list_free(list);
  form_list_free(reparsed);
}

}  // namespace
}  // namespace tarvek::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  tarvek::fuzz::check_unescape(input);
  tarvek::fuzz::check_parse(input);
  return 0;
}

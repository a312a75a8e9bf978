#include "form/urlencoded.h"

#include <cstddef>

namespace tarvek {
namespace {

int hex_digit_value(char c) {
  const int code = static_cast<signed char>(c);
  return code >= 'A' ? (code & ~0x20) - 55 : code - 48;
}

}  // namespace

unsigned char hex_pair_value(char first, char second) {
  // The conversion to unsigned char is the reduction modulo 256, negative sums included.
  return static_cast<unsigned char>(16 * hex_digit_value(first) + hex_digit_value(second));
}

void unescape_text(std::string& text) {
  const std::size_t length = text.size();
  std::size_t read = 0;
  std::size_t write = 0;
  while (read < length) {
    if (text[read] != '%') {
      text[write++] = text[read++];
      continue;
    }
    if (length - read < 3) {
      // A "%" with fewer than two characters after it ends the text; it is no escape, so it
      // and the one character after it, if any, are kept as typed ("5%" stays "5%").
      while (read < length) text[write++] = text[read++];
      break;
    }
    const unsigned char byte = hex_pair_value(text[read + 1], text[read + 2]);
    if (byte == 0) break;
    text[write++] = static_cast<char>(byte);
    read += 3;
  }
  text.resize(write);
}

ReadOutcome parse_urlencoded(FormEntryList& list, std::string_view text) {
  form_list_init(list);
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const std::size_t length = text.size();

  std::string token;
  std::string pending_name;
  bool name_pending = false;
  const FormEntry* previous = nullptr;
  int count = 0;
  std::size_t i = 0;
  while (i < length) {
    token.clear();
    while (i < length && text[i] != '=' && text[i] != '&') {
      token.push_back(text[i] == '+' ? ' ' : text[i]);
      ++i;
    }
    if (!name_pending) {
      std::string name = copy_string(token);
      unescape_text(name);
      const bool last_character = i + 1 == length;
      if (i < length && text[i] == '=' && !last_character) {
        pending_name = std::move(name);
        name_pending = true;
        ++i;
        continue;
      }
      previous = form_list_insert(list, previous, name, "");
      if (previous == nullptr) return ReadOutcome{count, RequestStop{}};
      if (last_character) return ReadOutcome{count + 1, std::nullopt};
      return ReadOutcome{-1, std::nullopt};
    }
    std::string value = copy_string(token);
    unescape_text(value);
    previous = form_list_insert(list, previous, pending_name, value);
    if (previous == nullptr) return ReadOutcome{count, RequestStop{}};
    ++count;
    name_pending = false;
    ++i;
  }
  return ReadOutcome{count, std::nullopt};
}

}  // namespace tarvek

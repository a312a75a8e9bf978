#include "page/json_writer.h"

#include <cassert>
#include <charconv>
#include <cmath>

namespace tarvek {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append_hex4(std::string& out, unsigned value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

void append_code_point(std::string& out, char32_t c) {
  if (c < 0x10000) {
    append_hex4(out, static_cast<unsigned>(c));
    return;
  }
  const char32_t v = c - 0x10000;
  append_hex4(out, static_cast<unsigned>(0xD800 + (v >> 10)));
  append_hex4(out, static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
}

struct Decoded {
  char32_t code_point;
  // Bytes taken from the text; 1 for a byte that begins no well-formed sequence.
  std::size_t length;
};

// The character at the start of `text` (which holds at least one byte, the first 0x80 or
// above). The ranges of the second byte are those of the well-formed UTF-8 table: they shut
// out overlong forms, the surrogates D800..DFFF and everything above U+10FFFF.
Decoded decode_utf8(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {kReplacement, 1};
  }
  if (text.size() < length) return {kReplacement, 1};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(i);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return {kReplacement, 1};
    value = (value << 6) | (next & 0x3F);
  }
  return {value, length};
}

void append_escaped(std::string& out, std::string_view text) {
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const Decoded decoded = decode_utf8(text.substr(i));
      append_code_point(out, decoded.code_point);
      i += decoded.length;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          append_hex4(out, c);
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
}

}  // namespace

void JsonWriter::begin_value() {
  if (levels_.empty()) {
    // A single value at the top; a second one would not be JSON.
    assert(text_.empty());
    return;
  }
  Level& level = levels_.back();
  if (level.object) {
    assert(key_pending_);
    key_pending_ = false;
    return;
  }
  if (level.has_member) text_ += ',';
  level.has_member = true;
}

void JsonWriter::begin_object() {
  begin_value();
  text_ += '{';
  levels_.push_back({true, false});
}

void JsonWriter::end_object() {
  assert(!levels_.empty() && levels_.back().object && !key_pending_);
  levels_.pop_back();
  text_ += '}';
}

void JsonWriter::begin_array() {
  begin_value();
  text_ += '[';
  levels_.push_back({false, false});
}

void JsonWriter::end_array() {
  assert(!levels_.empty() && !levels_.back().object);
  levels_.pop_back();
  text_ += ']';
}

void JsonWriter::key(std::string_view name) {
  assert(!levels_.empty() && levels_.back().object && !key_pending_);
  Level& level = levels_.back();
  if (level.has_member) text_ += ',';
  level.has_member = true;
  append_escaped(text_, name);
  text_ += ':';
  key_pending_ = true;
}

void JsonWriter::string(std::string_view text) {
  begin_value();
  append_escaped(text_, text);
}

void JsonWriter::number(long long value) {
  begin_value();
  text_ += std::to_string(value);
}

void JsonWriter::number(double value) {
  if (!std::isfinite(value)) {
    null();
    return;
  }
  begin_value();
  // Shortest round-trip form: "0.1", "10", "1e+21"; every one of them is a JSON number.
  char digits[32];
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
  assert(written.ec == std::errc());
  text_.append(digits, written.ptr);
}

void JsonWriter::boolean(bool value) {
  begin_value();
  text_ += value ? "true" : "false";
}

void JsonWriter::null() {
  begin_value();
  text_ += "null";
}

}  // namespace tarvek

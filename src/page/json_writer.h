// A JSON text built in memory, for the program's JSON answer.
//
// Whatever bytes it is handed, the text is valid JSON and pure printable ASCII, so no client
// has to guess an encoding: strings escape quotes, backslashes, every control character, DEL
// and every non-ASCII character (\uXXXX, a surrogate pair above U+FFFF), and numbers JSON
// cannot hold (infinities, not-a-number) are written as null.
//
// Text from a request is bytes, not necessarily UTF-8. A well-formed UTF-8 sequence is written
// as the character it encodes; every byte that does not begin one (a stray continuation
// byte, a truncated, overlong or surrogate sequence, a code point above U+10FFFF, the bytes
// C0, C1 and F5 to FF) is written as U+FFFD, one replacement character per byte. A name typed
// into the form therefore shows as typed, and an undecodable byte shows as a mark, never as
// broken JSON.
//
// The writer places the commas and colons; the caller keeps the nesting balanced and puts a
// key before every value inside an object (both checked with assert).
#ifndef TARVEK_PAGE_JSON_WRITER_H
#define TARVEK_PAGE_JSON_WRITER_H

#include <string>
#include <string_view>
#include <vector>

namespace tarvek {

class JsonWriter {
 public:
  void begin_object();
  void end_object();
  void begin_array();
  void end_array();
  // The name of the next member of the innermost object.
  void key(std::string_view name);
  void string(std::string_view text);
  void number(long long value);
  // The shortest decimal that reads back as `value`; null when it is not finite.
  void number(double value);
  void boolean(bool value);
  void null();

  // The text written so far; a whole JSON value once every object and array is closed.
  const std::string& text() const { return text_; }

 private:
  // Writes the comma that separates this value from the previous one, when there is one.
  void begin_value();

  std::string text_;
  // One entry per open object or array, innermost last: whether it is an object, and
  // whether it already holds a member (so the next one needs a comma).
  struct Level {
    bool object;
    bool has_member;
  };
  std::vector<Level> levels_;
  // A key was written and its value is still due.
  bool key_pending_ = false;
};

}  // namespace tarvek

#endif  // TARVEK_PAGE_JSON_WRITER_H

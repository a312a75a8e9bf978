// The character classes every reader of request text uses: the C locale's white space and the
// ASCII digits, independent of the process's locale, so a number reads the same whichever
// locale the web server starts the program in.
#ifndef TARVEK_FORM_CHARACTERS_H
#define TARVEK_FORM_CHARACTERS_H

namespace tarvek {

inline bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace tarvek

#endif  // TARVEK_FORM_CHARACTERS_H

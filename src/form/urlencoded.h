// Decoding of URL-encoded request text ("name=value&name=value", "+" for space, %XX escapes)
// into a form list. Works on a copy of the text and never reads past its end.
#ifndef TARVEK_FORM_URLENCODED_H
#define TARVEK_FORM_URLENCODED_H

#include <string>
#include <string_view>

#include "form/form_entry_list.h"
#include "form/request_source.h"

namespace tarvek {

// Empties `list` and stores the fields of `text` in arrival order. "&" and "=" both end a
// name and both end a value; "+" reads as a space before %XX decoding. A NUL byte ends the
// text. A name without "=" is stored with an empty value; unless it stood right before the
// final character, parsing stops there with count -1, keeping what was stored.
ReadOutcome parse_urlencoded(FormEntryList& list, std::string_view text);

// Decodes the %XX escapes of `text` in place. A decoded byte 0 ends the text there.
void unescape_text(std::string& text);

// The byte that the escape %<first><second> stands for. Each character counts as a digit:
// one whose code (as a signed 8-bit value) is at least that of "A" gives its code with bit 5
// cleared minus 55, any other its code minus 48; the byte is 16 * first + second modulo 256.
// Non-hexadecimal characters are not refused; they give whatever this rule computes.
unsigned char hex_pair_value(char first, char second);

}  // namespace tarvek

#endif  // TARVEK_FORM_URLENCODED_H

// The numbered messages that tell the user why a request was refused, shared by the result
// page and the command-line tool so that both say the same thing for the same request.
//
// Codes 1 to 7 belong to the six fields every request has; the later codes to the optional
// fields (Result, DivideBy, Signed, Core, format, Ram, Rem, DigitForm, Optimize, Label), to the
// exact modes and to the digits mode; codes 40 to 46 to the packaging fields (Wrap, Syntax,
// Name), to where a packaging or a core lets the registers lie (Ram) and to the syntaxes a
// core is written in. A request that names
// none of the optional fields can only be refused with codes 1 to 7.
#ifndef TARVEK_PAGE_ERROR_MESSAGE_H
#define TARVEK_PAGE_ERROR_MESSAGE_H

#include <string>
#include <string_view>

namespace tarvek {

// The packaging fields' codes and those of the registers' place, kFirstPackagingError to
// kLastPackagingError.
inline constexpr int kFirstPackagingError = 40;
inline constexpr int kLastPackagingError = 46;
// Highest numbered error. The codes are 1 to 16, for the remainder and the digits 17 to 25,
// for how a routine is written (Optimize, Label) 30 to 32, and for its packaging and place 40
// to 46; the others are not given.
inline constexpr int kLastErrorCode = kLastPackagingError;

// Whether `code` is the code of a numbered error.
constexpr bool is_error_code(int code) {
  return (code >= 1 && code <= 25) || (code >= 30 && code <= 32) ||
         (code >= kFirstPackagingError && code <= kLastPackagingError);
}

// The message of error `code`, exactly as the error page prints it after its heading. Every
// message but 7 ends in a line break; on the page the back link follows message 7 on the
// same line.
// Requires: is_error_code(code).
const char* error_message(int code);

// The refusal of error `code` as one plain line, the heading and the message joined, e.g.
// "#1 Error in input: Input size out of range (1..32 bits).\n"; what the command-line tool
// prints on its error stream and the text answer sends as its body.
// Requires: is_error_code(code).
std::string refusal_text(int code);

// The same line with `detail` (refusal_detail's sentence) in place of the message when it is
// not empty: what the command-line tool prints, and the text answer of a current client.
// Requires: is_error_code(code).
std::string refusal_text(int code, std::string_view detail);

// The form field that error `code` is about ("Bits", "Const", ...), or nullptr for the
// errors that belong to no field (11, no routine could be proven; 14, the answer format).
// Requires: is_error_code(code).
const char* error_field(int code);

}  // namespace tarvek

#endif  // TARVEK_PAGE_ERROR_MESSAGE_H

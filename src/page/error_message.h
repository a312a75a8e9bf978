// The numbered messages that tell the user why a request was refused, shared by the result
// page and the command-line tool so that both say the same thing for the same request.
//
// Codes 1 to 7 belong to the six fields every request has; the later codes to the optional
// fields (Result, DivideBy, Signed, Core, format, Rem, DigitForm), to the exact modes and to
// the digits mode. A request that names none of the optional fields can only be refused with
// codes 1 to 7.
#ifndef TARVEK_PAGE_ERROR_MESSAGE_H
#define TARVEK_PAGE_ERROR_MESSAGE_H

#include <string>

namespace tarvek {

// Highest numbered error.
inline constexpr int kLastErrorCode = 25;

// The message of error `code`, exactly as the error page prints it after its heading. Every
// message but 7 ends in a line break; on the page the back link follows message 7 on the
// same line.
// Requires: code between 1 and kLastErrorCode.
const char* error_message(int code);

// The refusal of error `code` as one plain line, the heading and the message joined, e.g.
// "#1 Error in input: Input size out of range (1..32 bits).\n"; what the command-line tool
// prints on its error stream and the text answer sends as its body.
// Requires: code between 1 and kLastErrorCode.
std::string refusal_text(int code);

}  // namespace tarvek

#endif  // TARVEK_PAGE_ERROR_MESSAGE_H

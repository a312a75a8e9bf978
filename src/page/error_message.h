// The numbered messages that tell the user why a request was refused, shared by the result
// page and the command-line tool so that both say the same thing for the same request.
#ifndef TARVEK_PAGE_ERROR_MESSAGE_H
#define TARVEK_PAGE_ERROR_MESSAGE_H

namespace tarvek {

// The message of error `code`, exactly as the error page prints it after its heading. Every
// message but 7 ends in a line break; on the page the back link follows message 7 on the
// same line.
// Requires: code between 1 and 7.
const char* error_message(int code);

}  // namespace tarvek

#endif  // TARVEK_PAGE_ERROR_MESSAGE_H

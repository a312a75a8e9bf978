// One run of the CGI program: reads the form, chooses the answer's format from its `format`
// field, checks the other fields and answers with either the numbered error or the generated
// routine: as the HTML page with the stamp and the credit box, as plain text, or as JSON.
//
// The header can only be chosen once the form is read, so nothing is printed before it; an
// HTML answer is nonetheless byte for byte what it was when the page start went out first,
// and a request that stops the run while it is read (or fails to be read at all) leaves that
// page start, whatever format it may have named. The generated block is escaped where it
// enters a page or a JSON string; the generator itself writes plain text.
//
// A request that sends the Ram field comes from a current client (the form, tarvek-asm's
// equivalent): its block gets comment lines on where the registers go and, for an
// approximation, on where it is not floor(x * K), and its refused text answer the detail of
// its message. A request without Ram gets the page and the text it always got; its JSON answer
// only gains members (every failing check, the review of an approximation).
#ifndef TARVEK_PAGE_DRIVER_H
#define TARVEK_PAGE_DRIVER_H

#include <ctime>
#include <functional>
#include <optional>
#include <ostream>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "form/request_source.h"
#include "page/routine_generation.h"

namespace tarvek {

// Writes the generated block for a valid request and returns 0, or writes nothing and returns
// the numbered error that refuses the request after all; generate_routine in the program, a
// stand-in in tests that check the page around it.
using CodeGenerator =
    std::function<int(std::ostream&, const GeneratorRequest&, Register&, Register&)>;

// Runs the request from `source` and writes the answer to `out`, stamping a page with `now`.
// Returns the reader's stop when the request itself was refused; the HTML page then ends
// after its start, and the caller prints the stop's message and exits with status 1.
// Otherwise the answer is complete and the exit status is 0, whether the form was valid or
// not (a refused text or JSON answer says so in its "Status: 400" header).
std::optional<RequestStop> run_request(const RequestSource& source, std::ostream& out,
                                       std::time_t now,
                                       const CodeGenerator& generate = generate_routine);

}  // namespace tarvek

#endif  // TARVEK_PAGE_DRIVER_H

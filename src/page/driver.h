// One run of the CGI program: prints the page frame, reads and checks the form, and prints
// either the numbered error or the generated routine with the stamp and the credit box.
//
// The page start is printed and flushed before any input is read, so a request that stops
// the run still leaves a started page. The generated block is HTML-escaped here, where it
// enters the page; the generator itself writes plain text.
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

// Runs the request from `source` and writes the page to `out`, stamping it with `now`.
// Returns the reader's stop when the request itself was refused; the page then ends after
// its start, and the caller prints the stop's message and exits with status 1. Otherwise
// the page is complete and the exit status is 0, whether the form was valid or not.
std::optional<RequestStop> run_request(const RequestSource& source, std::ostream& out,
                                       std::time_t now,
                                       const CodeGenerator& generate = generate_routine);

}  // namespace tarvek

#endif  // TARVEK_PAGE_DRIVER_H

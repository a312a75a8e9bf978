// The form of the program's answer, chosen by the request's `format` field: the HTML page the
// form post has always received, the generated block as plain text for scripts and build
// steps, or a JSON object that also tells how the request was understood and what the routine
// costs (the form page's in-place view reads it).
//
// The format is read from the same form as the other fields, so it is known only once the
// request has been read; a request that stops the run while it is read answers as HTML.
#ifndef TARVEK_PAGE_ANSWER_FORMAT_H
#define TARVEK_PAGE_ANSWER_FORMAT_H

#include <optional>
#include <ostream>

#include "form/form_entry_list.h"

namespace tarvek {

enum class AnswerFormat { kHtml, kText, kJson };

// The numbered error of a `format` value the program does not know. It is shown on an HTML
// page: the client asked for something unknown, and HTML is what the form has always had.
inline constexpr int kUnknownFormatError = 14;

// The format named by the first `format` field of `form`: absent, empty or "html" choose
// kHtml, "text" kText, "json" kJson, compared byte for byte (no case folding, no trimming).
// Any other value gives nullopt.
std::optional<AnswerFormat> answer_format(const FormEntryList& form);

// The CGI header of an answer in `format`, ending in its empty line. `refused` adds
// "Status: 400 Bad Request" to a text or JSON answer, so a script sees the refusal without
// reading the body; an HTML page keeps the default status 200 whatever it holds, as it always
// has, and its header is exactly print_html_header's.
void print_answer_header(std::ostream& out, AnswerFormat format, bool refused);

}  // namespace tarvek

#endif  // TARVEK_PAGE_ANSWER_FORMAT_H

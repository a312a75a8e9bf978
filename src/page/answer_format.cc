#include "page/answer_format.h"

#include <string>

#include "page/page_frame.h"

namespace tarvek {

std::optional<AnswerFormat> answer_format(const FormEntryList& form) {
  const std::string* value = form_value(form, "format");
  if (value == nullptr || value->empty() || *value == "html") return AnswerFormat::kHtml;
  if (*value == "text") return AnswerFormat::kText;
  if (*value == "json") return AnswerFormat::kJson;
  return std::nullopt;
}

void print_answer_header(std::ostream& out, AnswerFormat format, bool refused) {
  if (format == AnswerFormat::kHtml) {
    print_html_header(out);
    return;
  }
  if (refused) out << "Status: 400 Bad Request\n";
  // The text is what the generator writes: ASCII, apart from bytes of register names that
  // were sent as they are. JSON is ASCII in every case (see json_writer.h).
  out << (format == AnswerFormat::kText ? "Content-type: text/plain; charset=us-ascii\n\n"
                                        : "Content-type: application/json\n\n");
}

}  // namespace tarvek

#include "page/driver.h"

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "form/form_input.h"
#include "page/answer_format.h"
#include "page/approximation_review.h"
#include "page/error_message.h"
#include "page/json_answer.h"
#include "page/page_frame.h"
#include "page/stamp.h"
#include "page/validation.h"

namespace tarvek {
namespace {

// Flushed, as it was when it went out before the request was read: a run that fails later
// still leaves it.
void print_html_start(std::ostream& out) {
  print_html_header(out);
  print_html_begin(out, "Code Generator Results");
  out.flush();
}

// The generated block, or the numbered error that refuses the request: the checks' error, or
// the generator's own when it refuses after all.
struct Generated {
  int error_code = 0;
  std::string block;
  // Every reason for the refusal (the checks' in their order, or the generator's), with
  // what each message leaves unsaid; empty for a routine.
  AnswerDetails details;
};

AnswerDetails refusals_of(const std::vector<int>& codes, const RequestFields& fields) {
  AnswerDetails details;
  for (const int code : codes) details.refusals.push_back({code, refusal_detail(code, fields)});
  return details;
}

// `reviewed` asks for the review of an approximation, which a request that sends Ram also
// gets as comment lines in its block.
Generated generate_block(const RequestFields& fields, const ValidatedRequest& checked,
                         const CodeGenerator& generate, bool reviewed) {
  if (checked.error_code != 0) {
    return {checked.error_code, {}, refusals_of(checked.error_codes, fields)};
  }
  GeneratorRequest request = checked.request;
  std::optional<ApproximationReview> review;
  if (request.mode == ResultMode::kApprox && (reviewed || fields.ram_text)) {
    review = review_approximation(fields, checked, request.checked_bits);
    if (fields.ram_text) request.notes = approximation_notes(*review) + request.notes;
  }
  Register acc(fields.acc_name, checked.input_bits, fields.little_endian);
  Register temp(fields.temp_name, 0, fields.little_endian);
  std::ostringstream block;
  const int refused = generate(block, request, acc, temp);
  if (refused != 0) return {refused, {}, refusals_of({refused}, fields)};
  Generated generated{0, block.str(), {}};
  generated.details.review = std::move(review);
  return generated;
}

// The one line of a refused text answer. A client that sends Ram is a current one, which
// gets the detail in place of the message where there is one; any other keeps the message it
// always had.
std::string refusal_line(const Generated& generated, const RequestFields& fields) {
  if (!fields.ram_text) return refusal_text(generated.error_code);
  return refusal_text(generated.error_code,
                      generated.details.refusals.empty()
                          ? std::string_view()
                          : std::string_view(generated.details.refusals.back().detail));
}

// The rest of the result page, exactly as the form post has always received it.
void print_html_rest(std::ostream& out, const Generated& generated, std::time_t now) {
  if (generated.error_code != 0) {
    show_error_page(out, generated.error_code);
  } else {
    out << "<PRE>\n" << html_escape(generated.block) << "</PRE>\n";
    print_generator_stamp(out, now);
    print_credit_box(out);
  }
  print_html_end(out);
}

void answer(std::ostream& out, const FormEntryList& form, AnswerFormat format, std::time_t now,
            const CodeGenerator& generate) {
  // An HTML page starts before any field is read, as it always has.
  if (format == AnswerFormat::kHtml) print_html_start(out);
  const RequestFields fields = read_request_fields(form);
  const ValidatedRequest checked = validate_request(fields);
  const Generated generated =
      generate_block(fields, checked, generate, format == AnswerFormat::kJson);
  const bool refused = generated.error_code != 0;
  switch (format) {
    case AnswerFormat::kHtml:
      print_html_rest(out, generated, now);
      return;
    case AnswerFormat::kText:
      print_answer_header(out, format, refused);
      out << (refused ? refusal_line(generated, fields) : generated.block);
      return;
    case AnswerFormat::kJson:
      print_answer_header(out, format, refused);
      out << json_answer(form, fields, checked, generated.error_code, generated.block,
                         generated.details);
      return;
  }
}

}  // namespace

std::optional<RequestStop> run_request(const RequestSource& source, std::ostream& out,
                                       std::time_t now, const CodeGenerator& generate) {
  FormEntryList form;
  ReadOutcome read;
  try {
    read = read_form(form, source);
  } catch (...) {
    // Running out of memory while reading ends the run at the entry point; the page start
    // goes first, as it did when it was printed before the request was read.
    print_html_start(out);
    throw;
  }
  if (read.stop) {
    // The format is not known from a request that could not be read; the HTML page start is
    // what such a request has always left.
    print_html_start(out);
    form_list_free(form);
    return std::move(read.stop);
  }

  if (const std::optional<AnswerFormat> format = answer_format(form)) {
    answer(out, form, *format, now, generate);
  } else {
    print_html_start(out);
    show_error_page(out, kUnknownFormatError);
    print_html_end(out);
  }
  form_list_free(form);
  return std::nullopt;
}

}  // namespace tarvek

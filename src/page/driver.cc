#include "page/driver.h"

#include <sstream>

#include "form/form_input.h"
#include "page/page_frame.h"
#include "page/stamp.h"
#include "page/validation.h"

namespace tarvek {

std::optional<RequestStop> run_request(const RequestSource& source, std::ostream& out,
                                       std::time_t now, const CodeGenerator& generate) {
  print_html_header(out);
  print_html_begin(out, "Code Generator Results");
  out.flush();

  FormEntryList form;
  ReadOutcome read = read_form(form, source);
  if (read.stop) return std::move(read.stop);

  const RequestFields fields = read_request_fields(form);
  const ValidatedRequest checked = validate_request(fields);
  if (checked.error_code != 0) {
    show_error_page(out, checked.error_code);
  } else {
    Register acc(fields.acc_name, checked.input_bits, fields.little_endian);
    Register temp(fields.temp_name, 0, fields.little_endian);
    std::ostringstream block;
    const int refused = generate(block, checked.request, acc, temp);
    if (refused != 0) {
      show_error_page(out, refused);
    } else {
      out << "<PRE>\n";
      out << html_escape(block.str());
      out << "</PRE>\n";
      print_generator_stamp(out, now);
      print_credit_box(out);
    }
  }
  print_html_end(out);
  form_list_free(form);
  return std::nullopt;
}

}  // namespace tarvek

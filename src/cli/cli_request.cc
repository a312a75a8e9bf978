#include "cli/cli_request.h"

#include <cassert>

#include "form/form_entry_list.h"

namespace tarvek {

CliRequest make_cli_request(const CliOptions& options) {
  assert(options.action == CliAction::kGenerate);
  FormEntryList form;
  form_list_init(form);
  const FormEntry* last = nullptr;
  const auto add = [&](std::string_view name, std::string_view value) {
    last = form_list_insert(form, last, name, value);
    assert(last != nullptr);
  };
  const std::string result = result_asked(options);
  const bool approx = result.empty() || result == "approx";
  // The reciprocal alone keeps the reading it always had; the DivideBy field reads a divisor
  // whole, which would refuse texts (and values) the reciprocal takes.
  const bool reciprocal = approx && !options.const_text;
  if (reciprocal) {
    add("Const", *options.divisor_text);
  } else if (options.const_text || result != "digits") {
    add("Const", options.const_text ? *options.const_text : "1");
  }
  if (options.divisor_text && !reciprocal) add("DivideBy", *options.divisor_text);
  add("Result", result);
  add("Acc", options.acc_name);
  add("Bits", options.bits_text);
  if (options.error_text) add("ConstErr", *options.error_text);
  add("Temp", options.temp_name);
  add("endian", options.little_endian ? "little" : "big");
  if (options.is_signed) add("Signed", "1");
  if (options.core_text) add("Core", *options.core_text);
  add("Ram", options.ram_text.value_or(""));
  if (options.optimize_text) add("Optimize", *options.optimize_text);
  if (options.label_text) add("Label", *options.label_text);
  if (options.rem_name) add("Rem", *options.rem_name);
  if (options.digit_form_text) add("DigitForm", *options.digit_form_text);
  if (options.wrap_text) add("Wrap", *options.wrap_text);
  if (options.syntax_text) add("Syntax", *options.syntax_text);
  if (options.name_text) add("Name", *options.name_text);

  CliRequest made;
  made.fields = read_request_fields(form);
  form_list_free(form);
  if (reciprocal) {
    made.divisor = made.fields.const_value;
    // IEEE division rounds correctly: this is the double nearest to 1/D. A divisor of 0 gives
    // an infinity of its sign, which the checks refuse as too big (or, negative, as code 2).
    made.fields.const_value = 1.0 / made.divisor;
  }
  made.checked = validate_request(made.fields);
  made.exact_fields = made.fields;
  if (reciprocal) {
    // Assigned as a string of one character: assigning the literal trips a false -Wrestrict
    // warning of GCC 12.
    made.exact_fields.const_text = std::string(1, '1');
    made.exact_fields.divide_by_text = *options.divisor_text;
  }
  return made;
}

}  // namespace tarvek

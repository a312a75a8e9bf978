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
  const bool approx =
      !options.result_text || options.result_text->empty() || *options.result_text == "approx";
  // The reciprocal alone keeps the reading it always had; the DivideBy field reads a divisor
  // whole, which would refuse texts (and values) the reciprocal takes.
  const bool reciprocal = approx && !options.const_text;
  if (reciprocal) {
    add("Const", *options.divisor_text);
  } else {
    add("Const", options.const_text ? *options.const_text : "1");
  }
  if (options.divisor_text && !reciprocal) add("DivideBy", *options.divisor_text);
  if (options.result_text) add("Result", *options.result_text);
  add("Acc", options.acc_name);
  add("Bits", options.bits_text);
  if (options.error_text) add("ConstErr", *options.error_text);
  add("Temp", options.temp_name);
  add("endian", options.little_endian ? "little" : "big");
  if (options.is_signed) add("Signed", "1");
  if (options.core_text) add("Core", *options.core_text);

  CliRequest result;
  result.fields = read_request_fields(form);
  form_list_free(form);
  if (reciprocal) {
    result.divisor = result.fields.const_value;
    // IEEE division rounds correctly: this is the double nearest to 1/D. A divisor of 0 gives
    // an infinity of its sign, which the checks refuse as too big (or, negative, as code 2).
    result.fields.const_value = 1.0 / result.divisor;
  }
  result.checked = validate_request(result.fields);
  return result;
}

}  // namespace tarvek

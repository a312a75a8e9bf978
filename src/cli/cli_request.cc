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
  add("Const", options.constant_text);
  add("Acc", options.acc_name);
  add("Bits", options.bits_text);
  if (options.error_text) add("ConstErr", *options.error_text);
  add("Temp", options.temp_name);
  add("endian", options.little_endian ? "little" : "big");

  CliRequest result;
  result.fields = read_request_fields(form);
  form_list_free(form);
  if (options.divide) {
    result.divisor = result.fields.const_value;
    // IEEE division rounds correctly: this is the double nearest to 1/D. A divisor of 0 gives
    // an infinity of its sign, which the checks refuse as too big (or, negative, as code 2).
    result.fields.const_value = 1.0 / result.divisor;
  }
  result.checked = validate_request(result.fields);
  return result;
}

}  // namespace tarvek

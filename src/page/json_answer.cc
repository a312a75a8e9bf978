#include "page/json_answer.h"

#include <optional>

#include "page/error_message.h"
#include "page/exact_constant.h"
#include "page/json_writer.h"
#include "page/packaged_reading.h"
#include "page/packaging_request.h"
#include "page/register_placement.h"
#include "page/routine_summary.h"

namespace tarvek {
namespace {

// Opens the member of field `name`: its text as sent, and the key of the value used, which
// the caller writes and then closes the member.
void begin_field(JsonWriter& json, const FormEntryList& form, const char* name) {
  json.key(name);
  json.begin_object();
  json.key("sent");
  if (const std::string* sent = form_value(form, name)) {
    json.string(*sent);
  } else {
    json.null();
  }
  json.key("value");
}

const char* mode_name(ResultMode mode) {
  switch (mode) {
    case ResultMode::kApprox:
      return "approx";
    case ResultMode::kFloor:
      return "floor";
    case ResultMode::kNearest:
      return "nearest";
    case ResultMode::kTrunc:
      break;
  }
  return "trunc";
}

// Wrap, Syntax and Name: the wrap and the syntax by name (the wrap a gpasm-reloc module gets
// without one included), and the routine's name when it has one (given, or made from the
// request), else null.
void write_packaging(JsonWriter& json, const FormEntryList& form, const RequestFields& fields,
                     const ValidatedRequest& checked) {
  const std::optional<Syntax> syntax = syntax_named(fields.syntax_text);
  const Core core = core_named(fields.core).value_or(Core::kMidrange);
  const std::optional<Wrap> wrap =
      wrap_named(fields.wrap_text, syntax.value_or(Syntax::kMpasm), core);
  begin_field(json, form, "Wrap");
  if (wrap) {
    json.string(wrap_name(*wrap));
  } else {
    json.null();
  }
  json.end_object();
  begin_field(json, form, "Syntax");
  if (syntax) {
    json.string(syntax_name(*syntax));
  } else {
    json.null();
  }
  json.end_object();
  begin_field(json, form, "Name");
  const std::string& made = checked.request.packaging.name;
  if (checked.error_code == 0 && !made.empty()) {
    json.string(made);
  } else if (checked.error_code != 0 && is_routine_name(fields.name_text, core)) {
    json.string(fields.name_text);
  } else {
    json.null();
  }
  json.end_object();
}

// Each field in the order the form sends them. A value is null when it cannot be read (an
// unknown Result, Signed or Core, a DivideBy that is no positive number, a number beyond a
// double)
// and, for ConstErr, when the exact modes do not use it.
void write_request(JsonWriter& json, const FormEntryList& form, const RequestFields& fields,
                   const ValidatedRequest& checked) {
  const std::optional<ResultMode> mode = result_mode(fields.result_text);
  json.key("request");
  json.begin_object();
  begin_field(json, form, "Const");
  json.number(fields.const_value);
  json.end_object();
  begin_field(json, form, "DivideBy");
  const std::optional<double> divisor =
      fields.divide_by_text.empty() ? 1.0 : approximate_divisor(fields.divide_by_text);
  if (divisor) {
    json.number(*divisor);
  } else {
    json.null();
  }
  json.end_object();
  begin_field(json, form, "Result");
  if (mode) {
    json.string(mode_name(*mode));
  } else {
    json.null();
  }
  json.end_object();
  begin_field(json, form, "ConstErr");
  if (mode && *mode != ResultMode::kApprox) {
    json.null();
  } else {
    json.number(fields.const_error);
  }
  json.end_object();
  begin_field(json, form, "Bits");
  json.number(fields.input_bits);
  json.end_object();
  begin_field(json, form, "Signed");
  if (const std::optional<bool> is_signed = signed_input(fields.signed_text)) {
    json.boolean(*is_signed);
  } else {
    json.null();
  }
  json.end_object();
  begin_field(json, form, "Acc");
  json.string(fields.acc_name);
  json.end_object();
  begin_field(json, form, "Temp");
  json.string(fields.temp_name);
  json.end_object();
  begin_field(json, form, "Ram");
  if (const std::optional<int> address =
          fields.ram_text ? read_ram_address(*fields.ram_text) : std::nullopt) {
    json.number(static_cast<long long>(*address));
  } else {
    json.null();
  }
  json.end_object();
  begin_field(json, form, "endian");
  json.string(fields.little_endian ? "little" : "big");
  json.end_object();
  begin_field(json, form, "Core");
  if (const std::optional<Core> core = core_named(fields.core)) {
    json.string(core_name(*core));
  } else {
    json.null();
  }
  json.end_object();
  // A client that names the packaging for size reads it back; older clients see the fields
  // they always did.
  if (form_value(form, "Optimize") || form_value(form, "Label")) {
    begin_field(json, form, "Optimize");
    if (const std::optional<Optimize> optimize = optimize_for(fields.optimize_text)) {
      json.string(*optimize == Optimize::kSize ? "size" : "speed");
    } else {
      json.null();
    }
    json.end_object();
    begin_field(json, form, "Label");
    json.string(fields.label_text);
    json.end_object();
  }
  write_packaging(json, form, fields, checked);
  begin_field(json, form, "format");
  json.string("json");
  json.end_object();
  json.end_object();
}

// K = Const / DivideBy as the generator took it: the double, and in the exact modes the
// fraction in lowest terms, as text because its terms may exceed what a JSON reader holds
// exactly (2^53).
void write_constant(JsonWriter& json, const GeneratorRequest& request) {
  json.key("constant");
  json.begin_object();
  json.key("value");
  json.number(request.const_value);
  if (request.mode != ResultMode::kApprox) {
    json.key("fraction");
    json.string(std::to_string(request.numerator) + "/" + std::to_string(request.denominator));
  }
  json.end_object();
}

// The members of one numbered error: its code, its field when `with_field`, the message
// without its line break, and the detail when there is one.
void write_error_members(JsonWriter& json, int code, bool with_field, std::string_view detail) {
  std::string_view message = error_message(code);
  if (message.ends_with('\n')) message.remove_suffix(1);
  json.key("code");
  json.number(static_cast<long long>(code));
  if (with_field) {
    json.key("field");
    if (const char* field = error_field(code)) {
      json.string(field);
    } else {
      json.null();
    }
  }
  json.key("message");
  json.string(message);
  if (!detail.empty()) {
    json.key("detail");
    json.string(detail);
  }
}

void write_error(JsonWriter& json, int code, const AnswerDetails& details) {
  std::string_view detail;
  for (const Refusal& refusal : details.refusals) {
    if (refusal.code == code) detail = refusal.detail;
  }
  json.key("error");
  json.begin_object();
  write_error_members(json, code, false, detail);
  json.end_object();
  json.key("errors");
  json.begin_array();
  const std::vector<Refusal> alone{Refusal{code, {}}};
  for (const Refusal& refusal : details.refusals.empty() ? alone : details.refusals) {
    json.begin_object();
    write_error_members(json, refusal.code, true, refusal.detail);
    json.end_object();
  }
  json.end_array();
}

void write_optional(JsonWriter& json, const char* key, std::optional<long> value) {
  json.key(key);
  if (value) {
    json.number(static_cast<long long>(*value));
  } else {
    json.null();
  }
}

// `sizes`: the request named Optimize or Label, so its client reads the words and the cycles'
// range; older clients get the keys they always had.
void write_bytes(JsonWriter& json, const std::vector<std::string>& bytes) {
  json.key("bytes");
  json.begin_array();
  for (const std::string& byte : bytes) json.string(byte);
  json.end_array();
}

const char* digit_form_name(DigitForm form) {
  switch (form) {
    case DigitForm::kAscii:
      return "ascii";
    case DigitForm::kPacked:
      return "packed";
    case DigitForm::kUnpacked:
      break;
  }
  return "unpacked";
}

void write_routine(JsonWriter& json, std::string_view block, const std::string& acc_name,
                   const GeneratorRequest& request, bool sizes) {
  const std::optional<std::string> readable = checkable_block(block, request.packaging);
  const RoutineSummary summary =
      summarize_routine(readable ? *readable : block, acc_name, request.remainder);
  json.key("routine");
  json.string(block);
  json.key("output");
  if (summary.output_bytes.empty() || summary.digit_count > 0) {
    // Digits are told under their own key.
    json.null();
  } else {
    json.begin_object();
    write_bytes(json, summary.output_bytes);
    json.key("bits");
    json.number(static_cast<long long>(summary.output_bits));
    json.end_object();
  }
  // Only for the requests that ask for them: a remainder register, or digits.
  if (!request.remainder.empty()) {
    json.key("remainder");
    if (summary.remainder_bytes.empty()) {
      json.null();
    } else {
      json.begin_object();
      write_bytes(json, summary.remainder_bytes);
      json.key("bits");
      json.number(static_cast<long long>(summary.remainder_bits));
      json.end_object();
    }
  }
  if (request.digits) {
    json.key("digits");
    json.begin_object();
    write_bytes(json, summary.output_bytes);
    json.key("count");
    json.number(static_cast<long long>(summary.digit_count));
    json.key("base");
    json.number(static_cast<long long>(request.digit_base));
    json.key("form");
    json.string(digit_form_name(request.digit_form));
    json.end_object();
  }
  write_optional(json, "instructions", summary.instructions);
  write_optional(json, "cycles", summary.cycles);
  json.key("ram_bytes");
  json.number(static_cast<long long>(summary.ram_bytes));
  if (sizes) {
    write_optional(json, "words", summary.words);
    write_optional(json, "cycles_min", summary.cycles_min);
    write_optional(json, "cycles_max", summary.cycles_max);
  }
}

// A wide integer that a routine result is: at most 63 bits and a sign.
void wide_number(JsonWriter& json, WideInt value) {
  json.number(static_cast<long long>(value));
}

void write_review(JsonWriter& json, const ApproximationReview& review) {
  json.key("approximation");
  json.begin_object();
  json.key("error");
  json.number(review.error);
  json.key("allowed_error");
  json.number(review.allowed_error);
  json.key("within_allowed_error");
  json.boolean(!review.exceeds_allowed_error);
  json.key("floor");
  if (!review.floor) {
    json.null();
    json.end_object();
    return;
  }
  const FloorComparison& floor = *review.floor;
  json.begin_object();
  json.key("fraction");
  json.string(floor.fraction);
  json.key("inputs");
  json.number(static_cast<long long>(floor.inputs));
  json.key("every_input");
  json.boolean(floor.every_input);
  json.key("exact");
  json.boolean(!floor.difference);
  if (floor.difference) {
    json.key("difference");
    json.begin_object();
    json.key("input");
    json.number(static_cast<long long>(floor.difference->input));
    json.key("result");
    wide_number(json, floor.difference->result);
    json.key("floor");
    wide_number(json, floor.difference->floor);
    json.end_object();
    json.key("floor_instructions");
    if (floor.floor_instructions) {
      json.number(static_cast<long long>(*floor.floor_instructions));
    } else {
      json.null();
    }
  }
  json.end_object();
  json.end_object();
}

}  // namespace

std::string json_answer(const FormEntryList& form, const RequestFields& fields,
                        const ValidatedRequest& checked, int error_code, std::string_view block,
                        const AnswerDetails& details) {
  JsonWriter json;
  json.begin_object();
  write_request(json, form, fields, checked);
  if (error_code != 0) {
    write_error(json, error_code, details);
  } else {
    write_constant(json, checked.request);
    write_routine(json, block, fields.acc_name, checked.request,
                  form_value(form, "Optimize") || form_value(form, "Label"));
    if (details.review) write_review(json, *details.review);
  }
  json.end_object();
  return json.text() + "\n";
}

}  // namespace tarvek

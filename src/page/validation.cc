#include "page/validation.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "codegen/routine_packaging.h"
#include "exact/signed_form.h"
#include "page/exact_constant.h"
#include "page/exact_number.h"
#include "page/number_reading.h"
#include "page/packaging_request.h"
#include "page/register_placement.h"

namespace tarvek {
namespace {

// a + b without overflow, clamped to the range of long long.
long long saturating_add(long long a, long long b) {
  long long sum;
  if (__builtin_add_overflow(a, b, &sum)) {
    return a < 0 ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
  }
  return sum;
}

bool is_ascii_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string shared_byte_name(const std::string& acc_name, const std::string& temp_name,
                             int byte_indexes) {
  // Byte names are a name and an index, so two names can only meet when one name is the
  // other followed by some characters: then those characters and one index must spell the
  // other index.
  const bool acc_longer = acc_name.size() >= temp_name.size();
  const std::string& longer = acc_longer ? acc_name : temp_name;
  const std::string& shorter = acc_longer ? temp_name : acc_name;
  if (longer.compare(0, shorter.size(), shorter) != 0) return {};
  const std::string tail = longer.substr(shorter.size());
  for (int k = 0; k < byte_indexes; ++k) {
    const std::string spelled = tail + std::to_string(k);
    for (int j = 0; j < byte_indexes; ++j) {
      if (spelled == std::to_string(j)) return longer + std::to_string(k);
    }
  }
  return {};
}

bool register_names_collide(const std::string& acc_name, const std::string& temp_name) {
  return !shared_byte_name(acc_name, temp_name).empty();
}

std::string refusal_detail(int code, const RequestFields& fields) {
  // The wraps a PIC18 routine takes are one more than message 40 names; a whole program is
  // no module.
  const Core core = core_named(fields.core).value_or(Core::kMidrange);
  const bool pic18 = core == Core::kPic18;
  if (code == kWrapError && pic18) {
    return "Wrap must be inline, subroutine, macro or program (a whole PIC18 program).";
  }
  if (code == kInlineModuleError && pic18 && fields.wrap_text == "program") {
    return "A gpasm-reloc routine is a subroutine or a macro: a whole program (Wrap program) is "
           "an absolute MPASM source, so take Syntax mpasm for it.";
  }
  if (code == kNameError && is_routine_name(fields.name_text, core)) {
    const std::string byte =
        register_byte_named(fields.name_text, fields.acc_name, fields.temp_name);
    if (byte.empty()) return {};
    return "Name " + byte + " is also the name of a register byte of the routine.";
  }
  if (code != 4 || !is_valid_register_name(fields.temp_name)) return {};
  // Names that meet only at bytes a digits routine reaches are refused by the printed routine's
  // own check, with this message too: the detail names the byte either way.
  const std::string shared =
      shared_byte_name(fields.acc_name, fields.temp_name, kWidestRegisterBytes);
  if (shared.empty()) return {};
  return "Input register " + fields.acc_name + " and temporary register " + fields.temp_name +
         " both have a byte named " + shared + ".";
}

RequestFields read_request_fields(const FormEntryList& form) {
  RequestFields fields;
  if (const std::string* value = form_value(form, "Const")) {
    fields.const_value = approximate_constant(*value);
    fields.const_text = *value;
  }
  if (const std::string* value = form_value(form, "Acc")) fields.acc_name = *value;
  if (const std::string* value = form_value(form, "Bits")) {
    fields.input_bits = read_decimal_integer(*value);
  }
  if (const std::string* value = form_value(form, "ConstErr")) {
    fields.const_error = read_decimal_real(*value);
  }
  if (const std::string* value = form_value(form, "Temp")) fields.temp_name = *value;
  if (const std::string* value = form_value(form, "endian")) {
    fields.little_endian = !value->empty() && (*value)[0] == 'l';
  }
  if (const std::string* value = form_value(form, "Result")) fields.result_text = *value;
  if (const std::string* value = form_value(form, "DivideBy")) fields.divide_by_text = *value;
  if (const std::string* value = form_value(form, "Signed")) fields.signed_text = *value;
  if (const std::string* value = form_value(form, "Core")) fields.core = *value;
  if (const std::string* value = form_value(form, "Ram")) fields.ram_text = *value;
  if (const std::string* value = form_value(form, "Wrap")) fields.wrap_text = *value;
  if (const std::string* value = form_value(form, "Syntax")) fields.syntax_text = *value;
  if (const std::string* value = form_value(form, "Name")) fields.name_text = *value;
  if (const std::string* value = form_value(form, "Rem")) fields.rem_name = *value;
  if (const std::string* value = form_value(form, "DigitForm")) fields.digit_form_text = *value;
  if (const std::string* value = form_value(form, "Optimize")) fields.optimize_text = *value;
  if (const std::string* value = form_value(form, "Label")) fields.label_text = *value;
  return fields;
}

std::optional<DigitForm> digit_form(std::string_view text) {
  if (text.empty() || text == "unpacked") return DigitForm::kUnpacked;
  if (text == "ascii") return DigitForm::kAscii;
  if (text == "packed") return DigitForm::kPacked;
  return std::nullopt;
}

int digit_count(int bits, int base) {
  assert(bits >= 1 && bits <= 32 && base >= 2 && base <= 256);
  // base^count stays below 2^32 * 256 while it is compared: no overflow in 64 bits.
  const uint64_t largest = (uint64_t{1} << bits) - 1;
  int count = 1;
  for (uint64_t power = static_cast<uint64_t>(base); power <= largest; power *= base) ++count;
  return count;
}

std::optional<Optimize> optimize_for(std::string_view text) {
  if (text.empty() || text == "speed") return Optimize::kSpeed;
  if (text == "size") return Optimize::kSize;
  return std::nullopt;
}

bool is_label_prefix(std::string_view text) {
  if (text.empty()) return true;
  if (text.size() > kMaxLabelPrefix) return false;
  if (!is_ascii_letter(text[0]) && text[0] != '_') return false;
  for (const char c : text) {
    if (!is_ascii_letter(c) && !(c >= '0' && c <= '9') && c != '_') return false;
  }
  return true;
}

std::optional<bool> signed_input(std::string_view text) {
  if (text == "1" || text == "on") return true;
  if (text.empty() || text == "0" || text == "off") return false;
  return std::nullopt;
}

std::optional<ResultMode> result_mode(std::string_view text) {
  if (text.empty() || text == "approx") return ResultMode::kApprox;
  if (text == "floor") return ResultMode::kFloor;
  if (text == "nearest") return ResultMode::kNearest;
  if (text == "trunc") return ResultMode::kTrunc;
  return std::nullopt;
}

std::optional<Core> core_named(std::string_view text) {
  if (text.empty() || text == "midrange") return Core::kMidrange;
  if (text == "enhanced") return Core::kEnhanced;
  if (text == "baseline") return Core::kBaseline;
  if (text == "pic18") return Core::kPic18;
  return std::nullopt;
}

const char* core_name(Core core) {
  switch (core) {
    case Core::kEnhanced:
      return "enhanced";
    case Core::kBaseline:
      return "baseline";
    case Core::kPic18:
      return "pic18";
    case Core::kMidrange:
      break;
  }
  return "midrange";
}

long long const_integer_bits(double const_value) {
  assert(const_value > 0 && std::isfinite(const_value));
  int exponent = 0;
  // frexp gives const_value = mantissa * 2^exponent with mantissa in [0.5, 1); a mantissa of
  // exactly 0.5 is a power of two, whose bit count the quotient of logarithms can miss by one
  // (2^-11 would give -10).
  if (std::frexp(const_value, &exponent) == 0.5) return exponent - 1;
  return static_cast<long long>(std::ceil(std::log10(const_value) / std::log10(2.0)));
}

bool is_valid_register_name(const std::string& name) {
  // A longer name is refused rather than cut: a cut name would silently differ from the one
  // the user typed.
  return !name.empty() && name.size() <= kMaxRegisterName && is_ascii_letter(name[0]);
}

namespace {

// The constant's checks in the approximating mode (codes 2, 5, 7 and, for the divisor, 9).
// Sets the constant, its integer bits and the output bits when they pass.
int check_approximate_constant(const RequestFields& fields, ValidatedRequest& result,
                               long long& int_bits, long long& output_bits) {
  double constant = fields.const_value;
  if (!fields.divide_by_text.empty()) {
    const std::optional<double> divisor = approximate_divisor(fields.divide_by_text);
    if (!divisor) return 9;
    // A positive constant divided down to 0 (a huge divisor) gives every product below 1.
    if (constant > 0 && constant / *divisor == 0) return 7;
    constant /= *divisor;
  }
  result.request.const_value = constant;
  if (!(constant > 0)) {
    // 0, negative, or not a number (NaN compares false).
    return 2;
  }
  if (std::isinf(constant)) {
    // Too large for a double: more integer bits than any limit, and a product far from 0.
    return 5;
  }
  int code = 0;
  int_bits = const_integer_bits(constant);
  output_bits = saturating_add(fields.input_bits, int_bits);
  if (int_bits >= 32) code = 5;
  if (output_bits <= 0) code = 7;
  return code;
}

// The exact modes' constant checks (codes 2, 5, 7, 9, 10). When they pass, the exact fraction,
// its double, and the width of the largest result are set.
int check_exact_constant(const RequestFields& fields, ResultMode mode, bool is_signed,
                         ValidatedRequest& result, long long& int_bits, long long& output_bits) {
  const ExactConstant constant =
      read_exact_constant(fields.const_text, fields.divide_by_text, fields.input_bits);
  if (constant.error_code != 0) return constant.error_code;
  const Fraction& k = constant.value;
  result.request.const_value = nearest_double(k);
  result.request.numerator = *k.numerator.to_u64();
  result.request.denominator = *k.denominator.to_u64();
  int_bits = const_integer_bits(result.request.const_value);
  if (fields.input_bits < 1 || fields.input_bits > 32) return 0;
  const ExactSpec spec = make_spec(k, mode, static_cast<int>(fields.input_bits), is_signed);
  // Every result 0 (floor(x * K) with x * K below 1 for the largest input): no routine is
  // wanted for that.
  if (spec.result_bits == 0) return 7;
  output_bits = spec.result_bits;
  return 0;
}

// The remainder's checks (19, 17, 18), for a request that names a remainder register outside
// the digits mode. `constant_code` is the exact constant's own code: the integer check needs
// the constant read.
int check_remainder(const RequestFields& fields, std::optional<ResultMode> mode, int constant_code,
                    const ValidatedRequest& result) {
  int code = 0;
  // The remainder's bytes must be apart from both other registers', as the temporary
  // register's are from the accumulator's.
  if (!is_valid_register_name(fields.rem_name) ||
      register_names_collide(fields.acc_name, fields.rem_name) ||
      register_names_collide(fields.temp_name, fields.rem_name)) {
    code = kRemainderNameError;
  }
  if (!mode) return code;
  if (*mode == ResultMode::kApprox || *mode == ResultMode::kNearest) return kRemainderModeError;
  // d = 1 leaves no remainder to tell: a x - q is always 0.
  if (constant_code == 0 && result.request.denominator == 1) code = kRemainderIntegerError;
  return code;
}

// The digits mode's checks of the constant (23), the base in DivideBy (21) and the form (25,
// and 22 for a form the base does not allow). Sets the base and the form when they pass.
int check_digits(const RequestFields& fields, ValidatedRequest& result) {
  int code = 0;
  if (!fields.const_text.empty()) {
    const ExactReading constant = read_exact_number(fields.const_text);
    if (constant.kind != ExactReading::Kind::kNumber || constant.value.numerator != 1 ||
        constant.value.denominator != 1) {
      code = kDigitsConstantError;
    }
  }
  int base = 10;
  if (!fields.divide_by_text.empty()) {
    const ExactReading reading = read_exact_number(fields.divide_by_text);
    const Fraction& value = reading.value;
    const bool integer = reading.kind == ExactReading::Kind::kNumber && value.denominator == 1 &&
                         value.numerator >= 2 && value.numerator <= 256;
    if (!integer) return kDigitBaseError;
    base = static_cast<int>(*value.numerator.to_u64());
  }
  const std::optional<DigitForm> form = digit_form(fields.digit_form_text);
  if (!form) return kDigitFormError;
  if ((*form == DigitForm::kAscii && base > 10) || (*form == DigitForm::kPacked && base != 10)) {
    return kDigitFormBaseError;
  }
  result.request.digit_base = base;
  result.request.digit_form = *form;
  return code;
}

}  // namespace

ValidatedRequest validate_request(const RequestFields& fields) {
  ValidatedRequest result;
  int code = 0;
  const auto fail = [&](int failed) {
    code = failed;
    result.error_codes.push_back(failed);
  };
  const bool digits = fields.result_text == kDigitsResult;
  // The digits are floors, floor(x / base^k) mod base, of the constant 1.
  const std::optional<ResultMode> mode =
      digits ? std::optional(ResultMode::kFloor) : result_mode(fields.result_text);
  const bool exact = mode && *mode != ResultMode::kApprox;
  const std::optional<bool> is_signed = signed_input(fields.signed_text);
  const bool signed_exact = exact && is_signed.value_or(false);
  // A temporary register that shares a byte with the accumulator (the same name, or ACC and
  // ACC1, whose bytes ACC1 and ACC10 meet) would make the routine overwrite its own input.
  if (!is_valid_register_name(fields.temp_name) ||
      register_names_collide(fields.acc_name, fields.temp_name)) {
    fail(4);
  }
  // The exact modes have no allowed error: they are exact.
  if (!exact && (fields.const_error < 0 || fields.const_error > 50)) fail(6);

  long long int_bits = 0;
  long long output_bits = 0;
  int constant_code = 0;
  if (digits) {
    constant_code = check_digits(fields, result);
    result.request.numerator = 1;
    result.request.denominator = 1;
    result.request.const_value = 1;
    if (fields.input_bits >= 1 && fields.input_bits <= 32) {
      output_bits = digit_count(static_cast<int>(fields.input_bits), result.request.digit_base);
    }
  } else if (exact) {
    constant_code =
        check_exact_constant(fields, *mode, signed_exact, result, int_bits, output_bits);
  } else {
    constant_code = check_approximate_constant(fields, result, int_bits, output_bits);
  }
  if (constant_code != 0) fail(constant_code);
  if (fields.input_bits < 1 || fields.input_bits > 32) fail(1);
  if (!is_valid_register_name(fields.acc_name)) fail(3);
  std::optional<int> ram_address;
  if (fields.ram_text && !fields.ram_text->empty()) {
    ram_address = read_ram_address(*fields.ram_text);
    if (!ram_address) fail(kRamAddressError);
  }
  // Signed inputs are an exact mode's: the approximation's computation is unsigned.
  if (mode && !exact && is_signed.value_or(false)) fail(12);
  if (!is_signed) fail(15);
  if (!digits && !fields.rem_name.empty()) {
    if (const int rem_code = check_remainder(fields, mode, constant_code, result); rem_code != 0) {
      fail(rem_code);
    }
  }
  // The digits are those of an unsigned input, and no remainder is left beside them.
  if (digits && is_signed.value_or(false)) fail(kDigitsSignedError);
  if (digits && !fields.rem_name.empty()) fail(kDigitsRemainderError);
  if (!mode) fail(8);
  if (!is_label_prefix(fields.label_text)) fail(32);
  // Loops are for the exact modes: the approximation documents a chain of truncating terms,
  // which a loop over the constant's bits would not compute term by term.
  const std::optional<Optimize> optimize = optimize_for(fields.optimize_text);
  if (!optimize) fail(30);
  if (optimize == Optimize::kSize && mode == ResultMode::kApprox) fail(31);
  // Read here for the packaging, which depends on it; its own check comes last.
  const std::optional<Core> core = core_named(fields.core);
  const std::optional<Syntax> syntax = syntax_named(fields.syntax_text);
  if (!syntax) fail(kSyntaxError);
  const std::optional<Wrap> wrap =
      wrap_named(fields.wrap_text, syntax.value_or(Syntax::kMpasm), core.value_or(Core::kMidrange));
  if (!wrap) {
    fail(kWrapError);
  } else if ((*wrap == Wrap::kInline || *wrap == Wrap::kProgram) && syntax == Syntax::kGpasmReloc) {
    // A whole program is an absolute MPASM source, and no module stands inline.
    fail(kInlineModuleError);
  }
  if (!fields.name_text.empty() &&
      (!is_routine_name(fields.name_text, core.value_or(Core::kMidrange)) ||
       !register_byte_named(fields.name_text, fields.acc_name, fields.temp_name).empty())) {
    fail(kNameError);
  }
  if (syntax == Syntax::kPicAs && ram_address && *ram_address >= kPicAsRamEnd) {
    fail(kPicAsRamError);
  }
  // The rest of the registers is known only once the routine is written
  // (routine_generation.h); an address past the access bank leaves room for none of them.
  if (core == Core::kPic18 && ram_address && *ram_address >= kAccessRamEnd) {
    fail(kAccessBankError);
  }
  // pic-as writes PIC18 instructions with an access operand and reserves access RAM in psects
  // of its own, none of which the mid-range texts have; and pic-as does not run here to hold
  // such a text to what it reads. A PIC18 routine is refused for pic-as rather than printed
  // unchecked; MPASM and gputils texts are assembled by gpasm in the tests.
  if (core == Core::kPic18 && syntax == Syntax::kPicAs) fail(kPicAsCoreError);
  // Last, so that it wins over every other message: the form offers only these values, so a
  // different one comes from a hand-made request, and a routine for a core the user did not
  // ask for would be wrong whatever else is right. Empty (as absent) keeps the mid-range core.
  if (!core) fail(13);

  result.error_code = code;
  if (code == 0) {
    result.input_bits = static_cast<int>(fields.input_bits);
    result.const_int_bits = static_cast<int>(int_bits);
    result.request.const_error = exact ? 0 : fields.const_error;
    result.request.output_bits = static_cast<int>(output_bits);
    result.request.mode = *mode;
    result.request.is_signed = signed_exact;
    result.request.core = *core;
    result.request.digits = digits;
    if (!digits) result.request.remainder = fields.rem_name;
    Packaging& packaging = result.request.packaging;
    packaging.wrap = *wrap;
    packaging.syntax = *syntax;
    if (fields.ram_text || !packaging.is_default()) {
      // A whole program has no cblock before its own to continue: it starts access RAM.
      result.request.ram_address = ram_address.value_or(packaging.wrap == Wrap::kProgram ? 0 : -1);
      // The other syntaxes declare their registers without a cblock section and say where
      // they go themselves (routine_packaging.h).
      if (packaging.syntax == Syntax::kMpasm) {
        result.request.notes = ram_notes(result.request.ram_address, *core);
      }
      result.request.counts_ram = true;
    }
    if (!packaging.is_default()) {
      packaging.name = fields.name_text.empty()
                           ? default_routine_name(fields.acc_name, result.request)
                           : fields.name_text;
    }
    result.request.optimize = *optimize;
    result.request.label_prefix = fields.label_text;
    assert(result.input_bits >= 1 && result.input_bits <= 32);
    assert(result.const_int_bits >= -31 && result.const_int_bits <= 31);
    assert(result.request.output_bits >= 1 && result.request.output_bits <= 63);
  }
  return result;
}

}  // namespace tarvek

// Differential fuzz target of the code generator: the input is turned into a valid request,
// the routine is generated as the program generates it, and it is run on our simulator for a
// few inputs and compared with what its comment block promises (sim/routine_check.h). A
// mismatch is a finding.
//
// Every input gives a request; its first byte chooses the kind:
// - an approximating one (constant, input width, allowed error, register names, byte order,
//   core), the constant a whole number, a ratio of two small numbers or raw mantissa and
//   exponent. What the validation still refuses (a product of no bits, names whose bytes
//   meet) is skipped, as the page would show an error instead of a routine;
// - an exact one (Result floor, nearest or trunc, the input unsigned or signed, any core,
//   written for speed or for size),
//   the constant a decimal text or a fraction of two integers below 2^32, sometimes with a
//   divisor (DivideBy) of either kind. Its fraction is known here from the numbers the texts
//   were made from, so the routine is held to floor(x * p/q), floor(x * p/q + 1/2) or x * p/q
//   rounded toward zero as exact_reference.h computes them, a signed result sign-extended
//   through every output byte, on inputs that include the ends of the range, the first steps
//   away from 0 and the ties of a nearest result. A refusal must be the one the fraction calls
//   for: 5 above 2^31, 7 when K is at most 2^-bits or every result is 0, 10 when p or q in
//   lowest terms reach 2^64, 4 for names whose bytes meet; 11 (no routine proven) is allowed,
//   and noted in the log when the fraction's parts are below 2^32.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codegen/generator.h"
#include "codegen/register.h"
#include "exact/big_int.h"
#include "exact_reference.h"
#include "form/form_entry_list.h"
#include "fuzz_support.h"
#include "page/printed_check.h"
#include "page/routine_generation.h"
#include "page/validation.h"
#include "sim/routine_check.h"

namespace tarvek::fuzz {
namespace {

// A register name the simulator's parser reads: a letter, then letters, digits and
// underscores, 1 to kMaxRegisterName characters in all.
std::string register_name(ByteReader& data) {
  static constexpr std::string_view kFirst = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static constexpr std::string_view kLater =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
  std::string name(1, kFirst[data.in_range(0, kFirst.size() - 1)]);
  const auto length = static_cast<std::size_t>(data.in_range(1, kMaxRegisterName));
  while (name.size() < length) name.push_back(kLater[data.in_range(0, kLater.size() - 1)]);
  return name;
}

// Makes the two names look alike the way a zero byte keeps them and 1 to 5 change them: one
// name the other followed by digits (A and A0, f9 and f99099: their bytes A0 and A00 differ
// only in where the name ends), either way round; both names the same start with different
// digits after it; names that read as hexadecimal numbers (f9, Bad0); one letter each (w, f).
// Drawn last, so that an input made before this existed keeps its names.
void look_alike_names(ByteReader& data, std::string& acc, std::string& temp) {
  static constexpr std::string_view kHex = "abcdefABCDEF0123456789";
  static constexpr std::string_view kLetters = "wfWFabcdzZ";
  const auto digits = [&] {
    std::string text;
    const auto count = data.in_range(1, 5);
    for (int64_t i = 0; i < count; ++i) text += static_cast<char>('0' + data.in_range(0, 9));
    return text;
  };
  switch (data.in_range(0, 5)) {
    case 1:
      temp = acc.substr(0, static_cast<std::size_t>(data.in_range(1, 2)));
      acc = temp + digits();
      break;
    case 2:
      acc = temp.substr(0, static_cast<std::size_t>(data.in_range(1, 2)));
      temp = acc + digits();
      break;
    case 3: {
      const std::string base = acc.substr(0, 1);
      acc = base + digits();
      temp = base + digits();
      break;
    }
    case 4:
      for (std::string* name : {&acc, &temp}) {
        *name = std::string(1, kHex[data.in_range(0, 11)]);
        const auto length = data.in_range(0, 5);
        for (int64_t i = 0; i < length; ++i) *name += kHex[data.in_range(0, kHex.size() - 1)];
      }
      break;
    case 5:
      acc = std::string(1, kLetters[data.in_range(0, kLetters.size() - 1)]);
      temp = std::string(1, kLetters[data.in_range(0, kLetters.size() - 1)]);
      break;
    default:
      break;
  }
}

// The Core a byte chooses: bit 0 the enhanced core, as it always has, else bit 1 the baseline
// core, which came later (every seed made before it has bit 1 clear there), else bit 2 the
// PIC18 core, last of all (a seed made before it with bit 2 set now runs on PIC18: the same
// request on another core), else the mid-range core, sent as `midrange`.
std::string core_text(uint64_t byte, const char* midrange) {
  if ((byte & 1) != 0) return "enhanced";
  if ((byte & 2) != 0) return "baseline";
  return (byte & 4) != 0 ? "pic18" : midrange;
}

// The constant of an approximating request, made the way `way` (0 to 2) says.
double constant(int64_t way, ByteReader& data) {
  switch (way) {
    case 0:
      return static_cast<double>(data.in_range(1, int64_t{1} << 31));
    case 1:
      return static_cast<double>(data.in_range(1, 100000)) /
             static_cast<double>(data.in_range(1, 100000));
    default: {
      // 53 significant bits, scaled to lie between 2^-40 and 2^31.
      const uint64_t mantissa = (data.take(7) & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
      return std::ldexp(static_cast<double>(mantissa),
                        static_cast<int>(data.in_range(-40, 30)) - 52);
    }
  }
}

double allowed_error(ByteReader& data) {
  static constexpr double kCommon[] = {0, 0.001, 0.1, 1, 5, 50};
  if (data.flag()) return kCommon[data.in_range(0, std::size(kCommon) - 1)];
  return static_cast<double>(data.in_range(0, 50000)) / 1000;
}

std::string described(const RequestFields& fields) {
  std::ostringstream text;
  text.precision(17);
  text << "Const=" << fields.const_value << " Bits=" << fields.input_bits
       << " ConstErr=" << fields.const_error << " Acc=" << fields.acc_name
       << " Temp=" << fields.temp_name << " endian=" << (fields.little_endian ? "little" : "big")
       << " Core=" << fields.core;
  return text.str();
}

void run_approximate(int64_t way, ByteReader& data) {
  RequestFields fields;
  fields.const_value = constant(way, data);
  fields.input_bits = data.in_range(1, 32);
  fields.const_error = allowed_error(data);
  fields.acc_name = register_name(data);
  fields.temp_name = register_name(data);
  fields.little_endian = data.flag();
  // The inputs and the seed of the run, then the core: read last, so that an input made before
  // the core was chosen still stands for the same mid-range request.
  const uint64_t top = (uint64_t{1} << fields.input_bits) - 1;
  std::vector<uint64_t> inputs = {0, 1, top};
  for (int i = 0; i < 3; ++i) inputs.push_back(data.take(4) & top);
  const uint64_t seed = data.take(8);
  fields.core = core_text(data.take(1), "midrange");
  look_alike_names(data, fields.acc_name, fields.temp_name);
  // TARVEK_FUZZ_SHOW=1 prints each request, to see what a seed or a saved input stands for.
  static const bool show = std::getenv("TARVEK_FUZZ_SHOW") != nullptr;
  if (show) std::fprintf(stderr, "%s\n", described(fields).c_str());
  const ValidatedRequest checked = validate_request(fields);
  if (checked.error_code != 0) {
    // The only refusals a request made as above can meet: a product of no bits (a constant
    // below 1 with a narrow input) and names whose bytes meet.
    check(checked.error_code == 7 || checked.error_code == 4, "a request made valid was refused",
          [&] { return described(fields) + "\ncode " + std::to_string(checked.error_code); });
    return;
  }

  Register acc(fields.acc_name, checked.input_bits, fields.little_endian);
  Register temp(fields.temp_name, 0, fields.little_endian);
  std::ostringstream block;
  generate_code(block, checked.request, acc, temp);
  const std::string text = block.str();

  const RoutineUnderCheck routine{text,
                                  fields.acc_name,
                                  fields.temp_name,
                                  fields.little_endian,
                                  checked.input_bits,
                                  checked.request.output_bits,
                                  pic_core_of(checked.request.core)};
  const CheckReport report = check_routine(routine, inputs, seed);
  check(report.passed, "a generated routine does not compute what its comment promises",
        [&] { return described(fields) + "\n" + report.failure + "\n" + text; });
}

// A number as an exact request states it: its text and the fraction it stands for, not
// necessarily in lowest terms.
struct ExactNumber {
  std::string text;
  UInt128 numerator = 1;
  UInt128 denominator = 1;
};

UInt128 power_of_ten(int exponent) {
  UInt128 value = 1;
  for (int i = 0; i < exponent; ++i) value *= 10;
  return value;
}

std::string decimal(UInt128 value) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  } while (value != 0);
  return digits;
}

// A positive integer of 1 to `max_bits` bits, the width drawn first so that small ones come
// up as often as large ones.
uint64_t positive_integer(ByteReader& data, int max_bits) {
  const auto bits = static_cast<int>(data.in_range(1, max_bits));
  const uint64_t value = data.take(4) & ((uint64_t{1} << bits) - 1);
  return value == 0 ? 1 : value;
}

// A decimal text of up to `max_digits` digits (the value m * 10^scale, scale from
// `min_scale` to `max_scale`), written with a point, an exponent or both: "0.0488",
// "3.3e-2", "12E+3", "5000".
ExactNumber decimal_number(ByteReader& data, int max_digits, int min_scale, int max_scale) {
  const auto digits = static_cast<int>(data.in_range(1, max_digits));
  UInt128 mantissa = static_cast<UInt128>(data.take(8)) % power_of_ten(digits);
  if (mantissa == 0) mantissa = 1;
  const auto scale = static_cast<int>(data.in_range(min_scale, max_scale));
  // Digits after the point; the exponent makes up the rest of the scale.
  const auto point = static_cast<int>(data.in_range(0, scale < 0 ? -scale : 0));
  const int exponent = scale + point;
  std::string text = decimal(mantissa);
  if (point > 0) {
    const auto after = static_cast<std::size_t>(point);
    if (text.size() <= after) text = std::string(after + 1 - text.size(), '0') + text;
    text = text.substr(0, text.size() - after) + "." + text.substr(text.size() - after);
  }
  if (exponent != 0 || data.flag()) {
    text += data.flag() ? "e" : "E";
    if (exponent >= 0 && data.flag()) text += "+";
    text += std::to_string(exponent);
  }
  ExactNumber number{text, mantissa, 1};
  if (scale >= 0) {
    number.numerator *= power_of_ten(scale);
  } else {
    number.denominator = power_of_ten(-scale);
  }
  return number;
}

// "p/q" with p and q below 2^32.
ExactNumber fraction_number(ByteReader& data) {
  const uint64_t p = positive_integer(data, 32);
  const uint64_t q = positive_integer(data, 32);
  return ExactNumber{std::to_string(p) + "/" + std::to_string(q), p, q};
}

UInt128 gcd(UInt128 a, UInt128 b) {
  while (b != 0) {
    const UInt128 r = a % b;
    a = b;
    b = r;
  }
  return a;
}

// An exact request, as the form sends it and as the reference reads it.
struct ExactCase {
  std::string const_text;
  std::string divide_by_text;
  std::string acc_name;
  std::string temp_name;
  bool little_endian = false;
  // Three inputs to run besides those the reference picks (any bits, masked to the width),
  // and the seed of the arbitrary starting values.
  uint64_t inputs[3] = {};
  uint64_t seed = 0;
  // The Core sent; empty for none (the mid-range core).
  std::string core;
  // Optimize=size: the fewest words, loops among them.
  bool size = false;
  // The remainder register; empty for none. Drawn only where a remainder is asked for
  // rightly (floor or trunc, a divisor above 1, a name apart from the others).
  std::string rem_name;
  // A digits request in place of the quotient: 0 for none, else the base (2 to 256), the form
  // ("unpacked", "ascii", "packed") beside it. Drawn last of all.
  int digit_base = 0;
  std::string digit_form;
  // K = p/q in lowest terms, the kind of result, the input's signedness and width. The texts'
  // sizes keep every product below 2^128: a constant's decimal has a numerator below
  // 2^64 * 10^6 and a denominator of at most 10^24, a divisor's decimal both below 10^9, a
  // fraction's parts below 2^32.
  ExactAsk ask;
};

std::string_view result_text(Rounding rounding) {
  switch (rounding) {
    case Rounding::kNearest:
      return "nearest";
    case Rounding::kTrunc:
      return "trunc";
    case Rounding::kFloor:
      break;
  }
  return "floor";
}

std::string described(const ExactCase& c) {
  std::string text = "Const=" + c.const_text;
  if (!c.divide_by_text.empty()) text += " DivideBy=" + c.divide_by_text;
  text += " Result=" + std::string(result_text(c.ask.rounding)) +
          (c.ask.is_signed ? " Signed=1" : "") + " Bits=" + std::to_string(c.ask.bits) +
          " Acc=" + c.acc_name + " Temp=" + c.temp_name +
          " endian=" + (c.little_endian ? "little" : "big") +
          (c.core.empty() ? "" : " Core=" + c.core) + (c.size ? " Optimize=size" : "") +
          (c.rem_name.empty() ? "" : " Rem=" + c.rem_name) + " (K = " + decimal(c.ask.p) + "/" +
          decimal(c.ask.q) + ")";
  return text;
}

// way 0: a decimal constant; 1: a fraction; 2: either, divided by a decimal or a fraction.
ExactCase exact_case(int64_t way, ByteReader& data) {
  ExactCase c;
  const auto constant = [&] {
    return way == 1 || (way == 2 && data.flag()) ? fraction_number(data)
                                                 : decimal_number(data, 20, -24, 6);
  };
  const ExactNumber k = constant();
  c.const_text = k.text;
  UInt128 p = k.numerator;
  UInt128 q = k.denominator;
  if (way == 2) {
    const ExactNumber divisor =
        data.flag() ? fraction_number(data) : decimal_number(data, 6, -6, 3);
    c.divide_by_text = divisor.text;
    p *= divisor.denominator;
    q *= divisor.numerator;
  }
  const UInt128 common = gcd(p, q);
  c.ask.p = p / common;
  c.ask.q = q / common;
  c.ask.rounding = data.flag() ? Rounding::kNearest : Rounding::kFloor;
  c.ask.bits = static_cast<int>(data.in_range(1, 32));
  c.acc_name = register_name(data);
  c.temp_name = register_name(data);
  c.little_endian = data.flag();
  for (uint64_t& x : c.inputs) x = data.take(4);
  c.seed = data.take(8);
  // Each choice added later is drawn after all that came before it, and its zero byte keeps
  // the earlier meaning, so an input made before the choice existed (the end of an input
  // reads as zeros) still stands for the same request: first the core, then the signed
  // input, then trunc in place of the rounding drawn above, then names that look alike, then
  // a routine written for size.
  c.core = core_text(data.take(1), "");
  c.ask.is_signed = data.flag();
  if (data.flag()) c.ask.rounding = Rounding::kTrunc;
  look_alike_names(data, c.acc_name, c.temp_name);
  c.size = data.flag();
  if (data.flag() && c.ask.rounding != Rounding::kNearest && c.ask.q != 1) {
    std::string rem = register_name(data);
    for (int tries = 0; tries < 4 && (register_names_collide(rem, c.acc_name) ||
                                      register_names_collide(rem, c.temp_name));
         ++tries) {
      rem.insert(rem.begin(), 'R');
      if (rem.size() > kMaxRegisterName) rem.resize(kMaxRegisterName);
    }
    if (!register_names_collide(rem, c.acc_name) && !register_names_collide(rem, c.temp_name)) {
      c.rem_name = rem;
    }
  }
  if (data.flag()) {
    // Base 10 often, where every form is allowed; otherwise any base, every form drawn, so
    // that the forms a base does not allow are refused as they must be.
    c.digit_base = data.flag() ? 10 : static_cast<int>(data.in_range(2, 256));
    static constexpr const char* kForms[] = {"unpacked", "ascii", "packed"};
    c.digit_form = kForms[data.in_range(0, 2)];
  }
  return c;
}

// A fraction of 32-bit integers that the search could not prove a routine for. Its candidates
// do not yet reach every such constant (some of 2^30 and above, some rounded to nearest with
// large numerators), so this is a note for the log rather than a finding: printed with the
// running count at the 1st, 2nd, 4th, 8th... time, which scripts/fuzz shows.
void note_unproven(const ExactCase& c) {
  static long count = 0;
  ++count;
  if ((count & (count - 1)) == 0) {
    std::fprintf(stderr,
                 "fuzz note: %ld requests of 32-bit fractions left unproven (11), e.g. %s\n", count,
                 described(c).c_str());
  }
}

// Fields as a browser sends them, in order: name and value.
using SentFields = std::vector<std::pair<std::string, std::string>>;

// The case's registers, byte order and core, as the form sends them.
void add_registers(const ExactCase& c, SentFields& sent) {
  sent.emplace_back("Acc", c.acc_name);
  sent.emplace_back("Temp", c.temp_name);
  if (c.little_endian) sent.emplace_back("endian", "little");
  if (!c.core.empty()) sent.emplace_back("Core", c.core);
}

// `sent` read by the program's own code.
RequestFields read_sent(const SentFields& sent) {
  FormEntryList form;
  form_list_init(form);
  const FormEntry* last = nullptr;
  for (const auto& [name, value] : sent) last = form_list_insert(form, last, name, value);
  const RequestFields fields = read_request_fields(form);
  form_list_free(form);
  return fields;
}

// A digits request made of the exact case's width, names, byte order, core and inputs: the
// digits of x in base c.digit_base, held to the base, form and count this target works out.
void run_digits(const ExactCase& c) {
  const int bits = c.ask.bits;
  const std::string what =
      "Result=digits DivideBy=" + std::to_string(c.digit_base) + " DigitForm=" + c.digit_form +
      " Bits=" + std::to_string(bits) + " Acc=" + c.acc_name + " Temp=" + c.temp_name +
      (c.little_endian ? " endian=little" : "") + (c.core.empty() ? "" : " Core=" + c.core);
  SentFields sent = {{"Result", "digits"},
                     {"DivideBy", std::to_string(c.digit_base)},
                     {"DigitForm", c.digit_form},
                     {"Bits", std::to_string(bits)}};
  add_registers(c, sent);
  const ValidatedRequest checked = validate_request(read_sent(sent));
  int refusal = 0;
  if ((c.digit_form == "ascii" && c.digit_base > 10) ||
      (c.digit_form == "packed" && c.digit_base != 10)) {
    refusal = 22;
  }
  if (refusal == 0 && register_names_collide(c.acc_name, c.temp_name)) refusal = 4;
  check(checked.error_code == refusal, "a digits request was not answered as its base calls for",
        [&] {
          return what + "\ncode " + std::to_string(checked.error_code) + ", expected " +
                 std::to_string(refusal);
        });
  if (refusal != 0) return;

  Register acc(c.acc_name, bits, c.little_endian);
  Register temp(c.temp_name, 0, c.little_endian);
  std::ostringstream block;
  const int refused = generate_routine(block, checked.request, acc, temp);
  const std::string text = block.str();
  // Names whose bytes meet only at the byte indexes a long digits routine reaches pass the
  // checks; the printed routine's check refuses them.
  if (refused == 4 && !shared_byte_name(c.acc_name, c.temp_name, kWidestRegisterBytes).empty()) {
    return;
  }
  check(refused == 0, "a digits request was refused after its checks",
        [&] { return what + "\ncode " + std::to_string(refused) + "\n" + text; });
  // As many digits as 2^bits - 1 has in the base.
  int count = 0;
  for (UInt128 top = (UInt128{1} << bits) - 1; top > 0; top /= static_cast<unsigned>(c.digit_base))
    ++count;
  const RoutineUnderCheck routine{text,
                                  c.acc_name,
                                  c.temp_name,
                                  c.little_endian,
                                  bits,
                                  count,
                                  pic_core_of(checked.request.core)};
  const PrepareOutcome prepared = prepare_routine(routine);
  check(prepared.routine.has_value(), "a digits routine could not be read or run",
        [&] { return what + "\n" + prepared.error + "\n" + text; });
  const std::optional<DigitPromise>& promise = prepared.routine->promise.digits;
  const DigitStorage storage = c.digit_form == "ascii"    ? DigitStorage::kAscii
                               : c.digit_form == "packed" ? DigitStorage::kPacked
                                                          : DigitStorage::kUnpacked;
  check(promise && promise->base == c.digit_base && promise->storage == storage &&
            prepared.routine->promise.digit_count == count,
        "a digits routine's title does not state the requested digits",
        [&] { return what + "\n" + text; });
  // The check reads each output byte against the digits of x in the title's base and form,
  // which the line above holds to this target's own.
  ExactAsk unsigned_ask;
  unsigned_ask.bits = bits;
  const CheckReport report =
      check_prepared(*prepared.routine, inputs_to_run(unsigned_ask, c.inputs), c.seed);
  check(report.passed, "a digits routine does not compute what its title promises",
        [&] { return what + "\n" + report.failure + "\n" + text; });
}

void run_exact(int64_t way, ByteReader& data) {
  const ExactCase c = exact_case(way, data);
  if (c.digit_base != 0) {
    run_digits(c);
    return;
  }
  const ExactAsk& ask = c.ask;
  static const bool show = std::getenv("TARVEK_FUZZ_SHOW") != nullptr;
  if (show) std::fprintf(stderr, "%s\n", described(c).c_str());

  // The form as a browser would send it, read and checked by the program's own code.
  SentFields sent = {{"Const", c.const_text}};
  if (!c.divide_by_text.empty()) sent.emplace_back("DivideBy", c.divide_by_text);
  sent.emplace_back("Result", std::string(result_text(ask.rounding)));
  if (ask.is_signed) sent.emplace_back("Signed", "1");
  sent.emplace_back("Bits", std::to_string(ask.bits));
  add_registers(c, sent);
  if (c.size) sent.emplace_back("Optimize", "size");
  if (!c.rem_name.empty()) sent.emplace_back("Rem", c.rem_name);
  const ValidatedRequest checked = validate_request(read_sent(sent));
  // The constant's refusal first, then names whose bytes meet (4), as the page checks them.
  int refusal = constant_refusal(ask);
  if (refusal == 0 && register_names_collide(c.acc_name, c.temp_name)) refusal = 4;
  check(checked.error_code == refusal,
        "an exact request was not answered as its fraction calls for", [&] {
          return described(c) + "\ncode " + std::to_string(checked.error_code) + ", expected " +
                 std::to_string(refusal);
        });
  if (refusal != 0) return;

  Register acc(c.acc_name, ask.bits, c.little_endian);
  Register temp(c.temp_name, 0, c.little_endian);
  std::ostringstream block;
  const int unproven = generate_routine(block, checked.request, acc, temp);
  const std::string text = block.str();
  if (unproven != 0) {
    check(unproven == 11 && text.empty(), "an exact request was refused after its checks",
          [&] { return described(c) + "\ncode " + std::to_string(unproven) + "\n" + text; });
    if (bit_length(ask.p) <= 32 && bit_length(ask.q) <= 32) note_unproven(c);
    return;
  }

  const RoutineUnderCheck routine{text,
                                  c.acc_name,
                                  c.temp_name,
                                  c.little_endian,
                                  ask.bits,
                                  result_width(ask),
                                  pic_core_of(checked.request.core),
                                  c.rem_name};
  const PrepareOutcome prepared = prepare_routine(routine);
  check(prepared.routine.has_value(), "an exact routine could not be read or run",
        [&] { return described(c) + "\n" + prepared.error + "\n" + text; });
  const std::optional<ExactPromise>& promise = prepared.routine->promise.exact;
  check(promise && promise->numerator == ask.p && promise->denominator == ask.q &&
            promise->nearest == (ask.rounding == Rounding::kNearest) &&
            promise->trunc == (ask.rounding == Rounding::kTrunc) &&
            promise->is_signed == ask.is_signed,
        "an exact routine's title does not state the requested result",
        [&] { return described(c) + "\n" + text; });
  // With the fraction held to this target's own, the check below holds the remainder's bytes
  // to p x - q (result) for every input it runs.
  check(prepared.routine->promise.remainder.has_value() == !c.rem_name.empty(),
        "an exact routine's Remainder line does not answer the request",
        [&] { return described(c) + "\n" + text; });

  // Each result is compared here as well, with the fraction this target made: the output
  // bytes must hold it, a signed one sign-extended through every byte.
  const CheckReport report = check_prepared(
      *prepared.routine, inputs_to_run(ask, c.inputs), c.seed, [&](uint64_t x, uint64_t result) {
        const Int128 value = exact_value(ask, input_value(ask, x));
        check(result == output_image(ask, value), "an exact routine's result differs from x * p/q",
              [&] {
                return described(c) + "\ninput " + std::to_string(x) + ", result " +
                       std::to_string(result) + "\n" + text;
              });
      });
  check(report.passed, "an exact routine does not compute what its title promises",
        [&] { return described(c) + "\n" + report.failure + "\n" + text; });
}

void run(ByteReader& data) {
  // 0 to 2 the approximating mode's constants, 3 to 5 the exact modes'.
  const int64_t way = data.in_range(0, 5);
  if (way < 3) {
    run_approximate(way, data);
  } else {
    run_exact(way - 3, data);
  }
}

}  // namespace
}  // namespace tarvek::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  tarvek::fuzz::ByteReader data(bytes, size);
  tarvek::fuzz::run(data);
  return 0;
}

#include "sim/routine_check.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <span>

#include "sim/lane_machine.h"
#include "sim/pic_machine.h"
#include "sim/run_plan.h"

namespace tarvek {
namespace {

// Calls `f` with every line of `text` that starts with ';' (without its '\n'). Only comment
// lines promise anything, and the instructions, most of a long block, have no ';' to stop at.
template <typename F>
void for_each_comment_line(std::string_view text, F f) {
  std::size_t at = 0;
  while ((at = text.find(';', at)) != std::string_view::npos) {
    if (at == 0 || text[at - 1] == '\n') {
      const std::size_t end = text.find('\n', at);
      f(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
      if (end == std::string_view::npos) return;
      at = end + 1;
    } else {
      at = text.find('\n', at);
      if (at == std::string_view::npos) return;
      ++at;
    }
  }
}

bool consume(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// A decimal number without sign or leading zeros, as "%d" prints a non-negative one.
std::optional<int> consume_count(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && n < 4 && text[n] >= '0' && text[n] <= '9') ++n;
  if (n == 0 || (n > 1 && text[0] == '0')) return std::nullopt;
  int value = 0;
  std::from_chars(text.data(), text.data() + n, value);
  text.remove_prefix(n);
  return value;
}

// The exponent of the power of two that a "%.0f" weight stands for.
std::optional<int> weight_exponent(std::string_view digits) {
  if (digits.empty() || digits.size() > 40 || digits[0] == '0') return std::nullopt;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const double value = std::strtod(std::string(digits).c_str(), nullptr);
  const double exponent = std::round(std::log2(value));
  // 17 significant digits put a rounded power of two within 1e-16 of it, relatively.
  if (std::fabs(value / std::ldexp(1.0, static_cast<int>(exponent)) - 1) > 1e-12) {
    return std::nullopt;
  }
  return static_cast<int>(exponent);
}

// The core lines a block may have (one at most); without one the routine is for the
// mid-range core.
constexpr std::string_view kEnhancedCoreLine = "; Core: enhanced mid-range (PIC16F1xxx)";
constexpr std::string_view kBaselineCoreLine = "; Core: baseline (PIC10F, PIC12F5xx, PIC16F5x)";
constexpr std::string_view kPic18CoreLine =
    "; Core: PIC18 (PIC18Fxxx), registers in the access bank";

// The core a core line names, or nullopt for a line that names none.
std::optional<PicCore> core_of_line(std::string_view line) {
  if (line == kEnhancedCoreLine) return PicCore::kEnhanced;
  if (line == kBaselineCoreLine) return PicCore::kBaseline;
  if (line == kPic18CoreLine) return PicCore::kPic18;
  return std::nullopt;
}

std::string_view core_name(PicCore core) {
  switch (core) {
    case PicCore::kEnhanced:
      return "enhanced mid-range";
    case PicCore::kBaseline:
      return "baseline";
    case PicCore::kPic18:
      return "PIC18";
    case PicCore::kMidrange:
      break;
  }
  return "mid-range";
}

// "; Add input * 8 to accumulator" and its three twins; nullopt for anything else.
std::optional<Term> read_term(std::string_view line) {
  Term term;
  std::string_view tail;
  if (consume(line, "; Add input ")) {
    term.sign = 1;
    tail = " to accumulator";
  } else if (consume(line, "; Substract input ")) {
    term.sign = -1;
    tail = " from accumulator";
  } else {
    return std::nullopt;
  }
  bool divisor = false;
  if (consume(line, "/ ")) {
    divisor = true;
  } else if (!consume(line, "* ")) {
    return std::nullopt;
  }
  if (!line.ends_with(tail)) return std::nullopt;
  line.remove_suffix(tail.size());
  const std::optional<int> exponent = weight_exponent(line);
  if (!exponent) return std::nullopt;
  term.exponent = divisor ? -*exponent : *exponent;
  if (term.exponent < kMinTermExponent || term.exponent > kMaxTermExponent) return std::nullopt;
  return term;
}

// "NAME0 .. NAMEn\t(B bits)" or "NAME0\t(B bits)" after an Input or Output label; `unit`
// is " digits)" for the Output line of a digits routine.
bool read_range(std::string_view line, std::string_view name, int& byte_count, int& bits,
                std::string_view unit = " bits)") {
  if (!consume(line, name) || !consume(line, "0")) return false;
  byte_count = 1;
  if (consume(line, " .. ")) {
    if (!consume(line, name)) return false;
    const std::optional<int> last = consume_count(line);
    if (!last || *last < 1) return false;
    byte_count = *last + 1;
  }
  if (!consume(line, "\t(")) return false;
  const std::optional<int> count = consume_count(line);
  if (!count || line != unit) return false;
  bits = *count;
  return true;
}

// "NAME0 .. NAMEn" or "NAME0" at the start of `line`: its byte count, which is consumed.
std::optional<int> consume_byte_range(std::string_view& line, std::string_view name) {
  if (name.empty() || !consume(line, name) || !consume(line, "0")) return std::nullopt;
  if (!consume(line, " .. ")) return 1;
  if (!consume(line, name)) return std::nullopt;
  const std::optional<int> last = consume_count(line);
  if (!last || *last < 1) return std::nullopt;
  return *last + 1;
}

// "; RAM: N bytes (ACC0 .. ACCa)" or "...(ACC0 .. ACCa, temporary TEMP0 .. TEMPt)", "1 byte"
// for one, with ", remainder REM0 .. REMr" before the temporary bytes for a routine that leaves
// a remainder; false for anything else, or a count that is not the ranges' sum.
bool read_ram_line(std::string_view line, std::string_view acc_name, std::string_view rem_name,
                   std::string_view temp_name, RoutinePromise& promise) {
  if (!consume(line, "; RAM: ")) return false;
  const std::optional<int> total = consume_count(line);
  if (!total || !consume(line, *total == 1 ? " byte (" : " bytes (")) return false;
  const std::optional<int> acc = consume_byte_range(line, acc_name);
  if (!acc) return false;
  int rem = 0;
  if (consume(line, ", remainder ")) {
    const std::optional<int> range = consume_byte_range(line, rem_name);
    if (!range) return false;
    rem = *range;
  }
  int temp = 0;
  if (consume(line, ", temporary ")) {
    const std::optional<int> range = consume_byte_range(line, temp_name);
    if (!range) return false;
    temp = *range;
  }
  if (line != ")" || *total != *acc + rem + temp) return false;
  promise.ram_bytes = *total;
  promise.ram_acc_bytes = *acc;
  promise.ram_rem_bytes = rem;
  promise.ram_temp_bytes = temp;
  return true;
}

// True when `name` is `prefix` followed by a byte index as the generator prints it, below
// `count` when one is given.
bool is_byte_of(std::string_view name, std::string_view prefix,
                int count = std::numeric_limits<int>::max()) {
  if (!consume(name, prefix)) return false;
  const std::optional<int> index = consume_count(name);
  return index && name.empty() && *index < count;
}

// Where the first "\tendc" line starts; the parse has found one.
std::size_t endc_line_start(std::string_view block) {
  std::size_t start = 0;
  while (start < block.size()) {
    std::size_t end = block.find('\n', start);
    if (end == std::string_view::npos) end = block.size();
    if (block.substr(start, end - start) == "\tendc") return start;
    start = end + 1;
  }
  assert(false);
  return block.size();
}

std::string byte_name(std::string_view prefix, int index) {
  return std::string(prefix) + std::to_string(index);
}

// Indexes of prefix0 .. prefix(count - 1), least significant first.
std::vector<int> value_indexes(const PicProgram& program, std::string_view prefix, int count,
                               bool little_endian) {
  std::vector<int> indexes;
  for (int i = 0; i < count; ++i) {
    const int k = little_endian ? i : count - 1 - i;
    indexes.push_back(program.index_of(byte_name(prefix, k)));
  }
  return indexes;
}

// A decimal number that fits 64 bits, as the generator prints one.
std::optional<uint64_t> consume_u64(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && n < 20 && text[n] >= '0' && text[n] <= '9') ++n;
  if (n == 0 || (n > 1 && text[0] == '0')) return std::nullopt;
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + n, value);
  if (error != std::errc() || end != text.data() + n) return std::nullopt;
  text.remove_prefix(n);
  return value;
}

// "; ACC = floor(ACC * P/Q)", "; ACC = round(ACC * P)" and the like; nullopt for any other
// line.
std::optional<ExactPromise> read_exact_title(std::string_view line, std::string_view name) {
  ExactPromise promise;
  if (!consume(line, "; ") || !consume(line, name) || !consume(line, " = ")) return std::nullopt;
  if (consume(line, "round(")) {
    promise.nearest = true;
  } else if (consume(line, "trunc(")) {
    promise.trunc = true;
  } else if (!consume(line, "floor(")) {
    return std::nullopt;
  }
  if (!consume(line, name) || !consume(line, " * ")) return std::nullopt;
  const std::optional<uint64_t> numerator = consume_u64(line);
  if (!numerator || *numerator == 0) return std::nullopt;
  promise.numerator = *numerator;
  if (consume(line, "/")) {
    const std::optional<uint64_t> denominator = consume_u64(line);
    if (!denominator || *denominator == 0) return std::nullopt;
    promise.denominator = *denominator;
  }
  if (line == "), signed") {
    promise.is_signed = true;
  } else if (line != ")") {
    return std::nullopt;
  }
  return promise;
}

uint64_t next_random(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

WideInt exact_result(const ExactPromise& promise, WideInt x) {
  [[maybe_unused]] const WideInt limit = static_cast<WideInt>(1) << 32;
  assert(x <= limit && x >= -limit && promise.denominator != 0);
  const WideInt p = static_cast<WideInt>(promise.numerator);
  const WideInt q = static_cast<WideInt>(promise.denominator);
  // C's division truncates toward zero: that is trunc itself, and floor for a non-negative
  // numerator; a negative one needs the floor made explicit.
  const auto floor_divide = [](WideInt n, WideInt d) {
    const WideInt quotient = n / d;
    return quotient * d != n && n < 0 ? quotient - 1 : quotient;
  };
  if (promise.trunc) return x * p / q;
  return promise.nearest ? floor_divide(2 * x * p + q, 2 * q) : floor_divide(x * p, q);
}

PromiseOutcome read_promise(std::string_view block, std::string_view acc_name,
                            std::string_view temp_name, std::string_view rem_name) {
  RoutinePromise promise;
  std::string error;
  bool input_seen = false;
  bool output_seen = false;
  bool core_seen = false;
  for_each_comment_line(block, [&](std::string_view line) {
    if (!error.empty()) return;
    if (line.data() == block.data()) {
      promise.exact = read_exact_title(line, acc_name);
      promise.digits = read_digits_title(line, acc_name);
      if (promise.exact || promise.digits) return;
    }
    if (line.starts_with("; Remainder: ")) {
      const std::optional<RemainderPromise> range =
          rem_name.empty() ? std::nullopt : read_remainder_range(line.substr(13), rem_name);
      if (promise.remainder || !range) {
        error = "unreadable or repeated line \"" + std::string(line) + "\"";
        return;
      }
      promise.remainder = range;
      return;
    }
    if (line.starts_with("; Core:")) {
      const std::optional<PicCore> core = core_of_line(line);
      if (core_seen || !core) {
        error = "unreadable or repeated line \"" + std::string(line) + "\"";
        return;
      }
      core_seen = true;
      promise.core = *core;
      return;
    }
    if (line.starts_with("; RAM:")) {
      if (promise.ram_bytes >= 0 || !read_ram_line(line, acc_name, rem_name, temp_name, promise)) {
        error = "unreadable or repeated line \"" + std::string(line) + "\"";
      }
      return;
    }
    if (line.starts_with("; Add input") || line.starts_with("; Substract input")) {
      const std::optional<Term> term = read_term(line);
      if (!term) {
        error = "unreadable term line \"" + std::string(line) + "\"";
        return;
      }
      for (const Term& t : promise.terms) {
        if (t.exponent == term->exponent) {
          error = "two terms of weight 2^" + std::to_string(t.exponent);
          return;
        }
      }
      promise.terms.push_back(*term);
    } else if (line.starts_with("; Input:  ") || line.starts_with("; Output: ")) {
      const bool input = line[2] == 'I';
      bool& seen = input ? input_seen : output_seen;
      int& bytes = input ? promise.input_bytes : promise.output_bytes;
      // A digits routine's Output line counts digits, not bits.
      const bool digits = promise.digits && !input;
      int& bits = input ? promise.input_bits : digits ? promise.digit_count : promise.output_bits;
      if (seen ||
          !read_range(line.substr(10), acc_name, bytes, bits, digits ? " digits)" : " bits)")) {
        error = "unreadable or repeated line \"" + std::string(line) + "\"";
        return;
      }
      seen = true;
    }
  });
  if (error.empty() && (!input_seen || !output_seen)) error = "no Input or no Output line";
  if (error.empty() && (promise.exact || promise.digits) && !promise.terms.empty()) {
    error = "an exact title line over term lines";
  }
  if (error.empty() && promise.remainder && !promise.exact) {
    error = "a Remainder line without an exact title line";
  }
  // The smallest baseline parts have 16 bytes of RAM: their routines say what they take.
  if (error.empty() && (promise.core == PicCore::kBaseline) != (promise.ram_bytes >= 0)) {
    error = "a RAM line belongs to a baseline routine, and to every one";
  }
  if (!error.empty()) return {std::nullopt, error};
  return {promise, ""};
}

namespace {

// Whether the Output line names what the request asked for: the digits it asked for in their
// bytes, or its product's bits on the bytes they need (and at least the input's for an exact
// routine).
std::string output_line_fault(const RoutinePromise& promise, const RoutineUnderCheck& routine) {
  if (promise.digits) {
    const int bytes = digit_byte_count(*promise.digits, routine.output_bits);
    if (promise.digit_count == routine.output_bits && promise.output_bytes == bytes) return "";
    return "the Output line does not name the " + std::to_string(routine.output_bits) + " digits";
  }
  const int output_bytes = promise.exact
                               ? std::max(promise.input_bytes, (routine.output_bits + 7) / 8)
                               : (routine.output_bits + 7) / 8;
  if (promise.output_bits == routine.output_bits && promise.output_bytes == output_bytes) return "";
  return "the Output line does not name the " + std::to_string(routine.output_bits) +
         "-bit product";
}

}  // namespace

PrepareOutcome prepare_routine(const RoutineUnderCheck& routine) {
  assert(routine.input_bits >= 1 && routine.input_bits <= 32);
  assert(routine.output_bits >= 1 && routine.output_bits <= 63);
  assert(!routine.acc_name.empty() && !routine.temp_name.empty());
  PromiseOutcome read =
      read_promise(routine.block, routine.acc_name, routine.temp_name, routine.rem_name);
  if (!read.promise) return {std::nullopt, "comment block: " + read.error};
  const RoutinePromise& promise = *read.promise;
  if (promise.input_bits != routine.input_bits ||
      promise.input_bytes != (routine.input_bits + 7) / 8) {
    return {std::nullopt, "the Input line does not name the " + std::to_string(routine.input_bits) +
                              "-bit input"};
  }
  if (const std::string fault = output_line_fault(promise, routine); !fault.empty()) {
    return {std::nullopt, fault};
  }
  if (!routine.rem_name.empty() && !promise.remainder) {
    return {std::nullopt, "the comment block has no Remainder line"};
  }

  if (promise.core != routine.core) {
    return {std::nullopt, "the comment block names the " + std::string(core_name(promise.core)) +
                              " core, the request the " + std::string(core_name(routine.core)) +
                              " one"};
  }

  ParseOutcome parsed = parse_generated_block(routine.block, routine.core);
  if (!parsed.program) return {std::nullopt, "does not parse: " + parsed.error};
  for (const std::string& name : parsed.program->byte_names) {
    if (!is_byte_of(name, routine.acc_name) && !is_byte_of(name, routine.temp_name) &&
        (routine.rem_name.empty() || !is_byte_of(name, routine.rem_name))) {
      return {std::nullopt, "declares " + name + ", a byte of neither register"};
    }
  }
  // Bytes of the Input and Output lines that the routine never names keep what they held.
  std::string missing;
  for (int k = 0; k < std::max(promise.input_bytes, promise.output_bytes); ++k) {
    const std::string name = byte_name(routine.acc_name, k);
    if (parsed.program->index_of(name) >= 0) continue;
    if (k >= promise.input_bytes) {
      return {std::nullopt,
              "output byte " + name + " is neither declared nor written by the routine"};
    }
    missing += "\t" + name + "\n";
  }
  // The remainder's bytes hold nothing the routine did not put there.
  for (int k = 0; promise.remainder && k < promise.remainder->bytes; ++k) {
    if (parsed.program->index_of(byte_name(routine.rem_name, k)) < 0) {
      return {std::nullopt, "remainder byte " + byte_name(routine.rem_name, k) +
                                " is neither declared nor written by the routine"};
    }
  }
  if (!missing.empty()) {
    std::string block(routine.block);
    block.insert(endc_line_start(block), missing);
    parsed = parse_generated_block(block, routine.core);
    assert(parsed.program);
  }

  if (promise.ram_bytes >= 0) {
    // Every byte is declared by now, the Input and Output lines' too.
    int acc = 0;
    int rem = 0;
    int temp = 0;
    // Told apart by the ranges the line states, not by how a name begins: with registers A and
    // A4, A40 is the temporary's first byte, not the accumulator's 41st.
    for (const std::string& name : parsed.program->byte_names) {
      if (is_byte_of(name, routine.acc_name, promise.ram_acc_bytes)) {
        ++acc;
      } else if (!routine.rem_name.empty() &&
                 is_byte_of(name, routine.rem_name, promise.ram_rem_bytes)) {
        ++rem;
      } else {
        ++temp;
      }
    }
    const auto names_all = [&](std::string_view prefix, int count) {
      for (int k = 0; k < count; ++k) {
        if (parsed.program->index_of(byte_name(prefix, k)) < 0) return false;
      }
      return true;
    };
    if (acc != promise.ram_acc_bytes || rem != promise.ram_rem_bytes ||
        temp != promise.ram_temp_bytes || !names_all(routine.acc_name, acc) ||
        !names_all(routine.rem_name, rem) || !names_all(routine.temp_name, temp)) {
      return {std::nullopt, "the RAM line does not name the " + std::to_string(acc + rem + temp) +
                                " bytes the routine takes"};
    }
  }

  PreparedRoutine prepared{promise, std::move(*parsed.program), {}, {}, {}};
  prepared.input_indexes =
      value_indexes(prepared.program, routine.acc_name, promise.input_bytes, routine.little_endian);
  prepared.output_indexes = value_indexes(prepared.program, routine.acc_name, promise.output_bytes,
                                          routine.little_endian);
  if (promise.remainder) {
    prepared.remainder_indexes = value_indexes(prepared.program, routine.rem_name,
                                               promise.remainder->bytes, routine.little_endian);
  }
  return {std::move(prepared), ""};
}

namespace {

// What the first eight output bytes hold, byte 0 the least significant.
uint64_t first_output_bytes(const PicMachine& machine, const std::vector<int>& indexes) {
  uint64_t value = 0;
  for (std::size_t k = 0; k < indexes.size() && k < 8; ++k) {
    value |= uint64_t{machine.byte_at(indexes[k])} << (8 * k);
  }
  return value;
}

std::vector<uint8_t> bytes_at(const PicMachine& machine, const std::vector<int>& indexes) {
  std::vector<uint8_t> bytes;
  for (const int index : indexes) bytes.push_back(machine.byte_at(index));
  return bytes;
}

// check_prepared for a routine with jumps or for PIC18, which only PicMachine runs, and for one
// whose promise reaches past one output value (digits, or a remainder beside the quotient): one
// input after the other, each from the state PicMachine::fill gives for its seed, as the lanes
// start.
CheckReport check_one_by_one(const PreparedRoutine& routine, const std::vector<uint64_t>& inputs,
                             uint64_t seed, const ResultObserver& observe) {
  const RoutinePromise& promise = routine.promise;
  CheckReport report;
  report.instructions = static_cast<long>(routine.program.instructions.size());
  PicMachine machine(routine.program);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const uint64_t x = inputs[i];
    const auto fail = [&](const std::string& what) {
      report.failure = "input " + std::to_string(x) + ": " + what;
      report.failing_input = x;
      return report;
    };
    PlannedRun run;
    if (promise.digits) {
      // Digits have no single documented value: only the input is planned.
      if (x >> promise.input_bits != 0) {
        return fail("wider than the " + std::to_string(promise.input_bits) + "-bit input");
      }
      run.written = x;
    } else if (const std::string fault = plan_one(promise, x, run); !fault.empty()) {
      return fail(fault);
    }
    machine.fill(seed + i);
    machine.write_value(routine.input_indexes, run.written);
    const RunStats stats = machine.run();
    if (stats.cycle_limit_reached) return fail("the routine does not end");
    report.cycles = std::max(report.cycles, stats.cycles);
    report.fewest_cycles = i == 0 ? stats.cycles : std::min(report.fewest_cycles, stats.cycles);
    if (stats.skipped_past_end) return fail("the last instruction skips past the routine");
    if (machine.bank_bits != 0) return fail("the routine switched register banks");
    uint64_t result = 0;
    if (promise.digits) {
      const std::string fault =
          bytes_fault("output", digit_bytes(*promise.digits, x, promise.digit_count),
                      bytes_at(machine, routine.output_indexes));
      if (!fault.empty()) return fail(fault);
      result = first_output_bytes(machine, routine.output_indexes);
    } else {
      result = machine.read_value(routine.output_indexes);
      if (result != run.wanted) {
        return fail("got " + std::to_string(result) + ", documented " + to_decimal(run.expected));
      }
    }
    if (promise.remainder) {
      // The remainder of the input's value, read as two's complement when it is signed.
      const ExactPromise& exact = *promise.exact;
      WideInt value = static_cast<WideInt>(x);
      if (exact.is_signed && (x >> (promise.input_bits - 1)) != 0) {
        value -= static_cast<WideInt>(1) << promise.input_bits;
      }
      const WideInt r = remainder_of(exact.numerator, exact.denominator, value, run.expected);
      const std::optional<std::vector<uint8_t>> wanted =
          remainder_bytes(r, *promise.remainder, exact.is_signed && exact.trunc);
      if (!wanted) return fail("the remainder " + to_decimal(r) + " does not fit its bits");
      const std::string fault =
          bytes_fault("remainder", *wanted, bytes_at(machine, routine.remainder_indexes));
      if (!fault.empty()) return fail(fault);
    }
    ++report.inputs_checked;
    if (observe) observe(x, result);
  }
  report.passed = true;
  return report;
}

}  // namespace

CheckReport check_prepared(const PreparedRoutine& routine, const std::vector<uint64_t>& inputs,
                           uint64_t seed, const ResultObserver& observe) {
  // The lanes read one output value; digits and a remainder are read byte by byte.
  if (!routine.program.straight_line || routine.promise.digits || routine.promise.remainder) {
    return check_one_by_one(routine, inputs, seed, observe);
  }
  CheckReport report;
  report.instructions = static_cast<long>(routine.program.instructions.size());
  const auto fail = [&report](uint64_t x, const std::string& what) {
    report.failure = "input " + std::to_string(x) + ": " + what;
    report.failing_input = x;
    return report;
  };
  if (inputs.empty()) {
    report.passed = true;
    return report;
  }
  const RunPlanner planner(routine.promise);
  const std::size_t batch_size = std::min(inputs.size(), kCheckBatchInputs);
  LaneMachine lanes(routine.program, static_cast<int>(batch_size));
  // The check reads the output bytes, the bank bits and the skips past the end, and writes
  // the input bytes after every fill.
  lanes.restrict_to(routine.input_indexes, routine.output_indexes);
  // What goes into the input bytes, what the output bytes must hold and what they hold, for
  // a batch: in one allocation as long as the batches, since every page a request touches
  // costs it a fault.
  // Left uninitialised: each batch writes what it reads.
  const auto values = std::make_unique_for_overwrite<uint64_t[]>(3 * batch_size);
  uint64_t* const written = values.get();
  uint64_t* const wanted = written + batch_size;
  uint64_t* const results = wanted + batch_size;
  for (std::size_t start = 0; start < inputs.size(); start += kCheckBatchInputs) {
    const std::size_t count = std::min(inputs.size() - start, kCheckBatchInputs);
    const std::span<const uint64_t> batch(inputs.data() + start, count);
    // The batch runs the inputs before the first one that cannot run; that one's fault is
    // reported after their results, as it comes after them.
    const std::size_t planned =
        planner.plan(batch, std::span(written, count), std::span(wanted, count));
    const int lane_count = static_cast<int>(planned);
    lanes.fill_lanes(lane_count, seed + start);
    lanes.write_values(routine.input_indexes, std::span(written, planned));
    if (lane_count > 0) report.cycles = std::max(report.cycles, lanes.run(lane_count));
    // Straight-line code takes the same cycles for every input.
    report.fewest_cycles = report.cycles;
    lanes.read_values(routine.output_indexes, std::span(results, planned));
    // The first lane that went wrong in any way; the lanes before it are observed in order.
    int wrong =
        std::min(lanes.first_skipped_past_end(lane_count), lanes.first_bank_switched(lane_count));
    for (int lane = 0; lane < wrong; ++lane) {
      if (results[lane] != wanted[lane]) wrong = lane;
    }
    if (observe) {
      for (int lane = 0; lane < wrong; ++lane)
        observe(batch[static_cast<std::size_t>(lane)], results[lane]);
    }
    report.inputs_checked += wrong;
    if (wrong < lane_count) {
      const uint64_t x = batch[static_cast<std::size_t>(wrong)];
      if (lanes.skipped_past_end(wrong)) {
        return fail(x, "the last instruction skips past the routine");
      }
      if (lanes.bank_bits(wrong) != 0) return fail(x, "the routine switched register banks");
      PlannedRun run;
      [[maybe_unused]] const std::string fault = plan_one(routine.promise, x, run);
      assert(fault.empty());
      return fail(
          x, "got " + std::to_string(results[wrong]) + ", documented " + to_decimal(run.expected));
    }
    if (planned < count) {
      PlannedRun run;
      const std::string fault = plan_one(routine.promise, batch[planned], run);
      assert(!fault.empty());
      return fail(batch[planned], fault);
    }
  }
  report.passed = true;
  return report;
}

CheckReport check_routine(const RoutineUnderCheck& routine, const std::vector<uint64_t>& inputs,
                          uint64_t seed, const ResultObserver& observe) {
  const PrepareOutcome prepared = prepare_routine(routine);
  if (!prepared.routine) {
    CheckReport report;
    report.failure = prepared.error;
    return report;
  }
  return check_prepared(*prepared.routine, inputs, seed, observe);
}

std::vector<uint64_t> sample_inputs(int bits, int exhaustive_bits, int random_count,
                                    uint64_t seed) {
  assert(bits >= 1 && bits <= 32);
  const uint64_t max = (uint64_t{1} << bits) - 1;
  std::vector<uint64_t> inputs;
  if (bits <= exhaustive_bits) {
    inputs.reserve(max + 1);
    for (uint64_t x = 0; x <= max; ++x) inputs.push_back(x);
    return inputs;
  }
  const uint64_t edges[] = {0,
                            1,
                            2,
                            3,
                            max,
                            max - 1,
                            max - 2,
                            max - 3,
                            0x5555555555555555ull,
                            0xAAAAAAAAAAAAAAAAull,
                            0x3333333333333333ull,
                            0xCCCCCCCCCCCCCCCCull};
  // Masked: the largest values wrap around for the narrowest registers.
  for (uint64_t x : edges) inputs.push_back(x & max);
  for (int k = 1; k < bits; ++k) {
    const uint64_t power = 1ull << k;
    inputs.push_back(power - 1);
    inputs.push_back(power);
    inputs.push_back(power + 1);
  }
  uint64_t state = seed;
  for (int i = 0; i < random_count; ++i) {
    uint64_t x = next_random(state) & max;
    if (i % 2 == 1) x >>= next_random(state) % static_cast<uint64_t>(bits);
    inputs.push_back(x);
  }
  std::sort(inputs.begin(), inputs.end());
  inputs.erase(std::unique(inputs.begin(), inputs.end()), inputs.end());
  return inputs;
}

std::vector<uint64_t> edge_inputs(int bits, bool is_signed, int exhaustive_bits, int random_count) {
  // The unsigned edges and a sample of a fixed seed; a signed input adds the mirror image of
  // each edge, -x being 2^bits - x as a bit pattern.
  constexpr uint64_t kSeed = 0x7A5E11u;
  std::vector<uint64_t> inputs = sample_inputs(bits, exhaustive_bits, random_count, kSeed);
  if (!is_signed || bits <= exhaustive_bits) return inputs;
  const uint64_t modulus = uint64_t{1} << bits;
  const std::size_t count = inputs.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (inputs[i] != 0) inputs.push_back(modulus - inputs[i]);
  }
  std::sort(inputs.begin(), inputs.end());
  inputs.erase(std::unique(inputs.begin(), inputs.end()), inputs.end());
  return inputs;
}

}  // namespace tarvek

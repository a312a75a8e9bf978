#include "routine_runner.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "codegen/decomposition.h"
#include "codegen/generator.h"
#include "codegen/register.h"
#include "sim/pic_machine.h"

namespace tarvek {
namespace {

std::string to_decimal(WideInt value) {
  if (value == 0) return "0";
  const bool negative = value < 0;
  std::string digits;
  while (value != 0) {
    const int digit = static_cast<int>(value % 10);
    digits += static_cast<char>('0' + (negative ? -digit : digit));
    value /= 10;
  }
  if (negative) digits += '-';
  std::reverse(digits.begin(), digits.end());
  return digits;
}

// Reads "NAME0 .. NAMEn\t(B bits)" after `label`; byte count n + 1 (1 without a range).
bool parse_range(const std::string& block, const std::string& label, int& byte_count, int& bits) {
  const std::size_t start = block.find(label);
  if (start == std::string::npos) return false;
  const std::size_t line_end = block.find('\n', start);
  const std::string line = block.substr(start, line_end - start);
  const std::size_t range = line.find(" .. ACC");
  byte_count = range == std::string::npos ? 1 : std::stoi(line.substr(range + 7)) + 1;
  const std::size_t open = line.find("\t(");
  if (open == std::string::npos) return false;
  bits = std::stoi(line.substr(open + 2));
  return true;
}

uint64_t next_random(uint64_t& state) {
  state += 0x9E3779B97F4A7C15ull;
  uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

std::string describe(const RoutineRequest& request) {
  std::ostringstream text;
  text.precision(17);
  text << request.constant << " x " << request.bits << " bits, error " << request.error << " %, "
       << (request.little_endian ? "little" : "big") << "-endian";
  return text.str();
}

int output_bits_of(const RoutineRequest& request) {
  return request.bits + static_cast<int>(std::ceil(std::log10(request.constant) / std::log10(2)));
}

GeneratedRoutine generate_routine(const RoutineRequest& request) {
  GeneratedRoutine routine;
  routine.output_bits = output_bits_of(request);
  const GeneratorRequest values{request.constant, request.error, routine.output_bits};
  Register acc("ACC", request.bits, request.little_endian);
  Register temp("TEMP", 0, request.little_endian);
  std::ostringstream out;
  generate_code(out, values, acc, temp);
  routine.block = out.str();

  Register fresh("ACC", request.bits, request.little_endian);
  std::ostringstream comment;
  const Decomposition d = decompose(comment, values, fresh);
  for (int k = 0; k < d.term_end; ++k) {
    const int digit = d.digits[static_cast<std::size_t>(k)];
    if (digit != 0) routine.terms.push_back({k, digit});
  }

  int input_bits = 0;
  int output_bits = 0;
  if (!parse_range(routine.block, "; Input:  ", routine.input_bytes, input_bits) ||
      !parse_range(routine.block, "; Output: ", routine.output_bytes, output_bits)) {
    routine.error = "no Input or Output line";
    return routine;
  }
  if (input_bits != request.bits || output_bits != routine.output_bits ||
      routine.output_bytes != (output_bits + 7) / 8) {
    routine.error = "Input or Output line does not match the request";
    return routine;
  }

  ParseOutcome parsed = parse_generated_block(routine.block);
  if (!parsed.program) {
    routine.error = "does not parse: " + parsed.error;
    return routine;
  }
  // The routine declares the bytes it reads; a byte it never touches still holds the input
  // (or, above the input, whatever was there, which the check then catches).
  std::string declarations;
  for (int k = 0; k < std::max(routine.input_bytes, routine.output_bytes); ++k) {
    const std::string name = "ACC" + std::to_string(k);
    if (parsed.program->index_of(name) < 0) declarations += "\t" + name + "\n";
  }
  if (!declarations.empty()) {
    std::string block = routine.block;
    block.insert(block.find("\tendc\n"), declarations);
    parsed = parse_generated_block(block);
    if (!parsed.program) {
      routine.error = "does not parse with the input bytes declared: " + parsed.error;
      return routine;
    }
  }
  routine.program = std::move(parsed.program);
  routine.little_endian = request.little_endian;
  return routine;
}

std::vector<uint64_t> sample_inputs(int bits, int random_count, uint64_t seed) {
  const uint64_t max = bits >= 64 ? ~0ull : (1ull << bits) - 1;
  std::vector<uint64_t> inputs;
  if (bits <= 10) {
    for (uint64_t x = 0; x <= max; ++x) inputs.push_back(x);
    return inputs;
  }
  const uint64_t half = 1ull << (bits - 1);
  const uint64_t boundaries[] = {0,
                                 1,
                                 2,
                                 3,
                                 0xFF,
                                 0x100,
                                 max,
                                 max - 1,
                                 max - 2,
                                 half,
                                 half - 1,
                                 half + 1,
                                 0x5555555555555555ull,
                                 0xAAAAAAAAAAAAAAAAull};
  for (uint64_t x : boundaries) {
    inputs.push_back(x & max);
  }
  uint64_t state = seed;
  for (int i = 0; i < random_count; ++i) {
    uint64_t x = next_random(state) & max;
    // Half of them with a random number of leading zeros, so small values come up too.
    if (i % 2 == 1) x >>= next_random(state) % static_cast<uint64_t>(bits);
    inputs.push_back(x);
  }
  return inputs;
}

std::string check_routine(const GeneratedRoutine& routine, const std::vector<uint64_t>& inputs,
                          uint64_t seed) {
  if (!routine.program) return routine.error;
  const PicProgram& program = *routine.program;
  const std::vector<int> in =
      program.value_indexes("ACC", routine.input_bytes, routine.little_endian);
  const std::vector<int> out =
      program.value_indexes("ACC", routine.output_bytes, routine.little_endian);
  const WideInt limit = static_cast<WideInt>(1) << routine.output_bits;
  PicMachine machine(program);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const uint64_t x = inputs[i];
    const std::string which = "input " + std::to_string(x) + ": ";
    const WideInt expected = documented_product(routine.terms, x);
    if (expected < 0 || expected >= limit) {
      return which + "the documented product " + to_decimal(expected) + " does not fit the " +
             std::to_string(routine.output_bits) + " output bits";
    }
    machine.fill(seed + i);
    machine.write_value(in, x);
    const RunStats stats = machine.run();
    if (stats.skipped_past_end) return which + "the last instruction skips past the routine";
    if (machine.bank_bits != 0) return which + "the routine switched banks";
    const uint64_t got = machine.read_value(out);
    if (static_cast<WideInt>(got) != expected) {
      return which + "got " + std::to_string(got) + ", documented " + to_decimal(expected);
    }
  }
  return "";
}

}  // namespace tarvek

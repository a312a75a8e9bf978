#include "gpsim/crosscheck_support.h"

#include <cassert>
#include <cctype>

#include "sim/pic_machine.h"

namespace tarvek {

GpsimResult run_ours(const PicProgram& program, const GpsimInput& input) {
  assert(input.bytes.size() == program.byte_names.size());
  PicMachine machine(program);
  for (std::size_t i = 0; i < input.bytes.size(); ++i) {
    machine.set_byte_at(static_cast<int>(i), input.bytes[i]);
  }
  machine.w = input.w;
  machine.carry = input.carry;
  machine.digit_carry = input.digit_carry;
  machine.zero = input.zero;
  if (program.core == PicCore::kPic18) {
    machine.overflow = input.overflow;
    machine.negative = input.negative;
    machine.prodl = input.prodl;
    machine.prodh = input.prodh;
  }
  const RunStats stats = machine.run();
  GpsimResult result;
  for (std::size_t i = 0; i < input.bytes.size(); ++i) {
    result.bytes.push_back(machine.byte_at(static_cast<int>(i)));
  }
  result.w = machine.w;
  result.status = machine.status();
  result.cycles = stats.cycles;
  result.skipped_past_end = stats.skipped_past_end;
  if (program.core == PicCore::kPic18) {
    result.prodl = machine.prodl;
    result.prodh = machine.prodh;
  }
  return result;
}

namespace {

std::string hex_byte(unsigned value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return {kHex[(value >> 4) & 15], kHex[value & 15]};
}

std::string hex_bytes(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (const uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += hex_byte(byte);
  }
  return text;
}

}  // namespace

std::string run_difference(const GpsimResult& ours, const GpsimResult& theirs) {
  std::string text;
  const auto differs = [&](const std::string& part, const std::string& mine,
                           const std::string& gpsim) {
    if (mine == gpsim) return;
    if (!text.empty()) text += "; ";
    text += part + " " + mine + ", gpsim " + gpsim;
  };
  differs("bytes", hex_bytes(ours.bytes), hex_bytes(theirs.bytes));
  differs("W", "0x" + hex_byte(ours.w), "0x" + hex_byte(theirs.w));
  differs("STATUS", "0x" + hex_byte(ours.status), "0x" + hex_byte(theirs.status));
  differs("cycles", std::to_string(ours.cycles), std::to_string(theirs.cycles));
  differs("skip past the end", ours.skipped_past_end ? "yes" : "no",
          theirs.skipped_past_end ? "yes" : "no");
  differs("PRODH:PRODL", "0x" + hex_byte(ours.prodh) + hex_byte(ours.prodl),
          "0x" + hex_byte(theirs.prodh) + hex_byte(theirs.prodl));
  return text;
}

Pic18CrossCheck cross_check_pic18(const GpsimRoutine& routine,
                                  const std::vector<GpsimInput>& states) {
  Pic18CrossCheck check;
  const ParseOutcome parsed = parse_generated_block(routine.body, PicCore::kPic18);
  if (!parsed.program) {
    check.error = "our parser: " + parsed.error;
    return check;
  }
  if (parsed.program->byte_names != routine.declared) {
    check.error = "our parser read other declared bytes";
    return check;
  }
  const GpsimOutcome theirs = run_in_gpsim(routine, states, pic18f452_target());
  check.assembler_messages = theirs.assembler_messages;
  if (!theirs.ok) {
    check.error = theirs.error;
    return check;
  }
  // gpasm says "Message[302]" of a core register outside bank 0 and "Message[1301]" of the
  // access bank it picks by default: both are what a PIC18 routine means.
  if (theirs.assembler_messages.find("Warning") != std::string::npos ||
      theirs.assembler_messages.find("Error") != std::string::npos) {
    check.error = "gpasm: " + theirs.assembler_messages;
    return check;
  }
  if (theirs.results.size() != states.size()) {
    check.error = "gpsim ran " + std::to_string(theirs.results.size()) + " of " +
                  std::to_string(states.size()) + " states";
    return check;
  }
  constexpr uint8_t kOverflow = 0x08;
  for (std::size_t k = 0; k < states.size(); ++k) {
    GpsimResult ours = run_ours(*parsed.program, states[k]);
    GpsimResult gpsim = theirs.results[k];
    ours.status &= static_cast<uint8_t>(~kOverflow);
    gpsim.status &= static_cast<uint8_t>(~kOverflow);
    const std::string difference = run_difference(ours, gpsim);
    if (!difference.empty()) {
      check.differences.push_back("state " + std::to_string(k) + ": " + difference);
    }
  }
  check.ran = true;
  return check;
}

GpsimInput starting_state(const PicProgram& program, std::string_view acc_name, int input_bits,
                          bool little_endian, uint64_t x, std::mt19937& random, bool is_signed) {
  assert(input_bits >= 1 && input_bits <= 32 && x >> input_bits == 0);
  PicMachine machine(program);
  machine.fill(random());
  const int input_bytes = (input_bits + 7) / 8;
  if (is_signed && (x >> (input_bits - 1)) != 0) {
    x |= ~uint64_t{0} << input_bits;
    if (input_bytes < 8) x &= (uint64_t{1} << (8 * input_bytes)) - 1;
  }
  machine.write_value(program.value_indexes(acc_name, input_bytes, little_endian), x);
  GpsimInput input;
  for (std::size_t i = 0; i < program.byte_names.size(); ++i) {
    input.bytes.push_back(machine.byte_at(static_cast<int>(i)));
  }
  input.w = static_cast<uint8_t>(random());
  input.carry = random() & 1;
  input.digit_carry = random() & 1;
  input.zero = random() & 1;
  if (program.core == PicCore::kPic18) {
    input.overflow = random() & 1;
    input.negative = random() & 1;
    input.prodl = static_cast<uint8_t>(random());
    input.prodh = static_cast<uint8_t>(random());
  }
  return input;
}

std::set<std::string> line_styles(std::string_view block,
                                  const std::vector<std::string_view>& registers) {
  std::set<std::string> styles;
  const std::size_t code = block.find("\tendc\n");
  std::size_t start = code == std::string_view::npos ? block.size() : code + 6;
  while (start < block.size()) {
    std::size_t end = block.find('\n', start);
    if (end == std::string_view::npos) end = block.size();
    std::string line(block.substr(start, end - start));
    // "\tmnemonic\tACC12, f": the operand starts after the second tab.
    const std::size_t operand = line.find('\t', 1);
    if (operand != std::string::npos) {
      for (const std::string_view name : registers) {
        if (line.compare(operand + 1, name.size(), name) != 0) continue;
        std::size_t digits = operand + 1 + name.size();
        if (digits == line.size() || !std::isdigit(static_cast<unsigned char>(line[digits]))) {
          continue;
        }
        while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) {
          ++digits;
        }
        std::string styled = line.substr(0, operand + 1);
        styled += 'R';
        styled.append(line, digits, std::string::npos);
        line = std::move(styled);
        break;
      }
    }
    if (!line.empty()) styles.insert(line);
    start = end + 1;
  }
  return styles;
}

std::string batch_acc_name(std::size_t index) {
  const char* forms[] = {"ACC", "acc", "Result_", "X"};
  std::string name = forms[index % 4];
  name += std::to_string(index);
  if (index % 3 != 0) name += 'v';
  return name;
}

std::string batch_temp_name(std::size_t index) {
  std::string name(1, 'T');
  name += std::to_string(index);
  name += "tmp";
  return name;
}

}  // namespace tarvek

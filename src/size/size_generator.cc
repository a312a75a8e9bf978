#include "size/size_generator.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "codegen/instruction_set.h"
#include "exact/exact_generator.h"
#include "size/size_comment.h"
#include "size/size_search.h"

namespace tarvek {
namespace {

std::string name_part(const std::string& name) {
  std::string part;
  for (const char c : name) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    part += letter ? static_cast<char>(c | 0x20) : digit || c == '_' ? c : '_';
  }
  return part;
}

std::string constant_part(const Fraction& k) {
  const std::string p = k.numerator.to_decimal();
  const std::string q = k.denominator.to_decimal();
  if (k.denominator == 1) return "x" + p;
  if (k.numerator == 1) return "div" + q;
  return "x" + p + "div" + q;
}

// FNV-1a of the text, a fixed and well-spread hash for names that must stay short.
std::string hash_part(const std::string& text) {
  uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  char digits[16];
  std::snprintf(digits, sizeof digits, "k%08x", hash);
  return digits;
}

}  // namespace

FinishedRoutine finished_size(const ExactSpec& spec, const SizeResult& found,
                              const RoutineNames& names, bool counts_ram) {
  if (found.straight) return finished_exact(spec, *found.speed, names, counts_ram);
  FinishedRoutine routine;
  routine.registers = declared_names(found.routine, names);
  routine.result_registers = static_cast<std::size_t>(declared_acc_bytes(found.routine));
  const int ram_bytes = counts_ram ? static_cast<int>(routine.registers.size()) : -1;
  routine.comment = size_comment_block(spec, found, names, ram_bytes);
  routine.code = instruction_set(names.core).written_out(found.routine.code);
  return routine;
}

std::string size_block(const ExactSpec& spec, const SizeResult& found, const RoutineNames& names,
                       const std::string& opening) {
  return inline_block(finished_size(spec, found, names, false), opening);
}

std::string default_label_prefix(const std::string& acc_name, const ExactSpec& spec) {
  const char* modes[] = {"a", "f", "n", "t"};
  const std::string rounding = modes[static_cast<int>(spec.mode)] +
                               std::to_string(spec.input_bits) + (spec.is_signed ? "s" : "");
  std::string name = name_part(acc_name);
  std::string constant = constant_part(spec.constant);
  const auto length = [&] { return name.size() + constant.size() + rounding.size() + 3; };
  // Too long: the name shortened, to no fewer than four characters, when that is enough;
  // otherwise the constant as a hash, and the name shortened as far as it then must be.
  constexpr std::size_t kShortName = 4;
  const auto shortened = [&](std::size_t shortest) {
    if (length() <= kMaxLabelPrefix) return name;
    const std::size_t excess = length() - kMaxLabelPrefix;
    return name.size() >= shortest + excess ? name.substr(0, name.size() - excess) : std::string();
  };
  if (length() > kMaxLabelPrefix && shortened(kShortName).empty()) {
    constant = hash_part(fraction_text(spec.constant));
  }
  name = shortened(1);
  return name + "_" + constant + "_" + rounding + "_";
}

std::optional<FinishedRoutine> finish_size(const GeneratorRequest& request, const Register& acc,
                                           const Register& temp, const SearchEffort& effort) {
  assert(request.mode != ResultMode::kApprox);
  assert(request.numerator >= 1 && request.denominator >= 1);
  const Fraction constant = Fraction::of(BigInt::from_unsigned(request.numerator),
                                         BigInt::from_unsigned(request.denominator));
  const ExactSpec spec = make_spec(constant, request.mode, acc.width, request.is_signed);
  assert(spec.result_bits >= 1);
  const RoutineNames names{acc.name, temp.name, acc.little_endian, request.core};
  const std::string labels =
      request.label_prefix.empty() ? default_label_prefix(acc.name, spec) : request.label_prefix;
  const std::optional<SizeResult> found = find_smallest_routine(spec, names, labels, effort);
  if (!found) return std::nullopt;
  return finished_size(spec, *found, names, routine_line_counts_ram(request));
}

int generate_size(std::ostream& out, const GeneratorRequest& request, const Register& acc,
                  const Register& temp, const SearchEffort& effort) {
  const std::optional<FinishedRoutine> routine = finish_size(request, acc, temp, effort);
  if (!routine) return kUnprovenError;
  const std::string block = inline_block(*routine, cblock_opening(request));
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  return 0;
}

}  // namespace tarvek

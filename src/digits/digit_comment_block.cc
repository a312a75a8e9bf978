#include "digits/digit_comment_block.h"

#include <algorithm>

#include "codegen/core.h"
#include "codegen/core_lines.h"

namespace tarvek {
namespace {

std::string byte_range(const std::string& name, int count) {
  std::string text = name + "0";
  if (count > 1) text += " .. " + name + std::to_string(count - 1);
  return text;
}

std::string source_name(const ColumnPlan& plan, const Source& source) {
  // Appended piece by piece: a literal + std::to_string(...) trips a false -Wrestrict of GCC 12.
  std::string text;
  if (source.kind == SourceKind::kPart) {
    const InputPart& part = plan.parts[static_cast<std::size_t>(source.index)];
    text += part.bits == 1 ? 'x' : 'p';
    text += std::to_string(part.bits == 1 ? part.low : source.index);
    return text;
  }
  if (source.kind != SourceKind::kGroup) text += '(';
  text += 'g';
  text += std::to_string(source.index);
  if (source.kind == SourceKind::kHalf) text += " >> 1)";
  if (source.kind == SourceKind::kOdd) text += " & 1)";
  return text;
}

// "p0 + 5 (g0 & 1) - p3 + 20", a chunk's terms and constant.
std::string chunk_text(const ColumnPlan& plan, const Chunk& chunk) {
  std::string text;
  const auto add = [&](int coefficient, const std::string& what) {
    const int size = coefficient < 0 ? -coefficient : coefficient;
    text += text.empty() ? (coefficient < 0 ? "-" : "") : (coefficient < 0 ? " - " : " + ");
    text += size == 1 || what.empty() ? (what.empty() ? std::to_string(size) : what)
                                      : std::to_string(size) + " " + what;
  };
  for (const ColumnTerm& term : chunk.terms) add(term.coefficient, source_name(plan, term.source));
  if (chunk.constant != 0) add(chunk.constant, "");
  return text.empty() ? "0" : text;
}

// The line broken before a term where it would pass 96 characters, each further line
// indented under the first.
std::string wrapped(const std::string& line) {
  constexpr std::size_t kWidth = 96;
  std::string text;
  std::size_t start = 0;
  std::size_t width = kWidth;
  while (line.size() - start > width) {
    std::size_t cut = line.rfind(" + ", start + width);
    const std::size_t minus = line.rfind(" - ", start + width);
    if (minus != std::string::npos && (cut == std::string::npos || minus > cut)) cut = minus;
    if (cut == std::string::npos || cut <= start) break;
    text += line.substr(start, cut - start) + "\n;       ";
    start = cut;
    width = kWidth - 9;
  }
  return text + line.substr(start) + "\n";
}

std::string method_lines(const DigitSpec& spec, const ColumnPlan& plan) {
  std::string block = "; METHOD: column sums in base " + std::to_string(spec.base) +
                      ", normalised from the lowest column up\n;   (" + plan.name + ")\n";
  // The parts, four a line.
  std::string parts;
  int on_line = 0;
  for (std::size_t p = 0; p < plan.parts.size(); ++p) {
    const InputPart& part = plan.parts[p];
    if (part.bits == 1) continue;
    parts += on_line == 0 ? "; " : ", ";
    parts += source_name(plan, Source{SourceKind::kPart, static_cast<int>(p)});
    parts += " = x bits ";
    parts += std::to_string(part.low);
    parts += "..";
    parts += std::to_string(part.low + part.bits - 1);
    if (++on_line == 4) {
      parts += "\n";
      on_line = 0;
    }
  }
  if (on_line > 0) parts += "\n";
  block += parts;
  if (plan.parts.size() > 0 && plan.parts[0].bits == 1) block += "; xN: bit N of x\n";
  for (std::size_t g = 0; g < plan.groups.size(); ++g) {
    std::string sum;
    for (const int p : plan.groups[g].parts) {
      sum += (sum.empty() ? "" : " + ") + source_name(plan, Source{SourceKind::kPart, p});
    }
    block += "; g" + std::to_string(g) + " = " + sum + "\n";
  }
  for (std::size_t k = 0; k < plan.columns.size(); ++k) {
    const std::vector<Chunk>& chunks = plan.columns[k].chunks;
    for (std::size_t c = 0; c < chunks.size(); ++c) {
      std::string line = "; column " + std::to_string(k);
      line += c == 0 ? ": carries + " : chunks[c].fresh ? ":   then apart: " : ":   then + ";
      line += chunk_text(plan, chunks[c]);
      if (chunks[c].levels > 1) line += ", " + std::to_string(chunks[c].levels) + " places";
      block += wrapped(line);
    }
  }
  block +=
      "; each chunk split by restoring comparisons (addlw -K, rlf, btfss, addlw K) into\n"
      "; its carries up and the remainder, which the next chunk takes or is the digit\n";
  return block;
}

std::string form_text(const DigitSpec& spec) {
  switch (spec.form) {
    case DigitForm::kAscii:
      return "one character '0'..'" + std::to_string(spec.base - 1) + "' a byte";
    case DigitForm::kPacked:
      return "two digits a byte, the higher one in the high nibble";
    case DigitForm::kUnpacked:
      break;
  }
  return "one digit 0.." + std::to_string(spec.base - 1) + " a byte";
}

}  // namespace

std::string digit_comment_block(const DigitSpec& spec, const DigitSearchResult& found,
                                const DigitNames& names) {
  const std::string& acc = names.acc;
  const std::string b = std::to_string(spec.base);
  const std::string n = std::to_string(spec.input_bits);
  std::string block =
      "; " + acc + " = digits(" + acc + ", base " + b + ", " + form_name(spec.form) + ")\n;\n";
  const int bytes = output_byte_count(spec);
  const std::string top = acc + std::to_string(digit_place(spec, spec.count - 1).byte);
  block += "; Digits:   the " + std::to_string(spec.count) + " base-" + b +
           " digits of x, digit k = floor(x / " + b + "^k) mod " + b + ", leading zeros kept,\n";
  block += ";           " + form_text(spec) + ", the most significant in " + top + ",\n";
  block += ";           exact for every " + n + "-bit input x\n;\n";
  block += method_lines(spec, found.plan);
  if (names.core == Core::kBaseline) {
    block +=
        "; the baseline core has no addlw: each constant K is loaded into a temporary byte\n"
        "; first, and addwf adds it to W from there as addlw would\n";
  }
  // A composition of proven steps (plan_proof.h), its ranges by intervals or over every input.
  if (found.plan.every_input) {
    block +=
        "; Proof: the terms add up to x exactly; every chunk's value fits a byte, its range\n"
        ";        taken over every input, each evaluated exactly; every comparison checked\n"
        ";        for every value it takes";
  } else {
    block +=
        "; Proof: the terms add up to x exactly; every chunk's value fits a byte by interval\n"
        ";        bounds; every comparison checked for every value it takes";
    if (found.proof.inputs_evaluated > 0) {
      block += ";\n;        every input also evaluated exactly with the plan's model";
    }
  }
  block += "\n; Routine: " + std::to_string(found.routine.instructions) + " instructions, " +
           std::to_string(found.routine.instructions) + " cycles\n";
  block += "\n\n; Input:  " + byte_range(acc, (spec.input_bits + 7) / 8) + "\t(" + n + " bits)";
  block +=
      "\n; Output: " + byte_range(acc, bytes) + "\t(" + std::to_string(spec.count) + " digits)";
  const int acc_bytes = std::max(bytes, (spec.input_bits + 7) / 8);
  return block +
         core_lines(names.core, RamUse{acc, acc_bytes, names.temp, found.routine.temp_bytes});
}

}  // namespace tarvek

#include "digits/column_plan.h"

#include <cassert>

namespace tarvek {

int source_max(const ColumnPlan& plan, const Source& source) {
  const auto part_max = [&](int p) {
    return (1 << plan.parts[static_cast<std::size_t>(p)].bits) - 1;
  };
  if (source.kind == SourceKind::kPart) return part_max(source.index);
  int group = 0;
  for (const int p : plan.groups[static_cast<std::size_t>(source.index)].parts)
    group += part_max(p);
  switch (source.kind) {
    case SourceKind::kHalf:
      return group / 2;
    case SourceKind::kOdd:
      return group > 0 ? 1 : 0;
    default:
      return group;
  }
}

std::string source_text(const Source& source) {
  // Appended piece by piece: a literal + std::to_string(...) trips a false -Wrestrict of GCC 12.
  std::string text(1, source.kind == SourceKind::kPart ? 'p' : 'g');
  text += std::to_string(source.index);
  if (source.kind == SourceKind::kHalf) text += "/2";
  if (source.kind == SourceKind::kOdd) text += "%2";
  return text;
}

std::string describe(const ColumnPlan& plan) {
  std::string text = plan.name;
  text += ':';
  for (std::size_t k = 0; k < plan.columns.size(); ++k) {
    text += " [";
    text += std::to_string(k);
    for (const Chunk& chunk : plan.columns[k].chunks) {
      text += " (";
      for (const ColumnTerm& term : chunk.terms) {
        text += ' ';
        text += std::to_string(term.coefficient);
        text += '*';
        text += source_text(term.source);
      }
      if (chunk.constant != 0) {
        text += ' ';
        text += std::to_string(chunk.constant);
      }
      text += " /";
      text += std::to_string(chunk.levels);
      text += ')';
    }
    text += ']';
  }
  return text;
}

}  // namespace tarvek

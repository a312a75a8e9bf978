#include "codegen/core_lines.h"

#include <cassert>

namespace tarvek {
namespace {

std::string byte_range(const std::string& name, int count) {
  std::string text = name + "0";
  if (count > 1) text += " .. " + name + std::to_string(count - 1);
  return text;
}

}  // namespace

std::string core_lines(Core core, const RamUse& ram) {
  assert(ram.acc_bytes >= 1 && ram.temp_bytes >= 0 && ram.rem_bytes >= 0);
  switch (core) {
    case Core::kMidrange:
      return {};
    case Core::kEnhanced:
      return "\n" + std::string(kEnhancedCoreLine);
    case Core::kPic18:
      return "\n" + std::string(kPic18CoreLine);
    case Core::kBaseline:
      break;
  }
  const int total = ram.acc_bytes + ram.rem_bytes + ram.temp_bytes;
  std::string line = "\n" + std::string(kBaselineCoreLine) + "\n; RAM: " + std::to_string(total) +
                     (total == 1 ? " byte (" : " bytes (") + byte_range(ram.acc, ram.acc_bytes);
  if (ram.rem_bytes > 0) line += ", remainder " + byte_range(ram.rem, ram.rem_bytes);
  if (ram.temp_bytes > 0) line += ", temporary " + byte_range(ram.temp, ram.temp_bytes);
  return line + ")";
}

}  // namespace tarvek

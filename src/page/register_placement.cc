#include "page/register_placement.h"

#include <cassert>
#include <cstdio>

#include "codegen/routine_packaging.h"
#include "form/characters.h"

namespace tarvek {
namespace {

// The value of a hexadecimal digit, or -1.
int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int> read_ram_address(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    const int digit = base == 16 ? hex_digit(c) : (is_digit(c) ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    // Leading zeros may run on; a value past the limit stays past it.
    if (value > kLastRamAddress) return std::nullopt;
  }
  return value;
}

std::string ram_notes(int address, Core core) {
  assert(address >= -1 && address <= kLastRamAddress);
  if (core == Core::kPic18) {
    assert(address < kAccessRamEnd);
    // Access RAM starts at 0, where a mid-range part has its special function registers.
    std::string notes =
        "; Registers: this cblock has no address, so it continues the last cblock before it;\n"
        "; the first cblock of the program needs one (such as cblock 0x00).\n";
    if (address >= 0) {
      char line[80];
      std::snprintf(line, sizeof line, "; Registers: they start at 0x%02X, in the access bank.\n",
                    static_cast<unsigned>(address));
      notes = line;
    }
    return notes +
           "; Every register here must lie in the access bank (0x00 to 0x7F on a PIC18F452):\n"
           "; the instructions address it there and the routine never changes BSR.\n";
  }
  std::string notes;
  if (address < 0) {
    notes =
        "; Registers: this cblock has no address, so it continues the last cblock before it;\n"
        "; the first cblock of the program needs one (such as cblock 0x20).\n";
  } else {
    char line[80];
    // Banks of 128 bytes, on the mid-range and the enhanced mid-range cores alike.
    std::snprintf(line, sizeof line, "; Registers: they start at 0x%02X, in bank %d.\n",
                  static_cast<unsigned>(address), address / 128);
    notes = line;
  }
  return notes +
         "; Every register here must be in the bank selected when the routine runs, or in\n"
         "; common RAM: the routine never changes the bank bits.\n";
}

}  // namespace tarvek

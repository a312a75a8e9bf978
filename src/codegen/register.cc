#include "codegen/register.h"

#include <cassert>

#include "codegen/code_writer.h"

namespace tarvek {

Register::Register(std::string name, int width, bool little_endian)
    : name(std::move(name)),
      little_endian(little_endian),
      width(width),
      spare((8 - width % 8) % 8),
      bytes((width + 7) / 8) {
  assert(width >= 0 && width <= 32);
}

void Register::update_bytes() {
  const int needed = value_bytes();
  if (needed > bytes) bytes = needed;
}

void Register::set_width(int new_width, int new_spare) {
  width = new_width;
  spare = new_spare;
  update_bytes();
}

const Code& Register::copy_from(CodeWriter& writer, Register& source) {
  writer.clear_code();
  writer.flush_carry();
  // Every byte the source value occupies, spare bits included: a signed source can hold its
  // sign in a byte of spare bits (after a flush), and the destination takes over `spare`, so
  // a byte left out would be part of the destination's value with whatever it held before.
  // With fewer than 8 spare bits ending on a byte boundary, as where the routine makes its
  // copy, this is the count the value bits alone need.
  const int count = source.value_bytes();
  for (int k = 0; k < count; ++k) {
    writer.movf_w(source, k);
    writer.movwf(*this, k);
  }
  width = source.width;
  spare = source.spare;
  update_bytes();
  is_signed = source.is_signed;
  is_zero = source.is_zero;
  return writer.code;
}

std::string Register::cblock_listing() const {
  std::string listing;
  for (const std::string& byte : declared_names()) {
    listing += '\t';
    listing += byte;
    listing += '\n';
  }
  return listing;
}

std::vector<std::string> Register::declared_names() const {
  std::vector<std::string> names;
  if (!used) return names;
  for (int k = 0; k < bytes; ++k) names.push_back(name + std::to_string(base + k));
  return names;
}

}  // namespace tarvek

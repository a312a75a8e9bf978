// A multi-byte file-register variable of the generated routine, as the generators see it
// while they write code for it.
//
// Byte k of the variable is written as `name` immediately followed by base + k in decimal
// (ACC0, ACC1, ...; base is 0 unless the variable shares its name with another). With
// `little_endian` set byte 0 is the least significant byte; otherwise byte 0 is the most
// significant one. The `spare` bits lie above the value, at the most significant end of the
// allocated bytes. Every operation keeps `bytes` >= (width + spare + 7) / 8, and `bytes` never
// shrinks, so every byte the routine ever touched stays declared.
#ifndef TARVEK_CODEGEN_REGISTER_H
#define TARVEK_CODEGEN_REGISTER_H

#include <string>
#include <vector>

namespace tarvek {

class Code;
class CodeWriter;

struct Register {
  // Requires: width between 0 and 32.
  Register(std::string name, int width, bool little_endian);

  // Raises `bytes` to cover width + spare when that needs more bytes.
  void update_bytes();
  // Assigns both fields, then update_bytes().
  void set_width(int new_width, int new_spare);
  // Emits the byte-by-byte copy of `source` into this register (after flushing any pending
  // carry), bytes 0 upwards over every byte the source value occupies, and takes over the
  // source's width, spare, sign and zero flags. The loads mark `source` used; W ends holding
  // the last byte copied. Empties the writer's code first and returns it.
  const Code& copy_from(CodeWriter& writer, Register& source);
  // One "\tNAMEk\n" line per allocated byte when some instruction read this register;
  // empty otherwise.
  std::string cblock_listing() const;
  // The names of those bytes, in the same order.
  std::vector<std::string> declared_names() const;

  // Byte count the value occupies now: (width + spare + 7) / 8.
  int value_bytes() const { return (width + spare + 7) / 8; }

  // Name prefix of every byte, as given on the form.
  std::string name;
  // The value has been shifted out entirely by a right shift; width and spare are 0.
  bool is_zero = false;
  // The value may be negative (two's complement over the value bytes).
  bool is_signed = false;
  // Some emitted instruction reads a byte of this register; only used registers are declared.
  bool used = false;
  // Byte 0 is the least significant byte.
  bool little_endian = false;
  // Significant bits of the value held.
  int width = 0;
  // Unused bits above the value inside the allocated bytes.
  int spare = 0;
  // Allocated byte count; only ever grows.
  int bytes = 0;
  // Index printed for byte 0: byte k is written as `name` followed by base + k. Lets a routine
  // keep more than one variable under one name (TEMP0 .. TEMP3 for one, TEMP4 for another) or
  // look at some bytes of a variable (the low byte of a big-endian one) as a register of
  // their own.
  int base = 0;
};

// The index of the byte `k` places above the least significant one of `count` bytes of
// `reg`, in its byte order.
inline int byte_from_low(const Register& reg, int count, int k) {
  return reg.little_endian ? k : count - 1 - k;
}

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_REGISTER_H

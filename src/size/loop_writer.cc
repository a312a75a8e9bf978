#include "size/loop_writer.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <optional>

namespace tarvek {

std::vector<ByteRef> byte_run(const std::string& name, int first, int count) {
  std::vector<ByteRef> bytes;
  for (int k = 0; k < count; ++k) bytes.push_back(ByteRef{name, first + k});
  return bytes;
}

std::vector<ByteRef> value_bytes(const std::string& name, int count, bool little_endian) {
  std::vector<ByteRef> bytes;
  for (int k = 0; k < count; ++k) bytes.push_back(ByteRef{name, little_endian ? k : count - 1 - k});
  return bytes;
}

Register& LoopWriter::at(const ByteRef& byte) {
  for (Register& reg : registers_) {
    if (reg.bytes == 1 && reg.name == byte.name && reg.base == byte.index) return reg;
  }
  Register& reg = registers_.emplace_back(byte.name, 8, true);
  reg.base = byte.index;
  return reg;
}

Register& LoopWriter::run(const std::string& name, int first, int count, bool little_endian) {
  assert(count >= 1 && count <= 8);
  Register& reg = registers_.emplace_back(name, 0, little_endian);
  reg.set_width(8 * count, 0);
  reg.base = first;
  return reg;
}

void LoopWriter::take_straight() {
  const int words = writer_.code.words();
  code_ += writer_.code;
  fewest_ += words;
  most_ += words;
  writer_.clear_code();
}

void LoopWriter::take_loop(long fewest, long most) {
  code_ += writer_.code;
  fewest_ += fewest;
  most_ += most;
  writer_.clear_code();
  // After the loop the machine is wherever its last pass left it; nothing is assumed of W.
  writer_.w_register = nullptr;
}

void LoopWriter::append_straight(const Code& code) {
  take_straight();
  code_ += code;
  fewest_ += code.words();
  most_ += code.words();
  writer_.w_register = nullptr;
  writer_.carry_register = nullptr;
}

void LoopWriter::rotate_left(const std::vector<ByteRef>& bytes) {
  for (const ByteRef& byte : bytes) writer_.rlf_f(at(byte), 0);
}

void LoopWriter::rotate_right(const std::vector<ByteRef>& bytes) {
  for (auto byte = bytes.rbegin(); byte != bytes.rend(); ++byte) writer_.rrf_f(at(*byte), 0);
}

namespace {

// The bits of value byte k below `clean_bits`, as a mask.
int kept_bits(int k, int clean_bits) {
  if (clean_bits >= 8 * k + 8) return 0xFF;
  if (clean_bits <= 8 * k) return 0;
  return (1 << (clean_bits - 8 * k)) - 1;
}

// Clears the bits outside `keep` of a byte in place: one bcf per bit, or a mask through W
// when that is shorter.
void clear_bits(LoopWriter& loop, const ByteRef& byte, int keep) {
  CodeWriter& writer = loop.writer();
  const int cleared = std::popcount(static_cast<unsigned>(~keep & 0xFF));
  if (cleared == 8) {
    writer.clrf(loop.at(byte), 0);
  } else if (cleared <= 2) {
    for (int bit = 0; bit < 8; ++bit) {
      if ((keep >> bit & 1) == 0) writer.bcf(loop.at(byte), 0, bit);
    }
  } else {
    writer.movlw(keep);
    writer.andwf_f(loop.at(byte), 0);
  }
}

struct Move {
  ByteRef to;
  // None for a byte that is cleared.
  std::optional<ByteRef> from;
  int keep = 0xFF;
};

}  // namespace

void place_value(LoopWriter& loop, const std::vector<ByteRef>& value, int clean_bits,
                 const std::vector<ByteRef>& out) {
  CodeWriter& writer = loop.writer();
  std::vector<Move> moves;
  for (std::size_t k = 0; k < out.size(); ++k) {
    const int keep = k < value.size() ? kept_bits(static_cast<int>(k), clean_bits) : 0;
    if (keep == 0) {
      moves.push_back(Move{out[k], std::nullopt, 0});
    } else if (value[k] == out[k]) {
      if (keep != 0xFF) clear_bits(loop, out[k], keep);
    } else {
      moves.push_back(Move{out[k], value[k], keep});
    }
  }
  // A move whose byte is still to be read by another waits for it.
  while (!moves.empty()) {
    const auto ready = std::find_if(moves.begin(), moves.end(), [&](const Move& move) {
      return std::none_of(moves.begin(), moves.end(),
                          [&](const Move& other) { return other.from && *other.from == move.to; });
    });
    assert(ready != moves.end());
    if (!ready->from) {
      writer.clrf(loop.at(ready->to), 0);
    } else {
      writer.movf_w(loop.at(*ready->from), 0);
      if (ready->keep != 0xFF) writer.andlw(ready->keep);
      writer.movwf(loop.at(ready->to), 0);
    }
    moves.erase(ready);
  }
}

}  // namespace tarvek

// The writing of one loop routine: one CodeWriter for the whole routine, the single bytes the
// loops work on, and what the routine costs as it is written.
//
// A loop works on bytes that need not belong to one register value: a dividend whose low
// bytes are the accumulator's and whose top byte is temporary, a product whose high part is
// temporary. So the loops name bytes one by one (a ByteRef: the register's name and the byte's
// number as printed), and the writer gets a one-byte register for each, which lives as long as
// this object, so that what the writer records of W never outlives the register it names.
//
// Cost: every straight-line instruction is one word and one cycle (a skipped one included);
// a loop adds its words and, from the loop's own count, its fewest and most cycles.
#ifndef TARVEK_SIZE_LOOP_WRITER_H
#define TARVEK_SIZE_LOOP_WRITER_H

#include <deque>
#include <string>
#include <vector>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

struct ByteRef {
  std::string name;
  int index = 0;

  friend bool operator==(const ByteRef&, const ByteRef&) = default;
};

// Bytes first to first + count - 1 of `name`, in that order.
std::vector<ByteRef> byte_run(const std::string& name, int first, int count);

// The `count` value bytes of a register in the request's byte order, least significant first
// (byte 0 is the least significant one in little-endian order, the most significant one
// otherwise).
std::vector<ByteRef> value_bytes(const std::string& name, int count, bool little_endian);

class LoopWriter {
 public:
  explicit LoopWriter(Core core) : writer_(core) {}
  LoopWriter(const LoopWriter&) = delete;
  LoopWriter& operator=(const LoopWriter&) = delete;

  CodeWriter& writer() { return writer_; }
  // The one-byte register of `byte`, the same object on every call.
  Register& at(const ByteRef& byte);
  // A register of `count` bytes from `first` on, in the given byte order: for the existing
  // generators that work on whole registers (a constant added to a product's part).
  Register& run(const std::string& name, int first, int count, bool little_endian = true);

  // Appends what the writer wrote since the last call to the routine, as straight-line code.
  void take_straight();
  // Appends it as a loop whose runs take from `fewest` to `most` cycles in all.
  void take_loop(long fewest, long most);
  // Appends straight-line code written by another writer; nothing is assumed of W after it.
  void append_straight(const Code& code);

  // rlf (or rrf) over `bytes`, least significant first (most significant first): a rotation
  // of their value through C by one place.
  void rotate_left(const std::vector<ByteRef>& bytes);
  void rotate_right(const std::vector<ByteRef>& bytes);

  const Code& code() const { return code_; }
  int words() const { return code_.words(); }
  long fewest_cycles() const { return fewest_; }
  long most_cycles() const { return most_; }

 private:
  CodeWriter writer_;
  // The registers handed out; a deque keeps their addresses.
  std::deque<Register> registers_;
  Code code_;
  long fewest_ = 0;
  long most_ = 0;
};

// Puts a value held in `value` (least significant byte first) onto `out`: out[k] takes
// value[k] (moved when it is another byte), the bits of value[k] from `clean_bits` up cleared
// (they hold something else), and the bytes of `out` past the value's are cleared. The moves
// are ordered so that no byte is overwritten before it is read.
// Requires: no cycle among the moves (a byte's value moves in one direction only).
void place_value(LoopWriter& loop, const std::vector<ByteRef>& value, int clean_bits,
                 const std::vector<ByteRef>& out);

}  // namespace tarvek

#endif  // TARVEK_SIZE_LOOP_WRITER_H

// Runs one parsed straight-line PicProgram for many inputs at once, one input per lane, with
// exactly the semantics of PicMachine (pic_machine.h) in every lane: a lane started with
// fill(lane, s), given an input and run holds afterwards what a PicMachine holds after
// fill(s), the same input and run(). Lanes never influence one another.
//
// The state is kept as a structure of arrays: for each declared byte, for W, for each flag and
// for the bank bits, one row holding that value for every lane. An instruction is then one
// loop over the lanes doing the same arithmetic on each, which the compiler turns into vector
// instructions (SSE2 is enough). A skip is per lane: the instruction after it runs in every
// lane and its results are kept only in the lanes that did not skip, the others keeping their
// state. A straight-line run costs the same cycles in every lane, one per instruction.
//
// A routine check reads only a few bytes after a run, and restrict_to lets the machine know
// which: a run then skips what cannot reach them, and a fill draws only the starting values
// such a run reads. What the check reads is the same as after a full run, for every start.
//
// The machine refers to its program and does not own it: the program must outlive the
// machine.
#ifndef TARVEK_SIM_LANE_MACHINE_H
#define TARVEK_SIM_LANE_MACHINE_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/pic_program.h"
#include "sim/vectors.h"

namespace tarvek {

class LaneMachine {
 public:
  // Lanes are run in blocks of this many, so that every loop over lanes has a fixed length.
  static constexpr int kBlockLanes = 32;

  // Every byte, W, flag and bank bit of every lane starts at 0.
  // Requires: lanes >= 1 and program.straight_line (a PIC16 program the lanes run).
  LaneMachine(const PicProgram& program, int lanes);

  int lanes() const { return lanes_; }

  // The vector instructions of the runs (vectors.h): best_vectors() unless told otherwise.
  // Requires: kSse2, or best_vectors() itself.
  void use_vectors(Vectors vectors);
  Vectors vectors() const { return vectors_; }

  // From now on, runs need only leave right what a routine check reads afterwards: the bytes
  // `outputs`, the bank bits and skipped_past_end. A run leaves out the instructions whose
  // results are overwritten or never read on the way to those, and the Z and DC of the others
  // where nothing reads them before they are set again; a fill leaves out the starting
  // values nothing reads, and the bytes `inputs`, which the caller writes after every fill.
  // Afterwards, every other byte, W and the flags are unspecified after a fill or a run.
  // Requires: each index a declared byte; the machine not restricted before.
  void restrict_to(const std::vector<int>& inputs, const std::vector<int>& outputs);
  // The instructions a run executes: all of them unless restricted.
  int instructions_run() const { return static_cast<int>(steps_.size()); }

  // PicMachine::fill(seed) for one lane: the same bytes, W, C, DC and Z, bank bits 0.
  // Requires, here and for every other `lane` argument: 0 <= lane < lanes().
  void fill(int lane, uint64_t seed);
  // fill(l, first_seed + l) for every lane l below `count`, in one pass over the rows.
  // Requires: 0 <= count <= lanes().
  void fill_lanes(int count, uint64_t first_seed);
  // PicMachine::write_value and read_value for one lane, with byte indexes resolved once
  // (PicProgram::value_indexes), least significant first.
  // Requires: indexes.size() <= 8, each one a declared byte.
  void write_value(int lane, const std::vector<int>& indexes, uint64_t value);
  uint64_t read_value(int lane, const std::vector<int>& indexes) const;
  // The same for lanes 0 to values.size() - 1 at once, lane l taking or giving values[l].
  // Requires: as above, and values.size() <= lanes().
  void write_values(const std::vector<int>& indexes, std::span<const uint64_t> values);
  void read_values(const std::vector<int>& indexes, std::span<uint64_t> values) const;

  // Requires: 0 <= index < number of declared bytes.
  uint8_t byte_at(int lane, int index) const;
  void set_byte_at(int lane, int index, uint8_t v);
  uint8_t w(int lane) const;
  void set_w(int lane, uint8_t v);
  // The STATUS register as PicMachine::status() shows it: bank bits, TO = PD = 1, Z, DC, C.
  uint8_t status(int lane) const;
  // Takes the bank bits (7..5), Z, DC and C from `status`; TO and PD are fixed.
  void set_status(int lane, uint8_t status);
  // STATUS bits 7..5 in place, as PicMachine::bank_bits.
  uint8_t bank_bits(int lane) const;

  // Runs the program once, from its first instruction to its end, in lanes 0 to
  // lane_count - 1, and returns the cycles the run took (the same in every lane: one per
  // instruction, a skipped one included). Lanes from lane_count up to the next multiple of
  // kBlockLanes are run too and hold whatever that leaves; the lanes above are untouched.
  // Requires: 0 <= lane_count <= lanes().
  long run(int lane_count);
  // Whether the last run ended in this lane with a skip taken on its last instruction, which
  // on the chip would skip whatever follows the routine (PicMachine's skipped_past_end).
  // Meaningful for the lanes that run covered.
  bool skipped_past_end(int lane) const;
  // The first lane below `count` that skipped past the end, or whose bank bits are not 0
  // (bank_bits); `count` when there is none.
  // Requires: 0 <= count <= lanes().
  int first_skipped_past_end(int count) const;
  int first_bank_switched(int count) const;

 private:
  // The rows after the declared bytes' ones. kScratch stands in for the file operand of an
  // instruction that has none, and holds the starting flags while lanes are filled; nothing
  // reads what is left in it.
  enum Row : int { kW, kCarry, kDigitCarry, kZero, kBank, kSkip, kScratch, kRowCount };

  // One instruction of a run, in 12 bytes: a long routine's steps are a few pages that each
  // request touches anew.
  struct Step {
    PicOp op;
    // The literal of movlw, andlw, iorlw and addlw.
    uint8_t literal;
    // The bit number of btfsc and bsf.
    uint8_t bit;
    // The instruction before it in the program is a skip: the skip row tells where this one
    // is skipped.
    bool predicated;
    // Z and DC are left as they were: nothing reads what the instruction would set.
    bool lean;
    // The row of its file operand, or the scratch row for an instruction without one.
    int f_row;
  };

  // Runs `count` steps in `lanes` lanes: `rows` is rows_, stride_ apart, and `registers` the
  // rows of W, C, DC, Z, the bank bits and the skips, in that order. One loop, compiled once
  // for each of the Vectors.
  static void run_sse2(const Step* steps, std::size_t count, uint8_t* rows, int stride,
                       uint8_t* const* registers, int lanes, uint8_t writable_bank_bits);
  static void run_avx2(const Step* steps, std::size_t count, uint8_t* rows, int stride,
                       uint8_t* const* registers, int lanes, uint8_t writable_bank_bits);

  // Fills lanes first to first + count - 1, lane first + k from seed first_seed + k.
  void fill_range(int first, int count, uint64_t first_seed);

  // Row `index` of rows_: a declared byte's index, or byte_count_ + a Row.
  uint8_t* row(int index);
  const uint8_t* row(int index) const;
  uint8_t* register_row(Row r) { return row(byte_count_ + r); }
  const uint8_t* register_row(Row r) const { return row(byte_count_ + r); }

  // The program run; not owned.
  const PicProgram* program_;
  // The lanes a caller may name.
  int lanes_;
  // Lanes rounded up to whole blocks: the length of every row.
  int stride_;
  // The program's declared bytes, which have the first rows.
  int byte_count_;
  // Row r, lane l at rows_[r * stride_ + l]: one row per declared byte (its index), then one
  // per Row. The flags and the skip row hold 0 or 1; the bank row holds STATUS bits 7..5 in
  // place. The skip row is valid only after a skip instruction: it tells in which lanes the
  // next instruction is skipped.
  std::vector<uint8_t> rows_;
  // What a run executes, in program order: every instruction, or after restrict_to those
  // whose results can reach what the caller reads.
  std::vector<Step> steps_;
  // Which values a fill draws: one flag per declared byte, then W, then the flags byte.
  std::vector<bool> drawn_;
  Vectors vectors_;
  // restrict_to has been called.
  bool restricted_ = false;
  // The last run's final instruction was a skip instruction, so the skip row tells which
  // lanes skipped past the end.
  bool ended_on_skip_ = false;
};

}  // namespace tarvek

#endif  // TARVEK_SIM_LANE_MACHINE_H

#include "exact/routine_cleanup.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tarvek {
namespace {

// Line flags: what the instruction does with W and Z, and whether a pass removed it.
enum : uint8_t {
  kSkip = 1,
  kHasWForm = 2,  // a file operation whose result could go to W instead, flags alike
  kGone = 4,
  kReadsW = 8,
  kWritesW = 16,
  kReadsZ = 32,
  kWritesZ = 64,
};

struct Line {
  Instruction in;
  uint8_t flags = 0;

  bool has(uint8_t flag) const { return (flags & flag) != 0; }
};

// What the instruction does with W and Z, and whether it skips.
uint8_t effects(const Instruction& in) {
  const bool status = in.file == kStatusFile;
  const uint8_t to_w = in.to_w ? kWritesW : 0;
  constexpr uint8_t kFileOp = kHasWForm | kWritesZ;
  constexpr uint8_t kLiteralOp = kReadsW | kWritesZ | kWritesW;
  uint8_t flags = 0;
  switch (in.op) {
    case Op::kMovf:
      flags = kWritesZ | to_w;
      break;
    case Op::kMovwf:
      flags = kReadsW;
      break;
    case Op::kClrf:
      flags = kWritesZ;
      break;
    case Op::kMovlw:
      flags = kWritesW;
      break;
    case Op::kClrw:
      flags = kWritesZ | kWritesW;
      break;
    case Op::kAddwf:
    case Op::kSubwf:
    case Op::kAndwf:
    case Op::kIorwf:
    case Op::kXorwf:
    case Op::kAddwfc:
    case Op::kSubwfb:
      flags = kFileOp | kReadsW | to_w;
      break;
    case Op::kComf:
    case Op::kIncf:
    case Op::kDecf:
    case Op::kLslf:
    case Op::kLsrf:
    case Op::kAsrf:
      flags = kFileOp | to_w;
      break;
    case Op::kRlf:
    case Op::kRrf:
    case Op::kRlcf:
    case Op::kRrcf:
    case Op::kSwapf:
      flags = kHasWForm | to_w;
      break;
    case Op::kIncfsz:
    case Op::kDecfsz:
      flags = kSkip | to_w;
      break;
    case Op::kAddlw:
    case Op::kSublw:
    case Op::kAndlw:
    case Op::kIorlw:
    case Op::kXorlw:
      flags = kLiteralOp;
      break;
    case Op::kBcf:
    case Op::kBsf:
      // Setting or clearing a bit of STATUS is not followed: taken as reading W and Z, which
      // only ever keeps an instruction that could have gone.
      flags = status ? kReadsW | kReadsZ : 0;
      break;
    case Op::kBtfsc:
    case Op::kBtfss:
      flags = kSkip | (status ? kReadsZ : 0);
      break;
    case Op::kClrc:
    case Op::kSetc:
      break;
    case Op::kSkpc:
    case Op::kSkpnc:
      flags = kSkip;
      break;
    case Op::kSkpz:
    case Op::kSkpnz:
      flags = kSkip | kReadsZ;
      break;
    case Op::kGoto:
    case Op::kBra:
    case Op::kLabel:
    // A multiplication changes the product bytes, which this pass does not follow: taken as a
    // place it must not look across, like a jump.
    case Op::kMullw:
    case Op::kMulwf:
      // A jump or the place one lands: whatever W and Z hold may be read on the other side.
      flags = kSkip | kReadsW | kReadsZ;
      break;
  }
  if (in.to_w) flags &= static_cast<uint8_t>(~kHasWForm);
  return flags;
}

struct Routine {
  // Register numbers and names as in the code read.
  Code code;
  std::vector<Line> lines;
};

Routine read(const Code& code) {
  Routine routine;
  routine.lines.reserve(code.size());
  for (const Instruction& in : code.instructions()) routine.lines.push_back({in, effects(in)});
  routine.code = code;
  routine.code.clear();
  return routine;
}

Code join(Routine& routine) {
  Code out = std::move(routine.code);
  for (const Line& line : routine.lines) {
    if (!line.has(kGone)) out.push_back(line.in);
  }
  return out;
}

// Makes `line` `op` on the byte of line `from`, its result to W when `to_w`.
void rewrite(Line& line, Op op, const Line& from, bool to_w) {
  line.in = from.in;
  line.in.op = op;
  line.in.to_w = to_w;
  line.flags = effects(line.in);
}

// Whether the line runs whichever way the skips before it go: the nearest line left before it
// does not skip. (Passes only remove lines that follow no skip, so this never changes.)
bool runs_always(const std::vector<Line>& lines, std::size_t i) {
  while (i-- > 0) {
    if (!lines[i].has(kGone)) return !lines[i].has(kSkip);
  }
  return true;
}

bool is_move(const Line& line) {
  if (line.in.file == kStatusFile) return false;
  const Op op = line.in.op;
  return (op == Op::kMovf && line.in.to_w) || op == Op::kMovwf || op == Op::kClrf;
}

// Whether W (when `w_too`) and Z (when `z_too`) are written before anything reads them, from
// line `from` on. A line behind a skip may not run, so it does not count as writing.
bool dead_after(const std::vector<Line>& lines, std::size_t from, bool w_too, bool z_too) {
  bool w_live = w_too;
  bool z_live = z_too;
  for (std::size_t i = from; i < lines.size() && (w_live || z_live); ++i) {
    const Line& line = lines[i];
    if (line.has(kGone)) continue;
    if ((w_live && line.has(kReadsW)) || (z_live && line.has(kReadsZ))) return false;
    if ((line.has(kWritesW) || line.has(kWritesZ)) && runs_always(lines, i)) {
      w_live = w_live && !line.has(kWritesW);
      z_live = z_live && !line.has(kWritesZ);
    }
  }
  return true;
}

// Whether the byte of `byte` is read from line `from` on before a write that always runs.
bool read_after(const std::vector<Line>& lines, std::size_t from, const Instruction& byte) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (line.has(kGone) || !line.in.same_file_byte(byte)) continue;
    const bool only_writes = line.in.op == Op::kMovwf || line.in.op == Op::kClrf;
    if (!only_writes) return true;
    if (runs_always(lines, i)) return false;
  }
  return false;
}

// What a stretch of moves has done so far: each byte written, in the order first written (by
// the line that names it), with the line naming the original byte whose value it now holds, or
// kEntryW (W's value on entry) or kZero.
constexpr long kEntryW = -1;
constexpr long kZero = -2;

struct Stretch {
  std::vector<std::pair<std::size_t, long>> holds;
  long w = kEntryW;
  bool last_z_by_clear = false;

  // Takes in the move on line i.
  void take(const std::vector<Line>& lines, std::size_t i) {
    const auto same_byte = [&](std::size_t a, std::size_t b) {
      return lines[a].in.same_file_byte(lines[b].in);
    };
    const Line& line = lines[i];
    if (line.in.op == Op::kMovf) {
      w = static_cast<long>(i);
      for (const auto& [byte, held] : holds) {
        if (same_byte(byte, i)) w = held;
      }
      last_z_by_clear = false;
      return;
    }
    const bool clear = line.in.op == Op::kClrf;
    const long held = clear ? kZero : w;
    last_z_by_clear = clear;
    for (auto& [byte, old] : holds) {
      if (same_byte(byte, i)) {
        old = held;
        return;
      }
    }
    holds.emplace_back(i, held);
  }

  // The bytes it clears, or -1 when some byte it wrote holds another's value.
  long clears(const std::vector<Line>& lines) const {
    long count = 0;
    for (const auto& [byte, held] : holds) {
      if (held == kZero) {
        ++count;
      } else if (held < 0 ||
                 !lines[static_cast<std::size_t>(held)].in.same_file_byte(lines[byte].in)) {
        return -1;
      }
    }
    return count;
  }
};

// Replaces the stretch of moves from line i by its clears alone, for the longest stretch whose
// bytes all end as they were or cleared, with fewer clears than moves, after which W (and Z,
// unless the clears leave it as the stretch did) is dead. Returns the line after the stretch,
// or i when there is none.
std::size_t reduce_from(std::vector<Line>& lines, std::size_t i) {
  std::size_t end = i;
  while (end < lines.size() && !lines[end].has(kGone) && is_move(lines[end])) ++end;
  // One pass finds where the stretch could stop; the longest that leaves W and Z free wins.
  std::vector<std::pair<std::size_t, bool>> stops;  // (stop, Z as the clears leave it)
  Stretch stretch;
  for (std::size_t j = i; j < end; ++j) {
    stretch.take(lines, j);
    const long clears = stretch.clears(lines);
    const std::size_t length = j + 1 - i;
    if (length >= 2 && clears >= 0 && static_cast<std::size_t>(clears) < length) {
      stops.emplace_back(j + 1, stretch.last_z_by_clear && clears > 0);
    }
  }
  for (auto stop = stops.rbegin(); stop != stops.rend(); ++stop) {
    if (!dead_after(lines, stop->first, true, !stop->second)) continue;
    Stretch taken;
    for (std::size_t j = i; j < stop->first; ++j) taken.take(lines, j);
    // The clears take the stretch's first lines, their bytes named by copies of the lines
    // that first wrote them.
    std::vector<Line> named;
    for (const auto& [byte, held] : taken.holds) {
      if (held == kZero) named.push_back(lines[byte]);
    }
    std::size_t at = i;
    for (const Line& from : named) rewrite(lines[at++], Op::kClrf, from, false);
    for (; at < stop->first; ++at) lines[at].flags |= kGone;
    return stop->first;
  }
  return i;
}

void drop_undone_moves(std::vector<Line>& lines) {
  std::size_t i = 0;
  while (i < lines.size()) {
    if (lines[i].has(kGone) || !is_move(lines[i]) || !runs_always(lines, i)) {
      ++i;
      continue;
    }
    const std::size_t next = reduce_from(lines, i);
    i = next > i ? next : i + 1;
  }
}

bool in_scratch(const Instruction& in, int scratch) {
  return scratch >= 0 && in.file == scratch;
}

void drop_unread_scratch_stores(std::vector<Line>& lines, int scratch) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Line& line = lines[i];
    if (!line.has(kGone) && line.in.op == Op::kMovwf && in_scratch(line.in, scratch) &&
        runs_always(lines, i) && !read_after(lines, i + 1, line.in)) {
      line.flags |= kGone;
    }
  }
}

void keep_scratch_results_in_w(std::vector<Line>& lines, int scratch) {
  for (std::size_t j = 1; j < lines.size(); ++j) {
    const Line& load = lines[j];
    if (load.has(kGone) || load.in.op != Op::kMovf || !load.in.to_w ||
        !in_scratch(load.in, scratch) || !runs_always(lines, j)) {
      continue;
    }
    // The instruction that last wrote the byte, with nothing between that touches W, the
    // byte or a skip.
    bool z_between = false;
    std::size_t i = j;
    bool found = false;
    while (i-- > 0) {
      const Line& line = lines[i];
      if (line.has(kGone)) continue;
      if (line.has(kSkip)) break;
      if (line.in.same_file_byte(load.in)) {
        found = line.has(kHasWForm) && runs_always(lines, i);
        break;
      }
      if (line.has(kReadsW) || line.has(kWritesW)) break;
      z_between = z_between || line.has(kWritesZ);
    }
    if (!found || read_after(lines, j + 1, load.in)) continue;
    // The load set Z from the value; the operation itself sets it the same way only if it
    // sets Z at all and nothing between changed it.
    if ((z_between || !lines[i].has(kWritesZ)) && !dead_after(lines, j + 1, false, true)) {
      continue;
    }
    const Line operation = lines[i];
    rewrite(lines[i], operation.in.op, operation, true);
    lines[j].flags |= kGone;
  }
}

}  // namespace

Code drop_undone_moves(const Code& code) {
  Routine routine = read(code);
  drop_undone_moves(routine.lines);
  return join(routine);
}

Code drop_unread_scratch_stores(const Code& code, int scratch) {
  Routine routine = read(code);
  drop_unread_scratch_stores(routine.lines, scratch);
  return join(routine);
}

Code keep_scratch_results_in_w(const Code& code, int scratch) {
  Routine routine = read(code);
  keep_scratch_results_in_w(routine.lines, scratch);
  return join(routine);
}

Code clean_up_routine(const Code& code, int scratch) {
  // The passes reason about one path through the code: a loop's body runs again after its
  // last instruction, so a routine with labels is left as it is.
  if (code.size() > static_cast<std::size_t>(kLongestCleanedUp) || code.has_labels()) return code;
  Routine routine = read(code);
  drop_undone_moves(routine.lines);
  drop_unread_scratch_stores(routine.lines, scratch);
  keep_scratch_results_in_w(routine.lines, scratch);
  return join(routine);
}

}  // namespace tarvek

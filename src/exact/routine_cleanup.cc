#include "exact/routine_cleanup.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvek {
namespace {

// A web request cleans up routines of hundreds of lines, so a line is kept small (its text and
// file operand as places in the routine's text, its mnemonic's letters packed into an
// integer) and classified by integer comparisons.
constexpr uint64_t pack(std::string_view m) {
  if (m.size() > 8) return ~uint64_t{0};
  uint64_t key = 0;
  for (std::size_t i = 0; i < m.size(); ++i) {
    key |= uint64_t{static_cast<uint8_t>(m[i])} << (8 * i);
  }
  return key;
}

// Line flags: the line's own, then what it does with W and Z.
enum : uint8_t {
  kToW = 1,  // ", w"
  kSkip = 2,
  kHasWForm = 4,  // a file operation whose result could go to W instead, flags alike
  kGone = 8,
  kReadsW = 16,
  kWritesW = 32,
  kReadsZ = 64,
  kWritesZ = 128,
};

// What each mnemonic does. An unknown one counts as reading W and Z, which only ever keeps an
// instruction that could have gone.
enum : uint8_t {
  kAlwaysW = 1,    // writes W whatever the destination
  kToWWrites = 2,  // writes W with ", w"
  kTestsBit = 4,   // reads Z only when testing STATUS
  kSetsBit = 8,    // unknown when it sets or clears a bit of STATUS
};

struct Mnemonic {
  uint64_t key;
  uint8_t flags;  // kSkip, kHasWForm, kReadsW, kReadsZ, kWritesZ
  uint8_t w;      // kAlwaysW, kToWWrites, kTestsBit
};

constexpr uint8_t kFileOp = kHasWForm | kWritesZ;
constexpr uint8_t kLiteralOp = kReadsW | kWritesZ;
constexpr Mnemonic kMnemonics[] = {
    {pack("movf"), kWritesZ, kToWWrites},
    {pack("movwf"), kReadsW, 0},
    {pack("clrf"), kWritesZ, 0},
    {pack("movlw"), 0, kAlwaysW},
    {pack("clrw"), kWritesZ, kAlwaysW},
    {pack("addwf"), kFileOp | kReadsW, kToWWrites},
    {pack("subwf"), kFileOp | kReadsW, kToWWrites},
    {pack("andwf"), kFileOp | kReadsW, kToWWrites},
    {pack("iorwf"), kFileOp | kReadsW, kToWWrites},
    {pack("xorwf"), kFileOp | kReadsW, kToWWrites},
    {pack("addwfc"), kFileOp | kReadsW, kToWWrites},
    {pack("subwfb"), kFileOp | kReadsW, kToWWrites},
    {pack("comf"), kFileOp, kToWWrites},
    {pack("incf"), kFileOp, kToWWrites},
    {pack("decf"), kFileOp, kToWWrites},
    {pack("lslf"), kFileOp, kToWWrites},
    {pack("lsrf"), kFileOp, kToWWrites},
    {pack("asrf"), kFileOp, kToWWrites},
    {pack("rlf"), kHasWForm, kToWWrites},
    {pack("rrf"), kHasWForm, kToWWrites},
    {pack("swapf"), kHasWForm, kToWWrites},
    {pack("incfsz"), kSkip, kToWWrites},
    {pack("decfsz"), kSkip, kToWWrites},
    {pack("addlw"), kLiteralOp, kAlwaysW},
    {pack("sublw"), kLiteralOp, kAlwaysW},
    {pack("andlw"), kLiteralOp, kAlwaysW},
    {pack("iorlw"), kLiteralOp, kAlwaysW},
    {pack("xorlw"), kLiteralOp, kAlwaysW},
    {pack("bcf"), 0, kSetsBit},
    {pack("bsf"), 0, kSetsBit},
    {pack("clrc"), 0, 0},
    {pack("setc"), 0, 0},
    {pack("skpc"), kSkip, 0},
    {pack("skpnc"), kSkip, 0},
    {pack("skpz"), kSkip | kReadsZ, 0},
    {pack("skpnz"), kSkip | kReadsZ, 0},
    {pack("btfss"), kSkip, kTestsBit},
    {pack("btfsc"), kSkip, kTestsBit},
};

struct Line {
  uint64_t mnemonic = 0;
  // The line's text in the routine's text, and its file operand ("" for none).
  uint32_t start = 0;
  uint32_t file_start = 0;
  // The line's text among the routine's texts when a pass rewrote it; -1 otherwise.
  int32_t replaced = -1;
  uint16_t length = 0;
  uint8_t file_length = 0;
  uint8_t flags = 0;

  bool has(uint8_t flag) const { return (flags & flag) != 0; }
};

struct Routine {
  std::string_view code;
  std::vector<Line> lines;
  std::vector<std::string> texts;

  std::string_view file(const Line& line) const {
    return code.substr(line.file_start, line.file_length);
  }
};

void classify(Line& line, std::string_view file) {
  line.flags &= kToW | kGone;
  uint8_t effect = kReadsW | kReadsZ;
  for (const Mnemonic& m : kMnemonics) {
    if (m.key != line.mnemonic) continue;
    effect = m.flags;
    if ((m.w & kAlwaysW) != 0 || ((m.w & kToWWrites) != 0 && line.has(kToW))) effect |= kWritesW;
    if ((m.w & kTestsBit) != 0 && file == "STATUS") effect |= kReadsZ;
    if ((m.w & kSetsBit) != 0 && file == "STATUS") effect = kReadsW | kReadsZ;
    if (line.has(kToW)) effect &= static_cast<uint8_t>(~kHasWForm);
    break;
  }
  line.flags |= effect;
}

// Reads "\tmnemonic\toperand[, w|f]\n" lines.
Routine parse(const std::string& code) {
  Routine routine;
  routine.code = code;
  std::size_t count = 0;
  for (const char c : code) count += c == '\n' ? 1 : 0;
  routine.lines.reserve(count + 1);
  const std::string_view all(code);
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
  for (std::size_t start = 0; start < all.size();) {
    std::size_t end = all.find('\n', start);
    end = end == std::string_view::npos ? all.size() : end + 1;
    Line line;
    line.start = static_cast<uint32_t>(start);
    line.length = static_cast<uint16_t>(end - start);
    std::size_t i = start;
    while (i < end && blank(all[i])) ++i;
    std::size_t stop = i;
    while (stop < end && !blank(all[stop])) ++stop;
    line.mnemonic = pack(all.substr(i, stop - i));
    i = stop;
    while (i < end && blank(all[i])) ++i;
    stop = i;
    while (stop < end && all[stop] != ',' && !blank(all[stop])) ++stop;
    line.file_start = static_cast<uint32_t>(i);
    line.file_length = static_cast<uint8_t>(stop - i);
    const std::size_t comma = all.substr(0, end).find(',', stop);
    if (comma != std::string_view::npos) {
      std::size_t d = comma + 1;
      while (d < end && blank(all[d])) ++d;
      if (d < end && all[d] == 'w' && (d + 1 == end || blank(all[d + 1]))) line.flags |= kToW;
    }
    // A line or operand too long for the fields (never one of ours) stays unknown.
    if (end - start > 0xFFFF || stop - i > 0xFF) {
      line.mnemonic = ~uint64_t{0};
      line.length = 0;
      line.replaced = static_cast<int32_t>(routine.texts.size());
      routine.texts.emplace_back(all.substr(start, end - start));
      line.file_length = 0;
    }
    classify(line, routine.file(line));
    routine.lines.push_back(line);
    start = end;
  }
  return routine;
}

std::string join(const Routine& routine) {
  std::string out;
  out.reserve(routine.code.size());
  for (const Line& line : routine.lines) {
    if (line.has(kGone)) continue;
    if (line.replaced >= 0) {
      out += routine.texts[static_cast<std::size_t>(line.replaced)];
    } else {
      out += routine.code.substr(line.start, line.length);
    }
  }
  return out;
}

// Makes `line` "mnemonic file[, w]", the file operand taken from line `from`.
void rewrite(Routine& routine, Line& line, std::string_view mnemonic, const Line& from, bool to_w) {
  const std::string_view file = routine.file(from);
  std::string text = "\t";
  text += mnemonic;
  text += '\t';
  text += file;
  if (to_w) text += ", w";
  text += '\n';
  line.mnemonic = pack(mnemonic);
  line.file_start = from.file_start;
  line.file_length = from.file_length;
  line.flags = to_w ? kToW : 0;
  line.replaced = static_cast<int32_t>(routine.texts.size());
  routine.texts.push_back(std::move(text));
  classify(line, file);
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
  return (line.mnemonic == pack("movf") && line.has(kToW)) || line.mnemonic == pack("movwf") ||
         line.mnemonic == pack("clrf");
}

bool is_scratch_byte(std::string_view file, std::string_view scratch) {
  if (file.size() <= scratch.size() || file.substr(0, scratch.size()) != scratch) return false;
  for (std::size_t i = scratch.size(); i < file.size(); ++i) {
    if (file[i] < '0' || file[i] > '9') return false;
  }
  return true;
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

// Whether the byte `file` is read from line `from` on before a write that always runs.
bool read_after(const Routine& routine, std::size_t from, std::string_view file) {
  const std::vector<Line>& lines = routine.lines;
  for (std::size_t i = from; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (line.has(kGone) || routine.file(line) != file) continue;
    const bool only_writes = line.mnemonic == pack("movwf") || line.mnemonic == pack("clrf");
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
  void take(const Routine& routine, std::size_t i) {
    const auto same_byte = [&](std::size_t a, std::size_t b) {
      return routine.file(routine.lines[a]) == routine.file(routine.lines[b]);
    };
    const Line& line = routine.lines[i];
    if (line.mnemonic == pack("movf")) {
      w = static_cast<long>(i);
      for (const auto& [byte, held] : holds) {
        if (same_byte(byte, i)) w = held;
      }
      last_z_by_clear = false;
      return;
    }
    const bool clear = line.mnemonic == pack("clrf");
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
  long clears(const Routine& routine) const {
    long count = 0;
    for (const auto& [byte, held] : holds) {
      if (held == kZero) {
        ++count;
      } else if (held < 0 || routine.file(routine.lines[static_cast<std::size_t>(held)]) !=
                                 routine.file(routine.lines[byte])) {
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
std::size_t reduce_from(Routine& routine, std::size_t i) {
  std::vector<Line>& lines = routine.lines;
  std::size_t end = i;
  while (end < lines.size() && !lines[end].has(kGone) && is_move(lines[end])) ++end;
  // One pass finds where the stretch could stop; the longest that leaves W and Z free wins.
  std::vector<std::pair<std::size_t, bool>> stops;  // (stop, Z as the clears leave it)
  Stretch stretch;
  for (std::size_t j = i; j < end; ++j) {
    stretch.take(routine, j);
    const long clears = stretch.clears(routine);
    const std::size_t length = j + 1 - i;
    if (length >= 2 && clears >= 0 && static_cast<std::size_t>(clears) < length) {
      stops.emplace_back(j + 1, stretch.last_z_by_clear && clears > 0);
    }
  }
  for (auto stop = stops.rbegin(); stop != stops.rend(); ++stop) {
    if (!dead_after(lines, stop->first, true, !stop->second)) continue;
    Stretch taken;
    for (std::size_t j = i; j < stop->first; ++j) taken.take(routine, j);
    // The clears take the stretch's first lines, their bytes named by copies of the lines
    // that first wrote them.
    std::vector<Line> named;
    for (const auto& [byte, held] : taken.holds) {
      if (held == kZero) named.push_back(lines[byte]);
    }
    std::size_t at = i;
    for (const Line& from : named) rewrite(routine, lines[at++], "clrf", from, false);
    for (; at < stop->first; ++at) lines[at].flags |= kGone;
    return stop->first;
  }
  return i;
}

void drop_undone_moves(Routine& routine) {
  std::vector<Line>& lines = routine.lines;
  std::size_t i = 0;
  while (i < lines.size()) {
    if (lines[i].has(kGone) || !is_move(lines[i]) || !runs_always(lines, i)) {
      ++i;
      continue;
    }
    const std::size_t next = reduce_from(routine, i);
    i = next > i ? next : i + 1;
  }
}

void drop_unread_scratch_stores(Routine& routine, std::string_view scratch) {
  std::vector<Line>& lines = routine.lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Line& line = lines[i];
    if (!line.has(kGone) && line.mnemonic == pack("movwf") &&
        is_scratch_byte(routine.file(line), scratch) && runs_always(lines, i) &&
        !read_after(routine, i + 1, routine.file(line))) {
      line.flags |= kGone;
    }
  }
}

void keep_scratch_results_in_w(Routine& routine, std::string_view scratch) {
  std::vector<Line>& lines = routine.lines;
  for (std::size_t j = 1; j < lines.size(); ++j) {
    const Line& load = lines[j];
    const std::string_view file = routine.file(load);
    if (load.has(kGone) || load.mnemonic != pack("movf") || !load.has(kToW) ||
        !is_scratch_byte(file, scratch) || !runs_always(lines, j)) {
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
      if (routine.file(line) == file) {
        found = line.has(kHasWForm) && runs_always(lines, i);
        break;
      }
      if (line.has(kReadsW) || line.has(kWritesW)) break;
      z_between = z_between || line.has(kWritesZ);
    }
    if (!found || read_after(routine, j + 1, file)) continue;
    // The load set Z from the value; the operation itself sets it the same way only if it
    // sets Z at all and nothing between changed it.
    if ((z_between || !lines[i].has(kWritesZ)) && !dead_after(lines, j + 1, false, true)) {
      continue;
    }
    // The mnemonic's letters, back from the packed key.
    std::string mnemonic;
    for (uint64_t key = lines[i].mnemonic; key != 0; key >>= 8) {
      mnemonic += static_cast<char>(key & 0xFF);
    }
    const Line operation = lines[i];
    rewrite(routine, lines[i], mnemonic, operation, true);
    lines[j].flags |= kGone;
  }
}

}  // namespace

std::string drop_undone_moves(const std::string& code) {
  Routine routine = parse(code);
  drop_undone_moves(routine);
  return join(routine);
}

std::string drop_unread_scratch_stores(const std::string& code, const std::string& scratch) {
  Routine routine = parse(code);
  drop_unread_scratch_stores(routine, scratch);
  return join(routine);
}

std::string keep_scratch_results_in_w(const std::string& code, const std::string& scratch) {
  Routine routine = parse(code);
  keep_scratch_results_in_w(routine, scratch);
  return join(routine);
}

std::string clean_up_routine(const std::string& code, const std::string& scratch) {
  Routine routine = parse(code);
  // The scans grow with the square of the length, and in a long routine they save a few
  // instructions of hundreds: a routine that long is left as generated, which keeps a web
  // request's cost bounded.
  if (routine.lines.size() > static_cast<std::size_t>(kLongestCleanedUp)) return code;
  drop_undone_moves(routine);
  drop_unread_scratch_stores(routine, scratch);
  keep_scratch_results_in_w(routine, scratch);
  return join(routine);
}

}  // namespace tarvek

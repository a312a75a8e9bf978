#include "exact/routine_cleanup.h"

#include <cctype>
#include <cstddef>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace tarvek {
namespace {

struct Line {
  std::string mnemonic;
  // The file register operand ("" for none), and whether the result goes to W (", w").
  std::string file;
  bool to_w = false;
  std::string text;
};

Line parse(const std::string& text) {
  Line line;
  line.text = text;
  std::istringstream in(text);
  in >> line.mnemonic;
  std::string rest;
  std::getline(in, rest);
  const std::size_t start = rest.find_first_not_of(" \t");
  rest = start == std::string::npos ? "" : rest.substr(start);
  const std::size_t comma = rest.find(',');
  line.file = rest.substr(0, comma);
  if (comma != std::string::npos) {
    const std::size_t d = rest.find_first_not_of(" \t", comma + 1);
    line.to_w = d != std::string::npos && rest.compare(d, std::string::npos, "w") == 0;
  }
  return line;
}

bool is_skip(const Line& line) {
  static const std::set<std::string> kSkips = {"skpc",  "skpnc", "skpz",   "skpnz",
                                               "btfss", "btfsc", "incfsz", "decfsz"};
  return kSkips.count(line.mnemonic) != 0;
}

bool is_move(const Line& line) {
  return (line.mnemonic == "movf" && line.to_w) || line.mnemonic == "movwf" ||
         line.mnemonic == "clrf";
}

// What an instruction does with W and Z. Anything not listed counts as reading both, which
// only ever keeps a move that could have gone.
struct Effect {
  bool reads_w = true;
  bool writes_w = false;
  bool reads_z = true;
  bool writes_z = false;
};

Effect effect_of(const Line& line) {
  const std::string& m = line.mnemonic;
  Effect e;
  // File operations whose result may go to W and which read W whatever the destination.
  static const std::set<std::string> kWithW = {"addwf", "subwf",  "andwf", "iorwf",
                                               "xorwf", "addwfc", "subwfb"};
  // File operations that do not read W: with ", w" they replace it.
  static const std::set<std::string> kWithoutW = {"movf", "comf", "incf",   "decf",
                                                  "rlf",  "rrf",  "swapf",  "lslf",
                                                  "lsrf", "asrf", "incfsz", "decfsz"};
  static const std::set<std::string> kSetsZ = {
      "movf",  "comf",  "incf",   "decf",   "addwf", "subwf", "andwf",
      "iorwf", "xorwf", "addwfc", "subwfb", "lslf",  "lsrf",  "asrf",
      "clrf",  "clrw",  "addlw",  "sublw",  "andlw", "iorlw", "xorlw"};
  if (kWithW.count(m) != 0) {
    e.reads_w = true;
    e.writes_w = line.to_w;
  } else if (kWithoutW.count(m) != 0) {
    e.reads_w = false;
    e.writes_w = line.to_w;
  } else if (m == "movlw" || m == "clrw") {
    e.reads_w = false;
    e.writes_w = true;
  } else if (m == "addlw" || m == "sublw" || m == "andlw" || m == "iorlw" || m == "xorlw" ||
             m == "movwf") {
    e.reads_w = true;
    e.writes_w = m != "movwf";
  } else if (m == "clrf" || m == "bcf" || m == "bsf" || m == "clrc" || m == "setc" || m == "skpc" ||
             m == "skpnc") {
    e.reads_w = false;
  } else if (m == "skpz" || m == "skpnz") {
    e.reads_w = false;
  } else if (m == "btfss" || m == "btfsc") {
    // Testing a bit of a file register other than STATUS reads neither.
    e.reads_w = false;
    e.reads_z = line.file == "STATUS";
    return e;
  } else {
    return e;
  }
  e.reads_z = m == "skpz" || m == "skpnz";
  e.writes_z = kSetsZ.count(m) != 0;
  return e;
}

// Whether W (and Z, when `z_too`) are written before anything reads them, from line `from` on.
// An instruction behind a skip may not run, so it does not count as writing.
bool dead_after(const std::vector<Line>& lines, std::size_t from, bool z_too) {
  bool w_live = true;
  bool z_live = z_too;
  for (std::size_t i = from; i < lines.size() && (w_live || z_live); ++i) {
    const Effect e = effect_of(lines[i]);
    if ((w_live && e.reads_w) || (z_live && e.reads_z)) return false;
    const bool runs_always = i == 0 || !is_skip(lines[i - 1]);
    if (runs_always && e.writes_w) w_live = false;
    if (runs_always && e.writes_z) z_live = false;
  }
  return true;
}

// Tries the stretch of moves lines[begin, end): its clears alone when they are all it leaves.
bool reduce(const std::vector<Line>& lines, std::size_t begin, std::size_t end,
            std::vector<Line>& out) {
  const std::string kW = "\x01W";
  const std::string kZero =
      "\x01"
      "0";
  std::map<std::string, std::string> holds;  // file -> what it holds, by original file name
  std::vector<std::string> written;          // in the order first written
  std::string w = kW;
  bool last_z_by_clear = false;
  for (std::size_t i = begin; i < end; ++i) {
    const Line& line = lines[i];
    const auto value = [&](const std::string& file) {
      const auto found = holds.find(file);
      return found == holds.end() ? file : found->second;
    };
    if (line.mnemonic == "movf") {
      w = value(line.file);
      last_z_by_clear = false;
    } else {
      if (holds.count(line.file) == 0) written.push_back(line.file);
      holds[line.file] = line.mnemonic == "clrf" ? kZero : w;
      if (line.mnemonic == "clrf") last_z_by_clear = true;
    }
  }
  std::vector<Line> clears;
  for (const std::string& file : written) {
    const std::string& held = holds[file];
    if (held == kZero) {
      clears.push_back(parse("clrf\t" + file));
      clears.back().text = "\tclrf\t" + file + "\n";
    } else if (held != file) {
      return false;
    }
  }
  if (clears.size() >= end - begin) return false;
  // Every kept clear leaves Z set, as the stretch's last clear did.
  const bool z_same = last_z_by_clear && !clears.empty();
  if (!dead_after(lines, end, !z_same)) return false;
  out.insert(out.end(), clears.begin(), clears.end());
  return true;
}

std::vector<Line> parse_lines(const std::string& code) {
  std::vector<Line> lines;
  std::istringstream in(code);
  for (std::string text; std::getline(in, text);) lines.push_back(parse(text + "\n"));
  return lines;
}

bool is_scratch_byte(const std::string& file, const std::string& scratch) {
  if (file.size() <= scratch.size() || file.compare(0, scratch.size(), scratch) != 0) {
    return false;
  }
  for (std::size_t i = scratch.size(); i < file.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(file[i])) == 0) return false;
  }
  return true;
}

// Whether the byte `file` is read from line `from` on before a write that always runs.
bool read_later(const std::vector<Line>& lines, std::size_t from, const std::string& file) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i].file != file) continue;
    const bool only_writes = lines[i].mnemonic == "movwf" || lines[i].mnemonic == "clrf";
    if (!only_writes) return true;
    if (!is_skip(lines[i - 1])) return false;
  }
  return false;
}

// File operations that can leave their result in W instead, with the same flags.
bool has_w_form(const Line& line) {
  static const std::set<std::string> kForms = {
      "addwf", "subwf", "andwf", "iorwf", "xorwf", "addwfc", "subwfb", "swapf",
      "rrf",   "rlf",   "comf",  "incf",  "decf",  "lslf",   "lsrf",   "asrf"};
  return kForms.count(line.mnemonic) != 0 && !line.to_w;
}

// Whether Z is written before anything reads it, from line `from` on, the lines marked gone
// left out.
bool z_dead_after(const std::vector<Line>& lines, const std::vector<bool>& gone, std::size_t from) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (gone[i]) continue;
    const Effect e = effect_of(lines[i]);
    if (e.reads_z) return false;
    if (e.writes_z && !is_skip(lines[i - 1])) return true;
  }
  return true;
}

// Whether the byte `file` is read from line `from` on before a write that always runs, the
// lines marked gone left out.
bool read_after(const std::vector<Line>& lines, const std::vector<bool>& gone, std::size_t from,
                const std::string& file) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (gone[i] || lines[i].file != file) continue;
    const bool only_writes = lines[i].mnemonic == "movwf" || lines[i].mnemonic == "clrf";
    if (!only_writes) return true;
    if (!is_skip(lines[i - 1])) return false;
  }
  return false;
}

}  // namespace

std::string keep_scratch_results_in_w(const std::string& code, const std::string& scratch) {
  std::vector<Line> lines = parse_lines(code);
  std::vector<bool> gone(lines.size(), false);
  for (std::size_t j = 1; j < lines.size(); ++j) {
    const Line& load = lines[j];
    if (load.mnemonic != "movf" || !load.to_w || !is_scratch_byte(load.file, scratch) ||
        is_skip(lines[j - 1])) {
      continue;
    }
    // The instruction that last wrote the byte, with nothing between that touches W, the
    // byte or a skip.
    bool z_between = false;
    std::size_t i = j;
    bool found = false;
    while (i-- > 0) {
      if (gone[i]) continue;
      const Line& line = lines[i];
      if (is_skip(line)) break;
      if (line.file == load.file) {
        found = has_w_form(line) && (i == 0 || !is_skip(lines[i - 1]));
        break;
      }
      const Effect e = effect_of(line);
      if (e.reads_w || e.writes_w) break;
      z_between = z_between || e.writes_z;
    }
    if (!found || read_after(lines, gone, j + 1, load.file)) continue;
    // The load set Z from the value; the operation itself sets it the same way only if it
    // sets Z at all and nothing between changed it.
    if ((z_between || !effect_of(lines[i]).writes_z) && !z_dead_after(lines, gone, j + 1)) {
      continue;
    }
    Line& result = lines[i];
    result.to_w = true;
    result.text = "\t" + result.mnemonic + "\t" + result.file + ", w\n";
    gone[j] = true;
  }
  std::string out;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (!gone[k]) out += lines[k].text;
  }
  return out;
}

std::string drop_unread_scratch_stores(const std::string& code, const std::string& scratch) {
  const std::vector<Line> lines = parse_lines(code);
  std::string result;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    const bool guarded = i > 0 && is_skip(lines[i - 1]);
    if (!guarded && line.mnemonic == "movwf" && is_scratch_byte(line.file, scratch) &&
        !read_later(lines, i + 1, line.file)) {
      continue;
    }
    result += line.text;
  }
  return result;
}

std::string drop_undone_moves(const std::string& code) {
  const std::vector<Line> lines = parse_lines(code);

  std::vector<Line> out;
  std::size_t i = 0;
  while (i < lines.size()) {
    const bool guarded = i > 0 && is_skip(lines[i - 1]);
    if (guarded || !is_move(lines[i])) {
      out.push_back(lines[i++]);
      continue;
    }
    std::size_t end = i;
    while (end < lines.size() && is_move(lines[end])) ++end;
    // The longest stretch from here that reduces; otherwise this line stays as it is.
    bool reduced = false;
    for (std::size_t stop = end; stop > i + 1 && !reduced; --stop) {
      if (reduce(lines, i, stop, out)) {
        i = stop;
        reduced = true;
      }
    }
    if (!reduced) out.push_back(lines[i++]);
  }
  std::string result;
  for (const Line& line : out) result += line.text;
  return result;
}

}  // namespace tarvek

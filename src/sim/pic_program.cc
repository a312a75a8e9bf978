#include "sim/pic_program.h"

#include <array>
#include <cassert>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>

namespace tarvek {

namespace {

// Which operands a mnemonic takes, and the operations it maps to.
enum class OperandKind { kNone, kLiteral, kFile, kFileDest, kFileBit, kLabel };

// The cores as bits of a set.
constexpr uint8_t core_bit(PicCore core) {
  return static_cast<uint8_t>(1u << static_cast<unsigned>(core));
}
constexpr uint8_t kEveryCore = core_bit(PicCore::kBaseline) | core_bit(PicCore::kMidrange) |
                               core_bit(PicCore::kEnhanced) | core_bit(PicCore::kPic18);
constexpr uint8_t kAllButBaseline = kEveryCore & ~core_bit(PicCore::kBaseline);
constexpr uint8_t kPic16 = kEveryCore & ~core_bit(PicCore::kPic18);
constexpr uint8_t kEnhancedAndPic18 = core_bit(PicCore::kEnhanced) | core_bit(PicCore::kPic18);
constexpr uint8_t kPic18Only = core_bit(PicCore::kPic18);

struct Mnemonic {
  std::string_view name;
  OperandKind kind;
  PicOp op;          // the operation, or the ", w" one for kFileDest
  PicOp op_to_file;  // the ", f" operation for kFileDest; unused otherwise
  // The cores that run it (core_bit).
  uint8_t cores = kEveryCore;
  // The core a message names as the instruction's own, to a part that lacks it.
  PicCore home = PicCore::kBaseline;
};

constexpr std::array kMnemonics = {
    Mnemonic{"movwf", OperandKind::kFile, PicOp::kMovwf, PicOp::kMovwf},
    Mnemonic{"movf", OperandKind::kFileDest, PicOp::kMovfW, PicOp::kMovfF},
    Mnemonic{"movlw", OperandKind::kLiteral, PicOp::kMovlw, PicOp::kMovlw},
    Mnemonic{"andlw", OperandKind::kLiteral, PicOp::kAndlw, PicOp::kAndlw},
    Mnemonic{"iorlw", OperandKind::kLiteral, PicOp::kIorlw, PicOp::kIorlw},
    Mnemonic{"addlw", OperandKind::kLiteral, PicOp::kAddlw, PicOp::kAddlw, kAllButBaseline,
             PicCore::kMidrange},
    Mnemonic{"clrf", OperandKind::kFile, PicOp::kClrf, PicOp::kClrf},
    Mnemonic{"swapf", OperandKind::kFileDest, PicOp::kSwapfW, PicOp::kSwapfF},
    Mnemonic{"btfsc", OperandKind::kFileBit, PicOp::kBtfsc, PicOp::kBtfsc},
    Mnemonic{"btfss", OperandKind::kFileBit, PicOp::kBtfss, PicOp::kBtfss},
    Mnemonic{"bsf", OperandKind::kFileBit, PicOp::kBsf, PicOp::kBsf},
    Mnemonic{"comf", OperandKind::kFileDest, PicOp::kComfW, PicOp::kComfF},
    // PIC18 names its rotates rlcf and rrcf, with other flags: named here as the mid-range
    // instruction that PIC18 code must not be written with.
    Mnemonic{"rlf", OperandKind::kFileDest, PicOp::kRlfW, PicOp::kRlfF, kPic16, PicCore::kMidrange},
    Mnemonic{"rrf", OperandKind::kFileDest, PicOp::kRrfW, PicOp::kRrfF, kPic16, PicCore::kMidrange},
    Mnemonic{"addwf", OperandKind::kFileDest, PicOp::kAddwfW, PicOp::kAddwfF},
    Mnemonic{"subwf", OperandKind::kFileDest, PicOp::kSubwfW, PicOp::kSubwfF},
    Mnemonic{"iorwf", OperandKind::kFileDest, PicOp::kIorwfW, PicOp::kIorwfF},
    Mnemonic{"xorwf", OperandKind::kFileDest, PicOp::kXorwfW, PicOp::kXorwfF},
    Mnemonic{"incf", OperandKind::kFileDest, PicOp::kIncfW, PicOp::kIncfF},
    Mnemonic{"incfsz", OperandKind::kFileDest, PicOp::kIncfszW, PicOp::kIncfszF},
    Mnemonic{"clrc", OperandKind::kNone, PicOp::kClrc, PicOp::kClrc},
    Mnemonic{"skpc", OperandKind::kNone, PicOp::kSkpc, PicOp::kSkpc},
    Mnemonic{"skpnc", OperandKind::kNone, PicOp::kSkpnc, PicOp::kSkpnc},
    Mnemonic{"skpnz", OperandKind::kNone, PicOp::kSkpnz, PicOp::kSkpnz},
    Mnemonic{"addwfc", OperandKind::kFileDest, PicOp::kAddwfcW, PicOp::kAddwfcF, kEnhancedAndPic18,
             PicCore::kEnhanced},
    Mnemonic{"subwfb", OperandKind::kFileDest, PicOp::kSubwfbW, PicOp::kSubwfbF, kEnhancedAndPic18,
             PicCore::kEnhanced},
    Mnemonic{"lslf", OperandKind::kFileDest, PicOp::kLslfW, PicOp::kLslfF,
             core_bit(PicCore::kEnhanced), PicCore::kEnhanced},
    Mnemonic{"lsrf", OperandKind::kFileDest, PicOp::kLsrfW, PicOp::kLsrfF,
             core_bit(PicCore::kEnhanced), PicCore::kEnhanced},
    Mnemonic{"asrf", OperandKind::kFileDest, PicOp::kAsrfW, PicOp::kAsrfF,
             core_bit(PicCore::kEnhanced), PicCore::kEnhanced},
    Mnemonic{"goto", OperandKind::kLabel, PicOp::kGoto, PicOp::kGoto},
    Mnemonic{"decf", OperandKind::kFileDest, PicOp::kDecfW, PicOp::kDecfF},
    Mnemonic{"decfsz", OperandKind::kFileDest, PicOp::kDecfszW, PicOp::kDecfszF},
    Mnemonic{"bcf", OperandKind::kFileBit, PicOp::kBcf, PicOp::kBcf},
    Mnemonic{"setc", OperandKind::kNone, PicOp::kSetc, PicOp::kSetc},
    Mnemonic{"andwf", OperandKind::kFileDest, PicOp::kAndwfW, PicOp::kAndwfF},
    Mnemonic{"rlcf", OperandKind::kFileDest, PicOp::kRlcfW, PicOp::kRlcfF, kPic18Only,
             PicCore::kPic18},
    Mnemonic{"rrcf", OperandKind::kFileDest, PicOp::kRrcfW, PicOp::kRrcfF, kPic18Only,
             PicCore::kPic18},
    Mnemonic{"mullw", OperandKind::kLiteral, PicOp::kMullw, PicOp::kMullw, kPic18Only,
             PicCore::kPic18},
    Mnemonic{"mulwf", OperandKind::kFile, PicOp::kMulwf, PicOp::kMulwf, kPic18Only,
             PicCore::kPic18},
    Mnemonic{"bra", OperandKind::kLabel, PicOp::kBra, PicOp::kBra, kPic18Only, PicCore::kPic18},
};

// clrw: a PIC16 instruction this parser does not read, as no routine has it, but one a PIC18
// routine is told its core lacks, since PIC18 code clears W with "clrf WREG". Any other core
// reads it as an unknown mnemonic.
constexpr std::string_view kClrw = "clrw";

// The registers of the PIC18 core that its routines name without declaring them, in CoreFile
// order.
constexpr std::array<std::string_view, kCoreFileCount> kCoreFileNames = {"WREG", "PRODL", "PRODH"};

// The lines that name STATUS. The first has a blank (not a tab) after the mnemonic.
constexpr std::string_view kXorwfStatusLine = "\txorwf STATUS, f";
constexpr std::string_view kXorwfStatusWLine = "\txorwf\tSTATUS, w";
constexpr std::string_view kMovwfStatusLine = "\tmovwf\tSTATUS";

// The bit instructions that the operand-less macros stand for (C is bit 0 of STATUS, Z bit 2,
// on every core), as a routine written for an assembler without those macros spells them.
struct StatusBitLine {
  std::string_view line;
  PicOp op;
};
constexpr std::array kStatusBitLines = {
    StatusBitLine{"\tbcf\tSTATUS, 0", PicOp::kClrc},
    StatusBitLine{"\tbsf\tSTATUS, 0", PicOp::kSetc},
    StatusBitLine{"\tbtfss\tSTATUS, 0", PicOp::kSkpc},
    StatusBitLine{"\tbtfsc\tSTATUS, 0", PicOp::kSkpnc},
    StatusBitLine{"\tbtfsc\tSTATUS, 2", PicOp::kSkpnz},
};

// Equal texts. Compared here rather than by a library call: the texts a parse compares are a
// few characters long and mostly differ in the first, and it compares several per line.
bool same_text(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// FNV-1a over the name's characters: byte names are short, and a long routine looks one up
// for nearly every line.
struct NameHash {
  std::size_t operator()(std::string_view name) const {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return static_cast<std::size_t>(hash);
  }
};
// Compared from the end: the bytes of one register differ only in their last digits.
struct SameName {
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (std::size_t i = a.size(); i-- > 0;) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
};
using NameIndex = std::unordered_map<std::string_view, int, NameHash, SameName>;
// Labels by name, each with the index of the instruction it stands for.
using LabelIndex = std::unordered_map<std::string_view, int>;

// Byte indexes are stored in 16 bits; no mid-range part has anywhere near this many bytes.
constexpr size_t kMaxDeclaredBytes = std::numeric_limits<uint16_t>::max() + size_t{1};

std::string quoted(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  result.append(1, '"').append(text).append(1, '"');
  return result;
}

const char* core_name(PicCore core) {
  switch (core) {
    case PicCore::kBaseline:
      return "a baseline";
    case PicCore::kMidrange:
      return "a mid-range";
    case PicCore::kEnhanced:
      return "an enhanced mid-range";
    case PicCore::kPic18:
      return "a PIC18";
  }
  return "";
}

std::string lacks(std::string_view mnemonic, PicCore home, PicCore core) {
  return quoted(mnemonic) + " is " + core_name(home) + " instruction, which " + core_name(core) +
         " part lacks";
}

std::string at_line(int line, const std::string& message) {
  return "line " + std::to_string(line) + ": " + message;
}

}  // namespace

bool is_name_token(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= ' ' || u >= 0x7f || c == ',' || c == ';') return false;
  }
  return true;
}

namespace {

// A signed 8-bit decimal as "%d" prints it: optional '-', no leading zeros, no "-0".
std::optional<uint8_t> parse_signed_decimal(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  std::string_view digits = negative ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 3) return std::nullopt;
  if (digits.size() > 1 && digits.front() == '0') return std::nullopt;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) {
    if (value == 0 || value > 128) return std::nullopt;
    value = -value;
  } else if (value > 127) {
    return std::nullopt;
  }
  return static_cast<uint8_t>(value);
}

// The value of an upper-case hexadecimal digit, or -1.
int upper_hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A literal that means the same in every default radix: a single digit, a signed 8-bit
// decimal in the explicit form D'n', or a byte as 0x and two upper-case hexadecimal digits
// (the form of a routine written for an assembler without D'n', which reads 0xF0 as gpasm
// does). A bare "15" is refused: an assembler whose default radix is hexadecimal reads it as
// 0x15, another as 15.
std::optional<uint8_t> parse_literal(std::string_view text) {
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '9') {
    return static_cast<uint8_t>(text[0] - '0');
  }
  if (text.size() == 4 && text.substr(0, 2) == "0x") {
    const int high = upper_hex_digit(text[2]);
    const int low = upper_hex_digit(text[3]);
    if (high < 0 || low < 0) return std::nullopt;
    return static_cast<uint8_t>(high * 16 + low);
  }
  if (text.size() < 4 || text.substr(0, 2) != "D'" || text.back() != '\'') return std::nullopt;
  return parse_signed_decimal(text.substr(2, text.size() - 3));
}

// Resolves a file operand against the declared bytes; fills `error` when it cannot.
bool resolve_file(std::string_view name, const NameIndex& names, uint16_t& index,
                  std::string& error) {
  // Every declared name is a name token, so only a name not found can be a bad one.
  const auto found = names.find(name);
  if (found != names.end()) {
    index = static_cast<uint16_t>(found->second);
    return true;
  }
  error = is_name_token(name) ? "register byte " + quoted(name) + " is not declared"
                              : "bad file register operand " + quoted(name);
  return false;
}

// Parses one instruction line (without its newline) of a program for `core`. Returns an empty
// string on success, otherwise the message without the line number.
std::string parse_line(std::string_view line, const NameIndex& names, const LabelIndex& labels,
                       PicCore core, PicInstruction& out) {
  if (same_text(line, kXorwfStatusLine)) {
    out.op = PicOp::kXorwfStatus;
    return {};
  }
  if (same_text(line, kXorwfStatusWLine)) {
    out.op = PicOp::kXorwfStatusW;
    return {};
  }
  if (same_text(line, kMovwfStatusLine)) {
    out.op = PicOp::kMovwfStatus;
    return {};
  }
  for (const StatusBitLine& status_bit : kStatusBitLines) {
    if (same_text(line, status_bit.line)) {
      out.op = status_bit.op;
      return {};
    }
  }
  if (line.empty() || line.front() != '\t') return "not an instruction line (no leading tab)";
  std::string_view rest = line.substr(1);
  const size_t tab = rest.find('\t');
  const std::string_view mnemonic = rest.substr(0, tab);
  const bool has_operands = tab != std::string_view::npos;
  const std::string_view operands = has_operands ? rest.substr(tab + 1) : std::string_view();

  const Mnemonic* m = nullptr;
  for (const Mnemonic& candidate : kMnemonics) {
    if (same_text(candidate.name, mnemonic)) {
      m = &candidate;
      break;
    }
  }
  if (m == nullptr) {
    if (core == PicCore::kPic18 && same_text(mnemonic, kClrw)) {
      return lacks(mnemonic, PicCore::kMidrange, core);
    }
    return "unknown mnemonic " + quoted(mnemonic);
  }
  if ((m->cores & core_bit(core)) == 0) return lacks(mnemonic, m->home, core);

  out.op = m->op;
  if (m->kind == OperandKind::kNone) {
    if (has_operands) return quoted(mnemonic) + " takes no operands";
    return {};
  }
  if (!has_operands) return quoted(mnemonic) + " needs operands";

  std::string error;
  switch (m->kind) {
    case OperandKind::kLabel: {
      const auto found = labels.find(operands);
      if (found == labels.end()) return "label " + quoted(operands) + " is not placed";
      out.operand = static_cast<uint16_t>(found->second);
      return {};
    }
    case OperandKind::kLiteral: {
      const std::optional<uint8_t> literal = parse_literal(operands);
      if (!literal)
        return "literal " + quoted(operands) +
               " is neither a digit, D'n' with n a signed byte, nor 0x and two hex digits";
      out.operand = *literal;
      return {};
    }
    case OperandKind::kFile:
      if (!resolve_file(operands, names, out.operand, error)) return error;
      return {};
    case OperandKind::kFileDest:
    case OperandKind::kFileBit: {
      const size_t comma = operands.find(", ");
      if (comma == std::string_view::npos) return "operands " + quoted(operands) + " lack \", \"";
      const std::string_view second = operands.substr(comma + 2);
      if (!resolve_file(operands.substr(0, comma), names, out.operand, error)) return error;
      if (m->kind == OperandKind::kFileDest) {
        if (second == "w") return {};
        if (second == "f") {
          out.op = m->op_to_file;
          return {};
        }
        return "destination " + quoted(second) + " is neither w nor f";
      }
      if (second.size() != 1 || second[0] < '0' || second[0] > '7') {
        return "bit number " + quoted(second) + " is not 0 to 7";
      }
      out.bit = static_cast<uint8_t>(second[0] - '0');
      return {};
    }
    case OperandKind::kNone:
      break;
  }
  return "unhandled operand kind";
}

// Calls `visit(line, number)` for each line of `text`; a last line without a newline counts.
// Stops early and returns false when `visit` does.
template <typename Visit>
bool for_each_line(std::string_view text, Visit visit) {
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    ++number;
    if (!visit(text.substr(0, end), number)) return false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return true;
}

// The opening line of the declarations: "\tcblock" alone, which continues the including
// program's last cblock, or "\tcblock 0x20" with a start address in hexadecimal (0x and one
// to three digits), the only other form a generated block has.
bool is_cblock_line(std::string_view line) {
  constexpr std::string_view kOpening = "\tcblock";
  if (!line.starts_with(kOpening)) return false;
  std::string_view address = line.substr(kOpening.size());
  if (address.empty()) return true;
  if (!address.starts_with(" 0x")) return false;
  address.remove_prefix(3);
  if (address.empty() || address.size() > 3) return false;
  for (const char c : address) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// A program for `core`, without bytes or instructions yet.
PicProgram empty_program(PicCore core) {
  PicProgram program;
  program.core = core;
  // The lanes have the PIC16 flags alone.
  program.straight_line = core != PicCore::kPic18;
  return program;
}

bool is_core_file_name(std::string_view name) {
  for (const std::string_view core_file : kCoreFileNames) {
    if (same_text(name, core_file)) return true;
  }
  return false;
}

// Adds a declared name to `program` and `names`; returns the problem, or "" when fine.
std::string declare(std::string_view name, PicProgram& program, NameIndex& names) {
  if (!is_name_token(name)) return "bad byte name " + quoted(name);
  if (names.count(name) != 0) return "byte " + quoted(name) + " is declared twice";
  // The core's own registers take the indexes after the declared bytes'.
  const bool pic18 = program.core == PicCore::kPic18;
  if (pic18 && is_core_file_name(name)) {
    return "byte " + quoted(name) + " is a register of the PIC18 core, which no routine declares";
  }
  if (program.byte_names.size() >= kMaxDeclaredBytes - (pic18 ? kCoreFileCount : 0)) {
    return "too many declared bytes";
  }
  program.byte_names.emplace_back(name);
  // The view must point into the stored string; a view into a caller's text could dangle.
  // byte_names is reserved up front so that no later emplace_back moves these strings.
  names.emplace(program.byte_names.back(), static_cast<int>(program.byte_names.size()) - 1);
  return {};
}

// Names the core's own registers once every byte is declared, at their indexes after the
// declared bytes' (PicProgram::core_file_index); only a PIC18 program has them.
void name_core_files(const PicProgram& program, NameIndex& names) {
  if (program.core != PicCore::kPic18) return;
  for (int k = 0; k < kCoreFileCount; ++k) {
    names.emplace(kCoreFileNames[static_cast<size_t>(k)],
                  program.core_file_index(static_cast<CoreFile>(k)));
  }
}

// Parses instruction line `number` into `program`; on a problem sets `error` and returns false.
bool add_instruction(std::string_view line, int number, const NameIndex& names,
                     const LabelIndex& labels, PicProgram& program, std::string& error) {
  PicInstruction instruction{};
  instruction.line = number;
  const std::string problem = parse_line(line, names, labels, program.core, instruction);
  if (!problem.empty()) {
    error = at_line(number, problem);
    return false;
  }
  program.instructions.push_back(instruction);
  program.straight_line = program.straight_line && runs_on_lanes(instruction.op);
  return true;
}

// A label as gpasm reads one in the first column: a letter or '_', then letters, digits and
// '_', and not an instruction's name, which gpasm would take for a misplaced instruction.
bool is_label_name(std::string_view name) {
  if (name.empty() || name.size() > 63) return false;
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (!letter(name[0]) && name[0] != '_') return false;
  for (char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '_') return false;
  }
  for (const Mnemonic& m : kMnemonics) {
    if (m.name == name) return false;
  }
  return true;
}

// Whether `line` of the code is a label line; any other line is read as an instruction.
bool is_label_line(std::string_view line) {
  return is_label_name(line);
}

// The code's lines from line `first` on (comments and blank lines skipped when
// `skip_comments`): label lines first, so that a goto may name a later label, then the
// instructions. On a problem sets `error` and returns false.
bool parse_code(std::string_view text, int first, bool skip_comments, const NameIndex& names,
                PicProgram& program, std::string& error) {
  LabelIndex labels;
  int instructions = 0;
  for_each_line(text, [&](std::string_view line, int number) {
    if (number < first || (skip_comments && (line.empty() || line.front() == ';'))) return true;
    if (!is_label_line(line)) {
      ++instructions;
      return true;
    }
    // On PIC18 the names include the core's own registers, which the chip's include defines.
    if (names.count(line) != 0 || labels.count(line) != 0) {
      error = at_line(number, "label " + quoted(line) + " names a declared byte or another label");
    } else {
      labels.emplace(line, instructions);
    }
    return error.empty();
  });
  if (!error.empty()) return false;
  return for_each_line(text, [&](std::string_view line, int number) {
    if (number < first || (skip_comments && (line.empty() || line.front() == ';'))) return true;
    if (is_label_line(line)) return true;
    if (is_cblock_line(line) || line == "\tendc") {
      error = at_line(number, "a second cblock section");
      return false;
    }
    return add_instruction(line, number, names, labels, program, error);
  });
}

}  // namespace

int PicProgram::index_of(std::string_view name) const {
  for (size_t i = 0; i < byte_names.size(); ++i) {
    if (byte_names[i] == name) return static_cast<int>(i);
  }
  return -1;
}

std::vector<int> PicProgram::value_indexes(std::string_view prefix, int byte_count,
                                           bool little_endian) const {
  assert(byte_count >= 1 && byte_count <= 8);
  std::vector<int> indexes(static_cast<size_t>(byte_count));
  for (int k = 0; k < byte_count; ++k) {
    const int index = index_of(std::string(prefix) + std::to_string(k));
    assert(index >= 0);
    const int weight = little_endian ? k : byte_count - 1 - k;
    indexes[static_cast<size_t>(weight)] = index;
  }
  return indexes;
}

bool has_jump(const PicProgram& program) {
  for (const PicInstruction& in : program.instructions) {
    if (in.op == PicOp::kGoto || in.op == PicOp::kBra) return true;
  }
  return false;
}

ParseOutcome parse_instructions(std::string_view lines, const std::vector<std::string>& declared,
                                PicCore core) {
  PicProgram program = empty_program(core);
  NameIndex names;
  program.byte_names.reserve(declared.size());
  for (const std::string& name : declared) {
    const std::string problem = declare(name, program, names);
    if (!problem.empty()) return {std::nullopt, "declaration: " + problem};
  }
  name_core_files(program, names);
  std::string error;
  if (!parse_code(lines, 1, false, names, program, error)) return {std::nullopt, error};
  return {std::move(program), {}};
}

ParseOutcome parse_generated_block(std::string_view block, PicCore core) {
  // Declarations are collected first, so that the name index can point into strings that
  // no longer move; instructions are parsed in a second pass.
  enum class Section { kBeforeCblock, kCblock, kCode };
  Section section = Section::kBeforeCblock;
  std::vector<std::pair<std::string_view, int>> declared;  // name and line number
  std::string error;
  int code_start = 0;
  for_each_line(block, [&](std::string_view line, int number) {
    if (line.empty() || line.front() == ';') return true;
    switch (section) {
      case Section::kBeforeCblock:
        if (!is_cblock_line(line)) {
          error = at_line(number,
                          "expected \"\\tcblock\" before any instruction, found " + quoted(line));
          return false;
        }
        section = Section::kCblock;
        return true;
      case Section::kCblock:
        if (line == "\tendc") {
          section = Section::kCode;
          code_start = number + 1;
          return false;  // the instructions follow; parsed below
        }
        if (line.front() != '\t' || !is_name_token(line.substr(1))) {
          error = at_line(number, "bad declaration line " + quoted(line));
          return false;
        }
        declared.emplace_back(line.substr(1), number);
        return true;
      case Section::kCode:
        break;
    }
    return false;
  });
  if (!error.empty()) return {std::nullopt, error};
  if (section == Section::kBeforeCblock) return {std::nullopt, "no \"\\tcblock\" declaration"};
  if (section == Section::kCblock) return {std::nullopt, "\"\\tcblock\" without \"\\tendc\""};

  PicProgram program = empty_program(core);
  NameIndex names;
  program.byte_names.reserve(declared.size());
  for (const auto& [name, number] : declared) {
    const std::string problem = declare(name, program, names);
    if (!problem.empty()) return {std::nullopt, at_line(number, problem)};
  }
  name_core_files(program, names);
  if (!parse_code(block, code_start, true, names, program, error)) return {std::nullopt, error};
  return {std::move(program), {}};
}

}  // namespace tarvek

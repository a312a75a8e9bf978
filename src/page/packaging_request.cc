#include "page/packaging_request.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <iterator>

namespace tarvek {
namespace {

constexpr std::size_t kMaxRoutineName = 31;

// Words that an assembler here reads as something other than a label where a label stands:
// the mid-range and enhanced mid-range instructions, MPASM's pseudo-instructions, the
// directives of MPASM, gpasm and pic-as that take no leading label or that a label would be
// read as, and the destination keywords. Lower case; names are compared in lower case.
constexpr std::string_view kReservedWords[] = {
    // Instructions.
    "addlw", "addwf", "andlw", "andwf", "bcf", "bsf", "btfsc", "btfss", "call", "clrf", "clrw",
    "clrwdt", "comf", "decf", "decfsz", "goto", "incf", "incfsz", "iorlw", "iorwf", "movf", "movlw",
    "movwf", "nop", "option", "retfie", "retlw", "return", "rlf", "rrf", "sleep", "sublw", "subwf",
    "swapf", "tris", "xorlw", "xorwf", "addfsr", "addwfc", "asrf", "brw", "bra", "callw", "lslf",
    "lsrf", "moviw", "movwi", "movlb", "movlp", "reset", "subwfb",
    // MPASM's pseudo-instructions, and pic-as's own.
    "addcf", "adddcf", "b", "bc", "bdc", "bnc", "bndc", "bnz", "bz", "clrc", "clrdc", "clrz",
    "lcall", "lgoto", "movfw", "negf", "setc", "setdc", "setz", "skpc", "skpdc", "skpnc", "skpndc",
    "skpnz", "skpz", "subcf", "subdcf", "tstf", "fcall", "ljmp",
    // Directives.
    "banksel", "bankisel", "pagesel", "cblock", "endc", "code", "udata", "udata_shr", "udata_ovr",
    "idata", "res", "global", "extern", "extrn", "equ", "set", "org", "end", "macro", "endm",
    "local", "exitm", "include", "list", "nolist", "processor", "radix", "if", "else", "endif",
    "ifdef", "ifndef", "while", "endw", "psect", "ds", "dabs", "db", "dw", "config", "__config",
    "constant", "variable", "error", "messg", "title",
    // Destinations and the register every routine may name.
    "w", "f", "status"};

// What a PIC18 assembler reads as something other than a label besides: the instructions the
// PIC18 adds, the access RAM section, the core's own registers a routine names, and the
// access operand's names, which its processor include defines. Reserved on that core only, so
// that a name a mid-range routine has always taken stays valid there.
constexpr std::string_view kPic18ReservedWords[] = {
    "bn",        "bnn",    "bnov",  "bov",   "btg",    "cpfseq", "cpfsgt", "cpfslt", "daw",
    "dcfsnz",    "infsnz", "lfsr",  "movff", "mullw",  "mulwf",  "pop",    "push",   "rcall",
    "rlcf",      "rlncf",  "rrcf",  "rrncf", "setf",   "subfwb", "tblrd",  "tblwt",  "tstfsz",
    "udata_acs", "wreg",   "prodl", "prodh", "access", "banked"};

bool is_identifier_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

// `text` with every character an identifier cannot hold turned into an underscore.
std::string identifier_chars(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (!is_identifier_char(c)) c = '_';
  }
  return result;
}

const char* mode_word(ResultMode mode) {
  switch (mode) {
    case ResultMode::kApprox:
      return "approx";
    case ResultMode::kFloor:
      return "floor";
    case ResultMode::kNearest:
      return "nearest";
    case ResultMode::kTrunc:
      break;
  }
  return "trunc";
}

std::string constant_word(const GeneratorRequest& request) {
  if (request.mode != ResultMode::kApprox) {
    const std::string numerator = std::to_string(request.numerator);
    const std::string denominator = std::to_string(request.denominator);
    if (request.denominator == 1) return "x" + numerator;
    if (request.numerator == 1) return "div" + denominator;
    return "x" + numerator + "_div" + denominator;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", request.const_value);
  std::string word = "x";
  for (const char c : std::string_view(text)) {
    if (c == '.') {
      word += 'p';
    } else if (c == '-') {
      word += 'm';
    } else if (c != '+') {
      word += c;
    }
  }
  return word;
}

}  // namespace

std::optional<Syntax> syntax_named(std::string_view text) {
  if (text.empty() || text == "mpasm") return Syntax::kMpasm;
  if (text == "pic-as") return Syntax::kPicAs;
  if (text == "gpasm-reloc") return Syntax::kGpasmReloc;
  return std::nullopt;
}

std::optional<Wrap> wrap_named(std::string_view text, Syntax syntax, Core core) {
  if (text.empty()) return syntax == Syntax::kGpasmReloc ? Wrap::kSubroutine : Wrap::kInline;
  if (text == "inline") return Wrap::kInline;
  if (text == "subroutine") return Wrap::kSubroutine;
  if (text == "macro") return Wrap::kMacro;
  if (text == "program" && core == Core::kPic18) return Wrap::kProgram;
  return std::nullopt;
}

const char* syntax_name(Syntax syntax) {
  switch (syntax) {
    case Syntax::kMpasm:
      return "mpasm";
    case Syntax::kPicAs:
      return "pic-as";
    case Syntax::kGpasmReloc:
      break;
  }
  return "gpasm-reloc";
}

const char* wrap_name(Wrap wrap) {
  switch (wrap) {
    case Wrap::kInline:
      return "inline";
    case Wrap::kSubroutine:
      return "subroutine";
    case Wrap::kMacro:
      return "macro";
    case Wrap::kProgram:
      break;
  }
  return "program";
}

bool is_routine_name(std::string_view name, Core core) {
  if (name.empty() || name.size() > kMaxRoutineName) return false;
  if (name[0] >= '0' && name[0] <= '9') return false;
  if (!std::all_of(name.begin(), name.end(), is_identifier_char)) return false;
  const std::string folded = lower(name);
  const auto reserved = [&folded](const auto& words) {
    return std::find(std::begin(words), std::end(words), folded) != std::end(words);
  };
  return !reserved(kReservedWords) && !(core == Core::kPic18 && reserved(kPic18ReservedWords));
}

std::string register_byte_named(std::string_view name, std::string_view acc_name,
                                std::string_view temp_name) {
  for (const std::string_view reg : {acc_name, temp_name}) {
    if (reg.empty() || !name.starts_with(reg) || name.size() == reg.size()) continue;
    const std::string_view index = name.substr(reg.size());
    // Byte numbers print without leading zeros; no register reaches 16 bytes.
    const bool digits = index.size() <= 2 && std::all_of(index.begin(), index.end(), [](char c) {
                          return c >= '0' && c <= '9';
                        });
    if (digits && (index.size() == 1 || (index[0] == '1' && index[1] <= '5'))) {
      return std::string(name);
    }
  }
  return {};
}

std::string default_routine_name(std::string_view acc_name, const GeneratorRequest& request) {
  assert(!acc_name.empty());
  std::string base = lower(identifier_chars(acc_name));
  // Appended piece by piece: GCC 12 takes a chain of + on std::string for an overlapping copy
  // (a false -Wrestrict).
  std::string rest(1, '_');
  rest += identifier_chars(constant_word(request));
  rest += '_';
  rest += mode_word(request.mode);
  if (request.is_signed) rest += "_signed";
  // The register's part gives way first: a cut constant would name another one.
  if (base.size() + rest.size() > kMaxRoutineName && rest.size() < kMaxRoutineName) {
    base.resize(kMaxRoutineName - rest.size());
  }
  std::string name = (base + rest).substr(0, kMaxRoutineName);
  while (name.ends_with('_')) name.pop_back();
  return name;
}

}  // namespace tarvek

#include "page/packaged_reading.h"

#include <vector>

#include "codegen/routine_packaging.h"

namespace tarvek {
namespace {

// Where a line stands relative to the instructions.
enum class Stage {
  // Before the label or the macro line: declarations and the lines around them.
  kHead,
  // After the label or the macro line (or, inline, where the head ends): the instructions.
  kBody,
  // After the closing line: nothing but blank lines, and end.
  kTail,
};

// A whole hexadecimal byte as the printer writes it: 0x and two upper-case digits.
bool is_hex_byte(std::string_view text) {
  if (text.size() != 4 || !text.starts_with("0x")) return false;
  for (const char c : text.substr(2)) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// A label line of a routine with loops as `syntax` prints it: an identifier in the first
// column, with a colon for pic-as. The label alone, as the simulator reads it; empty when the
// line is none.
std::string_view label_of(std::string_view line, Syntax syntax) {
  if (syntax == Syntax::kPicAs) {
    if (!line.ends_with(':')) return {};
    line.remove_suffix(1);
  }
  if (line.empty() || (line[0] >= '0' && line[0] <= '9')) return {};
  for (const char c : line) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '_') return {};
  }
  return line;
}

// The name of a declaration line of `syntax`, or empty when the line is none.
std::string_view declared_name(std::string_view line, Syntax syntax) {
  const std::size_t tab = line.find('\t');
  if (tab == 0 || tab == std::string_view::npos) return {};
  std::string_view name = line.substr(0, tab);
  const std::string_view rest = line.substr(tab);
  switch (syntax) {
    case Syntax::kGpasmReloc:
      return rest == "\tres\t1" ? name : std::string_view();
    case Syntax::kPicAs:
      if (rest == "\tDS\t1" && name.ends_with(':') && name.size() > 1) {
        name.remove_suffix(1);
        // A byte's C name labels the same address: no byte of its own.
        return name.starts_with('_') ? std::string_view() : name;
      }
      if (rest.starts_with("\tEQU\t") && is_hex_byte(rest.substr(5)) && !name.starts_with('_')) {
        return name;
      }
      return {};
    case Syntax::kMpasm:
      break;
  }
  return {};
}

// A line that gives one of the core's own registers its address in a module:
// "\tifndef\tNAME", "NAME\tequ\t0x..", "\tendif", for STATUS on every core and the PIC18's
// product bytes and WREG.
bool is_equate_line(std::string_view line) {
  constexpr std::string_view kEquates[] = {"\tifndef\tSTATUS",   "STATUS\tequ\t0x03",
                                           "STATUS\tequ\t0xFD8", "\tifndef\tPRODL",
                                           "PRODL\tequ\t0xFF3",  "\tifndef\tPRODH",
                                           "PRODH\tequ\t0xFF4",  "\tifndef\tWREG",
                                           "WREG\tequ\t0xFE8",   "\tendif"};
  for (const std::string_view equate : kEquates) {
    if (line == equate) return true;
  }
  return false;
}

// A module's udata or, for PIC18, udata_acs line of the routine `name`, with the Ram address
// when there is one.
bool is_section_line(std::string_view line, const std::string& name) {
  if (!line.starts_with(name + "_ram\t")) return false;
  line.remove_prefix(name.size() + 5);
  for (const std::string_view section :
       {std::string_view("udata"), std::string_view("udata_acs")}) {
    if (line == section) return true;
    if (line.starts_with(section) && line.size() > section.size() && line[section.size()] == '\t' &&
        is_hex_byte(line.substr(section.size() + 1))) {
      return true;
    }
  }
  return false;
}

// A line the packaging writes around the instructions before them (the declarations'
// surroundings, the label or macro line, the bank selection), for a routine called `name`.
// `opens` is set when the line is the label or the macro line.
bool is_head_line(std::string_view line, Syntax syntax, Wrap wrap, const std::string& name,
                  bool opened, bool& opens) {
  opens = false;
  // A whole program's processor, include and reset vector lines, before its label.
  if (wrap == Wrap::kProgram && !opened) {
    const std::string part = kPic18ProgramPart;
    if (line == "\tprocessor\t" + part || line == "\tinclude\t\"p" + part + ".inc\"" ||
        line == "\torg\t0") {
      return true;
    }
  }
  // A macro of a routine with loops makes their labels its own on the line after its first.
  if (wrap == Wrap::kMacro && opened &&
      line.starts_with(syntax == Syntax::kPicAs ? "\tLOCAL\t" : "\tlocal\t")) {
    return true;
  }
  switch (syntax) {
    case Syntax::kMpasm:
      if (line == "\tendc" || line == "\tcblock" ||
          (line.starts_with("\tcblock 0x") && is_hex_byte(line.substr(8)))) {
        return true;
      }
      opens = wrap == Wrap::kMacro ? line == name + "\tmacro" : line == name;
      return opens;
    case Syntax::kGpasmReloc:
      if (is_equate_line(line) || line.starts_with("\tglobal\t") || line == "\tcode" ||
          line.starts_with("\tbanksel\t") || is_section_line(line, name)) {
        return true;
      }
      opens = wrap == Wrap::kSubroutine ? line == name : line == name + "\tmacro";
      return opens;
    case Syntax::kPicAs:
      if (line == "#include <xc.inc>" || line.starts_with("\tGLOBAL\t") ||
          line == "\tPSECT\tudata_bank0" || line.starts_with("\tDABS\t1, ") ||
          line.starts_with("\tBANKSEL\t")) {
        return true;
      }
      // The C names of a subroutine and its bytes, all before its label: after it, a line
      // such as "_x_loop:" is a label of the routine's own.
      if (wrap == Wrap::kSubroutine && !opened && line.starts_with('_') &&
          (line.ends_with(':') || line.find("\tEQU\t") != std::string_view::npos)) {
        return true;
      }
      if (line == "\tPSECT\tcode") {
        opens = wrap == Wrap::kInline;
        return true;
      }
      opens = wrap == Wrap::kSubroutine ? line == name + ":" : line == name + "\tMACRO";
      return opens;
  }
  return false;
}

// Appends a line of the instructions to `body` as the simulator reads it: a pic-as label
// without its colon, every other line as printed.
void append_body_line(std::string& body, std::string_view line, Syntax syntax) {
  const std::string_view label = syntax == Syntax::kPicAs ? label_of(line, syntax) : "";
  body.append(label.empty() ? line : label).append("\n");
}

// The line after the instructions, or empty for inline, which runs to the end.
std::string_view closing_line(Syntax syntax, Wrap wrap) {
  if (wrap == Wrap::kSubroutine) return "\treturn";
  // A whole program stays where its routine ends.
  if (wrap == Wrap::kProgram) return "\tbra\t$";
  if (wrap == Wrap::kMacro) return syntax == Syntax::kPicAs ? "\tENDM" : "\tendm";
  return {};
}

}  // namespace

std::optional<std::string> checkable_block(std::string_view text, const Packaging& packaging) {
  if (packaging.is_default()) return std::string(text);
  const Syntax syntax = packaging.syntax;
  const Wrap wrap = packaging.wrap;
  const std::string_view closing = closing_line(syntax, wrap);
  std::string comments;
  std::string declarations;
  std::string body;
  Stage stage = Stage::kHead;
  bool in_cblock = false;
  // Inline text has no line that opens the instructions unless it returns to PSECT code: its
  // instructions start where the head's lines end.
  bool opened = wrap == Wrap::kInline;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.starts_with(';')) {
      comments.append(line).append("\n");
      continue;
    }
    if (stage == Stage::kTail) {
      const bool ends =
          (syntax == Syntax::kGpasmReloc && wrap == Wrap::kSubroutine) || wrap == Wrap::kProgram;
      if (ends && line == "\tend") continue;
      return std::nullopt;
    }
    if (stage == Stage::kBody) {
      if (!closing.empty() && line == closing) {
        stage = Stage::kTail;
      } else {
        append_body_line(body, line, syntax);
      }
      continue;
    }
    if (syntax == Syntax::kMpasm && in_cblock && line != "\tendc") {
      if (!line.starts_with('\t')) return std::nullopt;
      declarations.append(line).append("\n");
      continue;
    }
    if (const std::string_view name = declared_name(line, syntax); !name.empty()) {
      declarations.append("\t").append(name).append("\n");
      continue;
    }
    bool opens = false;
    if (is_head_line(line, syntax, wrap, packaging.name, opened, opens)) {
      if (syntax == Syntax::kMpasm) in_cblock = line.starts_with("\tcblock");
      opened = opened || opens;
      continue;
    }
    // The first line the head does not know: the instructions start here, or a label of a
    // routine with loops that stands for the first of them.
    if (!opened || !(line.starts_with('\t') || !label_of(line, syntax).empty())) {
      return std::nullopt;
    }
    stage = Stage::kBody;
    if (!closing.empty() && line == closing) {
      stage = Stage::kTail;
    } else {
      append_body_line(body, line, syntax);
    }
  }
  // A subroutine or macro must have been closed; an empty inline routine never opens.
  if (!closing.empty() && stage != Stage::kTail) return std::nullopt;
  if (closing.empty() && !opened) return std::nullopt;
  return comments + "\tcblock\n" + declarations + "\tendc\n" + body;
}

}  // namespace tarvek

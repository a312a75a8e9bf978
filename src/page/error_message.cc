#include "page/error_message.h"

#include <cassert>
#include <iterator>

namespace tarvek {

const char* error_message(int code) {
  assert(is_error_code(code));
  switch (code) {
    case 1:
      return "Input size out of range (1..32 bits).\n";
    case 2:
      return "Constant value is negative, zero, or not a number.\n";
    case 3:
      return "Enter input register(s) name.\n";
    case 4:
      return "Enter temporary register(s) name.\n";
    case 5:
      return "Too big constant, size over 32 bits.\n";
    case 6:
      return "Constant error must be between 0 and 50%.\n";
    case 7:
      return "Result is zero for this combination of input size and constant.";
    case 8:
      return "Result must be approx, floor, nearest or trunc.\n";
    case 9:
      return "Divisor must be a positive decimal number or a fraction of two positive "
             "integers.\n";
    case 10:
      return "Constant too precise for an exact result: numerator and denominator of its "
             "fraction must stay below 2^64 (18 significant digits, or a fraction of 32-bit "
             "integers, always fit).\n";
    case 11:
      return "No exact routine could be proven for this request.\n";
    case 12:
      return "Signed inputs need an exact result (floor, nearest or trunc).\n";
    case 13:
      return "Core must be midrange, enhanced, baseline or pic18.\n";
    case 14:
      return "Answer format must be html, text or json.\n";
    case 15:
      return "Signed must be 1 or on for a signed input, empty, 0 or off for an unsigned one.\n";
    case 16:
      return "RAM address must be a number from 0 to 0x1FF, hexadecimal as 0x20 or decimal "
             "as 32.\n";
    case 17:
      return "A remainder needs an exact result rounded down (floor) or toward zero (trunc).\n";
    case 18:
      return "An integer constant leaves no remainder: it is always 0.\n";
    case 19:
      return "Enter remainder register(s) name: a letter first, at most 31 characters, its "
             "bytes apart from the input and temporary registers' bytes.\n";
    case 20:
      return "Digits are made of an unsigned input only.\n";
    case 21:
      return "Digit base (DivideBy) must be an integer from 2 to 256.\n";
    case 22:
      return "ASCII digits need a base from 2 to 10, packed digits base 10.\n";
    case 23:
      return "Digits take no constant: Const must be absent, empty or 1.\n";
    case 24:
      return "Digits leave no remainder: Rem must be absent or empty.\n";
    case 25:
      return "DigitForm must be unpacked, ascii or packed.\n";
    case 30:
      return "Optimize must be speed or size.\n";
    case 31:
      return "Optimizing for size needs an exact result (floor, nearest or trunc): the "
             "approximation is a chain of truncating terms that a loop does not repeat.\n";
    case 32:
      return "Label must be the start of an assembler name: a letter or _, then letters, "
             "digits or _, at most 24 characters.\n";
    case 40:
      return "Wrap must be inline, subroutine or macro.\n";
    case 41:
      return "Syntax must be mpasm, pic-as or gpasm-reloc.\n";
    case 42:
      return "Name must be an assembler identifier: a letter or an underscore, then letters, "
             "digits or underscores, at most 31 characters, and neither an instruction, a "
             "directive nor the name of a register byte.\n";
    case 43:
      return "A gpasm-reloc routine is a subroutine or a macro: gpasm keeps each section in one "
             "piece, so a routine with its own udata section cannot stand inline in your code "
             "section.\n";
    case 44:
      return "With Syntax pic-as the registers must lie below 0x80 (bank 0, or common memory "
             "from 0x70), where no operand needs a bank mask: take a RAM address that leaves "
             "room for them, or none.\n";
    case 45:
      return "With Core pic18 the registers must lie in the access bank, below 0x80 (0x00 to "
             "0x7F on a PIC18F452), where the instructions reach them whatever bank is "
             "selected: take a RAM address that leaves room for them, or none.\n";
    default:
      return "With Core pic18 the Syntax must be mpasm or gpasm-reloc: pic-as text is written "
             "for the mid-range, enhanced mid-range and baseline cores only.\n";
  }
}

std::string refusal_text(int code) {
  assert(is_error_code(code));
  // The page's heading and message, joined as on one line; message 7 has no line break of
  // its own there (the back link follows it), a line of text needs one.
  std::string text = "#";
  text += std::to_string(code);
  text += " Error in input: ";
  text += error_message(code);
  if (text.back() != '\n') text += '\n';
  return text;
}

std::string refusal_text(int code, std::string_view detail) {
  if (detail.empty()) return refusal_text(code);
  assert(is_error_code(code));
  std::string text = "#";
  text += std::to_string(code);
  text += " Error in input: ";
  text += detail;
  text += '\n';
  return text;
}

const char* error_field(int code) {
  assert(is_error_code(code));
  if (code >= kFirstPackagingError) {
    // Wrap, Syntax, Name, the inline module's wrap, the pic-as registers' address, the PIC18
    // registers' address and a PIC18 routine's syntax.
    constexpr const char* kPackagingFields[] = {"Wrap", "Syntax", "Name",  "Wrap",
                                                "Ram",  "Ram",    "Syntax"};
    return kPackagingFields[code - kFirstPackagingError];
  }
  // The field each check reads; a constant that is too large, too small or too precise is the
  // constant's problem even when a divisor made it so.
  constexpr const char* kFields[] = {
      nullptr,    "Bits",      "Const",    "Acc",   "Temp",     "Const",  "ConstErr",
      "Const",    "Result",    "DivideBy", "Const", nullptr,    "Signed", "Core",
      nullptr,    "Signed",    "Ram",      "Rem",   "Rem",      "Rem",    "Signed",
      "DivideBy", "DigitForm", "Const",    "Rem",   "DigitForm"};
  switch (code) {
    case 30:
    case 31:
      return "Optimize";
    case 32:
      return "Label";
    default:
      break;
  }
  return code < static_cast<int>(std::size(kFields)) ? kFields[code] : nullptr;
}

}  // namespace tarvek

// The command line of tarvek-asm, read into the values of one request.
//
// Options are GNU-style long options: "--bits 8" and "--bits=8" mean the same, and the value
// of an option that takes one is the next argument whatever it looks like ("--const -3"
// hands -3 on to the checks, which refuse it). Option names are matched whole; prefixes are
// not accepted. The numeric values stay text here: they are read later by the very reading
// the web form's fields go through, so the tool and the page agree on every value.
#ifndef TARVEK_CLI_COMMAND_LINE_H
#define TARVEK_CLI_COMMAND_LINE_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvek {

// What the run is asked to do.
enum class CliAction { kGenerate, kHelp, kVersion };

// The options of one run, as given.
struct CliOptions {
  CliAction action = CliAction::kGenerate;
  // The texts of --const and --divide-by; at least one is set whenever the action is
  // kGenerate.
  std::optional<std::string> const_text;
  std::optional<std::string> divisor_text;
  // The text of --result (approx, floor, nearest or trunc); empty optional when not given
  // (result_asked tells what that means).
  std::optional<std::string> result_text;
  // The text of --bits; set whenever the action is kGenerate.
  std::string bits_text;
  // The text of --error; empty optional when not given (the allowed error is then 0).
  std::optional<std::string> error_text;
  // Register names; ACC and TEMP, the names the form suggests, unless given.
  std::string acc_name = "ACC";
  std::string temp_name = "TEMP";
  // --little-endian (the last of --little-endian and --big-endian counts).
  bool little_endian = false;
  // The text of --core; empty optional when not given (the mid-range core).
  std::optional<std::string> core_text;
  // --verify: run the routine on the simulator and append the findings.
  bool verify = false;
  // --signed: the input is a two's-complement value (the exact modes only).
  bool is_signed = false;
  // The text of --effort; empty optional when not given (effort 1).
  std::optional<std::string> effort_text;
  // The text of --ram; empty optional when not given (a cblock without an address).
  std::optional<std::string> ram_text;
  // The text of --optimize; empty optional when not given (speed: straight-line code).
  std::optional<std::string> optimize_text;
  // The text of --label; empty optional when not given (a prefix made from the request).
  std::optional<std::string> label_text;
  // The texts of --wrap, --syntax and --name; empty optionals when not given (an inline MPASM
  // routine, and a name made from the request where the packaging needs one).
  // The text of --remainder; empty optional when not given (no remainder).
  std::optional<std::string> rem_name;
  // The text of --digit-form; empty optional when not given (unpacked digits).
  std::optional<std::string> digit_form_text;
  std::optional<std::string> wrap_text;
  std::optional<std::string> syntax_text;
  std::optional<std::string> name_text;
};

// Either the options, or a one-line description of what is wrong with the command line.
struct CommandLine {
  std::optional<CliOptions> options;
  std::string usage_error;
};

// Reads `args`, the arguments after the program name. --help and --version end the reading
// where they stand (a mistake before them is still reported). An option given twice counts
// with its last value. --const or --divide-by (or both: K = C / D) and --bits are required.
CommandLine parse_command_line(const std::vector<std::string_view>& args);

// The kind of result the options ask for: --result as given; without it, C's division when
// the constant is one (--divide-by, or a fraction such as 22/7 in --const): "floor", or
// "trunc" for a --signed input, which C's division rounds toward zero; otherwise "approx".
std::string result_asked(const CliOptions& options);

// What is wrong with the values of `options` (action kGenerate) before any check of the web
// form's: --const or --divide-by that is not one decimal number or fraction (10abc, 22/7x;
// white space around is fine), --bits that is not one whole number (16abc), --error that is
// not one decimal number, or --error with an exact result that only the default chose (the
// allowed error of an approximation would be ignored). Empty when nothing is. A value out of
// range is the checks' to refuse, with the web form's numbered message.
std::string value_problem(const CliOptions& options);

// "Usage: tarvek-asm ..." and a hint at --help: what a usage error prints after its message.
std::string usage_text();

// The text of --help: every option with what it does, and examples.
std::string help_text();

// The text of --version.
std::string version_text();

}  // namespace tarvek

#endif  // TARVEK_CLI_COMMAND_LINE_H

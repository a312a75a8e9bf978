#include "cli/command_line.h"

#include <utility>

#include "page/exact_constant.h"
#include "page/exact_number.h"
#include "page/number_reading.h"
#include "page/stamp.h"

namespace tarvek {
namespace {

// Applies the known option `name` to `options`; `value` is empty for the flags.
void apply_option(std::string_view name, const std::string& value, CliOptions& options,
                  bool& seen_bits) {
  if (name == "const") {
    options.const_text = value;
  } else if (name == "divide-by") {
    options.divisor_text = value;
  } else if (name == "result") {
    options.result_text = value;
  } else if (name == "effort") {
    options.effort_text = value;
  } else if (name == "ram") {
    options.ram_text = value;
  } else if (name == "optimize") {
    options.optimize_text = value;
  } else if (name == "label") {
    options.label_text = value;
  } else if (name == "remainder") {
    options.rem_name = value;
  } else if (name == "digit-form") {
    options.digit_form_text = value;
  } else if (name == "wrap") {
    options.wrap_text = value;
  } else if (name == "syntax") {
    options.syntax_text = value;
  } else if (name == "name") {
    options.name_text = value;
  } else if (name == "bits") {
    options.bits_text = value;
    seen_bits = true;
  } else if (name == "error") {
    options.error_text = value;
  } else if (name == "acc") {
    options.acc_name = value;
  } else if (name == "temp") {
    options.temp_name = value;
  } else if (name == "core") {
    options.core_text = value;
  } else if (name == "little-endian") {
    options.little_endian = true;
  } else if (name == "big-endian") {
    options.little_endian = false;
  } else if (name == "verify") {
    options.verify = true;
  } else if (name == "signed") {
    options.is_signed = true;
  }
}

bool takes_value(std::string_view name) {
  return name == "const" || name == "divide-by" || name == "result" || name == "effort" ||
         name == "bits" || name == "error" || name == "acc" || name == "temp" || name == "core" ||
         name == "ram" || name == "optimize" || name == "label" || name == "wrap" ||
         name == "syntax" || name == "name" || name == "remainder" || name == "digit-form";
}

bool is_flag(std::string_view name) {
  return name == "little-endian" || name == "big-endian" || name == "verify" || name == "signed" ||
         name == "help" || name == "version";
}

CommandLine refuse(std::string message) {
  CommandLine result;
  result.usage_error = std::move(message);
  return result;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string_view>& args) {
  CliOptions options;
  bool seen_bits = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--") {
      // Whatever follows would be an operand, and the tool takes none.
      if (i + 1 < args.size()) {
        return refuse("unexpected argument '" + std::string(args[i + 1]) + "'");
      }
      break;
    }
    if (arg.size() < 3 || arg.substr(0, 2) != "--") {
      if (!arg.empty() && arg[0] == '-' && arg != "-") {
        return refuse("unknown option '" + std::string(arg) + "'");
      }
      return refuse("unexpected argument '" + std::string(arg) + "'");
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name =
        arg.substr(2, equals == std::string_view::npos ? std::string_view::npos : equals - 2);
    if (!takes_value(name) && !is_flag(name)) {
      return refuse("unknown option '--" + std::string(name) + "'");
    }
    if (is_flag(name)) {
      if (equals != std::string_view::npos) {
        return refuse("option '--" + std::string(name) + "' takes no value");
      }
      if (name == "help" || name == "version") {
        CommandLine result;
        result.options = CliOptions{};
        result.options->action = name == "help" ? CliAction::kHelp : CliAction::kVersion;
        return result;
      }
      apply_option(name, "", options, seen_bits);
      continue;
    }
    std::string value;
    if (equals != std::string_view::npos) {
      value = std::string(arg.substr(equals + 1));
    } else if (i + 1 < args.size()) {
      value = std::string(args[++i]);
    } else {
      return refuse("option '--" + std::string(name) + "' needs a value");
    }
    apply_option(name, value, options, seen_bits);
  }
  // Digits need neither: their base is --divide-by, 10 when not given.
  if (!options.const_text && !options.divisor_text && options.result_text != "digits") {
    return refuse("missing --const or --divide-by");
  }
  if (!seen_bits) return refuse("missing --bits");
  if (options.effort_text && (options.effort_text->size() != 1 || (*options.effort_text)[0] < '1' ||
                              (*options.effort_text)[0] > '9')) {
    return refuse("--effort takes a number from 1 to 9");
  }
  CommandLine result;
  result.options = std::move(options);
  return result;
}

std::string result_asked(const CliOptions& options) {
  if (options.result_text) return *options.result_text;
  const bool division =
      options.divisor_text || (options.const_text && is_fraction_text(*options.const_text));
  if (!division) return "approx";
  return options.is_signed ? "trunc" : "floor";
}

std::string value_problem(const CliOptions& options) {
  for (const auto& [name, text] : {std::pair{"--const", &options.const_text},
                                   std::pair{"--divide-by", &options.divisor_text}}) {
    if (*text && read_exact_number(**text).kind == ExactReading::Kind::kMalformed) {
      return std::string(name) + " '" + **text +
             "' is not a number: a decimal such as 0.75 or 3.3e-2, or a fraction such as 22/7";
    }
  }
  if (!is_whole_decimal_integer(options.bits_text)) {
    return "--bits '" + options.bits_text + "' is not a whole number";
  }
  if (options.error_text && !is_whole_decimal_real(*options.error_text)) {
    return "--error '" + *options.error_text + "' is not a number";
  }
  if (options.error_text && !options.result_text && result_asked(options) != "approx") {
    return "--error is the allowed error of an approximation, and a division gives C's exact "
           "result unless --result approx asks for one";
  }
  return {};
}

std::string usage_text() {
  return "Usage: tarvek-asm [--const K] [--divide-by D] --bits N [--result MODE] [--signed]\n"
         "                  [--effort N] [--error PERCENT] [--acc NAME] [--temp NAME]\n"
         "                  [--ram ADDR] [--little-endian]\n"
         "                  [--core midrange|enhanced|baseline|pic18]\n"
         "                  [--remainder NAME] [--digit-form FORM]\n"
         "                  [--optimize speed|size] [--label PREFIX]\n"
         "                  [--wrap inline|subroutine|macro|program] [--name NAME]\n"
         "                  [--syntax mpasm|pic-as|gpasm-reloc] [--verify]\n"
         "Try 'tarvek-asm --help' for more information.\n";
}

std::string help_text() {
  return "Usage: tarvek-asm [--const K] [--divide-by D] --bits N [OPTION]...\n"
         "Writes a straight-line PIC16 (mid-range) routine, or with --optimize size one that\n"
         "may loop, that multiplies an N-bit register in place by the constant K, unsigned\n"
         "or (exact results only) signed, using only shifts, additions, subtractions and a\n"
         "negation. By default the text is the one the web form's result page shows, as\n"
         "plain text: the comment block, the cblock declarations and the instructions, in\n"
         "MPASM syntax, to include where they run; --wrap and --syntax make it a subroutine\n"
         "or a macro, for pic-as or as a relocatable gputils module. With --core enhanced\n"
         "the routine is written for the enhanced mid-range core, with --core baseline for\n"
         "the baseline core of the PIC10F, PIC12F5xx and PIC16F5x, and with --core pic18\n"
         "for the PIC18, whose exact routines use its 8 x 8 hardware multiplier.\n"
         "\n"
         "A division (--divide-by D, or a fraction such as 22/7 in --const) gives by default\n"
         "what C's integer division gives, exactly: --result floor, or --result trunc with\n"
         "--signed. Any other constant gives the approximation (--result approx), whose\n"
         "comment lines say when it differs from floor(x * K) and what the exact routine\n"
         "costs.\n"
         "\n"
         "  --const K          multiply by K, a decimal number or a fraction (greater than\n"
         "                     0, at most 2^31)\n"
         "                       e.g. --const 10   or   --const=0.75   or   --const 22/7\n"
         "                     alone, the default kind of result is approx; a fraction\n"
         "                     makes it floor\n"
         "  --divide-by D      divide by D: alone, multiply by 1/D; with --const C the\n"
         "                     constant is C / D. The default kind of result is then floor.\n"
         "                     With --result approx and no --const the constant is the\n"
         "                     double nearest to 1/D, and the verification compares with x / D\n"
         "                       e.g. --divide-by 10   or   --const 5000 --divide-by 1023\n"
         "  --result MODE      approx: the documented multiplication within the allowed\n"
         "                     error, truncating as it goes; floor: exactly floor(x * K) for\n"
         "                     every input, what C's x / D gives for unsigned x; nearest:\n"
         "                     exactly floor(x * K + 1/2); trunc: exactly x * K rounded\n"
         "                     toward zero, what C's x / D gives for signed x (floor when\n"
         "                     unsigned). Default: floor for a division (trunc with --signed),\n"
         "                     approx otherwise. The exact modes read K exactly: a decimal\n"
         "                     number (0.1 is 1/10) or a fraction (5000/1023)\n"
         "                       e.g. --divide-by 3 --result approx\n"
         "                     digits: the input becomes its digits in base --divide-by\n"
         "                     (2 to 256, default 10), leading zeros kept, the most\n"
         "                     significant in byte 0 when big-endian; unsigned, no --const\n"
         "                       e.g. --result digits --bits 16\n"
         "  --digit-form FORM  with --result digits: unpacked (the default, one digit a\n"
         "                     byte), ascii (one character '0'..'9' a byte, base 2 to 10) or\n"
         "                     packed (two BCD digits a byte, base 10)\n"
         "                       e.g. --result digits --digit-form ascii --bits 8\n"
         "  --remainder NAME   with floor, or trunc and --signed: the routine also leaves\n"
         "                     r = a x - d q in NAME0, NAME1, ... for K = a / d, as C's x % d\n"
         "                     for K = 1/d; the comment block states the identity\n"
         "                       e.g. --divide-by 10 --bits 16 --remainder REM\n"
         "  --bits N           width of the input register, 1 to 32 bits (required)\n"
         "                       e.g. --bits 8\n"
         "  --error PERCENT    allowed error of the constant's approximation, 0 to 50\n"
         "                     (default 0; approx only: with a division, say --result approx)\n"
         "                       e.g. --error 0.5\n"
         "  --acc NAME         input register, which also receives the result (default ACC);\n"
         "                     its bytes are NAME0, NAME1, ...\n"
         "                       e.g. --acc VALUE\n"
         "  --temp NAME        temporary register (default TEMP)\n"
         "                       e.g. --temp SCRATCH\n"
         "  --ram ADDR         put the registers at ADDR, 0 to 0x1FF, hexadecimal as 0x20 or\n"
         "                     decimal: the routine opens \"cblock ADDR\". Without it the\n"
         "                     cblock has no address and continues the including program's\n"
         "                     last cblock, whose first cblock needs one. Either way every\n"
         "                     register must be in the bank selected when the routine runs\n"
         "                     (or in common RAM); with --core pic18, in the access bank,\n"
         "                     below 0x80\n"
         "                       e.g. --ram 0x20\n"
         "  --effort N         how hard the exact modes search for a cheaper routine, 1 to 9\n"
         "                     (default 1, what the web form uses): more candidates priced,\n"
         "                     more inputs evaluated one by one in the proofs; from 6 on,\n"
         "                     shorter stretches searched for the finished routine; each\n"
         "                     level takes longer and never gives a dearer routine than 1\n"
         "                       e.g. --divide-by 7 --effort 3\n"
         "  --optimize GOAL    speed (the default): straight-line code, the fewest cycles;\n"
         "                     size: the fewest program words, with loops where they are\n"
         "                     shorter (goto and skips to labels, a counter in a temporary\n"
         "                     byte; never call, table reads or PCL). The comment block then\n"
         "                     gives the words and the fewest and most cycles, which depend on\n"
         "                     the input. Exact results only\n"
         "                       e.g. --divide-by 10 --bits 16 --optimize size\n"
         "  --label PREFIX     the start of every label a loop routine defines (a letter or _,\n"
         "                     then letters, digits and _), so that two routines in one\n"
         "                     source never clash; default: made from --acc and the request,\n"
         "                     as acc_div10_f16_\n"
         "                       e.g. --optimize size --label div10_\n"
         "  --signed           the input is a two's-complement value of N bits, sign-extended\n"
         "                     through its bytes; so is the result (exact modes only)\n"
         "                       e.g. --divide-by 10 --signed\n"
         "  --little-endian    byte 0 is the least significant byte of both registers\n"
         "                     (default: byte 0 is the most significant, big-endian)\n"
         "  --big-endian       the default byte order, for scripts that want to say so\n"
         "  --core CORE        the PIC core the routine is for: midrange (the default; runs\n"
         "                     on every PIC16), enhanced (PIC16F1xxx and PIC12F1xxx only:\n"
         "                     the same computation in fewer instructions, using addwfc,\n"
         "                     subwfb, lslf, lsrf and asrf) or baseline (PIC10F, PIC12F5xx,\n"
         "                     PIC16F5x and every other core: the same computation without\n"
         "                     addlw; the comment block says how many bytes of RAM it takes)\n"
         "                     or pic18 (PIC18Fxxx: the same results in that core's\n"
         "                     instructions, rlcf, rrcf, addwfc and the like, the exact ones\n"
         "                     with the 8 x 8 hardware multiplier, mullw and mulwf; every\n"
         "                     register in the access bank, so no bank is ever selected)\n"
         "                       e.g. --core enhanced   or   --core pic18\n"
         "  --wrap WRAP        inline (the default: the instructions alone, to include where\n"
         "                     they run), subroutine (a label, the instructions and return:\n"
         "                     call NAME) or macro (NAME macro ... endm, usable more than\n"
         "                     once in one source). A gpasm-reloc module is a subroutine\n"
         "                     unless --wrap macro, and cannot be inline. With --core pic18\n"
         "                     also program: a whole program for the PIC18F452 (processor\n"
         "                     and include lines, registers from 0x00 or --ram, the routine\n"
         "                     from org 0, then bra $), MPASM syntax only\n"
         "                       e.g. --wrap subroutine   or   --core pic18 --wrap program\n"
         "  --name NAME        the subroutine's label or the macro's name: a letter or _,\n"
         "                     then letters, digits or _, at most 31 characters (default:\n"
         "                     made from the register and the request, e.g. acc_div10_floor)\n"
         "                       e.g. --name div10\n"
         "  --syntax SYNTAX    mpasm (the default: an MPASM include file, which gpasm also\n"
         "                     reads), pic-as (for the MPLAB XC8 PIC Assembler: PSECT and\n"
         "                     DS, labels with colons, 0x.. literals, no MPASM\n"
         "                     pseudo-instructions; a subroutine is a .S module C can call)\n"
         "                     or gpasm-reloc (a relocatable gputils module: udata, global,\n"
         "                     code; assemble with gpasm -c, link with gplink). Any other\n"
         "                     packaging than the default says in its comment block how to\n"
         "                     use it and what it costs, RAM included. A PIC18 routine is\n"
         "                     written for mpasm or gpasm-reloc (its module's registers in\n"
         "                     udata_acs), not for pic-as\n"
         "                       e.g. --syntax pic-as --wrap subroutine\n"
         "  --verify           run the routine on tarvek's PIC simulator for every input\n"
         "                     (up to 20 bits; above that a sample with all the edge values)\n"
         "                     and append comment lines: the inputs checked, whether every\n"
         "                     result equals the computation the comment block documents,\n"
         "                     the instruction and cycle counts, and the worst deviation\n"
         "                     from input x K (or input / D), truncation included\n"
         "                       e.g. tarvek-asm --const 10 --bits 8 --verify\n"
         "  --help             show this text and exit\n"
         "  --version          show the generator's version and exit\n"
         "\n"
         "Each number must be one number and nothing else: --const 10abc or --bits 16abc is\n"
         "a usage error. Register names start with a letter and have at most 31 characters.\n"
         "\n"
         "Examples:\n"
         "  tarvek-asm --const 10 --bits 8 > times10.inc\n"
         "  tarvek-asm --divide-by 10 --bits 16 --ram 0x20 > div10.inc\n"
         "  tarvek-asm --divide-by 3 --bits 16 --result approx --error 0.1 --acc SUM\n"
         "  tarvek-asm --const 0.1 --bits 16 --core enhanced\n"
         "  tarvek-asm --divide-by 10 --bits 16 --syntax gpasm-reloc > div10.asm\n"
         "  tarvek-asm --divide-by 10 --bits 16 --syntax pic-as --wrap subroutine > div10.S\n"
         "  tarvek-asm --divide-by 10 --bits 8 --result floor --core baseline\n"
         "  tarvek-asm --divide-by 10 --bits 16 --core pic18 --wrap program > div10.asm\n"
         "\n"
         "Exit status: 0 routine written (and verified with --verify), 1 --verify found a\n"
         "result that differs from the documented computation, 2 the request was refused\n"
         "(the numbered message goes to standard error), 3 routine written but its\n"
         "approximation's error exceeds the allowed one (the input is too narrow; a warning\n"
         "goes to standard error), 64 usage error, 70 unexpected failure, 74 the output\n"
         "could not be written.\n";
}

std::string version_text() {
  return "tarvek-asm (tarvek) generator version " + std::string(kGeneratorVersion) + "\n";
}

}  // namespace tarvek

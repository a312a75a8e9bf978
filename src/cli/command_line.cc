#include "cli/command_line.h"

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
         name == "bits" || name == "error" || name == "acc" || name == "temp" || name == "core";
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
  if (!options.const_text && !options.divisor_text) {
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

std::string usage_text() {
  return "Usage: tarvek-asm [--const K] [--divide-by D] --bits N [--result MODE] [--signed]\n"
         "                  [--effort N] [--error PERCENT] [--acc NAME] [--temp NAME]\n"
         "                  [--little-endian] [--core midrange|enhanced] [--verify]\n"
         "Try 'tarvek-asm --help' for more information.\n";
}

std::string help_text() {
  return "Usage: tarvek-asm [--const K] [--divide-by D] --bits N [OPTION]...\n"
         "Writes a straight-line PIC16 (mid-range, MPASM syntax) routine that multiplies an\n"
         "unsigned N-bit register in place by the constant K, using only shifts, additions,\n"
         "subtractions and a negation. The text is the one the web form's result page shows,\n"
         "as plain text: the comment block, the cblock declarations and the instructions.\n"
         "With --core enhanced the routine is written for the enhanced mid-range core.\n"
         "\n"
         "  --const K          multiply by the real number K (greater than 0, at most 2^31)\n"
         "                       e.g. --const 10   or   --const=0.75\n"
         "  --divide-by D      divide by D: alone, multiply by the double nearest to 1/D,\n"
         "                     which the comment block then shows, and the verification\n"
         "                     compares with x / D; with --const C the constant is C / D\n"
         "                       e.g. --divide-by 10   or   --const 5000 --divide-by 1023\n"
         "  --result MODE      approx (default): the documented multiplication within the\n"
         "                     allowed error; floor: exactly floor(x * K) for every input,\n"
         "                     what C's x / D gives for unsigned x; nearest: exactly\n"
         "                     floor(x * K + 1/2); trunc: exactly x * K rounded toward zero,\n"
         "                     what C's x / D gives for signed x (floor when unsigned).\n"
         "                     The exact modes read K exactly: a decimal number (0.1 is\n"
         "                     1/10) or a fraction (5000/1023) in --const and --divide-by\n"
         "                       e.g. --divide-by 10 --result floor\n"
         "  --bits N           width of the unsigned input register, 1 to 32 bits (required)\n"
         "                       e.g. --bits 8\n"
         "  --error PERCENT    allowed error of the constant's approximation, 0 to 50\n"
         "                     (default 0; the exact modes have none)\n"
         "                       e.g. --error 0.5\n"
         "  --acc NAME         input register, which also receives the result (default ACC);\n"
         "                     its bytes are NAME0, NAME1, ...\n"
         "                       e.g. --acc VALUE\n"
         "  --temp NAME        temporary register (default TEMP)\n"
         "                       e.g. --temp SCRATCH\n"
         "  --effort N         how hard the exact modes search for a cheaper routine, 1 to 9\n"
         "                     (default 1, what the web form uses): more candidates priced,\n"
         "                     more inputs evaluated one by one in the proofs; from 6 on,\n"
         "                     shorter stretches searched for the finished routine; each\n"
         "                     level takes longer and never gives a dearer routine than 1\n"
         "                       e.g. --divide-by 7 --result floor --effort 3\n"
         "  --signed           the input is a two's-complement value of N bits, sign-extended\n"
         "                     through its bytes; so is the result (exact modes only)\n"
         "                       e.g. --divide-by 10 --result trunc --signed\n"
         "  --little-endian    byte 0 is the least significant byte of both registers\n"
         "                     (default: byte 0 is the most significant, big-endian)\n"
         "  --big-endian       the default byte order, for scripts that want to say so\n"
         "  --core CORE        the PIC16 core the routine is for: midrange (the default; runs\n"
         "                     on every PIC16) or enhanced (PIC16F1xxx and PIC12F1xxx only:\n"
         "                     the same computation in fewer instructions, using addwfc,\n"
         "                     subwfb, lslf, lsrf and asrf)\n"
         "                       e.g. --core enhanced\n"
         "  --verify           run the routine on tarvek's PIC16 simulator for every input\n"
         "                     (up to 20 bits; above that a sample with all the edge values)\n"
         "                     and append comment lines: the inputs checked, whether every\n"
         "                     result equals the computation the comment block documents,\n"
         "                     the instruction and cycle counts, and the worst deviation\n"
         "                     from input x K (or input / D), truncation included\n"
         "                       e.g. tarvek-asm --const 10 --bits 8 --verify\n"
         "  --help             show this text and exit\n"
         "  --version          show the generator's version and exit\n"
         "\n"
         "Values are read as the web form reads its fields: in the approx mode a number is\n"
         "read up to the first character that does not belong to a decimal number; in the\n"
         "exact modes the whole value must be a decimal number or a fraction. Register names\n"
         "start with a letter and have at most 31 characters.\n"
         "\n"
         "Examples:\n"
         "  tarvek-asm --const 10 --bits 8 > times10.inc\n"
         "  tarvek-asm --divide-by 3 --bits 16 --error 0.1 --acc SUM --little-endian\n"
         "  tarvek-asm --divide-by 10 --bits 16 --result floor > div10.inc\n"
         "  tarvek-asm --const 0.1 --bits 16 --core enhanced\n"
         "\n"
         "Exit status: 0 routine written (and verified with --verify), 1 --verify found a\n"
         "result that differs from the documented computation, 2 the request was refused\n"
         "(the numbered message goes to standard error), 64 usage error, 74 the output\n"
         "could not be written.\n";
}

std::string version_text() {
  return "tarvek-asm (tarvek) generator version " + std::string(kGeneratorVersion) + "\n";
}

}  // namespace tarvek

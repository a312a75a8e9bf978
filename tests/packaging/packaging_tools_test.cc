// Every packaging of a sample of every kind of result, through the real tools: gpasm assembles
// the MPASM texts (inline, subroutine, macro) and the body of every pic-as text, gplink links
// the relocatable modules with a main object that declares the registers extern, and gpsim
// runs them all from the same starting states as our simulator, which the results must match.
// The pic-as body assembles to the very machine code of the MPASM body.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "codegen/register.h"
#include "form/urlencoded.h"
#include "gpsim/crosscheck_support.h"
#include "gpsim/gpsim_harness.h"
#include "page/packaged_reading.h"
#include "page/packaging_request.h"
#include "page/routine_generation.h"
#include "page/validation.h"
#include "sim/pic_program.h"

namespace tarvek {
namespace {

// A request of one kind of result, its input and the part that runs it.
struct Sample {
  const char* name;
  std::string query;
  GpsimTarget target;
};

const std::vector<Sample>& samples() {
  static const std::vector<Sample> kSamples = {
      {"approximation", "Const=10&Bits=8&Acc=ACC&Temp=TEMP", {}},
      {"approximation of a fraction, little-endian",
       "Const=0.1&Bits=12&ConstErr=0.5&Acc=Q&Temp=QT&endian=little",
       {}},
      {"floor", "Const=1&DivideBy=10&Result=floor&Bits=16&Acc=ACC&Temp=TEMP", {}},
      {"nearest", "Const=0.6&Result=nearest&Bits=8&Acc=N&Temp=NT", {}},
      {"signed trunc", "Const=1&DivideBy=7&Result=trunc&Signed=1&Bits=12&Acc=S&Temp=ST", {}},
      {"enhanced floor", "Const=1&DivideBy=10&Result=floor&Bits=16&Acc=E&Temp=ET&Core=enhanced",
       enhanced_target()},
  };
  return kSamples;
}

// The routine of `query` in its packaging, as the CGI program prints it.
struct Generated {
  std::string text;
  Packaging packaging;
  PicProgram program;
  std::string acc;
  int input_bits = 0;
  bool little_endian = false;
  bool is_signed = false;
};

std::optional<Generated> generate(const std::string& query, std::string& error) {
  FormEntryList form;
  parse_urlencoded(form, query);
  const RequestFields fields = read_request_fields(form);
  form_list_free(form);
  const ValidatedRequest checked = validate_request(fields);
  if (checked.error_code != 0) {
    error = "refused with " + std::to_string(checked.error_code);
    return std::nullopt;
  }
  Register acc(fields.acc_name, checked.input_bits, fields.little_endian);
  Register temp(fields.temp_name, 0, fields.little_endian);
  std::ostringstream out;
  if (const int refused = generate_routine(out, checked.request, acc, temp); refused != 0) {
    error = "generator refused with " + std::to_string(refused);
    return std::nullopt;
  }
  Generated generated{out.str(),
                      checked.request.packaging,
                      {},
                      fields.acc_name,
                      checked.input_bits,
                      fields.little_endian,
                      checked.request.is_signed};
  const std::optional<std::string> block = checkable_block(generated.text, generated.packaging);
  if (!block) {
    error = "the text does not read back";
    return std::nullopt;
  }
  ParseOutcome parsed = parse_generated_block(
      *block, checked.request.core == Core::kEnhanced ? PicCore::kEnhanced : PicCore::kMidrange);
  if (!parsed.program) {
    error = parsed.error;
    return std::nullopt;
  }
  generated.program = std::move(*parsed.program);
  return generated;
}

// Inputs at both ends of the range and a few between, from arbitrary other bytes, W and flags.
std::vector<GpsimInput> inputs_for(const Generated& g, std::mt19937& random) {
  const uint64_t top = (uint64_t{1} << g.input_bits) - 1;
  std::vector<GpsimInput> inputs;
  for (const uint64_t x :
       {uint64_t{0}, uint64_t{1}, top / 2, top / 2 + 1, top - 1, top, uint64_t{random()} & top}) {
    inputs.push_back(
        starting_state(g.program, g.acc, g.input_bits, g.little_endian, x, random, g.is_signed));
  }
  return inputs;
}

// gpsim's bytes against ours, run by run; the wrappers' calls and bank selection may leave W
// and STATUS otherwise, so only the declared bytes count.
void expect_same_bytes(const Generated& g, const std::vector<GpsimInput>& inputs,
                       const GpsimOutcome& outcome, const std::string& label) {
  ASSERT_TRUE(outcome.ok) << label << ": " << outcome.error << "\n" << g.text;
  ASSERT_EQ(outcome.results.size(), inputs.size()) << label;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(outcome.results[i].bytes, run_ours(g.program, inputs[i]).bytes)
        << label << ", run " << i;
  }
}

std::string packaged_query(const Sample& sample, const char* wrap, const char* syntax) {
  return sample.query + "&Wrap=" + wrap + "&Syntax=" + syntax;
}

// MPASM texts in an absolute-mode program: inline where they run, a subroutine called, a
// macro used.
TEST(PackagingToolsTest, MpasmTextsAssembleAndRun) {
  if (!gpsim_tools_available()) GTEST_SKIP() << "gpasm or gpsim is not installed";
  std::mt19937 random(27);
  for (const Sample& sample : samples()) {
    for (const char* wrap : {"inline", "subroutine", "macro"}) {
      const std::string label = std::string(sample.name) + ", " + wrap;
      std::string error;
      const std::optional<Generated> g = generate(packaged_query(sample, wrap, "mpasm"), error);
      ASSERT_TRUE(g) << label << ": " << error;
      const std::string& name = g->packaging.name;
      GpsimRoutine routine{g->text, g->program.byte_names};
      if (g->packaging.wrap == Wrap::kSubroutine) {
        routine.body = "\tgoto\trun_it\n" + g->text + "run_it\n\tcall\t" + name + "\n";
      } else if (g->packaging.wrap == Wrap::kMacro) {
        routine.body = g->text + "\t" + name + "\n";
      }
      const std::vector<GpsimInput> inputs = inputs_for(*g, random);
      const GpsimOutcome outcome = run_in_gpsim(routine, inputs, sample.target);
      EXPECT_EQ(outcome.assembler_messages, "") << label;
      expect_same_bytes(*g, inputs, outcome, label);
    }
  }
}

// Relocatable modules: a subroutine module linked with a main object that declares its
// registers and its label extern; a macro's include file at the head of the main source.
TEST(PackagingToolsTest, RelocatableModulesLinkAndRun) {
  if (!gpsim_tools_available()) GTEST_SKIP() << "gpasm or gpsim is not installed";
  std::mt19937 random(28);
  for (const Sample& sample : samples()) {
    for (const char* wrap : {"subroutine", "macro"}) {
      const std::string label = std::string(sample.name) + ", " + wrap;
      std::string error;
      const std::optional<Generated> g =
          generate(packaged_query(sample, wrap, "gpasm-reloc"), error);
      ASSERT_TRUE(g) << label << ": " << error;
      const std::string& name = g->packaging.name;
      const std::string first = g->program.byte_names.front();
      LinkedProject project;
      if (g->packaging.wrap == Wrap::kSubroutine) {
        project.modules = {g->text};
        project.head = "\textern\t" + name + ", " + first + "\n";
        project.code = "\tcall\t" + name + "\n";
      } else {
        project.head = g->text;
        project.code = "\tbanksel\t" + first + "\n\t" + name + "\n";
      }
      const std::vector<GpsimInput> inputs = inputs_for(*g, random);
      const GpsimOutcome outcome =
          run_linked_in_gpsim(project, g->program.byte_names, inputs, sample.target);
      EXPECT_EQ(outcome.assembler_messages, "") << label;
      expect_same_bytes(*g, inputs, outcome, label);
    }
  }
  // Inline, a module cannot be.
  std::string error;
  EXPECT_FALSE(generate(packaged_query(samples()[0], "inline", "gpasm-reloc"), error));
  EXPECT_EQ(error, "refused with 43");
}

// Every pic-as text's instructions, as printed, assemble with gpasm to the machine code of the
// MPASM text's and run alike.
TEST(PackagingToolsTest, PicAsBodiesAreTheMpasmInstructions) {
  if (!gpsim_tools_available()) GTEST_SKIP() << "gpasm or gpsim is not installed";
  std::mt19937 random(29);
  for (const Sample& sample : samples()) {
    std::string error;
    const std::optional<Generated> mpasm = generate(sample.query, error);
    ASSERT_TRUE(mpasm) << sample.name << ": " << error;
    const AssembledSource mpasm_code =
        assemble_source(wrap_for_gpasm(routine_from_block(mpasm->text), sample.target));
    ASSERT_TRUE(mpasm_code.ok) << sample.name << ": " << mpasm_code.messages;
    for (const char* wrap : {"inline", "subroutine", "macro"}) {
      const std::string label = std::string(sample.name) + ", pic-as " + wrap;
      const std::optional<Generated> g = generate(packaged_query(sample, wrap, "pic-as"), error);
      ASSERT_TRUE(g) << label << ": " << error;
      const std::optional<std::string> block = checkable_block(g->text, g->packaging);
      ASSERT_TRUE(block) << label;
      const GpsimRoutine routine = routine_from_block(*block);
      const AssembledSource code = assemble_source(wrap_for_gpasm(routine, sample.target));
      ASSERT_TRUE(code.ok) << label << ": " << code.messages;
      EXPECT_EQ(code.hex, mpasm_code.hex) << label;
      const std::vector<GpsimInput> inputs = inputs_for(*g, random);
      expect_same_bytes(*g, inputs, run_in_gpsim(routine, inputs, sample.target), label);
    }
  }
}

// One source uses a macro twice, on two inputs: the second use leaves the first result alone
// and both are right.
TEST(PackagingToolsTest, AMacroUsedTwiceComputesTwice) {
  if (!gpsim_tools_available()) GTEST_SKIP() << "gpasm or gpsim is not installed";
  for (const char* syntax : {"mpasm", "gpasm-reloc"}) {
    const std::string query = std::string("Const=1&DivideBy=10&Result=floor&Bits=16&Acc=ACC&") +
                              "Temp=TEMP&Wrap=macro&Name=div10&Syntax=" + syntax;
    std::string error;
    const std::optional<Generated> g = generate(query, error);
    ASSERT_TRUE(g) << syntax << ": " << error;
    // x / 10 of the input, kept in FIRST0 and FIRST1, then of 54321 in place.
    const std::string second_use =
        "\tmovf\tACC0, w\n\tmovwf\tFIRST0\n\tmovf\tACC1, w\n\tmovwf\tFIRST1\n"
        "\tmovlw\tHIGH D'54321'\n\tmovwf\tACC0\n\tmovlw\tLOW D'54321'\n\tmovwf\tACC1\n\tdiv10\n";
    std::vector<std::string> declared = g->program.byte_names;
    declared.insert(declared.end(), {"FIRST0", "FIRST1"});
    std::vector<GpsimInput> inputs;
    for (const unsigned x : {0u, 9u, 10u, 12345u, 65535u}) {
      GpsimInput input;
      input.bytes.assign(declared.size(), 0xA5);
      input.bytes[0] = static_cast<uint8_t>(x >> 8);
      input.bytes[1] = static_cast<uint8_t>(x);
      inputs.push_back(input);
    }
    GpsimOutcome outcome;
    if (std::string(syntax) == "mpasm") {
      const std::string body =
          g->text + "\tcblock\n\tFIRST0\n\tFIRST1\n\tendc\n\tdiv10\n" + second_use;
      outcome = run_in_gpsim(GpsimRoutine{body, declared}, inputs);
    } else {
      LinkedProject project;
      // In common memory, which the bank selected for the routine's registers reaches too.
      project.head = g->text + "FIRST_RAM\tudata_shr\nFIRST0\tres\t1\nFIRST1\tres\t1\n";
      project.code = "\tbanksel\tACC0\n\tdiv10\n" + second_use;
      outcome = run_linked_in_gpsim(project, declared, inputs);
    }
    ASSERT_TRUE(outcome.ok) << syntax << ": " << outcome.error;
    const unsigned xs[] = {0, 9, 10, 12345, 65535};
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const std::vector<uint8_t>& bytes = outcome.results[i].bytes;
      const std::size_t first = declared.size() - 2;
      EXPECT_EQ(bytes[first] * 256u + bytes[first + 1], xs[i] / 10) << syntax << " " << xs[i];
      EXPECT_EQ(bytes[0] * 256u + bytes[1], 54321u / 10) << syntax << " " << xs[i];
    }
  }
}

}  // namespace
}  // namespace tarvek

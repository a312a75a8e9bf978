#include "codegen/generator.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <sstream>
#include <string>

#include "codegen/core_lines.h"
#include "codegen/decomposition.h"
#include "codegen/instruction_set.h"
#include "codegen/program_assembly.h"

namespace tarvek {

std::string cblock_opening(const GeneratorRequest& request) {
  assert(request.ram_address >= -1 && request.ram_address <= 0x1FF);
  std::string text = "\n" + request.notes + "\n\tcblock";
  if (request.ram_address >= 0) {
    char address[16];
    std::snprintf(address, sizeof address, " 0x%02X", static_cast<unsigned>(request.ram_address));
    text += address;
  }
  return text + "\n";
}

FinishedRoutine finish_approximation(const GeneratorRequest& request, Register& acc,
                                     Register& temp) {
  std::ostringstream comment;
  Decomposition decomposition = decompose(comment, request, acc);
  FinishedRoutine routine =
      assemble_routine(decomposition, request.output_bits, acc, temp, request.core);
  // The core's lines follow the Output line, but the RAM they count is known only once the
  // routine is written.
  const RamUse ram{
      acc.name,
      std::max({acc.used ? acc.bytes : 0, decomposition.input_bytes, decomposition.output_bytes}),
      temp.name, temp.used ? temp.bytes : 0};
  comment << core_lines(request.core, ram);
  routine.comment = comment.str();
  routine.code = instruction_set(request.core).written_out(routine.code);
  return routine;
}

void generate_code(std::ostream& out, const GeneratorRequest& request, Register& acc,
                   Register& temp) {
  out << inline_block(finish_approximation(request, acc, temp), cblock_opening(request));
}

}  // namespace tarvek

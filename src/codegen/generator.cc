#include "codegen/generator.h"

#include <cassert>
#include <cstdio>

#include "codegen/decomposition.h"
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

void generate_code(std::ostream& out, const GeneratorRequest& request, Register& acc,
                   Register& temp) {
  Decomposition decomposition = decompose(out, request, acc);
  if (request.core == Core::kEnhanced) out << "\n" << kEnhancedCoreLine;
  out << assemble_program(decomposition, request.output_bits, acc, temp, request.core,
                          cblock_opening(request));
}

}  // namespace tarvek

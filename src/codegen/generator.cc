#include "codegen/generator.h"

#include "codegen/decomposition.h"
#include "codegen/program_assembly.h"

namespace tarvek {

void generate_code(std::ostream& out, const GeneratorRequest& request, Register& acc,
                   Register& temp) {
  Decomposition decomposition = decompose(out, request, acc);
  if (request.core == Core::kEnhanced) out << "\n" << kEnhancedCoreLine;
  out << assemble_program(decomposition, request.output_bits, acc, temp, request.core);
}

}  // namespace tarvek

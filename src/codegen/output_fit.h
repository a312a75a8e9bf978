// Puts a non-negative value on exactly the bytes a routine's Output line names.
#ifndef TARVEK_CODEGEN_OUTPUT_FIT_H
#define TARVEK_CODEGEN_OUTPUT_FIT_H

#include <string>

#include "codegen/code_writer.h"
#include "codegen/register.h"

namespace tarvek {

// Leaves the value of `acc` on bytes 0 to output_bytes - 1 in its byte order: new top bytes
// are cleared, and in big-endian order surplus top bytes (known to hold zero) are dropped by
// moving the value down. Empties the writer's code first and returns it.
// Requires: acc is non-negative and its value fits output_bytes bytes; output_bytes >= 1.
const Code& fit_output_bytes(CodeWriter& writer, Register& acc, int output_bytes);

}  // namespace tarvek

#endif  // TARVEK_CODEGEN_OUTPUT_FIT_H

#include "codegen/shift_step.h"

namespace tarvek {

void shift_left_from_zero(CodeWriter& writer, Register& reg, int byte) {
  if (writer.enhanced()) {
    writer.lslf_f(reg, byte);
    return;
  }
  writer.clrc();
  writer.rlf_f(reg, byte);
}

void shift_right_top(CodeWriter& writer, Register& reg, int byte, bool to_w) {
  if (writer.enhanced()) {
    if (reg.is_signed) {
      to_w ? writer.asrf_w(reg, byte) : writer.asrf_f(reg, byte);
    } else {
      to_w ? writer.lsrf_w(reg, byte) : writer.lsrf_f(reg, byte);
    }
    return;
  }
  if (reg.is_signed) {
    // The sign goes into the carry, W takes the discarded rotation.
    writer.rlf_w(reg, byte);
  } else {
    writer.clrc();
  }
  to_w ? writer.rrf_w(reg, byte) : writer.rrf_f(reg, byte);
}

}  // namespace tarvek

#include "codegen/output_fit.h"

#include <algorithm>

namespace tarvek {

// Puts the product on exactly the bytes the Output line names, bytes 0 to output_bytes - 1.
// The accumulator's bytes follow from the widths the generators could prove, which can be
// fewer than the output's (a single term leaves no carry to store, a right shift drops
// bytes) or, in big-endian order, more (an upper byte known to be zero now comes first).
// The product is never negative, so new top bytes are cleared.
const Code& fit_output_bytes(CodeWriter& writer, Register& acc, int output_bytes) {
  const int count = acc.value_bytes();
  writer.clear_code();
  if (count < output_bytes) {
    const int added = output_bytes - count;
    int first_new = count;
    if (!acc.little_endian) {
      for (int k = count - 1; k >= 0; --k) {
        writer.movf_w(acc, k);
        writer.movwf(acc, k + added);
      }
      first_new = 0;
    }
    for (int i = first_new; i < first_new + added; ++i) writer.clrf(acc, i);
    acc.spare += 8 * added;
    acc.update_bytes();
  } else if (count > output_bytes) {
    const int dropped = count - output_bytes;
    if (!acc.little_endian) {
      for (int k = dropped; k < count; ++k) {
        writer.movf_w(acc, k);
        writer.movwf(acc, k - dropped);
      }
    }
    const int width = std::min(acc.width, 8 * output_bytes);
    acc.set_width(width, 8 * output_bytes - width);
  }
  return writer.code;
}

}  // namespace tarvek

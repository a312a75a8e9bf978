#include "page/error_message.h"

#include <cassert>

namespace tarvek {

const char* error_message(int code) {
  assert(code >= 1 && code <= 7);
  switch (code) {
    case 1:
      return "Input size out of range (1..32 bits).\n";
    case 2:
      return "Constant value is negative, zero, or not a number.\n";
    case 3:
      return "Enter input register(s) name.\n";
    case 4:
      return "Enter temporary register(s) name.\n";
    case 5:
      return "Too big constant, size over 32 bits.\n";
    case 6:
      return "Constant error must be between 0 and 50%.\n";
    default:
      return "Result is zero for this combination of input size and constant.";
  }
}

}  // namespace tarvek

#include "exact/candidate.h"

namespace tarvek {

std::string describe(const Candidate& c) {
  std::string text = c.multiplier.to_decimal() + " / 2^" + std::to_string(c.shift);
  for (const int k : c.factors) {
    text +=
        k > 0 ? " * (1 + 2^-" + std::to_string(k) + ")" : " * (2^" + std::to_string(-k) + " + 1)";
  }
  return text + ", guard " + std::to_string(c.guard) + ", offset " + std::to_string(c.offset) +
         ", corrections " + std::to_string(c.corrections);
}

}  // namespace tarvek

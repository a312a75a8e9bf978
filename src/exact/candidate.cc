#include "exact/candidate.h"

namespace tarvek {

std::string describe(const Candidate& c) {
  return c.multiplier.to_decimal() + " / 2^" + std::to_string(c.shift) + ", guard " +
         std::to_string(c.guard) + ", offset " + std::to_string(c.offset) + ", corrections " +
         std::to_string(c.corrections);
}

}  // namespace tarvek

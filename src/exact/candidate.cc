#include "exact/candidate.h"

#include "exact/chain.h"

namespace tarvek {

std::string describe(const Candidate& c) {
  std::string text = c.multiplier.to_decimal() + " / 2^" + std::to_string(c.shift);
  for (const int k : c.factors) {
    text +=
        k > 0 ? " * (1 + 2^-" + std::to_string(k) + ")" : " * (2^" + std::to_string(-k) + " + 1)";
  }
  if (c.input_shift > 0) text += ", input shift " + std::to_string(c.input_shift);
  return text + ", guard " + std::to_string(c.guard) + ", offset " + std::to_string(c.offset) +
         ", corrections " + std::to_string(c.corrections);
}

Chain candidate_chain(const Candidate& c, int input_bits) {
  return make_chain(c.multiplier, c.shift - c.guard + c.input_shift, input_bits, c.input_shift);
}

}  // namespace tarvek

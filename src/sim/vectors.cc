#include "sim/vectors.h"

namespace tarvek {

Vectors best_vectors() {
  // libgcc counts AVX2 only where the system also saves the registers it uses.
  return __builtin_cpu_supports("avx2") ? Vectors::kAvx2 : Vectors::kSse2;
}

}  // namespace tarvek

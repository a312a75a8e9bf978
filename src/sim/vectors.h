// The vector instructions the simulator's many-at-a-time loops are compiled for. Every x86-64
// processor has SSE2; AVX2 doubles the lanes of each vector instruction. A loop that has both
// is compiled twice, the AVX2 copy through gnu::target("avx2") on its function alone, so that
// the program still starts on any x86-64 processor, and gives the same results either way.
#ifndef TARVEK_SIM_VECTORS_H
#define TARVEK_SIM_VECTORS_H

namespace tarvek {

enum class Vectors { kSse2, kAvx2 };

// AVX2 where the processor and the system support it, otherwise SSE2.
Vectors best_vectors();

}  // namespace tarvek

#endif  // TARVEK_SIM_VECTORS_H

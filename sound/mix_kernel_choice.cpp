#include "sound/mix_kernels.h"

namespace {

const MixKernels& Widest() {
    if (const MixKernels* avx2 = Avx2MixKernels()) return *avx2;
    if (const MixKernels* sse2 = Sse2MixKernels()) return *sse2;
    return ScalarMixKernels();
}

// Chosen once, before main; MixVoices reads it through a pointer, so the choice costs no branch
// in the loops.
const MixKernels* activeKernels = &Widest();

}  // namespace

const MixKernels& ActiveMixKernels() { return *activeKernels; }

void UseMixKernels(const MixKernels& kernels) { activeKernels = &kernels; }

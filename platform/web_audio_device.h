// The web page's audio device. The page's WebAssembly runs twice: on the page, where the show
// runs, and inside the page's sound worklet on the audio thread, where only the sound runs. The
// device has a role in each.
// - On the page it is the worklet: opening it starts the worklet's sound, its clock is the
//   AudioContext's from the frame at which the worklet's first quantum played, and it holds the
//   context's latency. It never calls for mixing: the page's thread mixes nothing.
// - In the worklet it is moved by the quanta the worklet renders, mixing what became due as the
//   virtual device does, so the worklet's copy of the engine mixes block by block as natively.
#pragma once

#include <cstdint>

// Makes this copy the worklet's; called before the output opens.
void UseWorkletAudio();
// Worklet: writes the next `frames` frames the device plays (at most kWorkletMaxFrames), as
// floats, left then right in two runs of `frames`, counts them as played and mixes the blocks
// that became due. Silence while closed.
constexpr uint32_t kWorkletMaxFrames = 1024;
void RenderWorkletAudio(float* out, uint32_t frames);

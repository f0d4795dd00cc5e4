// The web page's audio device: the page's AudioContext plays the ring through buffers scheduled a
// little ahead, and the device's clock is the context's. Nothing runs behind the show's back: the
// display calls the pump once per frame, in the page's own thread, as the virtual device is moved
// by its caller.
#pragma once

// Reads the context's clock, mixes the blocks that became due and schedules the ring's sound up to
// the lead. Nothing while closed.
void PumpWebAudio();

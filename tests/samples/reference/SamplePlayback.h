#pragma once
// Forward sample playback as it stood before it was restructured for speed: every frame read
// and the position stepped on before the next.  Only forward playback (a positive, finite rate
// into buffers) was restructured, so everything else, and where a render starts, is left to the
// factory itself.  The optimised playback is checked against this bit for bit.

class CSample;
class CSampleFactory;

namespace reference
{
// CSampleFactory::GetSamples.
double GetSamples(CSampleFactory& factory, CSample* sample, double position, float* left,
                  float* right, int frames, double rate, bool looping);
} // namespace reference

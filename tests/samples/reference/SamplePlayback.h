#pragma once
// Sample playback as it stood before the voice path was optimised: CSampleFactory's GetSamples
// and SkipSamples and CSample's rate correction, kept verbatim over a factory's pool (read
// through its public accessors).  The optimised playback is checked against these bit for bit.

class CSample;
class CSampleFactory;

namespace reference
{
double GetSamples(const CSampleFactory& factory, const CSample& sample, double position,
                  float* left, float* right, int frames, double rate, bool looping);
double SkipSamples(const CSampleFactory& factory, const CSample& sample, double position,
                   int frames, double rate, bool looping);
// CSample::Play and CSample::SkipSamples.
double PlaySample(const CSample& sample, double position, float* left, float* right, int frames,
                  double rate, bool looping, double sampleRate);
double SkipSample(const CSample& sample, double position, int frames, double rate, bool looping,
                  double sampleRate);
} // namespace reference

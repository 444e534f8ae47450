// The shifter kernel built for AVX2 (this file is compiled with -mavx2); CShifterKernel::Shift
// calls it only on processors that have it.
#include "dsp/CShifterKernel.h"

#include "dsp/ShifterLanes.h"

#ifndef __AVX2__
#error "this file must be compiled with -mavx2"
#endif

void CShifterKernel::ShiftAvx2(const Geometry& geometry, const HeadRun& run, float* outLeft,
                               float* outRight)
{
    shifter_lanes::Shift(geometry, run, outLeft, outRight);
}

#include "dsp/CShifterKernel.h"

#include "dsp/CSimdPath.h"
#include "dsp/ShifterLanes.h"

void CShifterKernel::Shift(const Geometry& geometry, const HeadRun& run, float* outLeft,
                           float* outRight)
{
    if (CSimdPath::Avx2())
        ShiftAvx2(geometry, run, outLeft, outRight);
    else
        ShiftPortable(geometry, run, outLeft, outRight);
}

void CShifterKernel::ShiftPortable(const Geometry& geometry, const HeadRun& run, float* outLeft,
                                   float* outRight)
{
    shifter_lanes::Shift(geometry, run, outLeft, outRight);
}

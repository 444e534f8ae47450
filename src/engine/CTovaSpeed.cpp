// CTova: the speed model. A slewed tape speed, a virtual platter that follows the
// "Rarorovaz" knob with inertia, and "Bo", which turns knob movement into speed, combine into
// the effective speed of the voices and the Bo speed that the global shifter divides out.

#include "engine/CTova.h"

#include <algorithm>
#include <cmath>

namespace
{
// Bo: the smoothed motion is scaled by this into a speed; below kMinBoSpeed it counts as 0.
constexpr float kBoGain = 40.0f;
constexpr float kMinBoSpeed = 0.2f;
// Bo near its ends (beyond ±0.8) and held still plays at the tape speed, along a log curve.
constexpr double kBoCurveStart = 0.8;
constexpr double kBoCurveScale = 250.0;
constexpr double kBoStillMotion = 0.02;
// Rarorovaz beyond ±0.75 plays at the tape speed along a log curve; inside it the platter runs.
constexpr double kScratchCurveStart = 0.75;
constexpr double kScratchCurveScale = 200.0;
// Both curves reach 1 at the knob's end: ln(0.2 × 250 + 1) = ln(0.25 × 200 + 1) = ln 51.
const double kCurveNorm = std::log(51.0);
// Platter, in single precision: position per unit of velocity and sub-block, acceleration.
constexpr float kPlatterStep = 2 * 0.001f;
constexpr float kPlatterSlowAcceleration = 0.002f;
constexpr float kPlatterFastAcceleration = 0.004f;
constexpr float kPlatterMaxVelocity = 3.0f;
} // namespace

CTova::SpeedPlan CTova::PrepareSpeed(bool newCycle, UInt32 frames)
{
    SpeedPlan plan;
    plan.bo = Param(kTovaParam_Bo);
    plan.rarorovaz = Param(kTovaParam_Rarorovaz);
    plan.deltaBo = std::fabs(mLastBo - plan.bo);

    if (newCycle)
    {
        if (plan.deltaBo != 0)
            mBoStill = 0;
        else if (mBoStill <= 0.2 * mSampleRate)
            mBoStill += static_cast<SInt32>(frames);
        else
        {
            // Still for more than 0.2 s: the knob no longer moves the tape.
            mBoMotion = 0;
            mBoMotionSaved = 0;
        }
    }

    const double k = mBoMotion * kBoGain >= 2 ? 4.0 : 8.0;
    const double root = 1 - k / mSampleRate;
    plan.g = root * root;

    const double absBo = std::fabs(plan.bo);
    if (mBoMotion < kBoStillMotion && absBo > kBoCurveStart)
        plan.beta = std::log((absBo - kBoCurveStart) * kBoCurveScale + 1) / kCurveNorm;

    const double absScratch = std::fabs(plan.rarorovaz);
    if (absScratch > kScratchCurveStart)
        plan.sigma =
            std::log((absScratch - kScratchCurveStart) * kScratchCurveScale + 1) / kCurveNorm;
    return plan;
}

CTova::Speeds CTova::StepSpeed(const SpeedPlan& plan)
{
    // Tape speed: a fixed step per sub-block, whatever its length.
    const double target = Param(kTovaParam_TapeSpeed);
    const double smoothing = Param(kTovaParam_TapeSmoothing);
    if (!(smoothing > 0))
        mTapeSpeed = target;
    else
    {
        const double step = kSubBlockFrames / (smoothing * mSampleRate);
        mTapeSpeed = mTapeSpeed < target ? std::min(mTapeSpeed + step, target)
                                         : std::max(mTapeSpeed - step, target);
    }

    Speeds speeds;
    mBoMotion = static_cast<float>((1 - plan.g) * plan.deltaBo + plan.g * mBoMotion);
    if (plan.beta == 0)
        speeds.bo = mBoMotion * kBoGain < kMinBoSpeed ? 0.0f : mBoMotion * kBoGain;
    else
        speeds.bo = static_cast<float>(mTapeSpeed * plan.beta);
    if (speeds.bo < kMinBoSpeed) speeds.bo = 0;

    float scratch = 0;
    if (plan.sigma > 0)
    {
        scratch = static_cast<float>(mTapeSpeed * plan.sigma);
        if (plan.rarorovaz > 0) scratch = -scratch;
    }
    else
        scratch = StepPlatter(-plan.rarorovaz);

    if (speeds.bo > 0)
        speeds.speed = scratch != 0 ? scratch * speeds.bo : speeds.bo;
    else
        speeds.speed = scratch;

    const SInt32 stopped = speeds.speed == 0 ? 1 : 0;
    if (stopped != mStopped.load(std::memory_order_relaxed))
    {
        mStopped.store(stopped, std::memory_order_relaxed);
        PropertyChanged(kTovaProperty_Stopped, kAudioUnitScope_Global, 0);
    }
    return speeds;
}

float CTova::StepPlatter(float target)
{
    float p = mScratchPos;
    float v = mScratchVel;
    if (p > target) p = std::max(p + kPlatterStep * v, target);
    if (p < target) p = std::min(p + kPlatterStep * v, target);
    if (p >= target)
        v -= v <= -kPlatterFastAcceleration ? kPlatterSlowAcceleration : kPlatterFastAcceleration;
    else
        v += v < kPlatterFastAcceleration ? kPlatterFastAcceleration : kPlatterSlowAcceleration;
    v = std::min(v, kPlatterMaxVelocity);
    v = p == target ? std::max(v, 0.0f) : std::max(v, -kPlatterMaxVelocity);
    mScratchPos = p;
    mScratchVel = v;
    return v;
}

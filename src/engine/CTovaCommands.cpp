// CTova: changes of render-owned state requested from other threads, queued as commands and
// executed by whoever holds the exclusive token (normally the render thread at the start of a
// render cycle).

#include "engine/CTova.h"

#include "samples/CSample.h"

void CTova::Post(ECommand type)
{
    if (mToken.HeldByCaller())
    {
        // Earlier requests first, so that effects keep their order.
        DrainCommands();
        Execute(type);
        return;
    }
    if (mCommands.TryPush(Command{type})) return;
    // Full: no render thread has drained for a long time. Do its work here instead of losing
    // the request; the render thread plays silence meanwhile and never waits.
    const Exclusive access(*this);
    Execute(type);
}

void CTova::DrainCommands()
{
    Command command{};
    while (mCommands.TryPop(command))
        Execute(command.type);
}

void CTova::Execute(ECommand type)
{
    switch (type)
    {
    case ECommand::StopRequest:
        RequestStop();
        break;
    case ECommand::EraseCountReset:
        mEraseCount = 0;
        break;
    case ECommand::EraseEdge:
        if (++mEraseCount > 2) EraseAllSamplesNow();
        break;
    case ECommand::CopyReset:
        mCopySource = -1;
        mEraseCount = 0;
        break;
    case ECommand::LegatoReset:
        mLegatoKey = -1;
        break;
    case ECommand::AutolooperArm:
        ArmAutolooper();
        break;
    case ECommand::AllNotesOff:
        AllNotesOff();
        break;
    case ECommand::EraseAll:
        EraseAllSamplesNow();
        break;
    case ECommand::Freeze:
        ApplyFreezeRequest();
        break;
    case ECommand::Reverb:
        ApplyReverbSettings();
        break;
    }
}

void CTova::RequestFreeze(SInt32 request)
{
    // Only the latest request matters; one queued command carries any number of them.
    if (mFreezeRequest.exchange(request) == -1 || mToken.HeldByCaller()) Post(ECommand::Freeze);
}

void CTova::ApplyFreezeRequest()
{
    const SInt32 request = mFreezeRequest.exchange(-1);
    if (request == 0 && mFreezeState != 0)
        mFreezeState = 0;
    else if (request == 1 && mFreezeState != 1)
        mFreezeState = 1;
}

void CTova::RequestReverbSetting(int index, float value)
{
    // The value is stored before the bit is set, and the bit taken before the value is read
    // (ApplyReverbSettings): a setting that arrives meanwhile queues its own command.
    mReverbSettings[index].store(value);
    const UInt32 bit = 1u << index;
    if (mReverbDirty.fetch_or(bit) == 0 || mToken.HeldByCaller()) Post(ECommand::Reverb);
}

void CTova::ApplyReverbSettings()
{
    const UInt32 dirty = mReverbDirty.exchange(0);
    using Setter = void (revmodel::*)(float);
    static constexpr Setter kSetters[kNumReverbSettings] = {
        &revmodel::setdry, &revmodel::setwet, &revmodel::setroomsize, &revmodel::setdamp,
        &revmodel::setwidth};
    for (int i = 0; i < kNumReverbSettings; ++i)
        if (dirty & (1u << i)) (mReverb.*kSetters[i])(mReverbSettings[i].load());
}

void CTova::EraseAllSamples()
{
    Post(ECommand::EraseAll);
}

void CTova::EraseAllSamplesNow()
{
    for (CKeyInfo& key : mKeys)
        key.SetErasePending(true);
    mEraseCount = 0;
    if (mImportSample != nullptr)
    {
        mImportSample->Release();
        mImportSample = nullptr;
    }
}

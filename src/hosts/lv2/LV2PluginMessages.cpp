// LV2Plugin: the control port's messages, the notify port and the worker's side.

#include "hosts/lv2/LV2Plugin.h"

#include "hosts/common/MIDIMessage.h"
#include "hosts/common/UnitCustomProperties.h"
#include "platform/MusicDevice.h"

#include <lv2/atom/util.h>

#include <algorithm>
#include <cstring>

namespace
{
const char* StringBody(const LV2_Atom* atom, std::uint32_t& length)
{
    // Paths and strings carry their terminating zero inside the atom.
    const auto* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(atom));
    length = static_cast<std::uint32_t>(strnlen(text, atom->size));
    return text;
}
} // namespace

void LV2Plugin::Receive(const LV2_Atom_Event& event, std::uint32_t offset)
{
    const LV2_Atom& body = event.body;
    if (body.type == mURIs.midiEvent)
    {
        const auto* data = static_cast<const UInt8*>(LV2_ATOM_BODY_CONST(&body));
        if (body.size == 0) return;
        if (data[0] == 0xF0)
            MusicDeviceSysEx(mUnit, data, body.size);
        else if (data[0] >= 0x80 && data[0] < 0xF0)
            MusicDeviceMIDIEvent(mUnit, data[0], body.size > 1 ? data[1] : 0,
                                 body.size > 2 ? data[2] : 0, offset);
        return;
    }
    if (body.type == mURIs.atomObject || body.type == mURIs.atomBlank)
        ReceiveObject(reinterpret_cast<const LV2_Atom_Object&>(body));
}

void LV2Plugin::ReceiveObject(const LV2_Atom_Object& object)
{
    const LV2_URID type = object.body.otype;
    if (type == mURIs.timePosition)
        mClock.Receive(object, mURIs);
    else if (type == mURIs.patchSet)
        ReceiveSet(object);
    else if (type == mURIs.patchGet)
        ReceiveGet(object);
    else if (type == mURIs.eraseAll)
    {
        LV2WorkMessage message;
        message.kind = LV2WorkMessage::Kind::EraseAll;
        Request(message);
    }
}

void LV2Plugin::ReceiveSet(const LV2_Atom_Object& object)
{
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    lv2_atom_object_get(&object, mURIs.patchProperty, &property, mURIs.patchValue, &value, 0);
    if (property == nullptr || property->type != mURIs.atomURID || value == nullptr) return;
    const LV2_URID key = reinterpret_cast<const LV2_Atom_URID*>(property)->body;
    double number = 0;

    if (key == mURIs.import || key == mURIs.importWithTempo)
    {
        if (value->type != mURIs.atomPath && value->type != mURIs.atomString) return;
        std::uint32_t length = 0;
        const char* path = StringBody(value, length);
        LV2WorkMessage message;
        message.kind = key == mURIs.import ? LV2WorkMessage::Kind::Import
                                           : LV2WorkMessage::Kind::ImportWithTempo;
        if (message.SetPath({path, length}))
            Request(message);
        else
        {
            // Too long to travel: refused at once, named by as much of it as fits.
            message.SetPath({path, LV2WorkMessage::kMaxPath - 1});
            message.value = kAudio_ParamError;
            Answer(message);
        }
    }
    else if (key == mURIs.midiLearn)
    {
        if (!LV2HostClock::ReadNumber(value, mURIs, number)) return;
        LV2WorkMessage message;
        message.kind = LV2WorkMessage::Kind::MidiLearn;
        message.value = static_cast<std::int32_t>(std::clamp(number, -1.0, 2147483647.0));
        Request(message);
    }
    else if (const int index = mURIs.ParameterIndex(key); index >= 0)
    {
        if (LV2HostClock::ReadNumber(value, mURIs, number))
            mParameters.SetFromMessage(static_cast<std::uint32_t>(index),
                                       static_cast<float>(number));
    }
}

void LV2Plugin::ReceiveGet(const LV2_Atom_Object& object)
{
    const LV2_Atom* property = nullptr;
    lv2_atom_object_get(&object, mURIs.patchProperty, &property, 0);
    if (property == nullptr)
    {
        // Everything a UI shows.
        mParameters.InvalidateAll();
        mReportMemoryUse = mReportStopped = mReportMidiLearn = true;
        return;
    }
    if (property->type != mURIs.atomURID) return;
    const LV2_URID key = reinterpret_cast<const LV2_Atom_URID*>(property)->body;
    if (key == mURIs.memoryUse)
        mReportMemoryUse = true;
    else if (key == mURIs.stopped)
        mReportStopped = true;
    else if (key == mURIs.midiLearn)
        mReportMidiLearn = true;
    else if (const int index = mURIs.ParameterIndex(key); index >= 0)
        mParameters.Invalidate(static_cast<std::uint32_t>(index));
}

void LV2Plugin::Request(LV2WorkMessage& message)
{
    if (mSchedule == nullptr)
    {
        // A host without a worker (an offline host) waits for the result.
        Perform(message);
        Answer(message);
        return;
    }
    if (mSchedule->schedule_work(mSchedule->handle, message.Size(), &message) != LV2_WORKER_SUCCESS)
    {
        message.value = kAudioUnitErr_CannotDoInCurrentContext;
        Answer(message);
    }
}

void LV2Plugin::Perform(LV2WorkMessage& message)
{
    OSStatus status = noErr;
    switch (message.kind)
    {
    case LV2WorkMessage::Kind::Import:
    case LV2WorkMessage::Kind::ImportWithTempo:
        // SetPath ends the path with its zero.
        status =
            UnitCustomProperties::Import(mUnit, message.path, message.pathLength,
                                         message.kind == LV2WorkMessage::Kind::ImportWithTempo);
        break;
    case LV2WorkMessage::Kind::EraseAll:
    {
        const UInt32 ignored = 0;
        status = AudioUnitSetProperty(mUnit, UnitCustomProperties::kEraseAll,
                                      kAudioUnitScope_Global, 0, &ignored, sizeof ignored);
        break;
    }
    case LV2WorkMessage::Kind::MidiLearn:
    {
        const SInt32 parameter = message.value;
        status = AudioUnitSetProperty(mUnit, UnitCustomProperties::kMidiLearn,
                                      kAudioUnitScope_Global, 0, &parameter, sizeof parameter);
        break;
    }
    }
    message.value = status;
}

LV2_Worker_Status LV2Plugin::Work(LV2_Worker_Respond_Function respond,
                                  LV2_Worker_Respond_Handle handle, std::uint32_t size,
                                  const void* data)
{
    if (!LV2WorkMessage::Fits(data, size)) return LV2_WORKER_ERR_UNKNOWN;
    LV2WorkMessage message;
    std::memcpy(&message, data, size);
    Perform(message);
    return respond(handle, message.Size(), &message);
}

LV2_Worker_Status LV2Plugin::WorkResponse(std::uint32_t size, const void* data)
{
    if (!LV2WorkMessage::Fits(data, size)) return LV2_WORKER_ERR_UNKNOWN;
    LV2WorkMessage message;
    std::memcpy(&message, data, size);
    Answer(message);
    return LV2_WORKER_SUCCESS;
}

void LV2Plugin::Answer(const LV2WorkMessage& response)
{
    switch (response.kind)
    {
    case LV2WorkMessage::Kind::Import:
    case LV2WorkMessage::Kind::ImportWithTempo:
        // More answers than the notify port can wait for: the oldest is dropped.
        if (mAnswerCount == kMaxAnswers)
        {
            std::move(mAnswers.begin() + 1, mAnswers.end(), mAnswers.begin());
            --mAnswerCount;
        }
        mAnswers[mAnswerCount++] = response;
        break;
    case LV2WorkMessage::Kind::EraseAll:
        mReportMemoryUse = true;
        break;
    case LV2WorkMessage::Kind::MidiLearn:
        mReportMidiLearn = true;
        break;
    }
}

bool LV2Plugin::ReadProperty(AudioUnitPropertyID id, SInt32& value) const
{
    UInt32 size = sizeof value;
    return AudioUnitGetProperty(mUnit, id, kAudioUnitScope_Global, 0, &value, &size) == noErr;
}

void LV2Plugin::Notify()
{
    NotifyFeedback();
    mParameters.Report(mOutput, mURIs.parameters);
    NotifyProperties();
    std::size_t sent = 0;
    for (; sent < mAnswerCount; ++sent)
    {
        const LV2WorkMessage& answer = mAnswers[sent];
        const LV2_URID property =
            answer.kind == LV2WorkMessage::Kind::Import ? mURIs.import : mURIs.importWithTempo;
        if (!mOutput.ImportResult(property, answer.Path(), answer.value)) break;
    }
    std::move(mAnswers.begin() + static_cast<std::ptrdiff_t>(sent),
              mAnswers.begin() + static_cast<std::ptrdiff_t>(mAnswerCount), mAnswers.begin());
    mAnswerCount -= sent;
}

void LV2Plugin::NotifyFeedback()
{
    if (mFeedback == nullptr) return;
    while (const MIDIPacket* packet = mFeedback->Front())
    {
        // A packet leaves whole or waits: one event per message.
        std::uint32_t messages = 0;
        for (std::size_t at = 0; at < packet->length; ++messages)
            at += MIDIMessage::Length(packet->data + at, packet->length - at);
        if (mOutput.MidiRoom(messages) < packet->length + 8 * messages) return;
        for (std::size_t at = 0; at < packet->length;)
        {
            const std::size_t length = MIDIMessage::Length(packet->data + at, packet->length - at);
            mOutput.Midi(packet->data + at, static_cast<std::uint32_t>(length));
            at += length;
        }
        mFeedback->Pop();
    }
}

void LV2Plugin::NotifyProperties()
{
    SInt32 value = 0;
    if (ReadProperty(UnitCustomProperties::kMemoryUse, value) &&
        (value != mMemoryUse || mReportMemoryUse))
    {
        if (!mOutput.SetInt(mURIs.memoryUse, value)) return;
        mMemoryUse = value;
    }
    mReportMemoryUse = false;
    if (mStoppedChanged.exchange(false, std::memory_order_acquire)) mReportStopped = true;
    if (mReportStopped && ReadProperty(UnitCustomProperties::kStopped, value))
        if (!mOutput.SetBool(mURIs.stopped, value != 0)) return;
    mReportStopped = false;
    if (mReportMidiLearn && ReadProperty(UnitCustomProperties::kMidiLearn, value))
        if (!mOutput.SetInt(mURIs.midiLearn, value)) return;
    mReportMidiLearn = false;
}

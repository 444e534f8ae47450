// CTova: audio-file import. The file is read on the calling thread into a buffer of its own
// (a whole file, up to the room left in the pool); its tempo, sync and loop flags follow from
// its length; then the render thread copies the frames into the pool (CTovaHandOff.cpp) and
// makes the sample the one waiting for the next note on.

#include "engine/CTova.h"

#include "editor/audiofile/AudioFileDecoding.h"
#include "editor/audiofile/CAXException.h"

namespace
{
// The tempo at which the whole file lasts four beats, brought into 80 ... 160 by doubling
// (a bar read at half or a quarter of its tempo); −1 for a file that would be faster than 180.
constexpr float kLongestLoopTempo = 180.0f;
constexpr float kSlowestLoopTempo = 80.0f;
constexpr double kBeatsTimesSeconds = 240.0; // 4 beats × 60 s
// A file shorter than this without a tempo plays to its end once started.
constexpr double kPlayAllSeconds = 2.0;
} // namespace

OSStatus CTova::ImportFile(const std::string& path, bool withTempo)
{
    DecodedAudioFile file;
    OSStatus status = noErr;
    const AudioFileDecodeProc decode = AudioFileCurrentDecoder();
    if (decode == nullptr)
        status = kAudioFileUnsupportedFileTypeError;
    else
    {
        const SInt32 fill = mSampleFactory->Fill();
        const SInt32 capacity = mSampleFactory->Capacity();
        try
        {
            decode(path, fill < capacity - 1 ? capacity - fill : 0, file);
        }
        catch (const CAXException& e)
        {
            // No half-read sample waits: what was read goes.
            status = e.Error();
            file.left.clear();
            file.right.clear();
        }
    }

    const double frames = static_cast<double>(file.fileFrames);
    float tempo = -1.0f;
    if (withTempo)
    {
        tempo = static_cast<float>(file.sampleRate * kBeatsTimesSeconds / frames);
        // An empty file or one without a rate has no tempo either.
        if (tempo > kLongestLoopTempo || !(tempo > 0.0f)) tempo = -1.0f;
        while (tempo > 0.0f && tempo < kSlowestLoopTempo)
            tempo = tempo + tempo;
    }

    const std::lock_guard lock(mImportMutex);
    mImport.left = std::move(file.left);
    mImport.right = std::move(file.right);
    mImport.tempo = tempo;
    mImport.sampleRate = file.sampleRate;
    if (tempo != -1.0f)
    {
        // Played "As Recorded", it starts and stops on the bar.
        mImport.sync = 2;
        mImport.neverLoop = false;
        mImport.playAll = false;
    }
    else
    {
        mImport.sync = 0;
        mImport.neverLoop = true;
        const double seconds = file.sampleRate > 0.0 ? frames / file.sampleRate : 0.0;
        mImport.playAll = seconds < kPlayAllSeconds;
    }
    InstallImport();
    if (status == noErr) status = mImport.result;
    // The frames are in the pool now; the buffer goes here, off the render thread.
    mImport.left = std::vector<float>();
    mImport.right = std::vector<float>();
    return status;
}

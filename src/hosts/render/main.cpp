// tova-render: renders Tova offline from an audio file and a MIDI file into an audio file.

#include "editor/audiofile/CAAudioFileImport.h"
#include "engine/CTovaEntry.h"
#include "hosts/render/RenderCommand.h"

int main(int argc, char** argv)
{
    InstallAudioFileImport(); // --import reads files through it
    RenderCommand command(kTovaRegistration); // the component rendered: Tova
    return command.Run(argc, argv);
}

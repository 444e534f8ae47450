// tova-jack: Tova played live as a JACK client.

#include "engine/CTovaEntry.h"
#include "hosts/jack/JackProgram.h"

int main(int argc, char** argv)
{
    return JackProgram(kTovaRegistration).Run(argc, argv);
}

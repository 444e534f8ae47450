// tova-render with the test component in Tova's place: the real program for the tests that
// run it as a user would.

#include "RenderTestComponent.h"
#include "hosts/render/RenderCommand.h"

int main(int argc, char** argv)
{
    RenderCommand command(kRenderTestComponent);
    return command.Run(argc, argv);
}

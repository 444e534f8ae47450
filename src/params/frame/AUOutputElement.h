#pragma once
// An output bus: the plug-in renders into its buffers, which the frame then copies to the host
// or hands over.

#include "params/frame/AUIOElement.h"

class AUOutputElement : public AUIOElement
{
};

#include "params/frame/AUStatus.h"

#include <new>

OSStatus AUStatusFromCurrentException() noexcept
{
    try
    {
        throw;
    }
    catch (OSStatus status)
    {
        return status;
    }
    catch (SInt16 status)
    {
        return status;
    }
    catch (const std::bad_alloc&)
    {
        return kAudio_MemFullError;
    }
    catch (...)
    {
        return -1;
    }
}

#pragma once
// Finding, as another sequencer client sees it, a port that this process publishes.

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <cstring>

// The sequencer address of this process's client called `name`, port called `name`.
inline bool FindOwnPort(snd_seq_t* seq, const char* name, int& client, int& port)
{
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq, clientInfo) >= 0)
    {
        if (std::strcmp(snd_seq_client_info_get_name(clientInfo), name) != 0 ||
            snd_seq_client_info_get_pid(clientInfo) != ::getpid())
            continue;
        snd_seq_port_info_set_client(portInfo, snd_seq_client_info_get_client(clientInfo));
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq, portInfo) >= 0)
            if (std::strcmp(snd_seq_port_info_get_name(portInfo), name) == 0)
            {
                client = snd_seq_port_info_get_client(portInfo);
                port = snd_seq_port_info_get_port(portInfo);
                return true;
            }
    }
    return false;
}

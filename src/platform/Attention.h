#pragma once

#include <QtGlobal>

// Asks for the user's attention (the taskbar entry flashes or is marked urgent) until the program is
// activated or the request is cancelled.
class Attention
{
public:
    virtual ~Attention() = default;

    // Returns the request's number, or -1 when attention cannot be requested.
    virtual qint64 requestAttention() = 0;
    virtual void cancelAttentionRequest(qint64 request) = 0;
};

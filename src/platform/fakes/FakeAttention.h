#pragma once

#include "Attention.h"

#include <QSet>

// Keeps the open attention requests so that a test can see whether one is pending.
class FakeAttention final : public Attention
{
public:
    qint64 requestAttention() override
    {
        const qint64 request = ++m_last;
        pending.insert(request);
        return request;
    }
    void cancelAttentionRequest(qint64 request) override { pending.remove(request); }

    QSet<qint64> pending;

private:
    qint64 m_last = 0;
};

#pragma once

#include "store/TagEntity.h"

// A task tag ("#name" in activity texts) as a shared record.
class Task : public TagEntity
{
public:
    static constexpr EntityType entityType = EntityType::Task;
    EntityType entity() const override { return entityType; }

private:
    friend class Context;
    explicit Task(Context *context)
        : TagEntity(context)
    {}
};

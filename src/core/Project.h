#pragma once

#include "store/TagEntity.h"

// A project tag ("@name" in activity texts) as a shared record.
class Project : public TagEntity
{
public:
    static constexpr EntityType entityType = EntityType::Project;
    EntityType entity() const override { return entityType; }

private:
    friend class Context;
    explicit Project(Context *context)
        : TagEntity(context)
    {}
};

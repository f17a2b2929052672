#pragma once

#include "storage/ErrorPresenter.h"

class QWidget;

// Shows store and migration errors in a message box: the description, and the reason as details.
class MessageBoxErrorPresenter final : public ErrorPresenter
{
public:
    explicit MessageBoxErrorPresenter(QWidget *parent = nullptr)
        : m_parent(parent)
    {}

    void setParent(QWidget *parent) { m_parent = parent; }

    // The user can only acknowledge the error, so it never counts as dealt with.
    bool presentError(const PdError &error) override;

private:
    QWidget *m_parent;
};

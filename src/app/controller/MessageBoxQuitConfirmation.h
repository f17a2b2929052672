#pragma once

#include "storage/QuitConfirmation.h"

class QWidget;

// Asks "Quit anyway?" in a message box when the changes cannot be saved while quitting.
class MessageBoxQuitConfirmation final : public QuitConfirmation
{
public:
    explicit MessageBoxQuitConfirmation(QWidget *parent = nullptr)
        : m_parent(parent)
    {}

    void setParent(QWidget *parent) { m_parent = parent; }

    // Ends the edit of the focused field, so that what was typed there is saved too.
    bool commitEditing() override;
    bool confirmQuit(const QuitQuestion &question) override;

private:
    QWidget *m_parent;
};

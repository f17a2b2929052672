#pragma once

#include <QString>

// The question asked when pending changes cannot be saved while quitting.
struct QuitQuestion
{
    QString message;
    QString information;
    QString quitButton;
    QString cancelButton;
};

// What quitting needs from the user interface: committing edits still open in a field, and asking
// whether to quit when the changes cannot be saved (an alert in the widget layer).
class QuitConfirmation
{
public:
    virtual ~QuitConfirmation() = default;

    // Ends editing in open fields so their values reach the store. False when an edit cannot end.
    virtual bool commitEditing() { return true; }

    // Returns true for `quitButton`, false for `cancelButton`.
    virtual bool confirmQuit(const QuitQuestion &question) = 0;
};

#include "controller/MessageBoxQuitConfirmation.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

bool MessageBoxQuitConfirmation::commitEditing()
{
    // Item views and editors commit on losing the focus.
    if (QWidget *focus = QApplication::focusWidget())
        focus->clearFocus();
    return true;
}

bool MessageBoxQuitConfirmation::confirmQuit(const QuitQuestion &question)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), question.message,
                    QMessageBox::NoButton, m_parent);
    box.setInformativeText(question.information);
    QPushButton *quit = box.addButton(question.quitButton, QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(question.cancelButton, QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == quit;
}

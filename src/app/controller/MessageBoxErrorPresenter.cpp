#include "controller/MessageBoxErrorPresenter.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>

Q_DECLARE_LOGGING_CATEGORY(lcAppController)

bool MessageBoxErrorPresenter::presentError(const PdError &error)
{
    qCWarning(lcAppController, "%s", qUtf8Printable(error.toString()));
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), error.description,
                    QMessageBox::Ok, m_parent);
    box.setInformativeText(error.failureReason);
    QStringList details;
    for (const PdError &detail : error.detailedErrors)
        details.append(detail.description);
    if (!details.isEmpty())
        box.setDetailedText(details.join(QLatin1Char('\n')));
    box.exec();
    return false;
}

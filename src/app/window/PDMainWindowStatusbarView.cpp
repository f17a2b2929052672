#include "window/PDMainWindowStatusbarView.h"

#include "AppResources.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

PDMainWindowStatusbarView::PDMainWindowStatusbarView(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
    , m_statusLabel(new QLabel(this))
{
    m_layout->setContentsMargins(0, 0, 0, 3);
    m_layout->setSpacing(4);
    m_statusLabel->setTextInteractionFlags(Qt::NoTextInteraction);
    m_statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The label gives way to the buttons.
    m_statusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_statusLabel->setMinimumWidth(0);
    m_layout->addWidget(m_statusLabel, 1);
}

void PDMainWindowStatusbarView::setStatusString(const QString &status)
{
    m_statusLabel->setText(status);
}

QString PDMainWindowStatusbarView::statusString() const
{
    return m_statusLabel->text();
}

QToolButton *PDMainWindowStatusbarView::makeButton(const QSize &size)
{
    auto *button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFixedSize(size + QSize(6, 6));
    button->setIconSize(size);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void PDMainWindowStatusbarView::setEditStartTimeButtonVisible(bool visible)
{
    if (visible == editStartTimeButtonVisible())
        return;
    if (!visible) {
        delete m_editStartTimeButton;
        m_editStartTimeButton = nullptr;
        return;
    }
    m_editStartTimeButton = makeButton(QSize(19, 15));
    m_editStartTimeButton->setIcon(AppResources::icon(QStringLiteral("status_edit_start_date")));
    m_editStartTimeButton->setToolTip(tr("Change start time for current activity"));
    m_editStartTimeButton->setAccessibleName(m_editStartTimeButton->toolTip());
    connect(m_editStartTimeButton, &QToolButton::clicked, this,
            &PDMainWindowStatusbarView::onEditStartTimeButton);
    // Before the sync indicator when it is there, else at the trailing edge.
    m_layout->insertWidget(1, m_editStartTimeButton);
}

void PDMainWindowStatusbarView::setSyncStatus(unsigned status, int syncMethod)
{
    m_syncStatus = status;
    m_syncMethod = syncMethod;
    if (status == SyncCancelled) {
        delete m_syncButton;
        m_syncButton = nullptr;
        return;
    }
    if (!m_syncButton) {
        m_syncButton = makeButton(QSize(20, 15));
        connect(m_syncButton, &QToolButton::clicked, this, &PDMainWindowStatusbarView::onSyncStatusButton);
        m_layout->addWidget(m_syncButton);
    }
    const QString service = syncMethod == 1 ? QStringLiteral("Dropbox") : QString();
    QString image;
    QString toolTip;
    switch (status) {
    case SyncStarted:
        image = QStringLiteral("DropboxSyncProgress");
        toolTip = tr("%1 syncing ...").arg(service);
        break;
    case SyncFinished:
        image = QStringLiteral("DropboxSyncSuccess");
        toolTip = tr("%1 sync completed").arg(service);
        break;
    case SyncFailed:
        image = QStringLiteral("DropboxSyncError");
        toolTip = tr("%1 sync error").arg(service);
        break;
    default:
        m_syncButton->setIcon(QIcon());
        return;
    }
    m_syncButton->setIcon(AppResources::icon(image));
    m_syncButton->setToolTip(toolTip.trimmed());
    m_syncButton->setAccessibleName(m_syncButton->toolTip());
}

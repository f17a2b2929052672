#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QToolButton;

// The strip at the bottom of the main window: the tracking status line, the button that changes the
// running activity's start time, and the sync indicator.
class PDMainWindowStatusbarView : public QWidget
{
    Q_OBJECT

public:
    // Sync statuses as the sync manager reports them.
    enum SyncStatus : unsigned
    {
        SyncCancelled = 1,
        SyncStarted = 2,
        SyncFinished = 3,
        SyncFailed = 4
    };

    explicit PDMainWindowStatusbarView(QWidget *parent = nullptr);

    void setStatusString(const QString &status);
    QString statusString() const;

    void setEditStartTimeButtonVisible(bool visible);
    bool editStartTimeButtonVisible() const { return m_editStartTimeButton != nullptr; }

    // Status 1 hides the indicator; 2, 3 and 4 show it with their image and tool tip.
    void setSyncStatus(unsigned status, int syncMethod);
    unsigned syncStatus() const { return m_syncStatus; }
    int syncMethod() const { return m_syncMethod; }

    QToolButton *editStartTimeButton() const { return m_editStartTimeButton; }
    QToolButton *syncButton() const { return m_syncButton; }

Q_SIGNALS:
    void onEditStartTimeButton();
    void onSyncStatusButton();

private:
    QToolButton *makeButton(const QSize &size);

    QHBoxLayout *m_layout = nullptr;
    QLabel *m_statusLabel = nullptr;
    QToolButton *m_editStartTimeButton = nullptr;
    QToolButton *m_syncButton = nullptr;
    unsigned m_syncStatus = SyncCancelled;
    int m_syncMethod = 0;
};

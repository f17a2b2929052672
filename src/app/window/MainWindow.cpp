#include "window/MainWindow.h"

#include "ActivityTextView.h"
#include "AppResources.h"
#include "window/KeyboardAwareAction.h"
#include "window/MessageLine.h"
#include "window/PDMainWindowStatusbarView.h"
#include "window/RecentActivitiesMenu.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Pendulo"));
    setWindowIcon(AppResources::icon(QStringLiteral("com.penduloapp.Pendulo")));
    buildCentralArea();
    buildToolBar();
    buildMenuBar();
    setTrackingState(false, false);
    setSyncCommand(0, QString());
    resize(540, 240);
    setMinimumSize(400, 220);
}

MainWindow::~MainWindow() = default;

KeyboardAwareAction *MainWindow::makeAction(const QString &text, const QKeySequence &shortcut)
{
    auto *action = new KeyboardAwareAction(text, this);
    action->setShortcut(shortcut);
    return action;
}

void MainWindow::buildCentralArea()
{
    auto *central = new QWidget(this);
    auto *layout = new QGridLayout(central);
    layout->setContentsMargins(12, 10, 12, 4);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(6);

    m_textView = new ActivityTextView(central);
    m_textView->setPlaceholderText(tr("What are you working on? Use @project and #task"));
    m_textView->setAccessibleName(tr("Activity text"));
    // Room for three lines; an activity text is usually one.
    const int lines = 3 * m_textView->fontMetrics().lineSpacing();
    m_textView->setMinimumHeight(lines + 2 * m_textView->frameWidth() + 8);
    connect(m_textView, &ActivityTextView::textEditedByUser, this, &MainWindow::activityTextEdited);

    m_earlierActivitiesButton = new QToolButton(central);
    m_earlierActivitiesButton->setArrowType(Qt::DownArrow);
    m_earlierActivitiesButton->setToolTip(tr("Previous activities"));
    m_earlierActivitiesButton->setAccessibleName(tr("Previous activities"));
    m_earlierActivitiesButton->setAutoRaise(true);
    m_earlierActivitiesButton->setFixedSize(24, 24);
    connect(m_earlierActivitiesButton, &QToolButton::clicked, this, &MainWindow::showEarlierActivities);

    m_previousMenu = new QMenu(tr("Previous activities"), this);

    m_errorLabel = new MessageLine(central);

    m_statusbarView = new PDMainWindowStatusbarView(central);
    connect(m_statusbarView, &PDMainWindowStatusbarView::onEditStartTimeButton, this,
            &MainWindow::editStartTimeRequested);
    connect(m_statusbarView, &PDMainWindowStatusbarView::onSyncStatusButton, this,
            &MainWindow::syncStatusClicked);

    auto *prompt = new QLabel(tr("What are you working on?"), central);
    prompt->setBuddy(m_textView);
    auto *separator = new QFrame(central);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    layout->addWidget(prompt, 0, 0, 1, 2);
    layout->addWidget(m_textView, 1, 0);
    layout->addWidget(m_earlierActivitiesButton, 1, 1, Qt::AlignTop);
    layout->addWidget(m_errorLabel, 2, 0, 1, 2);
    layout->addWidget(separator, 3, 0, 1, 2);
    layout->addWidget(m_statusbarView, 4, 0, 1, 2);
    layout->setRowStretch(1, 1);
    setCentralWidget(central);
}

void MainWindow::buildToolBar()
{
    QToolBar *toolbar = addToolBar(tr("Tracking"));
    toolbar->setObjectName(QStringLiteral("trackingToolBar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);

    QStyle *style = this->style();
    m_toolbarStart = toolbar->addAction(style->standardIcon(QStyle::SP_MediaPlay), tr("Start"));
    m_toolbarStart->setObjectName(QStringLiteral("tbitem-start"));
    m_toolbarStart->setToolTip(tr("Start tracking (Ctrl+Return)"));
    m_toolbarUpdate = toolbar->addAction(style->standardIcon(QStyle::SP_BrowserReload), tr("Update"));
    m_toolbarUpdate->setObjectName(QStringLiteral("tbitem-update"));
    m_toolbarUpdate->setToolTip(tr("Update the running activity's text (Ctrl+Shift+Return)"));
    m_toolbarStop = toolbar->addAction(style->standardIcon(QStyle::SP_MediaStop), tr("Stop"));
    m_toolbarStop->setObjectName(QStringLiteral("tbitem-stop"));
    m_toolbarStop->setToolTip(tr("Stop tracking (Ctrl+.)"));

    connect(m_toolbarStart, &QAction::triggered, this, [this] { Q_EMIT startRequested(false); });
    connect(m_toolbarUpdate, &QAction::triggered, this, [this] { Q_EMIT updateRequested(false); });
    connect(m_toolbarStop, &QAction::triggered, this, &MainWindow::stopRequested);
}

void MainWindow::buildMenuBar()
{
    QMenu *fileMenu = menuBar()->addMenu(tr("&Pendulo"));
    QAction *import = fileMenu->addAction(tr("&Import Activities..."), QKeySequence(tr("Ctrl+I")), this,
                                          &MainWindow::importRequested);
    m_syncAction = fileMenu->addAction(tr("Sync to Dropbox"), QKeySequence(tr("Ctrl+Shift+S")), this,
                                       &MainWindow::syncRequested);
    fileMenu->addSeparator();
    QAction *preferences = fileMenu->addAction(tr("P&references..."), QKeySequence(tr("Ctrl+,")), this,
                                               &MainWindow::preferencesRequested);
    preferences->setMenuRole(QAction::PreferencesRole);
    fileMenu->addSeparator();
    QAction *quit = fileMenu->addAction(tr("&Quit"), QKeySequence::Quit, this, &MainWindow::quitRequested);
    quit->setMenuRole(QAction::QuitRole);

    m_trackingMenu = menuBar()->addMenu(tr("&Tracking"));
    auto *start = makeAction(tr("&Start Tracking"), QKeySequence(tr("Ctrl+Return")));
    // The keypad's Enter starts too.
    start->setShortcuts({QKeySequence(tr("Ctrl+Return")), QKeySequence(tr("Ctrl+Enter"))});
    connect(start, &QAction::triggered, this,
            [this, start] { Q_EMIT startRequested(start->isTriggeredByKeyboard()); });
    m_startAction = start;
    m_trackingMenu->addAction(start);

    m_recentMenu = m_trackingMenu->addMenu(tr("&Recent Activities"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);

    auto *update = makeAction(tr("&Update Activity"), QKeySequence(tr("Ctrl+Shift+Return")));
    connect(update, &QAction::triggered, this,
            [this, update] { Q_EMIT updateRequested(update->isTriggeredByKeyboard()); });
    m_updateAction = update;
    m_trackingMenu->addAction(update);

    auto *stop = makeAction(tr("S&top Tracking"), QKeySequence(tr("Ctrl+.")));
    connect(stop, &QAction::triggered, this, &MainWindow::stopRequested);
    m_stopAction = stop;
    m_trackingMenu->addAction(stop);

    m_trackingMenu->addSeparator();
    QAction *previous =
        m_trackingMenu->addAction(tr("&Previous Activities..."), QKeySequence(tr("Ctrl+Down")), this,
                                  &MainWindow::showEarlierActivities);

    QMenu *windowMenu = menuBar()->addMenu(tr("&Window"));
    m_mainWindowAction = windowMenu->addAction(tr("&Main Window"), QKeySequence(tr("Ctrl+1")), this, [this] {
        show();
        raise();
        activateWindow();
    });
    m_mainWindowAction->setCheckable(true);
    m_reportWindowAction =
        windowMenu->addAction(tr("&Report"), QKeySequence(tr("Ctrl+2")), this, &MainWindow::reportRequested);
    m_reportWindowAction->setCheckable(true);
    windowMenu->addSeparator();
    windowMenu->addAction(tr("&Close Window"), QKeySequence::Close, this, &QWidget::close);

    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(tr("Pendulo &Help"), QKeySequence::HelpContents, this, &MainWindow::helpRequested);
    helpMenu->addAction(tr("&Privacy Policy"), this, &MainWindow::privacyPolicyRequested);

    m_startAction->setData(int(StartTag));
    m_recentMenu->menuAction()->setData(int(RecentTag));
    m_updateAction->setData(int(UpdateTag));
    m_stopAction->setData(int(StopTag));
    m_mainWindowAction->setData(int(MainWindowTag));
    m_reportWindowAction->setData(int(ReportWindowTag));

    m_commands = {import,         m_syncAction,
                  preferences,    quit,
                  m_startAction,  m_recentMenu->menuAction(),
                  m_updateAction, m_stopAction,
                  previous,       m_reportWindowAction};
}

QAction *MainWindow::trackingAction(int tag) const
{
    switch (tag) {
    case StartTag:
        return m_startAction;
    case RecentTag:
        return m_recentMenu->menuAction();
    case UpdateTag:
        return m_updateAction;
    case StopTag:
        return m_stopAction;
    default:
        return nullptr;
    }
}

QAction *MainWindow::windowAction(int tag) const
{
    if (tag == MainWindowTag)
        return m_mainWindowAction;
    if (tag == ReportWindowTag)
        return m_reportWindowAction;
    return nullptr;
}

QAction *MainWindow::toolbarAction(const QString &identifier) const
{
    for (QAction *action : {m_toolbarStart, m_toolbarUpdate, m_toolbarStop}) {
        if (action->objectName() == identifier)
            return action;
    }
    return nullptr;
}

void MainWindow::setTrackingState(bool tracking, bool endCurrentActivityOnTrack)
{
    m_tracking = tracking;
    m_endCurrentActivityOnTrack = endCurrentActivityOnTrack;
    const bool canStart = !tracking || endCurrentActivityOnTrack;

    m_startAction->setEnabled(m_commandsEnabled && canStart);
    m_recentMenu->menuAction()->setEnabled(m_commandsEnabled && !tracking);
    m_updateAction->setEnabled(m_commandsEnabled && tracking);
    m_stopAction->setEnabled(m_commandsEnabled && tracking);

    m_toolbarStart->setEnabled(canStart);
    m_toolbarUpdate->setEnabled(tracking);
    m_toolbarStop->setEnabled(tracking);
}

void MainWindow::setCommandsEnabled(bool enabled)
{
    m_commandsEnabled = enabled;
    for (QAction *action : std::as_const(m_commands))
        action->setEnabled(enabled);
    setTrackingState(m_tracking, m_endCurrentActivityOnTrack);
}

void MainWindow::setSyncCommand(int syncMethod, const QString &title)
{
    m_syncAction->setVisible(syncMethod == 1);
    if (!title.isEmpty())
        m_syncAction->setText(title);
}

void MainWindow::setReportWindowMarked(bool marked)
{
    m_reportWindowAction->setChecked(marked);
}

void MainWindow::setRecentActivitiesProvider(std::function<RecentActivityList()> provider)
{
    m_recentProvider = std::move(provider);
}

void MainWindow::fillRecentMenu()
{
    const RecentActivityList recent = m_recentProvider ? m_recentProvider() : RecentActivityList();
    RecentActivitiesMenu::fill(m_recentMenu, recent, true,
                               [this](const QString &text) { Q_EMIT recentActivityChosen(text); });
}

void MainWindow::fillPreviousMenu()
{
    const RecentActivityList recent = m_recentProvider ? m_recentProvider() : RecentActivityList();
    RecentActivitiesMenu::fill(m_previousMenu, recent, false, [this](const QString &text) {
        m_textView->setActivityText(text);
        Q_EMIT previousActivityChosen(text);
    });
}

void MainWindow::showEarlierActivities()
{
    fillPreviousMenu();
    const QRect button = m_earlierActivitiesButton->rect();
    m_previousMenu->popup(
        m_earlierActivitiesButton->mapToGlobal(QPoint(button.right(), button.center().y())));
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        m_mainWindowAction->setChecked(isActiveWindow());
        Q_EMIT activeChanged(isActiveWindow());
    }
}

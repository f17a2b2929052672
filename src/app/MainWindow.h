#pragma once

#include <QMainWindow>

// The main window: where the user types what they are working on and starts tracking.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
};

#pragma once

#include <QLabel>

// The main window's error and information line: errors in red, tips and confirmations in dark grey.
// Hidden while there is nothing to say.
class MessageLine : public QLabel
{
    Q_OBJECT

public:
    enum class Kind
    {
        None,
        Error,
        Info
    };

    explicit MessageLine(QWidget *parent = nullptr);

    void showError(const QString &message);
    void showInfo(const QString &message);
    void hideMessage();

    Kind kind() const { return m_kind; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyColour();

    Kind m_kind = Kind::None;
};

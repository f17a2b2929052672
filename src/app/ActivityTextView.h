#pragma once

#include <QPlainTextEdit>

#include <functional>

class QCompleter;
class QStringListModel;

// The activity text entry. While a project ("@") or task ("#") word is typed at the caret it offers the
// matching names in a completion list; it always pastes plain text.
class ActivityTextView : public QPlainTextEdit
{
    Q_OBJECT

public:
    // Names that start with `prefix` (without the marker), spelled with the prefix as typed when
    // `changeCase` is true.
    using NameProvider = std::function<QStringList(const QString &prefix, bool changeCase)>;

    explicit ActivityTextView(QWidget *parent = nullptr);

    void setProjectNameProvider(NameProvider provider) { m_projectNames = std::move(provider); }
    void setTaskNameProvider(NameProvider provider) { m_taskNames = std::move(provider); }

    // Replaces the text without counting as the user's edit.
    void setActivityText(const QString &text);
    QString activityText() const { return toPlainText(); }

    // The project or task word that ends at the caret, marker included, or an empty string.
    QString findCurrentProjectOrTask() const;
    static QString findCurrentProjectOrTask(const QString &text, int caret);

    // The standard font of the desktop's controls.
    void setDefaultFont();

    QCompleter *completer() const { return m_completer; }

Q_SIGNALS:
    // The user changed the text (typing, pasting, completing); not sent for setActivityText.
    void textEditedByUser();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void showCompletions();
    void insertCompletion(const QString &name);
    static bool opensNoCompletion(const QKeyEvent *event);

    QCompleter *m_completer = nullptr;
    QStringListModel *m_completionModel = nullptr;
    NameProvider m_projectNames;
    NameProvider m_taskNames;
    bool m_settingText = false;
};

#include "ActivityTextView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStringListModel>

namespace {

// White space and line breaks, and the punctuation that ends a word.
bool isSeparator(QChar c)
{
    return c.isSpace() || QStringLiteral(";:,.?! ").contains(c);
}

bool isMarker(QChar c)
{
    return c == QLatin1Char('@') || c == QLatin1Char('#');
}

} // namespace

ActivityTextView::ActivityTextView(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_completer(new QCompleter(this))
    , m_completionModel(new QStringListModel(this))
{
    setTabChangesFocus(true);
    m_completer->setModel(m_completionModel);
    m_completer->setWidget(this);
    // The provider has already chosen the matches; the list shows them all.
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseSensitive);
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this,
            &ActivityTextView::insertCompletion);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_settingText)
            Q_EMIT textEditedByUser();
    });
}

void ActivityTextView::setActivityText(const QString &text)
{
    m_settingText = true;
    setPlainText(text);
    m_settingText = false;
    moveCursor(QTextCursor::End);
}

QString ActivityTextView::findCurrentProjectOrTask() const
{
    return findCurrentProjectOrTask(toPlainText(), textCursor().position());
}

QString ActivityTextView::findCurrentProjectOrTask(const QString &text, int caret)
{
    if (caret <= 0 || caret > text.size())
        return {};
    int start = caret;
    while (start > 0 && !isSeparator(text.at(start - 1)))
        --start;
    // At least one character must follow the marker, and the word must begin with one.
    if (start >= text.size() - 1 || !isMarker(text.at(start)))
        return {};
    int end = start;
    while (end < text.size() && !isSeparator(text.at(end)))
        ++end;
    // The caret must be at the end of the word, not inside it.
    if (end != caret)
        return {};
    const QString word = text.mid(start, caret - start);
    return word.size() > 1 ? word : QString();
}

void ActivityTextView::setDefaultFont()
{
    setFont(QApplication::font("QLineEdit"));
}

bool ActivityTextView::opensNoCompletion(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return event->text().isEmpty();
    }
}

void ActivityTextView::keyPressEvent(QKeyEvent *event)
{
    QAbstractItemView *popup = m_completer->popup();
    if (popup->isVisible()) {
        // These keys belong to the open list: choose or dismiss.
        switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
                event->ignore();
                return;
            }
            break;
        case Qt::Key_Escape:
            popup->hide();
            return;
        default:
            break;
        }
    }

    QPlainTextEdit::keyPressEvent(event);

    if (opensNoCompletion(event) || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        popup->hide();
        return;
    }
    showCompletions();
}

void ActivityTextView::showCompletions()
{
    QAbstractItemView *popup = m_completer->popup();
    const QString word = findCurrentProjectOrTask();
    if (word.isEmpty()) {
        popup->hide();
        return;
    }
    const QString partial = word.mid(1);
    const NameProvider &provider = word.startsWith(QLatin1Char('@')) ? m_projectNames : m_taskNames;
    const QStringList names = provider ? provider(partial, true) : QStringList();
    if (names.isEmpty()) {
        popup->hide();
        return;
    }
    m_completionModel->setStringList(names);
    m_completer->setCompletionPrefix(QString());

    // The list opens under the word's marker.
    QTextCursor wordStart = textCursor();
    wordStart.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, int(word.size()));
    QRect caret = cursorRect(wordStart);
    caret.setWidth(popup->sizeHintForColumn(0) + popup->verticalScrollBar()->sizeHint().width());
    m_completer->complete(caret);
    // The exact match, if there is one, is preselected; otherwise nothing is, so Return types a line.
    const int exact = names.indexOf(partial);
    popup->setCurrentIndex(exact >= 0 ? m_completionModel->index(exact) : QModelIndex());
}

void ActivityTextView::insertCompletion(const QString &name)
{
    const QString word = findCurrentProjectOrTask();
    if (word.isEmpty())
        return;
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, int(word.size() - 1));
    cursor.insertText(name);
    setTextCursor(cursor);
}

void ActivityTextView::focusInEvent(QFocusEvent *event)
{
    m_completer->setWidget(this);
    QPlainTextEdit::focusInEvent(event);
}

bool ActivityTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasText();
}

void ActivityTextView::insertFromMimeData(const QMimeData *source)
{
    // Only the plain text of whatever was copied enters the activity text.
    if (source->hasText())
        textCursor().insertText(source->text());
}

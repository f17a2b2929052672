#include "ActivityTextView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QMimeData>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// Names as the activity manager completes them: the typed prefix kept, the rest of the stored name.
QStringList complete(const QStringList &stored, const QString &prefix)
{
    QStringList names;
    for (const QString &name : stored) {
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            names.append(prefix + name.mid(prefix.size()));
    }
    return names;
}

} // namespace

// Completion of project and task names while typing, and plain-text paste.
class TestActivityTextView : public QObject
{
    Q_OBJECT

private:
    struct Calls
    {
        QStringList projects;
        QStringList tasks;
    };

    std::unique_ptr<ActivityTextView> makeView(Calls &calls)
    {
        auto view = std::make_unique<ActivityTextView>();
        view->setProjectNameProvider([&calls](const QString &prefix, bool changeCase) {
            calls.projects.append(prefix + (changeCase ? "/case" : "/as-stored"));
            return complete({"Ac", "Acme", "Actuaries", "Beta"}, prefix);
        });
        view->setTaskNameProvider([&calls](const QString &prefix, bool) {
            calls.tasks.append(prefix);
            return complete({"sales", "support"}, prefix);
        });
        view->resize(400, 100);
        view->show();
        view->activateWindow();
        view->setFocus();
        return view;
    }

    static QStringList offered(const ActivityTextView &view)
    {
        return static_cast<QStringListModel *>(view.completer()->model())->stringList();
    }

private Q_SLOTS:
    void currentWord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("word");
        QTest::newRow("project at the end") << "Call @Ac" << 8 << "@Ac";
        QTest::newRow("task at the end") << "Call #sa" << 8 << "#sa";
        QTest::newRow("after a leading space") << " @Ac" << 4 << "@Ac";
        QTest::newRow("at the start") << "@Ac" << 3 << "@Ac";
        QTest::newRow("before a separator") << "@Ac, more" << 3 << "@Ac";
        QTest::newRow("after punctuation") << "x;@Ac" << 5 << "@Ac";
        QTest::newRow("after a line break") << "x\n#sa" << 5 << "#sa";
        QTest::newRow("caret inside the word") << "Call @Acme" << 8 << "";
        QTest::newRow("only the marker at the end") << "Call @" << 6 << "";
        QTest::newRow("only the marker mid-text") << "@ x" << 1 << "";
        QTest::newRow("not a tag word") << "Call Ac" << 7 << "";
        QTest::newRow("caret at the start") << "@Ac" << 0 << "";
        QTest::newRow("marker inside a word") << "mail@Ac" << 7 << "";
    }
    void currentWord()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, word);
        QCOMPARE(ActivityTextView::findCurrentProjectOrTask(text, caret), word);
    }

    void typingProjectOffersNamesWithExactMatchPreselected()
    {
        Calls calls;
        auto view = makeView(calls);
        QTest::keyClicks(view.get(), QStringLiteral("Call @ac"));

        QAbstractItemView *popup = view->completer()->popup();
        QVERIFY(popup->isVisible());
        QCOMPARE(calls.projects.last(), QStringLiteral("ac/case"));
        QCOMPARE(offered(*view), QStringList({"ac", "acme", "actuaries"})); // typed case kept
        QCOMPARE(popup->currentIndex().row(), 0);                           // "ac" exactly
        QVERIFY(calls.tasks.isEmpty());
        QVERIFY(!calls.projects.contains(QStringLiteral("/case"))); // a lone "@" asked nothing

        QTest::keyClick(view.get(), Qt::Key_M);
        QCOMPARE(offered(*view), QStringList{"acme"});
        QVERIFY(!popup->currentIndex().isValid()); // no exact match: nothing preselected
    }

    void choosingCompletionReplacesPartialName()
    {
        Calls calls;
        auto view = makeView(calls);
        QTest::keyClicks(view.get(), QStringLiteral("Call #su"));
        QAbstractItemView *popup = view->completer()->popup();
        QVERIFY(popup->isVisible());
        QCOMPARE(calls.tasks.last(), QStringLiteral("su"));

        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Return);
        QCOMPARE(view->toPlainText(), QStringLiteral("Call #support"));
        QVERIFY(!popup->isVisible());
    }

    // Each key leaves the caret at the end of "@Acme", where typing would open the list.
    void keysThatNeverOpenTheList_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << "Call @Acmee" << 11;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << "Call @Acmee" << 10;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << "Call @Acme" << 10;
        QTest::newRow("Left") << int(Qt::Key_Left) << "Call @Acme x" << 11;
        QTest::newRow("Right") << int(Qt::Key_Right) << "Call @Acme" << 9;
        QTest::newRow("Up") << int(Qt::Key_Up) << "Call @Acme\nCall @Acme" << 21;
        QTest::newRow("Down") << int(Qt::Key_Down) << "Call @Acme\nCall @Acme" << 10;
    }
    void keysThatNeverOpenTheList()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, caret);
        Calls calls;
        auto view = makeView(calls);
        view->setActivityText(text);
        QTextCursor cursor = view->textCursor();
        cursor.setPosition(caret);
        view->setTextCursor(cursor);
        QAbstractItemView *popup = view->completer()->popup();

        QTest::keyClick(view.get(), Qt::Key(key));
        QCOMPARE(view->findCurrentProjectOrTask(), QStringLiteral("@Acme"));
        QVERIFY(!popup->isVisible());
        QVERIFY(calls.projects.isEmpty());
    }

    void escapeClosesOpenList()
    {
        Calls calls;
        auto view = makeView(calls);
        QTest::keyClicks(view.get(), QStringLiteral("@Ac"));
        QAbstractItemView *popup = view->completer()->popup();
        QVERIFY(popup->isVisible());
        QTest::keyClick(popup, Qt::Key_Escape);
        QVERIFY(!popup->isVisible());
        QCOMPARE(view->toPlainText(), QStringLiteral("@Ac"));
    }

    void separatorEndsCompletion()
    {
        Calls calls;
        auto view = makeView(calls);
        QTest::keyClicks(view.get(), QStringLiteral("@Ac"));
        QVERIFY(view->completer()->popup()->isVisible());
        QTest::keyClicks(view->completer()->popup(), QStringLiteral(" "));
        QVERIFY(!view->completer()->popup()->isVisible());
        QCOMPARE(view->toPlainText(), QStringLiteral("@Ac "));
    }

    void pastesPlainText()
    {
        Calls calls;
        auto view = makeView(calls);
        view->setActivityText(QStringLiteral("Call "));
        auto *styled = new QMimeData;
        styled->setHtml(QStringLiteral("<b style='color:red'>@Acme</b> <i>offer</i>"));
        styled->setText(QStringLiteral("@Acme offer"));
        QApplication::clipboard()->setMimeData(styled);

        view->paste();
        QCOMPARE(view->toPlainText(), QStringLiteral("Call @Acme offer"));
        const QTextCharFormat format = view->document()->begin().begin().fragment().charFormat();
        QVERIFY(!format.font().bold());
        QVERIFY(!format.hasProperty(QTextFormat::ForegroundBrush));
    }

    void onlyUserEditsAreReported()
    {
        Calls calls;
        auto view = makeView(calls);
        QSignalSpy edited(view.get(), &ActivityTextView::textEditedByUser);
        view->setActivityText(QStringLiteral("Write offer"));
        QCOMPARE(edited.size(), 0);
        QCOMPARE(view->textCursor().position(), 11); // caret at the end, ready to type on
        QTest::keyClick(view.get(), Qt::Key_X);
        QCOMPARE(edited.size(), 1);
    }

    void usesDefaultControlFont()
    {
        ActivityTextView view;
        QFont odd(QStringLiteral("DejaVu Serif"), 31);
        view.setFont(odd);
        view.setDefaultFont();
        QCOMPARE(view.font(), QApplication::font("QLineEdit"));
    }
};

QTEST_MAIN(TestActivityTextView)
#include "tst_ActivityTextView.moc"

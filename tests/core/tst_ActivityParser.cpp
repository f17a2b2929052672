#include "ActivityParser.h"

#include <QTest>

using namespace Qt::StringLiterals;

// A project of QVariant() means "no project"; anything else is the expected name.
using OptionalName = QVariant;

namespace {

OptionalName toOptionalName(const std::optional<QString> &name)
{
    return name ? OptionalName(*name) : OptionalName();
}

QString withChar(const char *before, char16_t c, const char *after)
{
    return QString::fromUtf8(before) + QChar(c) + QString::fromUtf8(after);
}

// Every whitespace and newline character, and characters that look alike but are none.
const char16_t whitespaceChars[] = {0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x0020, 0x0085, 0x00A0, 0x1680,
                                    0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                                    0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
const char16_t nonWhitespaceChars[] = {0x0000, 0x0008, 0x000E, 0x001C, 0x001F,
                                       0x007F, 0x180E, 0x200B, 0x2060, 0xFEFF};

} // namespace

class TestActivityParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void componentsFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<OptionalName>("project");
        QTest::addColumn<QStringList>("tasks");

        const OptionalName none;
        const QStringList noTasks;
        auto row = [](const char *name, const QString &text, const OptionalName &project,
                      const QStringList &tasks) { QTest::newRow(name) << text << project << tasks; };

        row("project and tasks", u"Write report @Acme #docs #review"_s, u"Acme"_s, {u"docs"_s, u"review"_s});
        row("second project ignored", u"@Acme @Other"_s, u"Acme"_s, noTasks);
        row("marker after a letter", u"user@host #x1"_s, none, {u"x1"_s});
        row("case-insensitive duplicates", u"#Docs, #docs and #DOCS"_s, none, {u"Docs"_s});
        row("non-ASCII duplicates", u"#Ärger #ärger #ÄRGER"_s, none, {u"Ärger"_s});
        row("semicolon ends project and starts task", u"@Acme;#ui"_s, u"Acme"_s, {u"ui"_s});
        row("stopper after marker", u"@ Acme"_s, none, noTasks);
        row("absent word lets a later project count", u"@ Acme @Other"_s, u"Other"_s, noTasks);
        row("one-letter task at end", u"x #a"_s, none, noTasks);
        row("two-letter task at end", u"x #ab"_s, none, {u"ab"_s});
        row("one-letter task before full stop", u"x #a."_s, none, {u"a"_s});
        row("one-letter task inside", u"#a and more"_s, none, {u"a"_s});
        row("one character", u"@"_s, none, noTasks);
        row("exactly @a", u"@a"_s, none, noTasks);
        row("exactly @ab", u"@ab"_s, u"ab"_s, noTasks);
        row("empty text", u""_s, none, noTasks);
        row("no tags", u"Just some work"_s, none, noTasks);
        row("full stop inside a tag", u"Mail @acme.com today"_s, u"acme.com"_s, noTasks);
        row("full stop ending a tag", u"Call @Acme."_s, u"Acme"_s, noTasks);
        row("full stops trimmed at both ends", u"#..ab.. @..x.y.."_s, u"x.y"_s, {u"ab"_s});
        row("only full stops give an empty word", u"Talk @... #ab"_s, u""_s, {u"ab"_s});
        row("empty project still counts as set", u"@. @Acme"_s, u""_s, noTasks);
        row("markers inside a word", u"#a#b @c@d"_s, u"c@d"_s, {u"a#b"_s});
        row("doubled marker", u"##ab"_s, none, {u"#ab"_s});
        row("bracket is no boundary", u"(@Acme) (#ui)"_s, none, noTasks);
        row("quote is no boundary", u"\"@Acme\" '#ui'"_s, none, noTasks);
        row("brackets and quotes stay in the word", u"@Acme) #\"ui\""_s, u"Acme)"_s, {u"\"ui\""_s});
        row("every boundary punctuation", u"a;@p1 b:#t1 c,#t2 d.#t3 e?#t4 f!#t5"_s, u"p1"_s,
            {u"t1"_s, u"t2"_s, u"t3"_s, u"t4"_s, u"t5"_s});
        row("every stopper ends a word", u"#a;b #c:d #e,f #g?h #i!j"_s, none,
            {u"a"_s, u"c"_s, u"e"_s, u"g"_s, u"i"_s});
        row("stopper directly after marker", u"#; #, #! #? #: #ok"_s, none, {u"ok"_s});
        row("task order kept", u"#zeta #alpha #Zeta #mid"_s, none, {u"zeta"_s, u"alpha"_s, u"mid"_s});
        row("emoji after text", u"Fix 😀 #ab"_s, none, {u"ab"_s});
        row("emoji is two code units", u"x #😀"_s, none, {u"😀"_s});
        row("emoji at end of task", u"x #ab😀"_s, none, {u"ab😀"_s});
        row("emoji at end of one-letter task", u"x #a😀"_s, none, {u"a😀"_s});
        row("emoji before marker is no boundary", u"x 😀#ab"_s, none, noTasks);
        row("emoji project", u"@🚀🚀 #ü"_s, u"🚀🚀"_s, noTasks);
        row("CJK with ideographic space", u"会議\u3000@開発チーム\u3000#設計"_s, u"開発チーム"_s,
            {u"設計"_s});
        row("line breaks", u"@Acme\r\n#ui\n#ux"_s, u"Acme"_s, {u"ui"_s, u"ux"_s});
    }

    void componentsFromText()
    {
        QFETCH(QString, text);
        QFETCH(OptionalName, project);
        QFETCH(QStringList, tasks);

        const ActivityComponents components = ActivityParser::defaultParser().componentsFromText(text);
        QCOMPARE(components.text(), text);
        QCOMPARE(components.text().isNull(), text.isNull());
        QCOMPARE(toOptionalName(components.project()), project);
        QCOMPARE(components.tasks(), tasks);
    }

    void absentTextGivesAbsentComponents()
    {
        const ActivityComponents components = ActivityParser::defaultParser().componentsFromText(QString());
        QVERIFY(components.text().isNull());
        QVERIFY(!components.project().has_value());
        QVERIFY(components.tasks().isEmpty());

        const ActivityComponents empty = ActivityParser::defaultParser().componentsFromText(u""_s);
        QVERIFY(!empty.text().isNull());
    }

    void whitespaceIsBoundaryAndStopper_data()
    {
        QTest::addColumn<char16_t>("character");
        QTest::addColumn<bool>("isWhitespace");
        for (char16_t c : whitespaceChars)
            QTest::addRow("U+%04X", unsigned(c)) << c << true;
        for (char16_t c : nonWhitespaceChars)
            QTest::addRow("U+%04X", unsigned(c)) << c << false;
    }

    void whitespaceIsBoundaryAndStopper()
    {
        QFETCH(char16_t, character);
        QFETCH(bool, isWhitespace);
        const ActivityParser &parser = ActivityParser::defaultParser();

        // Before a marker: a whitespace character lets the tag start.
        const ActivityComponents before = parser.componentsFromText(withChar("x", character, "@ab #cd"));
        QCOMPARE(before.project().has_value(), isWhitespace);

        // After a tag: a whitespace character ends the word; anything else belongs to it.
        const ActivityComponents after = parser.componentsFromText(withChar("#ab", character, "cd"));
        const QString expected = isWhitespace ? u"ab"_s : withChar("ab", character, "cd");
        QCOMPARE(after.tasks(), QStringList{expected});

        // Right after the marker: a whitespace character means there is no word.
        const ActivityComponents directly = parser.componentsFromText(withChar("@", character, "ab"));
        QCOMPARE(directly.project().has_value(), !isWhitespace);
    }

    void scanWord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("start");
        QTest::addColumn<OptionalName>("word");
        QTest::addColumn<qsizetype>("end");

        QTest::newRow("word up to space")
            << u"ab cd"_s << qsizetype(0) << OptionalName(u"ab"_s) << qsizetype(2);
        QTest::newRow("word up to end")
            << u"x ab.c"_s << qsizetype(2) << OptionalName(u"ab.c"_s) << qsizetype(6);
        QTest::newRow("stopper at start") << u" ab"_s << qsizetype(0) << OptionalName() << qsizetype(0);
        QTest::newRow("comma at start") << u",ab"_s << qsizetype(0) << OptionalName() << qsizetype(0);
        QTest::newRow("at end of text") << u"ab"_s << qsizetype(2) << OptionalName() << qsizetype(2);
        QTest::newRow("full stops trimmed")
            << u"..a..;x"_s << qsizetype(0) << OptionalName(u"a"_s) << qsizetype(5);
        QTest::newRow("only full stops") << u"... x"_s << qsizetype(0) << OptionalName(u""_s) << qsizetype(3);
        QTest::newRow("surrogate pair kept whole")
            << u"😀😀 x"_s << qsizetype(0) << OptionalName(u"😀😀"_s) << qsizetype(4);
    }

    void scanWord()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, start);
        QFETCH(OptionalName, word);
        QFETCH(qsizetype, end);

        qsizetype position = start;
        QCOMPARE(toOptionalName(ActivityParser::defaultParser().scanWord(text, position)), word);
        QCOMPARE(position, end);
    }

    void longTextWithManyTags()
    {
        QString text;
        for (int i = 0; i < 2000; ++i)
            text += u"work #t%1 "_s.arg(i % 50);
        text += u"@Last #end"_s;

        const ActivityComponents components = ActivityParser::defaultParser().componentsFromText(text);
        QCOMPARE(components.project(), std::optional<QString>(u"Last"_s));
        QCOMPARE(components.tasks().size(), 51);
        QCOMPARE(components.tasks().first(), u"t0"_s);
        QCOMPARE(components.tasks().last(), u"end"_s);
    }
};

QTEST_GUILESS_MAIN(TestActivityParser)
#include "tst_ActivityParser.moc"

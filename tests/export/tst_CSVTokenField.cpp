#include "CSVTokenField.h"
#include "ExportFormatSettings.h"
#include "PDFileExportFormatCollection.h"
#include "PdSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

QList<int> codesOf(const QList<CSVTokenField> &fields)
{
    QList<int> codes;
    for (const CSVTokenField &field : fields)
        codes << field.tokenType().valueType() << field.tokenValue().value();
    return codes;
}

// A settings file of its own per test.
struct SettingsFile
{
    QTemporaryDir folder;
    QSettings store{folder.filePath(QStringLiteral("Pendulo.conf")), QSettings::IniFormat};
    PdSettings settings{&store};
    ExportFormatSettings formats{settings};
};

} // namespace

// Export fields: creation and change rules, property names, menus, the stored form and the stored
// formats in the settings.
class TestCSVTokenField : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void creationNormalises_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value"); // -1: none given
        QTest::addColumn<int>("expectedMode");
        QTest::addColumn<int>("expectedType");
        QTest::addColumn<int>("expectedValue");
        QTest::newRow("date default") << 0 << 100 << -1 << 0 << 100 << 111;
        QTest::newRow("duration default") << 1 << 200 << -1 << 1 << 200 << 300;
        QTest::newRow("activity default") << 0 << 400 << -1 << 0 << 400 << 400;
        QTest::newRow("unknown type is activity") << 0 << 300 << -1 << 0 << 400 << 400;
        QTest::newRow("unknown mode is CSV") << 7 << 100 << 121 << 0 << 100 << 121;
        QTest::newRow("value kept as given") << 1 << 400 << 999 << 1 << 400 << 999;
    }
    void creationNormalises()
    {
        QFETCH(int, mode);
        QFETCH(int, type);
        QFETCH(int, value);
        QFETCH(int, expectedMode);
        QFETCH(int, expectedType);
        QFETCH(int, expectedValue);
        const CSVTokenField field = value < 0 ? CSVTokenField(mode, type) : CSVTokenField(mode, type, value);
        QCOMPARE(int(field.mode()), expectedMode);
        QCOMPARE(field.tokenType().valueType(), expectedType);
        QCOMPARE(field.tokenValue().value(), expectedValue);
        QVERIFY(field.isEnabled());
    }

    void changingTheTypeResetsTheValue()
    {
        CSVTokenField field(0, 400, 404);
        field.setTokenType(ActivityTokenType(400));
        QCOMPARE(field.tokenValue().value(), 404); // same type: unchanged
        field.setTokenType(ActivityTokenType(100));
        QCOMPARE(field.tokenValue().value(), 111);
        field.setTokenType(ActivityTokenType(200));
        QCOMPARE(field.tokenValue().value(), 300);
        field.setTokenType(ActivityTokenType(400));
        QCOMPARE(field.tokenValue().value(), 401);
        field.setTokenType(100, 253);
        QCOMPARE(codesOf({field}), (QList<int>{100, 253}));
    }

    void propertyNameRules_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const QString previous = QStringLiteral("prop");
        QTest::newRow("spaces and tabs joined") << 1 << true << "  start \t time "
                                                << "start-time";
        QTest::newRow("runs become one dash") << 1 << true << "my  field name"
                                              << "my-field-name";
        QTest::newRow("null changes nothing") << 1 << true << QString() << previous;
        QTest::newRow("blank keeps the name") << 1 << true << " \n\t " << previous;
        QTest::newRow("uid refused") << 1 << true << "uid" << previous;
        QTest::newRow("from refused") << 1 << true << " from " << previous;
        QTest::newRow("to refused") << 1 << true << "to" << previous;
        QTest::newRow("invoiced allowed") << 1 << true << "invoiced"
                                          << "invoiced";
        QTest::newRow("fixed field may be named from") << 1 << false << "from"
                                                       << "from";
        QTest::newRow("line breaks inside stay") << 1 << true << "a\nb"
                                                 << "a\nb";
        QTest::newRow("CSV fields have no name") << 0 << true << "name" << QString();
    }
    void propertyNameRules()
    {
        QFETCH(int, mode);
        QFETCH(bool, enabled);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        CSVTokenField field(mode, 400, 401);
        field.setXmlPropertyName(QStringLiteral("prop"));
        field.setEnabled(enabled);
        field.setXmlPropertyName(name);
        QCOMPARE(field.xmlPropertyName(), expected);
    }

    void copyKeepsModeAndCodesOnly()
    {
        CSVTokenField field(1, 100, 171);
        field.setXmlPropertyName(QStringLiteral("end"));
        field.setEnabled(false);
        field.setShowShortDescription(true);
        const CSVTokenField copy = field.copy();
        QCOMPARE(int(copy.mode()), 1);
        QCOMPARE(codesOf({copy}), (QList<int>{100, 171}));
        QVERIFY(copy.isEnabled());
        QVERIFY(copy.xmlPropertyName().isNull());
        QVERIFY(!copy.tokenValue().showShortDescription());
    }

    void menus()
    {
        const auto valueCodes = [](const CSVTokenField &field) {
            QStringList items;
            for (const CSVTokenField::MenuItem &item : field.menu()) {
                switch (item.kind) {
                case CSVTokenField::MenuItem::Kind::Header:
                    items << u'[' + item.title + u']';
                    break;
                case CSVTokenField::MenuItem::Kind::Separator:
                    items << QStringLiteral("-");
                    break;
                case CSVTokenField::MenuItem::Kind::Value:
                    items << QString::number(item.value) + (item.checked ? QStringLiteral("*") : QString());
                    break;
                }
            }
            return items.join(u' ');
        };
        QCOMPARE(valueCodes(CSVTokenField(0, 100, 253)),
                 QStringLiteral("[Start Date/Time] - 121 111 110 - 200 201 202 - 120 203 204 205 - "
                                "[End Date/Time] - 171 161 160 - 250 251 252 - 170 253* 254 255"));
        QCOMPARE(valueCodes(CSVTokenField(0, 200)), QStringLiteral("[Duration] - 300* 301 302"));
        QCOMPARE(valueCodes(CSVTokenField(0, 400, 999)), QStringLiteral("[Activity] - 400 401 402 403 404"));

        const QList<ActivityTokenType> types = CSVTokenField::xmlMenu();
        QCOMPARE(types, (QList<ActivityTokenType>{ActivityTokenType(400), ActivityTokenType(100),
                                                  ActivityTokenType(200)}));
        const QList<CSVTokenField::ListEntry> list = CSVTokenField(0, 200).xmlSubMenu();
        QCOMPARE(list.size(), 5);
        QCOMPARE(std::get<QString>(list.at(0)), QStringLiteral("Duration"));
        QCOMPARE(std::get<QString>(list.at(1)), QStringLiteral("-"));
        QCOMPARE(std::get<ActivityTokenValue>(list.at(4)).value(), 302);
        QCOMPARE(CSVTokenField(0, 100, 121).menu().at(2).title,
                 QStringLiteral("Date/time, e.g. 2010-10-23T23:12:45"));
    }

    void storedForm_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("isField");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("name");
        QTest::newRow("XML field")
            << QByteArray(
                   R"({"tokenMode":1,"tokenType":400,"tokenValue":401,"xmlPropertyName":" my project "})")
            << true << 1 << QList<int>{400, 401} << "my-project";
        QTest::newRow("CSV field ignores a name")
            << QByteArray(R"({"tokenMode":0,"tokenType":100,"tokenValue":253,"xmlPropertyName":"x"})") << true
            << 0 << QList<int>{100, 253} << QString();
        QTest::newRow("mode other than 1 is CSV")
            << QByteArray(R"({"tokenMode":2,"tokenType":200,"tokenValue":301})") << true << 0
            << QList<int>{200, 301} << QString();
        QTest::newRow("no mode is CSV") << QByteArray(R"({"tokenType":200,"tokenValue":301})") << true << 0
                                        << QList<int>{200, 301} << QString();
        QTest::newRow("refused name keeps none")
            << QByteArray(R"({"tokenMode":1,"tokenType":400,"tokenValue":401,"xmlPropertyName":"uid"})")
            << true << 1 << QList<int>{400, 401} << QString();
        QTest::newRow("value missing")
            << QByteArray(R"({"tokenMode":0,"tokenType":200})") << false << 0 << QList<int>() << QString();
        QTest::newRow("codes as text") << QByteArray(R"({"tokenType":"200","tokenValue":"301"})") << false
                                       << 0 << QList<int>() << QString();
        QTest::newRow("not an object") << QByteArray("[1,2]") << false << 0 << QList<int>() << QString();
    }
    void storedForm()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, isField);
        QFETCH(int, mode);
        QFETCH(QList<int>, codes);
        QFETCH(QString, name);
        const std::optional<CSVTokenField> field = CSVTokenField::fromPasteboardData(json);
        QCOMPARE(field.has_value(), isField);
        if (!field)
            return;
        QCOMPARE(int(field->mode()), mode);
        QCOMPARE(codesOf({*field}), codes);
        QCOMPARE(field->xmlPropertyName(), name);
        // Written back, it reads the same.
        QCOMPARE(CSVTokenField::fromPasteboardData(field->toPasteboardData()), field);
    }

    void storedFormKeepsExactlyTheKeys()
    {
        CSVTokenField xml(1, 100, 121);
        xml.setXmlPropertyName(QStringLiteral("start"));
        QCOMPARE(xml.toStoredForm().keys(),
                 (QStringList{"tokenMode", "tokenType", "tokenValue", "xmlPropertyName"}));
        QCOMPARE(CSVTokenField(0, 100, 121).toStoredForm().keys(),
                 (QStringList{"tokenMode", "tokenType", "tokenValue"}));
    }

    void csvFormatInSettings_data()
    {
        QTest::addColumn<QVariant>("stored"); // invalid: key absent
        QTest::addColumn<QList<int>>("codes");
        const QList<int> defaults{100, 111, 100, 120, 200, 300, 400, 401, 400, 400, 400, 404};
        QTest::newRow("absent gives the default") << QVariant() << defaults;
        QTest::newRow("empty list gives an empty format") << QVariant(QStringLiteral("[]")) << QList<int>();
        QTest::newRow("empty text gives an empty format") << QVariant(QStringLiteral("")) << QList<int>();
        QTest::newRow("foreign text gives an empty format")
            << QVariant(QStringLiteral("date;time")) << QList<int>();
        QTest::newRow("a single object is no list")
            << QVariant(QStringLiteral(R"({"tokenType":100,"tokenValue":110})")) << QList<int>();
        QTest::newRow("a number is no list") << QVariant(5) << QList<int>();
        QTest::newRow("only field entries are kept")
            << QVariant(QStringLiteral(
                   R"([{"tokenType":100,"tokenValue":110},3,"x",{"tokenType":400,"tokenValue":403}])"))
            << QList<int>{100, 110, 400, 403};
    }
    void csvFormatInSettings()
    {
        QFETCH(QVariant, stored);
        QFETCH(QList<int>, codes);
        SettingsFile file;
        if (stored.isValid())
            file.store.setValue(PdSettings::CsvRowFormatKey, stored);
        const QList<CSVTokenField> format = file.formats.getCSVFormat();
        QCOMPARE(codesOf(format), codes);
        for (const CSVTokenField &field : format)
            QVERIFY(field.tokenValue().showShortDescription());
    }

    void formatsSurviveTheSettingsFile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Pendulo.conf"));
        CSVTokenField project(1, 400, 401);
        project.setXmlPropertyName(QStringLiteral("project, \"name\""));
        {
            QSettings store(path, QSettings::IniFormat);
            PdSettings settings(&store);
            ExportFormatSettings formats(settings);
            formats.setCSVFormat({CSVTokenField(0, 100, 110), CSVTokenField(0, 400, 402)});
            QList<CSVTokenField> xml = ExportFormatSettings::getDefaultXMLFormat();
            xml << project << CSVTokenField(1, 200, 302);
            formats.setXMLFormat(xml);
        }
        QSettings store(path, QSettings::IniFormat);
        PdSettings settings(&store);
        ExportFormatSettings formats(settings);
        QCOMPARE(codesOf(formats.getCSVFormat()), (QList<int>{100, 110, 400, 402}));

        // Only the added XML fields are stored; reading puts the fixed ones first.
        const QJsonDocument stored =
            QJsonDocument::fromJson(store.value(PdSettings::XmlPropertiesKey).toByteArray());
        QVERIFY(stored.isArray());
        QCOMPARE(stored.array().size(), 2);
        const QList<CSVTokenField> xml = formats.getXMLFormat();
        QCOMPARE(codesOf(xml), (QList<int>{400, 403, 400, 404, 100, 121, 100, 171, 400, 401, 200, 302}));
        QStringList names;
        for (const CSVTokenField &field : xml)
            names << field.xmlPropertyName();
        QCOMPARE(names, (QStringList{"uid", "invoiced", "from", "to", "project,-\"name\"", QString()}));
        QCOMPARE(xml.at(0).isEnabled(), false);
        QCOMPARE(xml.at(3).isEnabled(), false);
        QCOMPARE(xml.at(4).isEnabled(), true);
    }

    void xmlFormatWithoutStoredFields()
    {
        SettingsFile file;
        QCOMPARE(file.formats.getXMLFormat(), ExportFormatSettings::getDefaultXMLFormat());
        file.store.setValue(PdSettings::XmlPropertiesKey, QStringLiteral("not a list"));
        QCOMPARE(file.formats.getXMLFormat().size(), 4);
    }

    void separator_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("separator");
        QTest::newRow("absent") << QVariant() << ";";
        QTest::newRow("tab") << QVariant(QStringLiteral("{TAB}")) << "\t";
        QTest::newRow("lower-case tab is literal") << QVariant(QStringLiteral("{tab}")) << "{tab}";
        QTest::newRow("several characters") << QVariant(QStringLiteral(" | ")) << " | ";
    }
    void separator()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, separator);
        SettingsFile file;
        if (stored.isValid())
            file.settings.setCsvFieldSeparator(stored.toString());
        QCOMPARE(file.formats.csvSeparator(), separator);
    }

    void exportFormatChoices()
    {
        const QList<PDFixedCollectionItem> items = PDFileExportFormatCollection::displayItems();
        QCOMPARE(items,
                 (QList<PDFixedCollectionItem>{{1, QStringLiteral("XML")}, {0, QStringLiteral("CSV")}}));
        QCOMPARE(PDFileExportFormatCollection::fileExtension(0), QStringLiteral("csv"));
        QCOMPARE(PDFileExportFormatCollection::fileExtension(1), QStringLiteral("xml"));
        QVERIFY(PDFileExportFormatCollection::fileExtension(2).isNull());
    }
};

QTEST_GUILESS_MAIN(TestCSVTokenField)
#include "tst_CSVTokenField.moc"

#include "history/report_changes.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

QStringList DomainReport(const QByteArray& reply)
{
    QStringList lines = HeaderBox(QStringLiteral("DOMAIN REPORT FOR: GOOGLE.COM"));
    lines << SourceBox(QStringLiteral("DOMAIN DETAILS for GOOGLE.COM"), QStringLiteral("source: whois.example"))
          << SheetLines(reply) << QString();
    return lines;
}

QStringList Strings(const std::vector<const char*>& texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

QStringList Lines(const QList<FieldChange>& changes)
{
    QStringList lines;
    for (const FieldChange& change : changes)
        lines << ChangeLine(change);
    return lines;
}

TEST(ReportChangesTest, ChangeLinesByFaultClass)
{
    struct Row
    {
        const char* name;
        QByteArray before;
        QByteArray after;
        std::vector<const char*> expected;
    };
    const Row rows[] = {
        { "one value replaced",
          "Registrar: Old Registrar\r\n",
          "Registrar: New Registrar\r\n",
          { "changed  Registrar: Old Registrar -> New Registrar" } },
        { "a set: swapped name server",
          "Name Server: ns1.example.net\r\nName Server: ns2.example.net\r\n",
          "Name Server: ns1.example.net\r\nName Server: ns3.example.net\r\n",
          { "removed  Name Server: ns2.example.net", "added    Name Server: ns3.example.net" } },
        { "a field that appears and one that goes",
          "DNSSEC: unsigned\r\n",
          "Registrant Country: SE\r\n",
          { "added    Registrant Country: SE", "removed  DNSSEC: unsigned" } },
        { "equal by meaning is no change",
          "Registry Expiry Date: 2028-09-14T04:00:00.000+0000\r\nName Server: NS1.EXAMPLE.NET\r\n"
          "Domain Status: ok https://icann.org/epp#ok\r\n",
          "Registry Expiry Date: 2028-09-14T04:00:00Z\r\nName Server: ns1.example.net\r\nDomain Status: active\r\n",
          {} },
        { "order of values is no change",
          "Name Server: a.example\r\nName Server: b.example\r\n",
          "Name Server: b.example\r\nName Server: a.example\r\n",
          {} },
        { "two values of a single field replaced by two",
          "Registrant Name: A\r\nRegistrant Name: B\r\n",
          "Registrant Name: C\r\nRegistrant Name: D\r\n",
          { "removed  Registrant Name: A", "removed  Registrant Name: B", "added    Registrant Name: C",
            "added    Registrant Name: D" } },
        { "the Last update line alone",
          ">>> Last update of WHOIS database: 2024-01-01T00:00:00Z <<<\r\n",
          ">>> Last update of WHOIS database: 2024-02-01T00:00:00Z <<<\r\n",
          {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Lines(CompareFields(ExtractReportFields(DomainReport(row.before)),
                                      ExtractReportFields(DomainReport(row.after)))),
                  Strings(row.expected));
    }
}

TEST(ReportChangesTest, RenewedRecordWithSwappedServerAndNewStatus)
{
    const QByteArray before = WhoisFixture("whois.verisign-grs.com-com-registered-newformat-2020.txt");
    QByteArray after = before;
    after.replace("Registry Expiry Date: 2028-09-14T04:00:00Z", "Registry Expiry Date: 2029-09-14T04:00:00Z")
        .replace("NS4.GOOGLE.COM", "NS5.GOOGLE.COM")
        .replace("   Name Server: NS1",
                 "   Domain Status: clientHold https://icann.org/epp#clientHold\r\n"
                 "   Name Server: NS1")
        .replace("2020-08-07T16:16:10Z", "2021-01-01T00:00:00Z");
    const QList<FieldChange> changes
        = CompareFields(ExtractReportFields(DomainReport(before)), ExtractReportFields(DomainReport(after)));
    EXPECT_EQ(Lines(changes),
              (QStringList { QStringLiteral("changed  Registry Expiry Date: 2028-09-14T04:00:00Z -> "
                                            "2029-09-14T04:00:00Z"),
                             QStringLiteral("added    Domain Status: clientHold https://icann.org/epp#clientHold"),
                             QStringLiteral("removed  Name Server: NS4.GOOGLE.COM"),
                             QStringLiteral("added    Name Server: NS5.GOOGLE.COM") }));

    const QJsonArray json = ChangesToJson(changes);
    EXPECT_EQ(
        QJsonDocument(json.at(0).toObject()).toJson(QJsonDocument::Compact),
        R"({"label":"Registry Expiry Date","new":"2029-09-14T04:00:00Z","old":"2028-09-14T04:00:00Z","op":"changed"})");
    EXPECT_EQ(
        QJsonDocument(json.at(1).toObject()).toJson(QJsonDocument::Compact),
        R"({"label":"Domain Status","new":"clientHold https://icann.org/epp#clientHold","old":null,"op":"added"})");
}

TEST(ReportChangesTest, NetworkFieldsAreToldApartByTheirAddress)
{
    const auto report = [](const char* name) {
        QStringList lines = HeaderBox(QStringLiteral("DOMAIN REPORT FOR: EXAMPLE.COM"));
        lines << SourceBox(QStringLiteral("NETWORK DETAILS for 192.0.2.1"), QStringLiteral("source: whois.arin.net"))
              << QStringLiteral("NetName:        NET-A")
              << SourceBox(QStringLiteral("NETWORK DETAILS for 198.51.100.1"), QStringLiteral("source: whois.arin.net"))
              << QStringLiteral("NetName:        ") + QString::fromLatin1(name) << QString();
        return lines;
    };
    EXPECT_EQ(Lines(CompareFields(ExtractReportFields(report("NET-B")), ExtractReportFields(report("NET-C")))),
              QStringList { QStringLiteral("changed  NetName for 198.51.100.1: NET-B -> NET-C") });
}

TEST(ReportChangesTest, SectionTexts)
{
    const QDateTime previous(QDate(2026, 3, 7), QTime(9, 5, 59), Qt::LocalTime);
    const QList<FieldChange> changes { { ChangeOp::Removed, QStringLiteral("Name Server"), QStringLiteral("a"), {} } };
    EXPECT_EQ(ChangesSection(changes, previous),
              (QStringList { u'\u250C' + QString(64, u'\u2500') + u'\u2510',
                             QStringLiteral("\u2502  CHANGES SINCE 2026-03-07 09:05").leftJustified(65) + u'\u2502',
                             u'\u2514' + QString(64, u'\u2500') + u'\u2518', QStringLiteral("removed  Name Server: a"),
                             QString() }));
    // A time in UTC is shown in local time.
    EXPECT_EQ(ChangesSection({}, previous.toUTC()),
              (QStringList { QStringLiteral("No changes since 2026-03-07 09:05."), QString() }));
    EXPECT_EQ(NoEarlierReportSection(QStringLiteral("example.com")),
              (QStringList { QStringLiteral("No earlier report of example.com."), QString() }));
}

} // namespace
} // namespace vesk::test

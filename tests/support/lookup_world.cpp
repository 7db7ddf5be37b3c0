#include "support/lookup_world.h"

#include <QSettings>

namespace vesk::test {

QDateTime FixedNow()
{
    return QDateTime(QDate(2024, 3, 7), QTime(10, 30));
}

DefinitionTables TestDefinitions()
{
    DefinitionTables definitions;
    definitions.SetTldRows({
        { "com", "Commercial organizations", "whois.verisign-grs.com" },
        { "net", "Network providers", "whois.verisign-grs.com" },
        { "uk", "United Kingdom", "whois.nic.uk" },
        { "fr", "France", "whois.nic.fr" },
        { "test", "Testing", "master.rwhois.net" },
        { "zz", "", "" },
    });
    definitions.SetHostMarks({
        { "whois.verisign-grs.com", 2, "Domain Name:", ">>> Last update of whois database", "No match for", "domain",
          "" },
        { "whois.crsnic.net", 2, "Domain Name:", ">>> Last update of whois database", "No match for", "domain", "" },
        { "whois.nic.uk", 2, "Domain name:", "WHOIS lookup made at", "This domain name has not been registered", "",
          "" },
        { "whois.nic.fr", 2, "domain:", "", "No entries found in the AFNIC Database", "", "" },
        { "whois.markmonitor.com", 3, "Domain Name:", ">>> Last update of WHOIS database", "", "", "" },
        { "whois.arin.net", 4, "", "", "", "", "" },
        { "whois.ripe.net", 1, "", "", "%ERROR:101: no entries found", "", "" },
        { "whois.apnic.net", 1, "", "", "%ERROR:101: no entries found", "", "" },
    });
    return definitions;
}

LookupWorld::LookupWorld()
    : LookupWorld(Transport)
{ }

namespace {

std::unique_ptr<TReg> TemporarySettings(const QTemporaryDir& dir)
{
    auto store = std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    return std::make_unique<TReg>(std::move(store), TReg::WriteBack::Never, FixedNow);
}

SearchOptions WithoutPause(const TReg& settings)
{
    SearchOptions options = SearchOptions().WithSettings(settings);
    options.PauseMilliseconds = 0;
    return options;
}

} // namespace

LookupWorld::LookupWorld(WhoisTransport& transport)
    : Settings(TemporarySettings(Dir))
    , Log(std::make_unique<TLogFile>(Dir.path(), QStringLiteral("vesk"), FixedNow))
    , Definitions(TestDefinitions())
    , Options(WithoutPause(*Settings))
    , Engine(std::make_unique<LookupEngine>(Window, *Log, Definitions, transport, &Rdap, Wait, FixedNow))
    , Sheet(Window, FixedNow)
    , Asker(Window, Sheet, transport, &Rdap, Wait, Options)
    , RdapPart(Asker, Options)
    , Network(Asker, RdapPart, Definitions, Options)
    , Contacts(Asker, Definitions, Options)
    , Details(Asker, RdapPart, Definitions, Options)
{ }

void LookupWorld::Search(const QByteArray& query)
{
    Window.SetQueryText(query);
    Engine->Search(Options.WithSettings(*Settings));
}

QStringList SheetLines(const QString& text)
{
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            lines.append(current);
            current.clear();
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            current.append(text[i]);
        }
    }
    lines.append(current);
    return lines;
}

QStringList SheetLines(const QByteArray& text)
{
    return SheetLines(QString::fromLocal8Bit(text));
}

namespace {

QString Closed(const QString& line)
{
    return line.size() > 64 ? line : line.leftJustified(65, u' ') + u'\u2502';
}

} // namespace

QStringList HeaderBox(const QString& title)
{
    return {
        u'\u2552' + QString(64, u'\u2550') + u'\u2555',
        Closed(QStringLiteral("\u2502  ") + title),
        Closed(QStringLiteral("\u2502  by Vesk? {WHOIS In Details}  Mar 07, 2024")),
        Closed(QStringLiteral("\u2502  https://github.com/vesk-whois/vesk")),
        u'\u2558' + QString(64, u'\u2550') + u'\u255B',
        QString(),
    };
}

QStringList SourceBox(const QString& title, const QString& source)
{
    return {
        QString(),
        u'\u250C' + QString(64, u'\u2500') + u'\u2510',
        Closed(QStringLiteral("\u2502  ") + title),
        Closed(QStringLiteral("\u2502  ") + source),
        u'\u2514' + QString(64, u'\u2500') + u'\u2518',
    };
}

QStringList WireLog(const QList<ExchangeRecord>& exchanges)
{
    QStringList log;
    for (const ExchangeRecord& e : exchanges) {
        log.append(QString::fromLatin1(e.Host) + u':' + QString::number(e.Port) + u' ' + QString::fromLatin1(e.Query)
                   + (e.Source == HostSource::Referral ? QStringLiteral(" [referral]") : QString()));
    }
    return log;
}

} // namespace vesk::test

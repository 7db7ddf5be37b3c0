#include "defs_tool.h"

#include "codecs/utf8_decoder.h"
#include "common/day_numbers.h"
#include "defs/definition_file.h"
#include "defs/definition_sets.h"
#include "defs/signed_manifest.h"
#include "whois/host_text.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

namespace vesk::defs_tool {

namespace {

constexpr int kUsageError = 2;

const char kUsage[]
    = "usage: vesk-defs build DATA_DIR OUT_DIR [--seed N]\n"
      "       vesk-defs dump FILE [--tld | --servers]\n"
      "       vesk-defs check DATA_DIR\n"
      "       vesk-defs publish DATA_DIR OUT_DIR [--day N] [--seed N] --key KEYFILE\n"
      "\n"
      "build    encrypts DATA_DIR/tlds.txt and DATA_DIR/servers.txt into the two definition files and\n"
      "         writes the version file naming the date in DATA_DIR/version.txt\n"
      "dump     decrypts a definition file and prints its rows, fields separated by \" | \"\n"
      "check    reports source lines the program would not read as written; exit 1 on any finding\n"
      "publish  build for the update location, the version file naming day N (default: the data's date),\n"
      "         with defs.manifest (each file's size and SHA-256, and the version) signed into\n"
      "         defs.manifest.sig by the Ed25519 private key in KEYFILE (PEM)\n";

struct Source
{
    TableKind kind;
    const char* name;
    QByteArray outputName;
};

QList<Source> Sources()
{
    return { { TableKind::Tld, kTldSourceName, kTldFileName.Text() },
             { TableKind::Servers, kServerSourceName, kHostMarkFileName.Text() } };
}

QString Text(QByteArrayView bytes)
{
    return Utf8ToWideText(bytes);
}

bool ReadFile(const QString& path, QByteArray& bytes, QTextStream& err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "vesk-defs: cannot read " << path << ": " << file.errorString() << '\n';
        return false;
    }
    bytes = file.readAll();
    return true;
}

bool WriteFile(const QString& path, const QByteArray& bytes, QTextStream& err)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        err << "vesk-defs: cannot write " << path << ": " << file.errorString() << '\n';
        return false;
    }
    return true;
}

// Options after the positional arguments: "--name value" pairs and bare flags.
struct Options
{
    QStringList positional;
    QHash<QString, QString> values;
    QStringList flags;
};

bool ParseOptions(const QStringList& args, const QStringList& valued, const QStringList& bare, Options& options,
                  QTextStream& err)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (valued.contains(arg)) {
            if (i + 1 >= args.size()) {
                err << "vesk-defs: " << arg << " needs a value\n";
                return false;
            }
            options.values.insert(arg, args[++i]);
        } else if (bare.contains(arg)) {
            options.flags.append(arg);
        } else if (arg.startsWith(QLatin1String("--"))) {
            err << "vesk-defs: unknown option " << arg << '\n';
            return false;
        } else {
            options.positional.append(arg);
        }
    }
    return true;
}

bool ParseNumber(const Options& options, const QString& name, int32_t low, int32_t high, int32_t& value,
                 QTextStream& err)
{
    if (!options.values.contains(name))
        return true;
    const QByteArray text = options.values.value(name).toLatin1();
    if (!ToInt32(text, value) || value < low || value > high) {
        err << "vesk-defs: " << name << " must be a whole number from " << low << " to " << high << '\n';
        return false;
    }
    return true;
}

// The version of the data in `dataDir`: the day number of its date source, or -1 (reported) when it has none.
int DataVersion(const QString& dataDir, QTextStream& err)
{
    const QString path = QDir(dataDir).filePath(QString::fromLatin1(kDateSourceName));
    QByteArray bytes;
    if (!ReadFile(path, bytes, err))
        return -1;
    const int day = ParseDateSource(bytes);
    if (day < 0)
        err << "vesk-defs: " << path << " holds no date of the form YYYY-MM-DD\n";
    return day;
}

// Encrypts both sources of `dataDir` into `outDir` with the version file naming `day` (-1: the data's date).
// Refuses a source whose plain text the reader would cut.
bool BuildFiles(const QString& dataDir, const QString& outDir, uint16_t seed, int day, QTextStream& out,
                QTextStream& err, const QByteArray& privateKey = {})
{
    if (day < 0)
        day = DataVersion(dataDir, err);
    if (day < 0)
        return false;
    QList<QPair<QString, QByteArray>> files;
    for (const Source& source : Sources()) {
        const QString path = QDir(dataDir).filePath(QString::fromLatin1(source.name));
        QByteArray bytes;
        if (!ReadFile(path, bytes, err))
            return false;
        const QByteArray plain = SourceToPlain(bytes);
        if (plain.size() > kMaxPlainText) {
            err << "vesk-defs: " << path << " gives " << plain.size() << " bytes of plain text; the program reads "
                << kMaxPlainText << '\n';
            return false;
        }
        const QString target = QDir(outDir).filePath(QString::fromLatin1(source.outputName));
        // Each file gets its own IV; a fixed seed makes the build reproducible.
        const auto fileSeed = static_cast<uint16_t>(seed == 0 ? 0 : seed + files.size());
        files.append({ target, EncryptDefinitionFile(plain, UnscrambleKey(), fileSeed == 0 ? 1 : fileSeed) });
    }
    // The set records its version beside its files, as an installed update does.
    files.append({ QDir(outDir).filePath(QString::fromLatin1(kVersionFileName.Text())), VersionFileText(day) });
    if (!privateKey.isEmpty()) {
        // The manifest covers every file published with it, and is signed as a whole.
        SetManifest manifest { day, {} };
        for (const auto& [target, bytes] : files)
            manifest.Files.append({ QFileInfo(target).fileName().toUtf8(), bytes.size(), Sha256(bytes) });
        const QByteArray text = FormatManifest(manifest);
        files.append({ QDir(outDir).filePath(QString::fromLatin1(kManifestFileName)), text });
        files.append(
            { QDir(outDir).filePath(QString::fromLatin1(kManifestSignatureFileName)), SignManifest(text, privateKey) });
    }
    if (!QDir().mkpath(outDir)) {
        err << "vesk-defs: cannot create " << outDir << '\n';
        return false;
    }
    for (const auto& [target, bytes] : files) {
        if (!WriteFile(target, bytes, err))
            return false;
        out << "wrote " << target << " (" << bytes.size() << " bytes)\n";
    }
    return true;
}

int Build(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    int32_t seed = 0;
    if (!ParseOptions(args, { QStringLiteral("--seed") }, {}, options, err) || options.positional.size() != 2
        || !ParseNumber(options, QStringLiteral("--seed"), 0, 65535, seed, err)) {
        err << kUsage;
        return kUsageError;
    }
    return BuildFiles(options.positional[0], options.positional[1], static_cast<uint16_t>(seed), -1, out, err) ? 0 : 1;
}

int Publish(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    int32_t seed = 0;
    int32_t day = -1;
    const QString keyOption = QStringLiteral("--key");
    if (!ParseOptions(args, { QStringLiteral("--seed"), QStringLiteral("--day"), keyOption }, {}, options, err)
        || options.positional.size() != 2 || !ParseNumber(options, QStringLiteral("--seed"), 0, 65535, seed, err)
        || !ParseNumber(options, QStringLiteral("--day"), 1, 2958465, day, err)) {
        err << kUsage;
        return kUsageError;
    }
    // The programs install only what a release key signed: an unsigned set is of no use to publish.
    if (!options.values.contains(keyOption)) {
        err << "vesk-defs: publish needs --key KEYFILE, the private key that signs the set\n" << kUsage;
        return kUsageError;
    }
    const QString keyFile = options.values.value(keyOption);
    QByteArray key;
    if (!ReadFile(keyFile, key, err))
        return 1;
    if (PublicKeyOf(key).isEmpty()) {
        err << "vesk-defs: " << keyFile << " is not an Ed25519 private key in PEM form\n";
        return 1;
    }
    try {
        return BuildFiles(options.positional[0], options.positional[1], static_cast<uint16_t>(seed), day, out, err, key)
            ? 0
            : 1;
    } catch (const std::runtime_error& e) {
        err << "vesk-defs: " << e.what() << '\n';
        return 1;
    }
}

int Dump(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    if (!ParseOptions(args, {}, { QStringLiteral("--tld"), QStringLiteral("--servers") }, options, err)
        || options.positional.size() != 1 || options.flags.size() > 1) {
        err << kUsage;
        return kUsageError;
    }
    const QString path = options.positional[0];
    const QByteArray name = QFileInfo(path).fileName().toLatin1();
    // A flag names the table; without one, the file's fixed name does.
    const bool tldFlag = options.flags.contains(QStringLiteral("--tld"));
    const bool serversFlag = options.flags.contains(QStringLiteral("--servers"));
    const bool tldName = name == kTldFileName.Text() || name == kTldBackupName.Text();
    const bool serversName = name == kHostMarkFileName.Text() || name == kHostMarkBackupName.Text();
    TableKind kind;
    if (tldFlag || (!serversFlag && tldName))
        kind = TableKind::Tld;
    else if (serversFlag || serversName)
        kind = TableKind::Servers;
    else {
        err << "vesk-defs: cannot tell the table of " << path << " by its name; add --tld or --servers\n";
        return kUsageError;
    }

    QByteArray file;
    if (!ReadFile(path, file, err))
        return 1;
    QByteArray plain;
    try {
        plain = DecryptDefinitionFile(file, UnscrambleKey());
    } catch (const ECipherException& e) {
        err << "vesk-defs: " << path << ": " << e.what() << '\n';
        return 1;
    }
    const QString sep = QStringLiteral(" | ");
    qsizetype count = 0;
    if (kind == TableKind::Tld) {
        for (const TTLDData& row : ParseTldRows(plain)) {
            out << Text(row.Tld) << sep << Text(row.Description) << sep << Text(row.Server) << '\n';
            ++count;
        }
    } else {
        for (const THostMark& row : ParseHostMarkRows(plain)) {
            out << Text(row.Host) << sep << Text(row.StartMark) << sep << Text(row.EndMark) << sep
                << Text(row.NoMatchMark) << sep << Text(row.QueryPrefix) << sep << Text(row.QuerySuffix) << sep
                << row.Kind << '\n';
            ++count;
        }
    }
    out.flush();
    err << count << " rows\n";
    return 0;
}

int Check(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    if (!ParseOptions(args, {}, {}, options, err) || options.positional.size() != 1) {
        err << kUsage;
        return kUsageError;
    }
    int findings = 0;
    bool readable = true;
    for (const Source& source : Sources()) {
        const QString path = QDir(options.positional[0]).filePath(QString::fromLatin1(source.name));
        QByteArray bytes;
        if (!ReadFile(path, bytes, err)) {
            readable = false;
            continue;
        }
        for (const Finding& finding : CheckSource(bytes, source.kind)) {
            out << path << ':';
            if (finding.line > 0)
                out << finding.line << ':';
            out << ' ' << finding.message << '\n';
            ++findings;
        }
    }
    if (DataVersion(options.positional[0], err) < 0)
        readable = false;
    if (findings == 0 && readable)
        out << "no findings\n";
    return findings == 0 && readable ? 0 : 1;
}

} // namespace

int ParseDateSource(QByteArrayView source)
{
    for (const QByteArray& line : SourceLines(source)) {
        const QByteArray text = TrimText(line);
        if (text.isEmpty() || text.startsWith('#'))
            continue;
        const QDate date = QDate::fromString(QString::fromLatin1(text), Qt::ISODate);
        return date.isValid() && text.size() == 10 ? DayNumber(date) : -1;
    }
    return -1;
}

QList<QByteArray> SourceLines(QByteArrayView source)
{
    QList<QByteArray> lines;
    QByteArray line;
    for (qsizetype i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '\r' || c == '\n') {
            lines.append(line);
            line.clear();
            if (c == '\r' && i + 1 < source.size() && source[i + 1] == '\n')
                ++i;
        } else {
            line.append(c);
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

QByteArray SourceToPlain(QByteArrayView source)
{
    QByteArray plain;
    plain.reserve(source.size() + source.size() / 16);
    for (const QByteArray& line : SourceLines(source)) {
        if (line.startsWith('#'))
            continue;
        plain += line;
        plain += "\r\n";
    }
    return plain;
}

QList<Finding> CheckSource(QByteArrayView source, TableKind kind)
{
    QList<Finding> findings;
    const bool tld = kind == TableKind::Tld;
    const qsizetype fieldCount = tld ? 3 : 7;
    const qsizetype minKey = tld ? 2 : 4;
    QHash<QByteArray, qsizetype> firstLine;

    const QList<QByteArray> lines = SourceLines(source);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype number = i + 1;
        auto report = [&](const QString& message) { findings.append({ number, message }); };
        if (line.startsWith('#'))
            continue;
        if (line.contains('\0')) {
            report(QStringLiteral("NUL byte: the program stops reading the file there"));
            continue;
        }
        if (TrimText(line).isEmpty()) {
            report(QStringLiteral("empty key: a blank line gives a row that is never found"));
            continue;
        }
        const QList<QByteArray> fields = line.split('#');
        if (fields.size() != fieldCount)
            report(QStringLiteral("%1 fields, expected %2").arg(fields.size()).arg(fieldCount));
        for (qsizetype f = 0; f < fields.size(); ++f) {
            if (!fields[f].isEmpty() && TrimText(fields[f]) != fields[f])
                report(QStringLiteral("field %1 has blanks around it that the program removes").arg(f + 1));
        }
        const QByteArray key = TrimText(fields.first());
        if (key.isEmpty()) {
            report(QStringLiteral("empty key: the row is never found"));
            continue;
        }
        if (LowerAscii(key) != key)
            report(QStringLiteral("key \"%1\" is not in lower case: the row is never found").arg(Text(key)));
        if (key.size() < minKey)
            report(QStringLiteral("key \"%1\" is shorter than %2 characters: the row is never found")
                       .arg(Text(key))
                       .arg(minKey));
        const auto seen = firstLine.constFind(key);
        if (seen != firstLine.constEnd())
            report(QStringLiteral("duplicate key \"%1\" (first on line %2): this row is never found")
                       .arg(Text(key))
                       .arg(seen.value()));
        else
            firstLine.insert(key, number);
        if (!tld && fields.size() == fieldCount) {
            int32_t value = 0;
            if (!ToInt32(fields.last(), value) || value < 0 || value > 4)
                report(QStringLiteral("kind \"%1\" is not 0 to 4: the program reads 0").arg(Text(fields.last())));
        }
    }
    const qsizetype plainSize = SourceToPlain(source).size();
    if (plainSize > kMaxPlainText)
        findings.append({ 0,
                          QStringLiteral("plain text of %1 bytes: the program reads only the first %2")
                              .arg(plainSize)
                              .arg(kMaxPlainText) });
    return findings;
}

int Run(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        (args.isEmpty() ? err : out) << kUsage;
        return args.isEmpty() ? kUsageError : 0;
    }
    const QString& command = args[0];
    const QStringList rest = args.mid(1);
    if (command == QLatin1String("build"))
        return Build(rest, out, err);
    if (command == QLatin1String("dump"))
        return Dump(rest, out, err);
    if (command == QLatin1String("check"))
        return Check(rest, out, err);
    if (command == QLatin1String("publish"))
        return Publish(rest, out, err);
    err << "vesk-defs: unknown command " << command << '\n' << kUsage;
    return kUsageError;
}

} // namespace vesk::defs_tool

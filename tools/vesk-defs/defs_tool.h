#pragma once

#include "defs/definition_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

// The logic of the definition-file tool, kept apart from main() so that tests run it in-process.

namespace vesk::defs_tool {

/// File names of the plain sources in a data folder.
inline constexpr const char* kTldSourceName = "tlds.txt";
inline constexpr const char* kServerSourceName = "servers.txt";
/// The date of the data (YYYY-MM-DD, '#' lines are comments): the version of the definition set built from it.
inline constexpr const char* kDateSourceName = "version.txt";

/// The day number of the date in a date source, or -1 when it holds no valid YYYY-MM-DD line.
int ParseDateSource(QByteArrayView source);

/// One problem in a plain source; `line` counts from 1, 0 for the whole file.
struct Finding
{
    qsizetype line = 0;
    QString message;
};

/// The lines of a source: CR LF, a lone CR and a lone LF each end a line; a last line without a break counts.
QList<QByteArray> SourceLines(QByteArrayView source);

/// The plain text of a definition file made from a source: comment lines (first byte '#') left out, every
/// other line ended with CR LF.
QByteArray SourceToPlain(QByteArrayView source);

/// Everything in a source that the program would read differently from what it says: lines with an empty
/// key (comments aside), keys not in lower case, keys too short to be found, duplicate keys (only the first
/// is ever found), a wrong number of fields, blanks around fields (the reader trims them), a kind that is not
/// 0 to 4, a NUL byte, and a plain text longer than the reader takes.
QList<Finding> CheckSource(QByteArrayView source, TableKind kind);

/// Runs the tool with `args` (without the program name): build, dump, check or publish. Returns the exit
/// status: 0 done, 1 failure or findings, 2 usage error.
int Run(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace vesk::defs_tool

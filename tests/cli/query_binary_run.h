/// Runs the vesk-query program that the build just made, as a user runs it, with a home of its own.
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace vesk::test {

struct QueryBinaryRun
{
    int status = -1; ///< -1: it crashed or did not finish within 30 s
    QByteArray out;
    QByteArray err;
};

inline QueryBinaryRun RunQueryBinary(const QStringList& arguments)
{
    QTemporaryDir home; // the stored settings of this run: none
    // A run keeps its history in its own home unless the test names a store: never beside the built program.
    QStringList withStore = arguments;
    if (!arguments.contains(QStringLiteral("--history-file")))
        withStore = QStringList { QStringLiteral("--history-file"), home.filePath(QStringLiteral("history.sqlite")) }
            + arguments;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VESK_BIN_DIR "/vesk-query"), withStore);
    if (!process.waitForFinished(30000))
        return {};
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
             process.readAllStandardError() };
}

} // namespace vesk::test

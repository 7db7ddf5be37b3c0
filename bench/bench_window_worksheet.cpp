// What the main window does with a large reply: a plain query answered with 10 MiB in 187,000 lines, from its
// last byte to the text painted in the real worksheet (offscreen), and the memory the worksheet holds for it.
// Targets: at most 300 ms, and at most three times the text's UTF-16 size.
#include "app/main_window.h"
#include "app/message_box.h"
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/ready_transport.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

constexpr int kLargeReplyLines = 187000;

// Lines of 20 to 88 characters (56 bytes on average with their CR LF), as WHOIS records have: 10 MiB in all.
QByteArray LargeReply()
{
    QByteArray reply;
    reply.reserve(kLargeReplyLines * 58);
    for (int i = 0; i < kLargeReplyLines; ++i) {
        QByteArray line = "Field-" + QByteArray::number(i).rightJustified(6, '0') + ": ";
        const int length = 20 + (i * 37) % 69;
        for (int k = line.size(); k < length; ++k)
            line.append(static_cast<char>('a' + (i + k) % 26));
        reply.append(line).append("\r\n");
    }
    return reply;
}

// Bytes the program holds on its heap, mapped blocks included.
double HeapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

struct WindowWorld
{
    explicit WindowWorld(vesk::WhoisTransport& transport)
        : settings(store.Open(), vesk::TReg::WriteBack::Never, vesk::SystemClock())
        , log(logDir.path(), QStringLiteral("bench"))
        , window(settings, log, definitions, transport, messages, vesk::DataLocations::InOneFolder(logDir.path()))
    {
        settings.ClearBeforeSearch = false;
        window.BuildMainWindow();
        window.show();
        QCoreApplication::processEvents();
        window.findChild<QTimer*>(QStringLiteral("startupTimer"))->stop();
        window.ClearLines();
        window.findChild<QLineEdit*>(QStringLiteral("queryLineEdit"))->setText(QStringLiteral("big-reply"));
    }

    vesk::test::TempSettings store;
    QTemporaryDir logDir;
    vesk::TReg settings;
    vesk::TLogFile log;
    vesk::DefinitionTables definitions;
    vesk::UnattendedMessageSink messages; // offscreen: nobody could answer a box
    vesk::TfrmMain window;
};

// The plain query writes the reply as it came, in one WriteLine; the worksheet takes it and paints the part in view.
void BM_WindowLargeReply(benchmark::State& state)
{
    vesk::test::ReadyTransport transport(LargeReply());
    WindowWorld world(transport);
    QPlainTextEdit* sheet = world.window.findChild<QPlainTextEdit*>(QStringLiteral("worksheet"));
    double heldBytes = 0;
    double utf16Bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        world.window.ClearLines();
        QCoreApplication::processEvents();
        const double before = HeapBytes();
        state.ResumeTiming();

        world.window.Search(); // a plain query: the name has no known TLD
        sheet->viewport()->repaint();
        QCoreApplication::processEvents();

        state.PauseTiming();
        heldBytes = HeapBytes() - before;
        utf16Bytes = 2.0 * static_cast<double>(sheet->document()->characterCount());
        state.ResumeTiming();
    }
    const qsizetype lines = sheet->toPlainText().count(u'\n') + 1;
    if (lines < kLargeReplyLines)
        state.SkipWithError("reply not shown");
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["held_MiB"] = heldBytes / (1024.0 * 1024.0);
    state.counters["held_per_utf16"] = heldBytes / utf16Bytes;
    state.SetBytesProcessed(static_cast<int64_t>(LargeReply().size()) * static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_WindowLargeReply)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    // The real widgets, without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

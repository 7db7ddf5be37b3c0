#include "app/window_history.h"

#include <QEventLoop>
#include <QPointer>
#include <QThread>

namespace vesk {

namespace {

// How long a write waits for another program's: the window waits with it (responsive, but without a result).
constexpr int kBusyTimeoutMs = 3000;

} // namespace

HistoryThread::HistoryThread(QString path, RetentionLimits limits)
    : m_path(std::move(path))
    , m_limits(limits)
    , m_thread(std::make_unique<QThread>())
    , m_worker(new QObject)
{
    m_thread->setObjectName(QStringLiteral("history"));
    m_worker->moveToThread(m_thread.get());
    m_thread->start();
}

HistoryThread::~HistoryThread()
{
    // The connection closes on the thread that used it.
    QMetaObject::invokeMethod(
        m_worker, [this] { m_store.reset(); }, Qt::QueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
}

void HistoryThread::Post(Job job)
{
    QMetaObject::invokeMethod(
        m_worker,
        [this, job = std::move(job)] {
            if (m_store == nullptr)
                m_store = std::make_unique<HistoryStore>(m_path, m_limits, kBusyTimeoutMs);
            job(*m_store);
        },
        Qt::QueuedConnection);
}

void HistoryThread::WaitForPosted(const std::function<void(HistoryStore&)>& job)
{
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    bool done = false;
    Post([&job, &done, waiting](HistoryStore& store) {
        job(store);
        // Back on the window's thread: the loop below ends there.
        QMetaObject::invokeMethod(
            waiting.data(),
            [&done, waiting] {
                done = true;
                if (waiting)
                    waiting->quit();
            },
            Qt::QueuedConnection);
    });
    if (!done)
        loop.exec();
}

void SearchCapture::Begin(const QString& typed, ExchangeObserver* next)
{
    m_active = true;
    m_typed = typed.trimmed();
    m_started = QDateTime::currentDateTimeUtc();
    m_lines.clear();
    m_exchanges.clear();
    m_next = next;
}

void SearchCapture::Written(const QString& lines)
{
    if (m_active)
        m_lines.append(lines.split(u'\n'));
}

SearchRecord SearchCapture::Finish(const QString& sent, QueryKind kind, bool stopped, bool answered)
{
    SearchRecord record;
    record.Typed = m_typed;
    record.Sent = sent.trimmed().isEmpty() ? m_typed : sent.trimmed();
    record.Kind = QueryKindName(kind);
    record.Started = m_started;
    record.Ended = QDateTime::currentDateTimeUtc();
    // A stop wins over an answer: the report is incomplete and must never serve as the previous one.
    record.Outcome = stopped ? RecordedOutcome::Stopped
        : answered           ? RecordedOutcome::Answered
                             : RecordedOutcome::Failed;
    record.Exchanges = m_exchanges;
    record.Report = m_lines.join(u'\n');
    record.Fields = ExtractReportFields(m_lines);
    m_active = false;
    m_lines.clear();
    m_exchanges.clear();
    m_next = nullptr;
    return record;
}

int SearchCapture::ExchangeDone(const ExchangeEntry& entry)
{
    m_exchanges.append(ExchangeSummary::From(entry));
    // The number is the one the observer further on gives, so that its later calls name its own entry.
    return m_next != nullptr ? m_next->ExchangeDone(entry) : static_cast<int>(m_exchanges.size() - 1);
}

void SearchCapture::LastExchangeShowsNoMatch()
{
    if (!m_exchanges.isEmpty() && m_exchanges.last().Outcome == QLatin1String("answered"))
        m_exchanges.last().Outcome = QStringLiteral("no-match");
    if (m_next != nullptr)
        m_next->LastExchangeShowsNoMatch();
}

void SearchCapture::ExchangeTextWritten(int exchange, const QString& text)
{
    if (m_next != nullptr)
        m_next->ExchangeTextWritten(exchange, text);
}

WindowRecordOutcome RecordWindowSearch(HistoryThread& history, const SearchRecord& search)
{
    return history.Await<WindowRecordOutcome>([&search](HistoryStore& store) {
        WindowRecordOutcome outcome;
        if (!store.Available()) {
            outcome.Problem = store.Error();
            return outcome;
        }
        const std::optional<qint64> id = store.Record(search);
        if (!id) {
            outcome.Problem = store.Error();
            return outcome;
        }
        // A stopped or failed report says nothing about what changed; a first report has nothing to compare with.
        if (search.Outcome != RecordedOutcome::Answered)
            return outcome;
        const ChangesSincePrevious since = CompareWithPrevious(store, search, id);
        if (since.Previous)
            outcome.Section = since.Section;
        return outcome;
    });
}

QString StoredCopyMark(const StoredReport& report)
{
    return QStringLiteral("STORED COPY of the report of %1 recorded %2 (no server was asked)")
        .arg(report.Typed.isEmpty() ? report.Sent : report.Typed,
             report.Started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

} // namespace vesk

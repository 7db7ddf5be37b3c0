#include "lookup/lookup_engine.h"

#include "common/event_wait.h"
#include "common/log_sink.h"
#include "lookup/report_texts.h"

namespace vesk {

LookupEngine::LookupEngine(Frontend& frontend, TReg& settings, LogSink& log, const DefinitionTables& definitions,
                           WhoisTransport& transport, EventWait& wait, Clock clock)
    : m_frontend(frontend)
    , m_settings(settings)
    , m_log(log)
    , m_definitions(definitions)
    , m_transport(transport)
    , m_wait(wait)
    , m_sheet(frontend, std::move(clock))
{ }

void LookupEngine::StopSearch()
{
    if (m_stop)
        return;
    m_stop = true;
    m_sheet.SetStatus(QByteArray(texts::kStatusStopping));
    m_frontend.ProcessPendingEvents();
}

QByteArray LookupEngine::QueryText() const
{
    return m_frontend.QueryText();
}

void LookupEngine::WriteReply(QByteArrayView reply)
{
    m_sheet.WriteLine(QString::fromLocal8Bit(reply));
}

void LookupEngine::WriteNoMatch(const QByteArray& domain)
{
    WriteReply(texts::FormatText(texts::kNoMatch, { domain }));
}

} // namespace vesk

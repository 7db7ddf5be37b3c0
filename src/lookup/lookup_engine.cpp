#include "lookup/lookup_engine.h"

#include "codecs/utf8_decoder.h"
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
    if (m_stop.IsRequested())
        return;
    m_stop.Request();
    if (m_searching)
        m_stopped = true;
    m_sheet.SetStatus(QByteArray(texts::kStatusStopping));
    m_frontend.ProcessPendingEvents();
}

QByteArray LookupEngine::QueryText() const
{
    return m_frontend.QueryText();
}

void LookupEngine::WriteReply(QByteArrayView reply, const ServerAnswer& from)
{
    // Every byte maps to a character: UTF-8 where it is valid, Latin-1 elsewhere.
    QString text = Utf8ToWideText(reply);
    m_sheet.WriteLine(text);
    const bool told = m_observer != nullptr && from.Exchange >= 0;
    if (from.Failure != ExchangeFailure::None) {
        const QString mark = Utf8ToWideText(texts::FormatText(texts::kReplyIncomplete, { texts::FailureText(from) }));
        m_sheet.WriteLine(mark);
        // Only an observer needs the reply and its mark joined; without one a large reply is not copied.
        if (told)
            text += u'\n' + mark;
    }
    if (told)
        m_observer->ExchangeTextWritten(from.Exchange, Worksheet::WithLfBreaks(std::move(text)));
}

void LookupEngine::WriteNoMatch(const QByteArray& domain)
{
    if (m_observer != nullptr)
        m_observer->LastExchangeShowsNoMatch();
    WriteReply(texts::FormatText(texts::kNoMatch, { domain }));
}

void LookupEngine::WriteNoAnswer(const ServerAnswer& answer)
{
    if (answer.Failure == ExchangeFailure::None || answer.Silent)
        return;
    WriteReply(texts::FormatText(texts::kNoAnswer, { answer.Host, texts::FailureText(answer) }));
}

} // namespace vesk

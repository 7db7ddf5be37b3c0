#include "lookup/plain_query.h"

#include "defs/definition_tables.h"
#include "lookup/report_texts.h"
#include "lookup/search_options.h"
#include "lookup/server_asker.h"
#include "lookup/worksheet.h"
#include "whois/host_text.h"

namespace vesk {

PlainQuery::PlainQuery(ServerAsker& asker, const SearchOptions& options)
    : m_asker(asker)
    , m_options(options)
{ }

void PlainQuery::Write(const QByteArray& query)
{
    Worksheet& sheet = m_asker.Sheet();
    if (m_options.ClearBeforeSearch)
        sheet.ClearWorksheet();
    const QByteArray server(kRegistryWhoisHosts[0]);
    sheet.WriteHeaderBox(texts::FormatText(texts::kPlainQueryTitle, { UpperAscii(server), UpperAscii(query) }));
    // No filtering and no stand-in text for a reply: the user asked this server directly and sees exactly its
    // answer. Only a failure is named.
    const ServerAnswer answer = m_asker.Ask(server, query, texts::kWhoisPort, Pause::No, HostSource::Fixed);
    if (answer.Reply.isEmpty() && answer.Failure != ExchangeFailure::None) {
        if (answer.Silent)
            sheet.WriteLine(QString());
        else
            m_asker.WriteNoAnswer(answer);
    } else {
        m_asker.WriteReply(answer.Reply, answer);
    }
    sheet.WriteLine(QString());
    sheet.SetStatus(QByteArray(texts::kStatusDone));
}

} // namespace vesk

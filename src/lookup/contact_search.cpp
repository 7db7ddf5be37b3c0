#include "lookup/contact_search.h"

#include "defs/definition_tables.h"
#include "lookup/contact_handles.h"
#include "lookup/domain_record.h"
#include "lookup/report_texts.h"
#include "lookup/search_options.h"
#include "lookup/server_asker.h"
#include "lookup/worksheet.h"
#include "whois/host_text.h"
#include "whois/reply_parsing.h"

namespace vesk {

ContactSearch::ContactSearch(ServerAsker& asker, const DefinitionTables& definitions, const SearchOptions& options)
    : m_asker(asker)
    , m_definitions(definitions)
    , m_options(options)
{ }

void ContactSearch::Search(const DomainRecord& record)
{
    if (!m_options.SearchContacts || record.Host.isEmpty())
        return;

    for (const ContactHandle& contact : FindContactHandles(record.Reply)) {
        const ServerAnswer answer
            = m_asker.Ask(record.Host, contact.Handle, texts::kWhoisPort, Pause::Yes, record.Source);
        const QByteArray reply = m_options.FilterComments ? FilterRWhoisReply(answer.Reply) : answer.Reply;
        // A server that does not know the handle says so with its no-match text; that is not worth a section.
        if (reply.isEmpty() || !m_definitions.DomainFound(record.Host, reply))
            continue;
        m_asker.Sheet().WriteSourceBox(QByteArray(texts::kContactDetailsTitle) + UpperAscii(contact.Handle),
                                       QByteArray(texts::kSourcePrefix) + record.Host);
        m_asker.WriteReply(contact.Labels.join(", ") + ": " + contact.Handle);
        m_asker.WriteReply(reply, answer);
    }
}

} // namespace vesk

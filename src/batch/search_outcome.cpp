#include "batch/search_outcome.h"

namespace vesk {

int SearchOutcome::ExitStatus() const
{
    return Stopped || NotRun || !Error.isEmpty() || !EngineAnswered ? 1 : 0;
}

bool SearchOutcome::GotAnswer() const
{
    if (ExitStatus() != 0)
        return false;
    for (const ExchangeEntry& entry : Exchanges) {
        if (entry.Answered)
            return true;
    }
    return false;
}

qint64 SearchOutcome::HeldBytes() const
{
    // The fixed part of each entry is small next to the replies it carries; the error and failure texts are UTF-16.
    constexpr qint64 kPerEntry = 64;
    qint64 bytes = Typed.size() + Sent.size() + 2 * Error.size() + Lines.Utf8().size();
    for (const ExchangeEntry& entry : Exchanges)
        bytes += kPerEntry + entry.Host.size() + entry.Url.size() + entry.Request.size() + entry.Text.size()
            + 2 * entry.FailureText.size() + entry.Answer.size();
    return bytes;
}

QByteArrayView SearchOutcome::ExchangeTextUtf8(const ExchangeEntry& entry) const
{
    const QByteArray& sheet = Lines.Utf8();
    if (entry.TextFrom < 0 || entry.TextFrom + entry.TextSize > sheet.size())
        return entry.Text;
    return QByteArrayView(sheet).sliced(entry.TextFrom, entry.TextSize);
}

QString SearchOutcome::ExchangeText(qsizetype i) const
{
    if (i < 0 || i >= Exchanges.size())
        return QString();
    return ReportLines::Decode(ExchangeTextUtf8(Exchanges[i]));
}

void SearchOutcome::AddExchangeText(qsizetype i, QStringView text)
{
    if (i < 0 || i >= Exchanges.size())
        return;
    ExchangeEntry& entry = Exchanges[i];
    const bool first = ExchangeTextUtf8(entry).isEmpty();
    const qsizetype at = Lines.FindAtEnd(text);
    if (at >= 0 && first) {
        entry.TextFrom = at;
        entry.TextSize = Lines.Utf8().size() - 1 - at;
        return;
    }
    // A second piece written right after the first, on the next line: the range grows over it.
    if (at >= 0 && !first && entry.TextFrom >= 0 && entry.TextFrom + entry.TextSize + 1 == at) {
        entry.TextSize = Lines.Utf8().size() - 1 - entry.TextFrom;
        return;
    }
    QByteArray own = ExchangeTextUtf8(entry).toByteArray();
    if (!first)
        own += '\n';
    own += ReportLines::Encode(text);
    entry.Text = std::move(own);
    entry.TextFrom = -1;
    entry.TextSize = 0;
}

} // namespace vesk

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
    // Texts are UTF-16; the fixed part of each entry is small next to the replies it carries.
    constexpr qint64 kPerEntry = 64;
    qint64 bytes = Typed.size() + Sent.size() + 2 * Error.size();
    for (const QString& line : Lines)
        bytes += kPerEntry + 2 * line.size();
    for (const ExchangeEntry& entry : Exchanges)
        bytes += kPerEntry + entry.Host.size() + entry.Url.size() + entry.Request.size() + 2 * entry.Text.size()
            + 2 * entry.FailureText.size() + entry.Answer.size();
    return bytes;
}

} // namespace vesk

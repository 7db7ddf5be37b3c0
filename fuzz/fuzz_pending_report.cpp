// Any bytes as a pending report: never a crash nor an allocation the bytes cannot back, and a report read back
// from what it writes is the same report.

#include "fuzz_check.h"
#include "history/pending_reports.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<vesk::SearchRecord> read = vesk::DecodePendingReport(vesk::fuzz::Bytes(data, size));
    if (!read)
        return 0;
    const std::optional<vesk::SearchRecord> again = vesk::DecodePendingReport(vesk::EncodePendingReport(*read));
    VESK_FUZZ_CHECK(again.has_value(), "a written report reads back");
    VESK_FUZZ_CHECK(again->Typed == read->Typed && again->Sent == read->Sent && again->Kind == read->Kind
                        && again->Started == read->Started && again->Ended == read->Ended
                        && again->Outcome == read->Outcome && again->Exchanges == read->Exchanges
                        && again->Report == read->Report,
                    "the same report");
    return 0;
}

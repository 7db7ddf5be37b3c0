/// The log sink: where the engine and the definition update send their log records.
#pragma once

#include <QByteArrayView>

namespace vesk {

/// Takes one log record at a time. The log file implements it; what a record looks like on disk (date, line
/// ends) is the sink's business, so writers hand over the bare message.
class LogSink
{
public:
    virtual ~LogSink() = default;

    /// Records `message` verbatim. Never fails towards the writer: a sink that cannot record drops the message.
    virtual void Write(QByteArrayView message) = 0;
};

} // namespace vesk

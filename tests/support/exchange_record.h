#pragma once

#include "whois/transport.h"

#include <QByteArray>

namespace vesk::test {

/// One exchange as the engine asked it, with the bytes that came back and why they ended early; every fake or recording
/// transport logs exchanges in this form.
struct ExchangeRecord
{
    QByteArray Host;
    int Port = 0;
    QByteArray Query;
    HostSource Source = HostSource::Fixed;
    QByteArray Reply;
    ExchangeFailure Failure = ExchangeFailure::None;
};

} // namespace vesk::test

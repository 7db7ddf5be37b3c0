/// The status at the end of a report, set however the report ends.
#pragma once

#include "lookup/worksheet.h"

#include <QByteArray>

namespace vesk {

/// Puts a status text into the status line when the scope ends, however it ends (normally or by an error):
/// "Done" after a domain report, the blank line after an exchange.
class StatusAtExit
{
public:
    StatusAtExit(Worksheet& sheet, QByteArray text)
        : m_sheet(sheet)
        , m_text(std::move(text))
    { }
    ~StatusAtExit()
    {
        try {
            m_sheet.SetStatus(m_text);
        } catch (...) {
            // Nothing may leave a destructor while an error may already be on its way out.
        }
    }
    StatusAtExit(const StatusAtExit&) = delete;
    StatusAtExit& operator=(const StatusAtExit&) = delete;

private:
    Worksheet& m_sheet;
    QByteArray m_text;
};

} // namespace vesk

#include "whois/domain_ace.h"

#include <QString>
#include <QUrl>

namespace vesk {

AceDomain DomainToAce(QByteArrayView name)
{
    bool ascii = true;
    for (const char c : name)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return AceDomain { true, name.toByteArray() };
    const QByteArray ace = QUrl::toAce(QString::fromLocal8Bit(name));
    if (ace.isEmpty())
        return AceDomain();
    return AceDomain { true, ace };
}

} // namespace vesk

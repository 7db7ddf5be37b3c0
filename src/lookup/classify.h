/// Query classification: address, domain name with a known TLD, or plain query.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <stdexcept>

namespace vesk {

/// The error of a query too long to be classified (more than 255 characters); what() says so plainly.
class QueryTooLongError : public std::runtime_error
{
public:
    explicit QueryTooLongError(qsizetype length);
};

/// The longest query that can be classified.
inline constexpr qsizetype kMaxQueryLength = 255;

/// The search's address test: throws QueryTooLongError for a text of more than 255 characters, otherwise
/// whether `text` is an IPv4 address as typed (IPv4Form::Typed of whois/ip_address.h).
bool IsIPAddress(QByteArrayView text);

/// Four labels counted from the right: [0] the last label, [1] the one before, [2] the third, [3] everything
/// left of the third (dots included). The text is trimmed and loses its leading and trailing dots first;
/// labels that do not exist are empty. A text without a dot is all label 0.
std::array<QByteArray, 4> SplitLabels(QByteArrayView text);

/// The query box text of a domain search: a www label standing third or fourth from the right is dropped, with
/// whatever stands left of a third-label www (the www, example, com -> example.com rules of the search).
QByteArray NormaliseDomainQuery(QByteArrayView text);

} // namespace vesk

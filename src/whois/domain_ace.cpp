#include "whois/domain_ace.h"

#include <QString>
#include <algorithm>
#include <unicode/uidna.h>
#include <utility>

namespace vesk {

namespace {

// UTS #46 as registries apply it: "ß" and the joiners kept (non-transitional), right-to-left labels and joiners
// checked, only letters, digits and hyphens.
constexpr uint32_t kOptions
    = UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_USE_STD3_RULES;

const UIDNA* Converter()
{
    // Opened once: an open converter is immutable and may be used from every thread.
    static const UIDNA* const converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        UIDNA* opened = uidna_openUTS46(kOptions, &status);
        return U_SUCCESS(status) ? opened : nullptr;
    }();
    return converter;
}

// The first rule named by `errors` (UIDNA_ERROR_* bits), in the order a reader checks a name.
QByteArray RuleBroken(uint32_t errors)
{
    static const struct
    {
        uint32_t bit;
        const char* text;
    } rules[] = {
        { UIDNA_ERROR_EMPTY_LABEL, "a label is empty" },
        { UIDNA_ERROR_LABEL_TOO_LONG, "a label is longer than 63 characters" },
        { UIDNA_ERROR_DOMAIN_NAME_TOO_LONG, "the name is longer than 253 characters" },
        { UIDNA_ERROR_DISALLOWED, "it holds a character that domain names do not allow" },
        { UIDNA_ERROR_LEADING_HYPHEN, "a label begins with a hyphen" },
        { UIDNA_ERROR_TRAILING_HYPHEN, "a label ends with a hyphen" },
        { UIDNA_ERROR_HYPHEN_3_4, "a label has hyphens in its third and fourth places" },
        { UIDNA_ERROR_LEADING_COMBINING_MARK, "a label begins with a combining mark" },
        { UIDNA_ERROR_PUNYCODE, "an xn-- label is not valid Punycode" },
        { UIDNA_ERROR_INVALID_ACE_LABEL, "an xn-- label does not stand for a valid label" },
        { UIDNA_ERROR_LABEL_HAS_DOT, "a label holds a dot" },
        { UIDNA_ERROR_BIDI, "it breaks the rules for right-to-left labels" },
        { UIDNA_ERROR_CONTEXTJ, "a zero-width joiner or non-joiner stands where it is not allowed" },
    };
    for (const auto& rule : rules) {
        if ((errors & rule.bit) != 0)
            return rule.text;
    }
    return "it is not a valid domain name";
}

bool IsAscii(QByteArrayView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// True when a label of the ASCII `name` starts with the A-label prefix, in any case.
bool HasALabel(QByteArrayView name)
{
    qsizetype start = 0;
    while (start <= name.size()) {
        const qsizetype dot = name.indexOf('.', start);
        const QByteArrayView label = name.sliced(start, (dot < 0 ? name.size() : dot) - start);
        if (label.size() >= 4 && QByteArrayView(label.first(4)).compare("xn--", Qt::CaseInsensitive) == 0)
            return true;
        if (dot < 0)
            break;
        start = dot + 1;
    }
    return false;
}

AceDomain Failed(QByteArray error)
{
    AceDomain result;
    result.Error = std::move(error);
    return result;
}

} // namespace

QByteArray AsciiDots(QByteArrayView name)
{
    if (IsAscii(name))
        return name.toByteArray();
    QString text = QString::fromLocal8Bit(name);
    const QString before = text;
    for (const char16_t dot : { u'\u3002', u'\uFF0E', u'\uFF61' })
        text.replace(QChar(dot), u'.');
    // Unchanged text stays byte for byte what was typed, even where the code page does not round-trip.
    return text == before ? name.toByteArray() : text.toLocal8Bit();
}

AceDomain DomainToAce(QByteArrayView name)
{
    const bool ascii = IsAscii(name);
    if (ascii && !HasALabel(name))
        return AceDomain { true, name.toByteArray(), {} };
    const UIDNA* converter = Converter();
    if (converter == nullptr)
        return Failed("the conversion tables of the system could not be loaded");

    const QString text = QString::fromLocal8Bit(name);
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    UErrorCode status = U_ZERO_ERROR;
    // An A-label form is never longer than 4 x the input plus the prefixes; 256 covers every valid name anyway.
    QByteArray ace(std::max<qsizetype>(256, text.size() * 4 + 64), '\0');
    const QByteArray utf8 = text.toUtf8();
    const int32_t length = uidna_nameToASCII_UTF8(converter, utf8.constData(), static_cast<int32_t>(utf8.size()),
                                                  ace.data(), static_cast<int32_t>(ace.size()), &info, &status);
    if (U_FAILURE(status))
        return Failed("it is not a valid domain name");
    if (info.errors != 0)
        return Failed(RuleBroken(info.errors));
    ace.truncate(length);
    // Typed A-labels passed the checks: they go out as typed.
    return AceDomain { true, ascii ? name.toByteArray() : ace, {} };
}

} // namespace vesk

#include "LegalDocument.hpp"

#include <QFile>
#include <QStringDecoder>

#include "Design/StudioLinks.hpp"

namespace marlowick {

std::string_view rawValue(LegalDocument document) {
    switch (document) {
        case LegalDocument::license: return "LICENSE";
        case LegalDocument::thirdPartyNotices: return "THIRD-PARTY-NOTICES";
    }
    return {};
}

std::optional<LegalDocument> legalDocument(std::string_view raw) {
    for (LegalDocument document : allLegalDocuments) {
        if (rawValue(document) == raw) return document;
    }
    return std::nullopt;
}

std::string_view title(LegalDocument document) {
    switch (document) {
        case LegalDocument::license: return "Licence Agreement";
        case LegalDocument::thirdPartyNotices: return "Third-Party Notices";
    }
    return {};
}

std::optional<std::string> legalDocumentText(LegalDocument document, const QString& resourceFolder) {
    const std::string_view raw = rawValue(document);
    QFile file(resourceFolder + QLatin1Char('/') + QString::fromLatin1(raw.data(), static_cast<qsizetype>(raw.size())) +
               QStringLiteral(".md"));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.isEmpty()) return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(decoder(bytes));
    if (decoder.hasError()) return std::nullopt;
    return bytes.toStdString();
}

std::string legalDocumentFallbackText() {
    return "This copy of Marlowick is missing its licence text, which is a packaging fault.\n"
           "\n"
           "The current terms are on the maker's web site, " +
           StudioLinks::website().toString().toStdString() + ", or write to " +
           StudioLinks::support().path().toStdString() + " and ask for them.";
}

}  // namespace marlowick

#pragma once
// The two legal texts the program carries as Markdown resources: the licence agreement
// and the notices of the components it is built from. The raw value names the resource
// (":/Marlowick/<raw value>.md") and the view's identifier ("legal.<raw value>").

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

namespace marlowick {

enum class LegalDocument { license, thirdPartyNotices };

inline constexpr std::array<LegalDocument, 2> allLegalDocuments{LegalDocument::license,
                                                                LegalDocument::thirdPartyNotices};

// "LICENSE", "THIRD-PARTY-NOTICES".
[[nodiscard]] std::string_view rawValue(LegalDocument document);
// Exactly the two raw values; anything else is no document.
[[nodiscard]] std::optional<LegalDocument> legalDocument(std::string_view raw);
// "Licence Agreement", "Third-Party Notices": the button and window title.
[[nodiscard]] std::string_view title(LegalDocument document);

// The resource "<raw value>.md" under `resourceFolder`, read as UTF-8. None when it is
// missing, unreadable, not UTF-8 or empty.
[[nodiscard]] std::optional<std::string> legalDocumentText(LegalDocument document,
                                                           const QString& resourceFolder = QStringLiteral(":/Marlowick"));

// What a view shows in place of a document the program lacks: a packaging fault.
[[nodiscard]] std::string legalDocumentFallbackText();

}  // namespace marlowick

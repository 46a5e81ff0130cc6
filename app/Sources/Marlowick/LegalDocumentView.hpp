#pragma once
// A legal document in a scrolling column: its text (or the packaging-fault text when the
// program lacks it) read into blocks, each drawn in the brand style. Inline emphasis and
// links are rendered; links open in the desktop's browser. The text can be selected.

#include <QColor>
#include <QScrollArea>

#include "Design/BrandColor.hpp"
#include "LegalDocument.hpp"

namespace marlowick {

class LegalDocumentView : public QScrollArea {
    Q_OBJECT
public:
    // `resourceFolder` is where the document is read from; tests pass their own.
    explicit LegalDocumentView(LegalDocument document, QWidget* parent = nullptr,
                               const QString& resourceFolder = QStringLiteral(":/Marlowick"));

    [[nodiscard]] LegalDocument document() const { return shown; }
    // Reads the document again and rebuilds the column.
    void reload();

protected:
    void changeEvent(QEvent* event) override;

private:
    LegalDocument shown;
    QString folder;
    Appearance builtIn = Appearance::light;
    bool reloadQueued = false;
};

// A block's inline Markdown (emphasis, code, links) as the rich text of a label, links in
// `linkColor`; raw HTML in the text is shown as text.
[[nodiscard]] QString legalInlineHtml(const std::string& text, const QColor& linkColor);

}  // namespace marlowick

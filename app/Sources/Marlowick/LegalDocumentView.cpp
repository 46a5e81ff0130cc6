#include "LegalDocumentView.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include "Design/BrandCard.hpp"
#include "Design/BrandStyle.hpp"
#include "LegalMarkdown.hpp"
#include "UI/Accessibility.hpp"
#include "UI/ApplicationLook.hpp"
#include "UI/PlainText.hpp"

namespace marlowick {
namespace {

using Kind = LegalMarkdownBlock::Kind;

constexpr int columnWidth = 620;

QLabel* inlineLabel(const std::string& text, BrandFont font, BrandColor color) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::RichText);
    label->setText(legalInlineHtml(text, BrandStyle::color(BrandColor::primary)));
    label->setWordWrap(true);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    BrandStyle::styleText(*label, font, color);
    return label;
}

QWidget* padded(QWidget* content, int left, int top, int bottom) {
    auto* row = new QWidget;
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(left, top, 0, bottom);
    layout->addWidget(content);
    return row;
}

// Verbatim text: no Markdown, in a sunken rounded box that scrolls sideways.
class VerbatimBox : public QScrollArea {
public:
    explicit VerbatimBox(const std::string& text) {
        auto* label = ui::plainTextLabel(text);
        label->setWordWrap(false);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setFont(BrandStyle::monospacedFont(11));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, BrandStyle::color(BrandColor::textMuted));
        label->setPalette(palette);
        label->setContentsMargins(14, 14, 14, 14);
        label->setAutoFillBackground(false);
        setWidget(label);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        viewport()->setAutoFillBackground(false);
        setStyleSheet(QStringLiteral("background: transparent;"));
        setFixedHeight(label->sizeHint().height() + horizontalScrollBar()->sizeHint().height());
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(viewport());
            paintRoundedBox(painter, viewport()->rect(), 8, BrandStyle::color(BrandColor::surfaceSunken));
        }
        QScrollArea::paintEvent(event);
    }
};

QWidget* ruleLine() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::NoFrame);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, BrandStyle::color(BrandColor::border));
    line->setPalette(palette);
    return padded(line, 0, 16, 16);
}

QWidget* blockRow(const LegalMarkdownBlock& block) {
    switch (block.kind) {
        case Kind::title: {
            auto* label = inlineLabel(block.text, BrandFont::sectionTitle, BrandColor::textHeading);
            label->setAccessibleDescription(QStringLiteral("heading"));
            return padded(label, 0, 0, 14);
        }
        case Kind::heading: {
            auto* label = inlineLabel(block.text, BrandFont::cardTitle, BrandColor::textHeading);
            label->setAccessibleDescription(QStringLiteral("heading"));
            return padded(label, 0, 22, 6);
        }
        case Kind::paragraph: return padded(inlineLabel(block.text, BrandFont::body, BrandColor::text), 0, 0, 10);
        case Kind::bullet: {
            auto* row = new QWidget;
            auto* layout = new QHBoxLayout(row);
            layout->setContentsMargins(4, 0, 0, 8);
            layout->setSpacing(10);
            auto* marker = new QLabel(QStringLiteral("\u2022"));
            BrandStyle::styleText(*marker, BrandFont::body, BrandColor::accent, {BrandColor::bg});
            ui::hideFromAccessibility(*marker);
            layout->addWidget(marker, 0, Qt::AlignTop);
            layout->addWidget(inlineLabel(block.text, BrandFont::body, BrandColor::text), 1);
            return row;
        }
        case Kind::verbatim: return padded(new VerbatimBox(block.text), 0, 8, 8);
        case Kind::rule: return ruleLine();
    }
    return new QWidget;
}

}  // namespace

QString legalInlineHtml(const std::string& text, const QColor& linkColor) {
    QTextDocument document;
    document.setMarkdown(QString::fromStdString(LegalMarkdown::inlineOnly(text)),
                         QTextDocument::MarkdownFeatures(QTextDocument::MarkdownDialectGitHub |
                                                         QTextDocument::MarkdownNoHTML));
    // Only the fragment: the label's own font and colours apply around it.
    QString html = document.toHtml();
    const qsizetype start = html.indexOf(QStringLiteral("<p"));
    const qsizetype end = html.lastIndexOf(QStringLiteral("</p>"));
    if (start < 0 || end < start) return text.empty() ? QString() : document.toPlainText().toHtmlEscaped();
    html = html.mid(start, end + 4 - start);
    // Paragraph margins come from the rows, not from the fragment.
    html.replace(QStringLiteral(" style=\" margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; "
                                "-qt-block-indent:0; text-indent:0px;\""),
                 QString());
    // Qt writes links in a fixed blue; they take the brand's link colour.
    html.replace(QStringLiteral("color:#0000ff;"), QStringLiteral("color:") + linkColor.name() + QLatin1Char(';'));
    return html;
}

LegalDocumentView::LegalDocumentView(LegalDocument document, QWidget* parent, const QString& resourceFolder)
    : QScrollArea(parent), shown(document), folder(resourceFolder) {
    const std::string_view raw = rawValue(document);
    ui::identify(*this, "legal." + std::string(raw));
    setWindowTitle(ui::qtText(title(document)));
    setMinimumSize(700, 560);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    reload();
}

void LegalDocumentView::reload() {
    builtIn = BrandStyle::currentAppearance();
    const std::string text = legalDocumentText(shown, folder).value_or(legalDocumentFallbackText());

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, BrandStyle::color(BrandColor::bg));
    setPalette(palette);
    setAutoFillBackground(true);

    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    page->setPalette(palette);
    auto* centring = new QHBoxLayout(page);
    centring->setContentsMargins(32, 28, 32, 28);
    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("legal.column"));
    column->setMaximumWidth(columnWidth);
    auto* rows = new QVBoxLayout(column);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    for (const LegalMarkdownBlock& block : LegalMarkdown::blocks(text)) rows->addWidget(blockRow(block));
    rows->addStretch(1);
    centring->addStretch(0);
    centring->addWidget(column, 1);
    centring->addStretch(0);
    setWidget(page);
}

void LegalDocumentView::changeEvent(QEvent* event) {
    QScrollArea::changeEvent(event);
    if (!ui::tellsOfAnotherAppearance(*event, builtIn)) return;
    // On the next turn: the change is still being sent to the page that reload() replaces.
    if (reloadQueued) return;
    reloadQueued = true;
    QTimer::singleShot(0, this, [this] {
        reloadQueued = false;
        reload();
    });
}

}  // namespace marlowick

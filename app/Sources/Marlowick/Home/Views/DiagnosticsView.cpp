#include "Home/Views/DiagnosticsView.hpp"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Home/HomeAccessibility.hpp"
#include "Home/Views/ViewElements.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"

namespace marlowick {

DiagnosticsView::DiagnosticsView(DiagnosticReport diagnosticReport, QWidget* parent)
    : BrandCard(16, parent), report(std::move(diagnosticReport)) {
    setObjectName(QStringLiteral("home.diagnostics"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 14, 16, 14);
    column->setSpacing(10);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(12);
    toggleButton = new QPushButton(this);
    ui::identify(*toggleButton, "home.diagnostics.toggle", {}, HomeAccessibility::diagnosticsToggleHint);
    views::applyButtonLook(*toggleButton, views::ButtonLook::plain, BrandFont::callout, BrandColor::textMuted);
    controls->addWidget(toggleButton);
    controls->addStretch(1);
    copyButton = new QPushButton(this);
    ui::identify(*copyButton, "home.diagnostics.copy", HomeAccessibility::diagnosticsCopyLabel,
                 HomeAccessibility::diagnosticsCopyHint);
    controls->addWidget(copyButton);
    column->addLayout(controls);

    auto* area = new views::BoundedScrollArea(textMaximumHeight, true, this);
    textArea = area;
    textArea->setObjectName(QStringLiteral("home.diagnostics.text"));
    textLabel = new QLabel(textArea);
    textLabel->setObjectName(QStringLiteral("home.diagnostics.text.body"));
    textLabel->setTextFormat(Qt::PlainText);
    textLabel->setWordWrap(false);
    textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Monospaced, so that the report's columns and paths read as they were written.
    textLabel->setFont(BrandStyle::monospacedFont(brandFontValues(BrandFont::readout).pixelSize));
    textLabel->setContentsMargins(0, 2, 0, 2);
    textLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    views::setTextColor(*textLabel, BrandStyle::color(BrandColor::textMuted));
    area->setContent(textLabel);
    textArea->hide();
    column->addWidget(textArea);

    connect(toggleButton, &QPushButton::clicked, this, &DiagnosticsView::toggle);
    connect(copyButton, &QPushButton::clicked, this, &DiagnosticsView::copy);
    // Something else copied meanwhile: the clipboard no longer holds the report.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        if (copied && QApplication::clipboard()->text() != ui::qtText(reportText())) showCopied(false);
    });
    expanded = true;
    toggle();
    showCopied(false);
}

std::string DiagnosticsView::reportText() const {
    return report.rendered(QDir::homePath().toStdString());
}

void DiagnosticsView::toggle() {
    expanded = !expanded;
    toggleButton->setText(expanded ? QStringLiteral("Hide details") : QStringLiteral("Show details"));
    toggleButton->setAccessibleName(expanded ? QStringLiteral("Hide technical details")
                                             : QStringLiteral("Show technical details"));
    views::setSymbol(*toggleButton, expanded ? "chevron.down" : "chevron.right", 12,
                     BrandStyle::color(BrandColor::textMuted));
    if (expanded) {
        textLabel->setText(ui::qtText(reportText()));
        textLabel->adjustSize();
    }
    textArea->setVisible(expanded);
    textArea->updateGeometry();
}

void DiagnosticsView::copy() {
    const QString text = ui::qtText(reportText());
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    // A clipboard that refused the text, or lost it at once, must not be reported as holding it.
    if (clipboard->text() != text) {
        showCopied(false);
        return;
    }
    showCopied(true);
    QTimer::singleShot(copiedMilliseconds, this, [this] { showCopied(false); });
}

void DiagnosticsView::showCopied(bool value) {
    copied = value;
    copyButton->setText(value ? QStringLiteral("Copied") : QStringLiteral("Copy details"));
    views::applyButtonLook(*copyButton, views::ButtonLook::plain, BrandFont::callout,
                           value ? BrandColor::successText : BrandColor::primary);
}

}  // namespace marlowick

#include "UI/DestructiveQuestion.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Design/SymbolIcons.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"

namespace marlowick::ui {
namespace {

constexpr int questionWidth = 420;
constexpr int symbolPixels = 28;

QLabel* textLabel(const std::string& text, BrandFont font, BrandColor color, QWidget* parent) {
    QLabel* label = plainTextLabel(text, parent);
    BrandStyle::styleText(*label, font, color);
    return label;
}

// The two looks of the erase confirmation's buttons: outlined on the surface for the safe
// answer, filled with the solid error colour for the action. A focused button shows a ring.
QPushButton* answerButton(const DestructiveQuestion::Answer& answer, bool acts, QWidget* parent) {
    auto* button = new QPushButton(qtText(answer.label), parent);
    identify(*button, answer.identifier, answer.label);
    button->setFont(BrandStyle::font(BrandFont::body));
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumHeight(34);
    const QColor fill = BrandStyle::color(acts ? BrandColor::errorSolid : BrandColor::surface);
    const QColor text = acts ? BrandStyle::fillTextColor(BrandColor::errorSolid) : BrandStyle::color(BrandColor::textHeading);
    const QColor edge = acts ? fill : BrandStyle::color(BrandColor::border);
    const QColor ring = BrandStyle::color(acts ? BrandColor::textHeading : BrandColor::primary);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3;"
                                         " border-radius: 8px; padding: 6px 18px; }"
                                         "QPushButton:pressed { background: %4; }"
                                         "QPushButton:focus { border: 2px solid %5; padding: 5px 17px; }")
                              .arg(fill.name(), text.name(), edge.name(), fill.darker(115).name(), ring.name()));
    return button;
}

}  // namespace

DestructiveQuestion::DestructiveQuestion(QWidget& window, const QString& identifier, const Texts& texts)
    : Sheet(window, identifier) {
    setWindowTitle(qtText(texts.title));
    setAccessibleName(qtText(texts.title));
    setAutoFillBackground(true);
    QPalette colours = BrandStyle::palette(BrandStyle::currentAppearance());
    colours.setColor(QPalette::Window, BrandStyle::color(BrandColor::surface));
    setPalette(colours);

    // The title and the sentence; the buttons are the footer, always in view.
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(24, 24, 24, 0);
    column->setSpacing(16);
    auto* footer = new QWidget(this);
    auto* buttons = new QHBoxLayout(footer);
    buttons->setContentsMargins(24, 16, 24, 24);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    auto* symbol = new QLabel(this);
    symbol->setPixmap(SymbolIcons::tinted("exclamationmark.triangle.fill", symbolPixels,
                                          BrandStyle::color(BrandColor::errorText), devicePixelRatioF()));
    symbol->setFixedSize(symbolPixels, symbolPixels);
    hideFromAccessibility(*symbol);
    header->addWidget(symbol, 0, Qt::AlignTop);
    titleLabel = textLabel(texts.title, BrandFont::sectionTitle, BrandColor::textHeading, this);
    titleLabel->setObjectName(identifier + QStringLiteral(".title"));
    markAsHeading(*titleLabel);
    header->addWidget(titleLabel, 1);
    column->addLayout(header);

    messageLabel = textLabel(texts.message, BrandFont::body, BrandColor::textMuted, this);
    messageLabel->setObjectName(identifier + QStringLiteral(".message"));
    column->addWidget(messageLabel);

    buttons->addStretch(1);
    keep = answerButton(texts.keep, false, this);
    act = answerButton(texts.act, true, this);
    // Return reaches the default button, the safe one, even from the focused action: a
    // button that is not auto-default lets Return pass to the dialog.
    act->setAutoDefault(false);
    keep->setAutoDefault(true);
    keep->setDefault(true);
    buttons->addWidget(keep);
    buttons->addWidget(act);
    setParts(body, footer, questionWidth);
    setTabOrder(keep, act);

    connect(keep, &QPushButton::clicked, this, &QDialog::reject);
    connect(act, &QPushButton::clicked, this, &QDialog::accept);
}

QString DestructiveQuestion::title() const { return titleLabel->text(); }

QString DestructiveQuestion::message() const { return messageLabel->text(); }

QPushButton* DestructiveQuestion::defaultButton() const {
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->isDefault()) return button;
    }
    return nullptr;
}

void DestructiveQuestion::setVisible(bool visible) {
    // Sized to its texts and centred on its window as a sheet is.
    if (visible && !isVisible()) keep->setFocus(Qt::OtherFocusReason);
    Sheet::setVisible(visible);
}

}  // namespace marlowick::ui

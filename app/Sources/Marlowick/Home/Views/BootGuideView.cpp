#include "Home/Views/BootGuideView.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Text/PlatformWording.hpp"
#include "UI/Accessibility.hpp"

namespace marlowick {

std::string BootGuideView::stepLabel(std::size_t position) {
    return "Step " + std::to_string(position + 1) + ". " + std::string(steps.at(position));
}

BootGuideView::BootGuideView(QWidget& window, std::function<void()> onClose)
    : ui::Sheet(window, QStringLiteral("home.bootGuide.sheet")) {
    const views::SheetParts parts = views::sheetParts(*this, QStringLiteral("Boot from your drive"), sheetWidth);
    QVBoxLayout* column = parts.body;

    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(12);
    titleRow->addWidget(views::symbolLabel("power.circle.fill", 28, BrandColor::primary, this), 0, Qt::AlignVCenter);
    auto* title = views::styledLabel("Boot from your drive", BrandFont::sectionTitle, BrandColor::textHeading, this);
    title->setObjectName(QStringLiteral("home.bootGuide.title"));
    ui::markAsHeading(*title);
    titleRow->addWidget(title, 1);
    column->addLayout(titleRow);

    auto* stepColumn = new QVBoxLayout;
    stepColumn->setSpacing(12);
    QFont numberFont = BrandStyle::font(BrandFont::callout);
    numberFont.setBold(true);
    for (std::size_t position = 0; position < steps.size(); ++position) {
        auto* row = new QWidget(this);
        ui::identify(*row, "home.bootGuide.step." + std::to_string(position + 1), stepLabel(position));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(10);
        auto* number = views::styledLabel(std::to_string(position + 1), BrandFont::callout, BrandColor::primary, row);
        number->setFont(numberFont);
        number->setWordWrap(false);
        // Wide enough for any one digit, so the texts line up.
        number->setFixedWidth(QFontMetrics(numberFont).horizontalAdvance(QStringLiteral("8")) + 2);
        line->addWidget(number, 0, Qt::AlignTop);
        auto* text = views::styledLabel(steps[position], BrandFont::body, BrandColor::text, row);
        line->addWidget(text, 1);
        // The number sits on the first line's baseline: both fonts share it when their tops
        // line up and the number is the smaller, so it is lowered by the ascent difference.
        number->setContentsMargins(
            0, std::max(0, QFontMetrics(text->font()).ascent() - QFontMetrics(numberFont).ascent()), 0, 0);
        for (QWidget* child : row->findChildren<QWidget*>()) ui::hideFromAccessibility(*child);
        stepColumn->addWidget(row);
    }
    column->addLayout(stepColumn);

    auto* computersNote =
        views::styledLabel(PlatformWording::bootGuideComputersNote, BrandFont::callout, BrandColor::textMuted, this);
    computersNote->setObjectName(QStringLiteral("home.bootGuide.macNote"));
    column->addWidget(computersNote);
    column->addWidget(views::styledLabel("The exact boot-menu key varies by manufacturer \xE2\x80\x94 check the maker's "
                                         "support page if none of these work.",
                                         BrandFont::callout, BrandColor::textMuted, this));

    QHBoxLayout* closeRow = parts.footer;
    closeRow->addStretch(1);
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    ui::identify(*done, "home.bootGuide.close");
    views::applyButtonLook(*done, views::ButtonLook::borderedProminent);
    done->setDefault(true);
    closeRow->addWidget(done);
    fit();

    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, [action = std::move(onClose)](int) {
        if (action) action();
    });
}

}  // namespace marlowick

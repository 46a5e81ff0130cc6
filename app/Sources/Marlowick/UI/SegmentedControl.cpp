#include "UI/SegmentedControl.hpp"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>

#include "Design/BrandStyle.hpp"
#include "UI/PlainText.hpp"

namespace marlowick::ui {

SegmentedControl::SegmentedControl(const QString& identifier, const std::vector<std::string>& titles,
                                   QWidget* parent)
    : QWidget(parent), group(new QButtonGroup(this)) {
    setObjectName(identifier);
    group->setExclusive(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const QString selected = BrandStyle::color(BrandColor::primary).name();
    const QString border = BrandStyle::color(BrandColor::border).name();
    const QString surface = BrandStyle::color(BrandColor::surface).name();
    const QString text = BrandStyle::color(BrandColor::text).name();
    const QString heading = BrandStyle::color(BrandColor::textHeading).name();
    const QString chosenText = BrandStyle::fillTextColor(BrandColor::primary).name();
    for (std::size_t index = 0; index < titles.size(); ++index) {
        auto* button = new QPushButton(qtText(titles[index]), this);
        button->setObjectName(identifier + QLatin1Char('.') + qtText(titles[index]));
        button->setAccessibleName(qtText(titles[index]));
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setFont(BrandStyle::font(BrandFont::callout));
        button->setCursor(Qt::PointingHandCursor);
        const bool first = index == 0;
        const bool last = index + 1 == titles.size();
        const QString radius = QStringLiteral("border-top-left-radius: %1px; border-bottom-left-radius: %1px;"
                                              "border-top-right-radius: %2px; border-bottom-right-radius: %2px;")
                                   .arg(first ? 6 : 0)
                                   .arg(last ? 6 : 0);
        button->setStyleSheet(
            QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3; padding: 4px 14px; %4 }"
                           "QPushButton:checked { background: %5; color: %7; border-color: %5; }"
                           "QPushButton:focus { border: 2px solid %6; }")
                .arg(surface, text, border, radius, selected, heading, chosenText));
        group->addButton(button, static_cast<int>(index));
        row->addWidget(button);
        segments.push_back(button);
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int index) { emit chosen(index); });
}

int SegmentedControl::currentIndex() const { return group->checkedId(); }

void SegmentedControl::setCurrentIndex(int index) {
    const QSignalBlocker blocker(group);
    if (QAbstractButton* button = group->button(index)) button->setChecked(true);
}

QPushButton* SegmentedControl::segment(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < segments.size() ? segments[static_cast<std::size_t>(index)]
                                                                            : nullptr;
}

}  // namespace marlowick::ui

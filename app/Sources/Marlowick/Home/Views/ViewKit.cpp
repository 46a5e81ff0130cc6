#include "Home/Views/ViewKit.hpp"

#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QUrl>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Design/SymbolIcons.hpp"
#include "Home/HomeAccessibility.hpp"
#include "Home/Views/ViewElements.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"

namespace marlowick::viewkit {
namespace {

QString rgba(const QColor& color) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF(), 'f', 3));
}

QString prominentStyle(BrandColor tint) {
    const QColor fill = BrandStyle::color(tint);
    const QColor pressed = fill.darker(115);
    const QColor ring = BrandStyle::color(BrandColor::textHeading);
    return QStringLiteral(
               "QPushButton { background: %1; color: %6; border: 2px solid %1; border-radius: 8px;"
               " padding: 6px 18px; }"
               "QPushButton:pressed { background: %2; border-color: %2; }"
               "QPushButton:focus { border: 2px solid %3; }"
               "QPushButton:disabled { background: %4; border-color: transparent; color: %5; }")
        .arg(fill.name(), pressed.name(), ring.name(), rgba(BrandStyle::color(BrandColor::textSubtle, 0.25)),
             BrandStyle::color(BrandColor::textSubtle).name(), BrandStyle::fillTextColor(tint).name());
}

}  // namespace

QPushButton* linkButton(std::string_view title, BrandFont font, BrandColor tint, QWidget* parent) {
    auto* button = new QPushButton(ui::qtText(title), parent);
    button->setFont(BrandStyle::font(font));
    button->setCursor(Qt::PointingHandCursor);
    button->setFlat(true);
    button->setAutoDefault(false);
    const QColor color = BrandStyle::textColor(tint);
    button->setStyleSheet(QStringLiteral("QPushButton { border: 1px solid transparent; border-radius: 4px;"
                                         " padding: 2px 4px; color: %1; background: transparent; }"
                                         "QPushButton:focus { border: 1px solid %1; }"
                                         "QPushButton:hover { text-decoration: underline; }"
                                         "QPushButton:disabled { color: %2; }")
                              .arg(color.name(), BrandStyle::color(BrandColor::textSubtle).name()));
    return button;
}

QPushButton* prominentButton(std::string_view title, BrandColor tint, QWidget* parent) {
    auto* button = new QPushButton(ui::qtText(title), parent);
    button->setFont(BrandStyle::font(BrandFont::body));
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    button->setMinimumHeight(34);
    setProminentTint(*button, tint);
    return button;
}

void setProminentTint(QPushButton& button, BrandColor tint) { button.setStyleSheet(prominentStyle(tint)); }

QPushButton* borderedButton(std::string_view title, QWidget* parent) {
    auto* button = new QPushButton(ui::qtText(title), parent);
    button->setFont(BrandStyle::font(BrandFont::body));
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    button->setMinimumHeight(34);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3;"
                                         " border-radius: 8px; padding: 6px 18px; }"
                                         "QPushButton:pressed { background: %4; }"
                                         "QPushButton:focus { border: 2px solid %5; }"
                                         "QPushButton:disabled { color: %6; }")
                              .arg(BrandStyle::color(BrandColor::surface).name(),
                                   BrandStyle::color(BrandColor::textHeading).name(),
                                   BrandStyle::color(BrandColor::border).name(),
                                   BrandStyle::color(BrandColor::surfaceSunken).name(),
                                   BrandStyle::color(BrandColor::primary).name(),
                                   BrandStyle::color(BrandColor::textSubtle).name()));
    return button;
}

QVBoxLayout* screenColumn(QWidget& screen) {
    auto* outer = new QVBoxLayout(&screen);
    // The brand header's strip above the screen keeps it apart from the top edge.
    outer->setContentsMargins(40, 0, 40, 40);
    outer->setSpacing(0);
    outer->addStretch(1);
    outer->addSpacing(24);
    auto* column = new QVBoxLayout;
    column->setSpacing(24);
    outer->addLayout(column);
    outer->addSpacing(24);
    outer->addStretch(1);
    return column;
}

void addCentred(QBoxLayout& column, QWidget* widget) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addStretch(1);
    row->addWidget(widget);
    row->addStretch(1);
    column.addLayout(row);
}

CheckBoxCaption::CheckBoxCaption(QCheckBox& toggled, QWidget* parent) : QLabel(parent), box(&toggled) {
    setWordWrap(true);
    ui::hideFromAccessibility(*this);
}

void CheckBoxCaption::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) box->click();
}

QHBoxLayout* captionedCheckBox(QCheckBox& box, std::string_view caption, BrandFont font, BrandColor color) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto* label = new CheckBoxCaption(box, box.parentWidget());
    label->setObjectName(box.objectName() + QStringLiteral(".caption"));
    ui::setPlainText(*label, caption);
    label->setFont(BrandStyle::font(font));
    views::setTextColor(*label, color);
    box.setAccessibleName(ui::qtText(caption));
    row->addWidget(&box, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    return row;
}

Note::Note(const std::string& identifier, std::string_view symbolName, BrandColor color,
           const TextBackground& background, QWidget* parent)
    : QWidget(parent) {
    setObjectName(ui::qtText(identifier));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(views::symbolLabel(symbolName, 12, color, this), 0, Qt::AlignTop);
    label = views::styledLabel("", BrandFont::caption, color, this, background);
    ui::hideFromAccessibility(*label);
    row->addWidget(label, 1);
}

void Note::setText(const std::string& value) {
    ui::setPlainText(*label, value);
    setAccessibleName(ui::qtText(value));
}

QString Note::text() const { return label->text(); }

bool isOpenableAddress(const std::string& address) {
    const QUrl url(ui::qtText(address), QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

QPushButton* sourceLink(const std::string& address, BrandFont font, QWidget* parent) {
    if (!isOpenableAddress(address)) return nullptr;
    QPushButton* link = linkButton("View source", font, BrandColor::primary, parent);
    link->setAccessibleName(QStringLiteral("View source"));
    link->setAccessibleDescription(ui::qtText(HomeAccessibility::gplSourceLinkHint));
    link->setToolTip(ui::qtText(address));
    const QUrl url(ui::qtText(address), QUrl::StrictMode);
    QObject::connect(link, &QPushButton::clicked, link, [url] { QDesktopServices::openUrl(url); });
    return link;
}

}  // namespace marlowick::viewkit

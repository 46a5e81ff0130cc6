#include "Home/Views/DriveContextViews.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "Design/BrandCard.hpp"
#include "Design/BrandStyle.hpp"
#include "Design/SymbolIcons.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Image/ByteCountText.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"
#include "UI/Popover.hpp"

namespace marlowick {
namespace {

constexpr int chipPaddingX = 8;
constexpr int chipPaddingY = 3;
constexpr int chipIconGap = 4;

// A chip stands in a drive card, on a capsule of its own colour.
TextBackground chipBackground(BrandColor color) { return {BrandColor::surfaceSunken, color, 0.14}; }

}  // namespace

StatusChip::StatusChip(DriveContextStatus status, QWidget* parent) : QWidget(parent), shown(std::move(status)) {
    setFont(BrandStyle::font(BrandFont::caption));
    setAccessibleName(ui::qtText(shown.label));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusChip::setStatus(DriveContextStatus status) {
    if (status == shown) return;
    shown = std::move(status);
    setAccessibleName(ui::qtText(shown.label));
    updateGeometry();
    update();
}

QSize StatusChip::sizeHint() const {
    const QFontMetrics metrics(font());
    const int iconSize = metrics.height();
    return {chipPaddingX * 2 + iconSize + chipIconGap + metrics.horizontalAdvance(ui::qtText(shown.label)),
            chipPaddingY * 2 + metrics.height()};
}

void StatusChip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = BrandStyle::color(shown.color);
    QColor capsule = color;
    capsule.setAlphaF(0.14f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(capsule);
    painter.drawRoundedRect(rect(), height() / 2.0, height() / 2.0);
    const QFontMetrics metrics(font());
    const int iconSize = metrics.height();
    const QPixmap icon = SymbolIcons::tinted(shown.symbol, iconSize, color, devicePixelRatioF());
    painter.drawPixmap(QRect(chipPaddingX, (height() - iconSize) / 2, iconSize, iconSize), icon);
    painter.setPen(BrandStyle::textColor(shown.color, chipBackground(shown.color)));
    painter.drawText(QRect(chipPaddingX + iconSize + chipIconGap, 0, width(), height()),
                     Qt::AlignVCenter | Qt::AlignLeft, ui::qtText(shown.label));
}

DriveContextHeader::DriveContextHeader(const std::string& deviceName, std::int64_t capacityBytes,
                                       DriveContextStatus status, QWidget* parent)
    : QWidget(parent) {
    const std::string size = driveSizeText(capacityBytes);
    ui::identify(*this, "home.driveContext", deviceName + ", " + size + ", " + status.label);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    row->addWidget(views::symbolLabel("externaldrive.fill", 18, BrandColor::primary, this), 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    // One line: a long name is cut with an ellipsis rather than pushing the chip away.
    auto* name = new views::ElidedLabel(ui::qtText(deviceName), BrandFont::cardTitle, BrandColor::textHeading, this,
                                        Qt::ElideRight);
    name->setObjectName(QStringLiteral("home.driveContext.name"));
    name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* capacity = views::styledLabel(size, BrandFont::callout, BrandColor::textMuted, this);
    capacity->setObjectName(QStringLiteral("home.driveContext.size"));
    texts->addWidget(name);
    texts->addWidget(capacity);
    row->addLayout(texts, 1);
    row->addSpacing(8);
    auto* chip = new StatusChip(std::move(status), this);
    chip->setObjectName(QStringLiteral("home.driveContext.status"));
    row->addWidget(chip, 0, Qt::AlignVCenter);

    // One element for assistive technology: name, size and status, read together.
    for (QWidget* child : findChildren<QWidget*>()) ui::hideFromAccessibility(*child);
}

void DriveContextHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintRoundedBox(painter, rect(), 12, BrandStyle::color(BrandColor::surfaceSunken));
}

std::string LargeDriveCautionBanner::text(std::int64_t capacityBytes) {
    return "This is a large drive (" + driveSizeText(capacityBytes) +
           ") — make sure it's the USB stick you meant to erase, not an external disk.";
}

LargeDriveCautionBanner::LargeDriveCautionBanner(std::int64_t capacityBytes, const std::string& accessibilityID,
                                                 QWidget* parent)
    : QWidget(parent) {
    const std::string message = text(capacityBytes);
    ui::identify(*this, accessibilityID, message);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(8);
    row->addWidget(views::symbolLabel("exclamationmark.triangle.fill", 16, BrandColor::warningText, this), 0, Qt::AlignTop);
    auto* label = views::styledLabel(message, BrandFont::callout, BrandColor::text, this);
    ui::hideFromAccessibility(*label);
    row->addWidget(label, 1);
}

void LargeDriveCautionBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(BrandStyle::color(BrandColor::warningText, 0.12));
    painter.drawRoundedRect(rect(), 10, 10);
}

InfoHint::InfoHint(const std::string& label, const std::string& help, QWidget* parent)
    : QToolButton(parent), labelText(ui::qtText(label)), helpText(ui::qtText(help)) {
    ui::identify(*this, "options.info." + label, label + " — more info", help);
    setToolTip(helpText);
    setAutoRaise(true);
    setFixedSize(22, 22);
    setIcon(QIcon(SymbolIcons::tinted("info.circle", 14, BrandStyle::color(BrandColor::textSubtle), devicePixelRatioF())));
    setIconSize(QSize(14, 14));
    setCursor(Qt::PointingHandCursor);
    connect(this, &QToolButton::clicked, this, [this] {
        auto* popover = new ui::Popover(*this, QStringLiteral("options.info.popover"), labelText, helpText, 280);
        popover->present();
    });
}

StateInfoLink::StateInfoLink(StateDetail detail, QWidget* parent)
    : QPushButton(QStringLiteral("What does this mean?"), parent), shown(std::move(detail)) {
    ui::identify(*this, "home.stateInfo", "What does this mean?",
                 "Explains this drive state and what the action will do.");
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setFont(BrandStyle::font(BrandFont::callout));
    setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; color: %1; text-align: left; }")
                      .arg(BrandStyle::color(BrandColor::primary).name()));
    connect(this, &QPushButton::clicked, this, [this] {
        auto* popover = new ui::Popover(*this, QStringLiteral("home.stateInfo.popover"), ui::qtText(shown.title),
                                        ui::qtText(shown.body), 300);
        popover->present();
    });
}

}  // namespace marlowick

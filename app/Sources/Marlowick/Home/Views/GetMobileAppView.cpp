#include "Home/Views/GetMobileAppView.hpp"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Design/QRCode.hpp"
#include "Design/StudioLinks.hpp"
#include "Design/SymbolIcons.hpp"
#include "Home/HomeAccessibility.hpp"
#include "Home/Views/ViewElements.hpp"
#include "UI/Accessibility.hpp"
#include "UI/BrandHeader.hpp"
#include "UI/PlainText.hpp"

namespace marlowick {
namespace {

constexpr std::string_view linkHint = "Opens the Marlowick for iPhone and Android download page in your browser.";
constexpr int platePadding = 10;
constexpr int focusRingRoom = 3;  // around the plate, so the focus ring is not cut off

const QColor inkColor(0x13, 0x1B, 0x27);
const QColor eyeColor(0x00, 0x6A, 0xC5);
const QColor markColor(0xDA, 0x8A, 0x11);

void openAppPage() {
    QDesktopServices::openUrl(StudioLinks::getMobileApp());
}

QWidget* featureRow(const HomeAccessibility::MobileAppFeature& feature, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(ui::qtText("home.done.getApp.feature." + std::string(feature.title)));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    auto* symbol = views::symbolLabel(feature.symbol, 13, BrandColor::accent, row);
    symbol->setFixedWidth(18);
    symbol->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    line->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* title = views::styledLabel(feature.title, BrandFont::callout, BrandColor::text, row);
    QFont titleFont = title->font();
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    texts->addWidget(title);
    texts->addWidget(views::styledLabel(feature.detail, BrandFont::caption, BrandColor::textMuted, row));
    line->addLayout(texts, 1);
    return row;
}

}  // namespace

std::string_view GetMobileAppView::title(bool continueOnPhone) {
    return continueOnPhone ? "Next: continue on your phone" : "Marlowick for your phone";
}

std::string_view GetMobileAppView::body(bool continueOnPhone) {
    return continueOnPhone
               ? "Your drive is ready. Scan the code to get Marlowick for iPhone or Android, pick Linux distros and "
                 "rescue tools from the catalog, and copy them onto this drive."
               : "For iPhone and Android, on the App Store and Google Play. Scan the code to get it.";
}

std::string GetMobileAppView::accessibilityLabel(bool continueOnPhone) {
    const std::string_view first =
        continueOnPhone ? "Next, continue on your phone. Your drive is ready: scan the QR code, or open the link below, "
                          "to get Marlowick for iPhone or Android."
                        : "Marlowick for your phone, for iPhone and Android, on the App Store and Google Play. Scan "
                          "the QR code, or open the link below.";
    return std::string(first) + " " + HomeAccessibility::getMobileAppFeaturesLabel();
}

QString GetMobileAppView::linkText() {
    const QUrl& address = StudioLinks::getMobileApp();
    return address.host() + address.path();
}

QImage GetMobileAppView::tintedMark(int pixels) {
    return brandMarkImage(pixels, markColor);
}

QImage GetMobileAppView::qrImage(std::string_view text, const QImage& logo) {
    QImage styled = QRCode::styledImage(text, 444, inkColor, eyeColor, logo);
    if (!styled.isNull()) return styled;
    return QRCode::plainImage(text, 296);
}

const QImage& GetMobileAppView::appLinkQRCode() {
    static const QImage code = [] {
        const QByteArray address = StudioLinks::getMobileApp().toString(QUrl::FullyEncoded).toUtf8();
        return qrImage(std::string_view(address.constData(), static_cast<std::size_t>(address.size())), tintedMark(111));
    }();
    return code;
}

QRCodeLinkButton::QRCodeLinkButton(QImage code, QWidget* parent) : QAbstractButton(parent), picture(std::move(code)) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize QRCodeLinkButton::sizeHint() const {
    const int side = GetMobileAppView::codeSide + 2 * platePadding + 2 * focusRingRoom;
    return {side, side};
}

QRect QRCodeLinkButton::plateRect() const {
    const int side = GetMobileAppView::codeSide + 2 * platePadding;
    return {(width() - side) / 2, (height() - side) / 2, side, side};
}

void QRCodeLinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect plate = plateRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(plate), 12, 12);
    const QRect codeRect = plate.adjusted(platePadding, platePadding, -platePadding, -platePadding);
    if (!picture.isNull()) {
        painter.drawImage(codeRect, picture);
    } else {
        const int symbolSide = 84;
        const QRect symbolRect(codeRect.center().x() - symbolSide / 2 + 1, codeRect.center().y() - symbolSide / 2 + 1,
                               symbolSide, symbolSide);
        painter.drawPixmap(symbolRect, SymbolIcons::tinted("qrcode", symbolSide, Qt::black, devicePixelRatioF()));
    }
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(BrandStyle::color(BrandColor::primary), 2));
        painter.drawRoundedRect(QRectF(plate).adjusted(-2, -2, 2, 2), 14, 14);
    }
}

GetMobileAppView::GetMobileAppView(bool continueOnPhone, QWidget* parent) : QWidget(parent) {
    ui::identify(*this, "home.done.getApp", accessibilityLabel(continueOnPhone));
    setFixedWidth(panelWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(22, 28, 22, 28);
    column->setSpacing(20);

    auto* code = new QRCodeLinkButton(appLinkQRCode(), this);
    ui::identify(*code, "home.done.getApp.qr", linkText().toStdString(), linkHint);
    code->setToolTip(ui::qtText(linkHint));
    connect(code, &QAbstractButton::clicked, this, openAppPage);
    column->addWidget(code);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(6);
    auto* titleLabel = views::styledLabel(title(continueOnPhone), BrandFont::cardTitle, BrandColor::textHeading, this);
    titleLabel->setObjectName(QStringLiteral("home.done.getApp.title"));
    heading->addWidget(titleLabel);
    auto* bodyLabel = views::styledLabel(body(continueOnPhone), BrandFont::callout, BrandColor::textMuted, this);
    bodyLabel->setObjectName(QStringLiteral("home.done.getApp.body"));
    heading->addWidget(bodyLabel);
    column->addLayout(heading);

    auto* features = new QVBoxLayout;
    features->setSpacing(14);
    for (const auto& feature : HomeAccessibility::getMobileAppFeatures) features->addWidget(featureRow(feature, this));
    column->addLayout(features);

    auto* link = new QPushButton(linkText(), this);
    ui::identify(*link, "home.done.getApp.link", linkText().toStdString(), linkHint);
    // The brand palette's link colour.
    views::applyButtonLook(*link, views::ButtonLook::plain, BrandFont::caption, BrandColor::primary);
    connect(link, &QPushButton::clicked, this, openAppPage);
    column->addWidget(link, 0, Qt::AlignLeft);
    column->addStretch(1);
    // Never shorter than its wrapped texts need at its width: the window keeps room for it.
    setMinimumHeight(column->totalHeightForWidth(panelWidth));

    // Everything but the two links is read as part of the panel's label.
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child != code && child != link) ui::hideFromAccessibility(*child);
    }
}

void GetMobileAppView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The platform has no material: the surface colour, slightly see-through over the backdrop.
    painter.fillRect(rect(), BrandStyle::color(BrandColor::surface, 0.82));
    painter.fillRect(QRect(0, 0, 1, height()), BrandStyle::color(BrandColor::border));
}

}  // namespace marlowick

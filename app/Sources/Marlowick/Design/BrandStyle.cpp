#include "Design/BrandStyle.hpp"

#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

namespace marlowick::BrandStyle {
namespace {

QFont::Weight qtWeight(BrandFontWeight weight) {
    switch (weight) {
        case BrandFontWeight::regular: return QFont::Normal;
        case BrandFontWeight::semibold: return QFont::DemiBold;
        case BrandFontWeight::bold: return QFont::Bold;
        case BrandFontWeight::heavy: return QFont::Black;
    }
    return QFont::Normal;
}

}  // namespace

Appearance currentAppearance() {
    const QByteArray forced = qgetenv("MARLOWICK_APPEARANCE");
    if (forced == "dark") return Appearance::dark;
    if (forced == "light") return Appearance::light;
    return appearanceOf(QGuiApplication::palette());
}

Appearance appearanceOf(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128 ? Appearance::dark : Appearance::light;
}

QColor hexColor(std::string_view text) {
    const HexColor parsed = parseHexColor(text);
    if (!parsed.valid) return QColor::fromRgbF(0.5f, 0.5f, 0.5f, 1.0f);
    return QColor(parsed.red, parsed.green, parsed.blue);
}

QColor color(BrandColor role, Appearance appearance) { return hexColor(brandColorHex(role, appearance)); }

QColor color(BrandColor role) { return color(role, currentAppearance()); }

QColor color(BrandColor role, double opacity) {
    QColor value = color(role);
    value.setAlphaF(static_cast<float>(opacity));
    return value;
}

namespace {

QColor qtColor(const HexColor& color) { return {color.red, color.green, color.blue}; }

}  // namespace

QColor textColor(BrandColor wanted, const TextBackground& background, TextSize size) {
    return qtColor(BrandText::textColor(wanted, background, currentAppearance(), size));
}

QColor fillTextColor(BrandColor fill) { return qtColor(BrandText::fillTextColor(fill, currentAppearance())); }

QFont font(BrandFont style) {
    const BrandFontValues& values = brandFontValues(style);
    QFont value(QString::fromUtf8(brandFontFamily.data(), static_cast<qsizetype>(brandFontFamily.size())));
    value.setPixelSize(values.pixelSize);
    value.setWeight(qtWeight(values.weight));
    value.setStyleHint(QFont::SansSerif);
    return value;
}

QFont monospacedFont(int pixelSize) {
    QFont value(QString::fromUtf8(brandMonospacedFamily.data(), static_cast<qsizetype>(brandMonospacedFamily.size())));
    value.setPixelSize(pixelSize);
    value.setStyleHint(QFont::Monospace);
    value.setFixedPitch(true);
    return value;
}

QPalette palette(Appearance appearance) {
    const auto c = [appearance](BrandColor role) { return color(role, appearance); };
    QPalette value;
    value.setColor(QPalette::Window, c(BrandColor::bg));
    value.setColor(QPalette::Base, c(BrandColor::surface));
    value.setColor(QPalette::AlternateBase, c(BrandColor::surfaceSunken));
    value.setColor(QPalette::Button, c(BrandColor::surface));
    value.setColor(QPalette::WindowText, c(BrandColor::text));
    value.setColor(QPalette::Text, c(BrandColor::text));
    value.setColor(QPalette::ButtonText, c(BrandColor::textHeading));
    value.setColor(QPalette::PlaceholderText, c(BrandColor::textSubtle));
    value.setColor(QPalette::ToolTipBase, c(BrandColor::surface));
    value.setColor(QPalette::ToolTipText, c(BrandColor::text));
    value.setColor(QPalette::Link, c(BrandColor::primary));
    value.setColor(QPalette::LinkVisited, c(BrandColor::primary));
    value.setColor(QPalette::Highlight, c(BrandColor::primary));
    value.setColor(QPalette::HighlightedText, qtColor(BrandText::fillTextColor(BrandColor::primary, appearance)));
    value.setColor(QPalette::Mid, c(BrandColor::border));
    value.setColor(QPalette::Light, c(BrandColor::surface));
    value.setColor(QPalette::Dark, c(BrandColor::border));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        value.setColor(QPalette::Disabled, role, c(BrandColor::textSubtle));
    }
    return value;
}

void styleText(QWidget& widget, BrandFont font, BrandColor color, const TextBackground& background) {
    widget.setFont(BrandStyle::font(font));
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, textColor(color, background));
    palette.setColor(QPalette::Text, textColor(color, background));
    palette.setColor(QPalette::Link, BrandStyle::color(BrandColor::primary));
    widget.setPalette(palette);
}

}  // namespace marlowick::BrandStyle

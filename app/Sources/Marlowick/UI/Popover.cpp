#include "UI/Popover.hpp"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"

namespace marlowick::ui {

Popover::Popover(QWidget& anchor, const QString& identifier, const QString& title, const QString& body, int width)
    : QFrame(&anchor, Qt::Popup), anchorWidget(&anchor) {
    setObjectName(identifier);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedWidth(width);
    setAutoFillBackground(true);
    QPalette palette = BrandStyle::palette(BrandStyle::currentAppearance());
    palette.setColor(QPalette::Window, BrandStyle::color(BrandColor::surface));
    setPalette(palette);
    setFrameShape(QFrame::StyledPanel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(8);
    auto* heading = new QLabel(title, this);
    heading->setObjectName(identifier + QStringLiteral(".title"));
    heading->setTextFormat(Qt::PlainText);
    heading->setFont(BrandStyle::font(BrandFont::cardTitle));
    heading->setAccessibleDescription(QStringLiteral("heading"));
    QPalette headingPalette = heading->palette();
    headingPalette.setColor(QPalette::WindowText, BrandStyle::color(BrandColor::textHeading));
    heading->setPalette(headingPalette);
    auto* text = new QLabel(body, this);
    text->setObjectName(identifier + QStringLiteral(".body"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setFont(BrandStyle::font(BrandFont::callout));
    QPalette textPalette = text->palette();
    textPalette.setColor(QPalette::WindowText, BrandStyle::color(BrandColor::textMuted));
    text->setPalette(textPalette);
    column->addWidget(heading);
    column->addWidget(text);
}

void Popover::present() {
    adjustSize();
    const QPoint anchorTop = anchorWidget->mapToGlobal(QPoint(anchorWidget->width() / 2, 0));
    QPoint topLeft(anchorTop.x() - width() / 2, anchorTop.y() - height() - 4);
    const QScreen* screen = anchorWidget->screen();
    if (screen != nullptr && topLeft.y() < screen->availableGeometry().top()) {
        topLeft.setY(anchorWidget->mapToGlobal(QPoint(0, anchorWidget->height())).y() + 4);
    }
    move(topLeft);
    show();
}

}  // namespace marlowick::ui

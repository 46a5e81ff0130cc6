#include "UI/Popover.hpp"

#include <algorithm>

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
    // As tall as its wrapped text needs at its fixed width (a wrapping label's own size hint
    // is measured at a width of its choosing, and its lines would be cut at this one).
    layout()->activate();
    setFixedHeight(layout()->totalHeightForWidth(width()));
    const QPoint anchorTop = anchorWidget->mapToGlobal(QPoint(anchorWidget->width() / 2, 0));
    QPoint topLeft(anchorTop.x() - width() / 2, anchorTop.y() - height() - 4);
    if (const QScreen* screen = anchorWidget->screen()) {
        // Above the anchor, below it when there is no room above; inside the screen either way.
        const QRect room = screen->availableGeometry();
        if (topLeft.y() < room.top()) topLeft.setY(anchorWidget->mapToGlobal(QPoint(0, anchorWidget->height())).y() + 4);
        topLeft.setX(std::clamp(topLeft.x(), room.left(), std::max(room.left(), room.right() + 1 - width())));
        topLeft.setY(std::clamp(topLeft.y(), room.top(), std::max(room.top(), room.bottom() + 1 - height())));
    }
    move(topLeft);
    show();
}

}  // namespace marlowick::ui

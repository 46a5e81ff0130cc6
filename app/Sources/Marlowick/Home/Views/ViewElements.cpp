#include "Home/Views/ViewElements.hpp"

#include <algorithm>

#include <QLayout>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QPaintEvent>

#include "Design/BrandCard.hpp"
#include "Design/BrandStyle.hpp"
#include "Design/SymbolIcons.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"
#include "UI/Sheet.hpp"

namespace marlowick::views {

QLabel* styledLabel(std::string_view text, BrandFont font, BrandColor color, QWidget* parent,
                    const TextBackground& background) {
    auto* label = ui::plainTextLabel(text, parent);
    label->setFont(BrandStyle::font(font));
    setTextColor(*label, color, background);
    return label;
}

void setTextColor(QWidget& widget, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    // Inside a button a label draws in the button text role.
    palette.setColor(QPalette::ButtonText, color);
    widget.setPalette(palette);
}

void setTextColor(QWidget& widget, BrandColor color, const TextBackground& background) {
    setTextColor(widget, BrandStyle::textColor(color, background));
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette colour = line->palette();
    colour.setColor(QPalette::Window, BrandStyle::color(BrandColor::border));
    line->setPalette(colour);
    ui::hideFromAccessibility(*line);
    return line;
}

QLabel* symbolLabel(std::string_view symbol, int pixels, BrandColor color, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(SymbolIcons::tinted(symbol, pixels, BrandStyle::color(color), label->devicePixelRatioF()));
    label->setProperty(symbolProperty, ui::qtText(symbol));
    label->setFixedSize(pixels, pixels);
    label->setAlignment(Qt::AlignCenter);
    ui::hideFromAccessibility(*label);
    return label;
}

QProgressBar* flatBar(int height, BrandColor track, int steps, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, steps);
    bar->setTextVisible(false);
    bar->setFixedHeight(height);
    bar->setStyleSheet(QStringLiteral("QProgressBar { background: %1; border: none; border-radius: %3px; }"
                                      "QProgressBar::chunk { background: %2; border-radius: %3px; }")
                           .arg(BrandStyle::color(track).name(), BrandStyle::color(BrandColor::primary).name())
                           .arg(height / 2));
    return bar;
}

ElidedLabel::ElidedLabel(QString text, BrandFont font, BrandColor textColor, QWidget* parent, Qt::TextElideMode mode)
    : QWidget(parent), fullText(std::move(text)), color(textColor), elideMode(mode) {
    setFont(BrandStyle::font(font));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(fullText, elideMode, width());
}

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(fullText) + 1, fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("W\u2026W")), fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(BrandStyle::color(color));
    painter.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft, shownText());
}

SheetParts sheetParts(ui::Sheet& sheet, const QString& title, int width) {
    sheet.setWindowTitle(title);
    sheet.setAutoFillBackground(true);
    QPalette colours = sheet.palette();
    colours.setColor(QPalette::Window, BrandStyle::color(BrandColor::surface));
    sheet.setPalette(colours);
    auto* body = new QWidget(&sheet);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(24, 24, 24, 0);
    column->setSpacing(16);
    auto* footer = new QWidget(&sheet);
    auto* buttons = new QHBoxLayout(footer);
    buttons->setContentsMargins(24, 16, 24, 24);
    sheet.setParts(body, footer, width);
    return {column, buttons};
}

RoundedBox::RoundedBox(BrandColor fillColor, double cornerRadius, QWidget* parent)
    : QWidget(parent), fill(fillColor), radius(cornerRadius) {}

void RoundedBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintRoundedBox(painter, rect(), radius, BrandStyle::color(fill));
}

QVBoxLayout* driveCardColumn(QWidget& owner, int spacing) {
    owner.setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* outer = new QVBoxLayout(&owner);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new RoundedBox(BrandColor::surfaceSunken, 12, &owner);
    outer->addWidget(card);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(spacing);
    return column;
}

void applyButtonLook(QPushButton& button, ButtonLook look, BrandFont font, BrandColor color, bool semibold) {
    QFont face = BrandStyle::font(font);
    if (semibold) face.setWeight(QFont::DemiBold);
    button.setFont(face);
    button.setCursor(Qt::PointingHandCursor);
    const QString focus = BrandStyle::color(BrandColor::primary).name();
    QString sheet;
    switch (look) {
    case ButtonLook::bordered:
        sheet = QStringLiteral(
                    "QPushButton { background: %1; color: %2; border: 1px solid %3; border-radius: 6px;"
                    " padding: 6px 16px; }"
                    "QPushButton:hover { background: %4; }"
                    "QPushButton:pressed { background: %3; }"
                    "QPushButton:focus { border: 2px solid %5; padding: 5px 15px; }")
                    .arg(BrandStyle::color(BrandColor::surface).name(), BrandStyle::textColor(color).name(),
                         BrandStyle::color(BrandColor::border).name(), BrandStyle::color(BrandColor::bg).name(), focus);
        break;
    case ButtonLook::borderedProminent: {
        const QColor fill = BrandStyle::color(BrandColor::primary);
        sheet = QStringLiteral(
                    "QPushButton { background: %1; color: %5; border: 1px solid %1; border-radius: 6px;"
                    " padding: 6px 18px; }"
                    "QPushButton:hover { background: %2; }"
                    "QPushButton:pressed { background: %3; }"
                    "QPushButton:focus { border: 2px solid %4; padding: 5px 17px; }")
                    .arg(fill.name(), fill.lighter(110).name(), fill.darker(115).name(),
                         BrandStyle::color(BrandColor::textHeading).name(),
                         BrandStyle::fillTextColor(BrandColor::primary).name());
        break;
    }
    case ButtonLook::plain:
        sheet = QStringLiteral(
                    "QPushButton { background: transparent; color: %1; border: 1px solid transparent;"
                    " border-radius: 4px; padding: 1px 3px; text-align: left; }"
                    "QPushButton:focus { border: 1px solid %2; }")
                    .arg(BrandStyle::textColor(color).name(), focus);
        break;
    }
    button.setStyleSheet(sheet);
}

void setSymbol(QAbstractButton& button, std::string_view symbol, int pixels, const QColor& color) {
    button.setIcon(QIcon(SymbolIcons::tinted(symbol, pixels, color, button.devicePixelRatioF())));
    button.setIconSize(QSize(pixels, pixels));
}

RowButton::RowButton(BrandColor fillColor, double cornerRadius, QWidget* parent)
    : QAbstractButton(parent), fill(fillColor), radius(cornerRadius) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void RowButton::finishChildren() {
    for (QWidget* child : findChildren<QWidget*>()) child->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void RowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor background = BrandStyle::color(fill);
    if (isDown()) background = background.darker(106);
    else if (underMouse()) background = background.darker(103);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(BrandStyle::color(BrandColor::primary), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }
}

BoundedScrollArea::BoundedScrollArea(int maximumHeight, bool horizontal, QWidget* parent)
    : QScrollArea(parent), limit(maximumHeight), sideways(horizontal) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(!horizontal);
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    // Thin bars in the brand's subtle colour, on no track of their own.
    const QString handle = BrandStyle::color(BrandColor::textSubtle, 0.55).name(QColor::HexArgb);
    setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"
                                 "QScrollBar:vertical { background: transparent; width: 8px; margin: 0; }"
                                 "QScrollBar:horizontal { background: transparent; height: 8px; margin: 0; }"
                                 "QScrollBar::handle { background: %1; border-radius: 4px; }"
                                 "QScrollBar::handle:vertical { min-height: 24px; }"
                                 "QScrollBar::handle:horizontal { min-width: 24px; }"
                                 "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
                                 "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"
                                 "QAbstractScrollArea::corner { background: transparent; border: none; }")
                      .arg(handle));
}

void BoundedScrollArea::setContent(QWidget* content) {
    setWidget(content);
    content->setAutoFillBackground(false);
}

int BoundedScrollArea::contentHeight() const {
    const QWidget* content = widget();
    if (content == nullptr) return 0;
    int height = 0;
    if (sideways) {
        height = content->sizeHint().height();
        // The sideways bar takes room below the content when the content is wider.
        if (content->sizeHint().width() > width()) height += horizontalScrollBar()->sizeHint().height();
    } else {
        // Measured as if the scroll bar showed: a height that fits only without it would
        // bring the bar in, narrow the content and make it taller than the area.
        const int available = std::max(1, width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width());
        height = content->hasHeightForWidth() ? content->heightForWidth(available) : content->sizeHint().height();
    }
    return std::min(limit, height + 2 * frameWidth());
}

QSize BoundedScrollArea::sizeHint() const {
    const QWidget* content = widget();
    const int contentWidth = content == nullptr ? 0 : content->sizeHint().width();
    return {sideways ? std::min(contentWidth, 400) : contentWidth, contentHeight()};
}

QSize BoundedScrollArea::minimumSizeHint() const {
    return {0, contentHeight()};
}

void BoundedScrollArea::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    // A wrapping text is taller at a narrower width: ask the layout again.
    if (contentHeight() != height()) updateGeometry();
}

}  // namespace marlowick::views

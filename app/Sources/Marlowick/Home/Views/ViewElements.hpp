#pragma once
// The small pieces the home screen's views are built from, each in the brand style: labels
// in a brand font and colour (always plain text), symbols beside text (decoration), a
// one-line label cut in the middle, rounded rows, and the looks of the few kinds of
// button. Colours are resolved for the appearance in force when the piece is made.

#include <string_view>

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Design/BrandColor.hpp"
#include "Design/BrandFont.hpp"
#include "Design/BrandText.hpp"

namespace marlowick::ui {
class Sheet;
}

namespace marlowick::views {

// Between the parts of a detail line: a blank, U+00B7 MIDDLE DOT, a blank.
inline constexpr std::string_view middleDot = " \xC2\xB7 ";

// A 1-pixel line across, in the border colour; decoration.
[[nodiscard]] QFrame* divider(QWidget* parent);

// A word-wrapping label showing `text` as plain text in `font` and `color` (the colour the
// brand draws `color` text in on `background`: a card or sheet unless said otherwise).
[[nodiscard]] QLabel* styledLabel(std::string_view text, BrandFont font, BrandColor color, QWidget* parent,
                                  const TextBackground& background = {});
void setTextColor(QWidget& widget, const QColor& color);
void setTextColor(QWidget& widget, BrandColor color, const TextBackground& background = {});

// A symbol `pixels` square tinted with `color`, hidden from accessibility. The label names
// its symbol in the property `symbolProperty`, so that a slot left empty can be told.
[[nodiscard]] QLabel* symbolLabel(std::string_view symbol, int pixels, BrandColor color, QWidget* parent);
inline constexpr const char* symbolProperty = "brandSymbol";

// A thin bar without text: the primary colour over `track`, rounded at half its height,
// from 0 to `steps`.
[[nodiscard]] QProgressBar* flatBar(int height, BrandColor track, int steps, QWidget* parent);

// One line of plain text, cut with an ellipsis when it does not fit: in the middle by
// default, so both the start and the extension of a long file name stay readable.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    ElidedLabel(QString text, BrandFont font, BrandColor color, QWidget* parent = nullptr,
                Qt::TextElideMode mode = Qt::ElideMiddle);
    [[nodiscard]] const QString& text() const { return fullText; }
    // What is drawn at the current width.
    [[nodiscard]] QString shownText() const;
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString fullText;
    BrandColor color;
    Qt::TextElideMode elideMode;
};

// Where a sheet's content goes: the column of its body and the row of its footer's buttons,
// which stays in view when the body scrolls.
struct SheetParts {
    QVBoxLayout* body;
    QHBoxLayout* footer;
};

// Gives a sheet its title, its fixed width and the surface colour, and lays it out as a body
// (24 points of padding, 16 between the parts) above a footer, 16 below it.
[[nodiscard]] SheetParts sheetParts(ui::Sheet& sheet, const QString& title, int width);

// A drive card's box: `fill` in a rounded rectangle with a 1-pixel border line inside its
// edge, painted behind the children laid out in it.
class RoundedBox : public QWidget {
    Q_OBJECT
public:
    RoundedBox(BrandColor fill, double cornerRadius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BrandColor fill;
    double radius;
};

// Lays `owner` out as a drive card (the surface-sunken box, radius 12, 14 points of padding),
// as tall as its content whatever room it is offered; returns the column to fill, whose
// parent widget is the box.
[[nodiscard]] QVBoxLayout* driveCardColumn(QWidget& owner, int spacing);

enum class ButtonLook {
    bordered,           // a framed button on the surface colour
    borderedProminent,  // filled with the primary colour, its title in the fill's text colour
    plain,              // title and symbol only, in the colour given
};

// Styles `button` (a focused button always shows a primary-coloured ring) with its title in
// `font` and `color` (ignored by borderedProminent).
void applyButtonLook(QPushButton& button, ButtonLook look, BrandFont font = BrandFont::body,
                     BrandColor color = BrandColor::text, bool semibold = false);
// The symbol as the button's icon, tinted with `color`.
void setSymbol(QAbstractButton& button, std::string_view symbol, int pixels, const QColor& color);

// A clickable row that draws its own rounded background and a focus ring; its children are
// drawn over it and pass their clicks to it.
class RowButton : public QAbstractButton {
    Q_OBJECT
public:
    RowButton(BrandColor fill, double cornerRadius, QWidget* parent = nullptr);
    // Lets clicks on every child reach the row; call once the children are in place.
    void finishChildren();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BrandColor fill;
    double radius;
};

// A scroll area as tall as its content, up to `maximumHeight`; past that it scrolls. The
// content takes the area's width (a wrapping text wraps at it) unless `horizontal` lets it
// be as wide as it likes and scroll sideways.
class BoundedScrollArea : public QScrollArea {
    Q_OBJECT
public:
    BoundedScrollArea(int maximumHeight, bool horizontal, QWidget* parent = nullptr);
    // setWidget, keeping the content see-through so the card's colour shows behind it.
    void setContent(QWidget* content);
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    [[nodiscard]] int contentHeight() const;
    int limit;
    bool sideways;
};

}  // namespace marlowick::views

#pragma once
// The building blocks of the home screen's screens and sheets, over the pieces of
// ViewElements: link-style, prominent and outlined buttons with a visible focus ring, the
// "View source" link, notes under a control, captioned check boxes, and the centred column
// of a screen. Colours are resolved for the appearance in force when the widget is made;
// the home view remakes its content when the drive state changes.

#include <optional>
#include <string>
#include <string_view>

#include <QLabel>
#include <QPushButton>

#include "Design/BrandColor.hpp"
#include "Design/BrandFont.hpp"
#include "Design/BrandText.hpp"

class QBoxLayout;
class QCheckBox;
class QHBoxLayout;
class QVBoxLayout;

namespace marlowick::viewkit {

// A borderless button that reads like a link, in `tint`.
[[nodiscard]] QPushButton* linkButton(std::string_view title, BrandFont font, BrandColor tint,
                                      QWidget* parent = nullptr);
// A filled button in `tint` with light text: the one main action of a screen or sheet.
[[nodiscard]] QPushButton* prominentButton(std::string_view title, BrandColor tint, QWidget* parent = nullptr);
// An outlined button on the surface colour: Cancel and other secondary actions.
[[nodiscard]] QPushButton* borderedButton(std::string_view title, QWidget* parent = nullptr);
// Re-tints a prominent button (the style sheet carries the colour).
void setProminentTint(QPushButton& button, BrandColor tint);

// "View source" for a release page; none when the address is not a usable URL. Clicking
// opens it in the desktop's browser.
[[nodiscard]] QPushButton* sourceLink(const std::string& address, BrandFont font, QWidget* parent = nullptr);

// Lays `screen` out as a screen of the home view (which shows it below the brand header's
// strip) and returns its column (24 points between children), centred vertically with at
// least 24 points above and below it. The screen is padded 40 but at the top, where the
// header's strip stands.
[[nodiscard]] QVBoxLayout* screenColumn(QWidget& screen);

// Adds `widget`, whose width is fixed, centred to `column`, so that its height is measured
// at its own width. (A centred item of a column is measured at the column's width, and the
// lines it wraps at its narrower width would be cut.)
void addCentred(QBoxLayout& column, QWidget* widget);

// The wrapping caption beside a check box that carries no text of its own (a check box's
// own text never wraps): a click on it toggles the box. Hidden from accessibility; the box
// carries the name.
class CheckBoxCaption : public QLabel {
    Q_OBJECT
public:
    CheckBoxCaption(QCheckBox& toggled, QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QCheckBox* box;
};

// Lays `box`, top-aligned, and a plain-text wrapping caption of `caption` side by side in a
// row, names the box after the caption, and returns the row. The caption's identifier is
// the box's own followed by ".caption".
QHBoxLayout* captionedCheckBox(QCheckBox& box, std::string_view caption, BrandFont font, BrandColor color);

// A symbol before a wrapping caption text: the notes and messages under a control.
class Note : public QWidget {
    Q_OBJECT
public:
    // The caption is in `color` where that reads on `background`.
    Note(const std::string& identifier, std::string_view symbol, BrandColor color, const TextBackground& background,
         QWidget* parent = nullptr);
    void setText(const std::string& value);
    [[nodiscard]] QString text() const;

private:
    QLabel* label;
};

// An absolute URL with a scheme and a host, or none.
[[nodiscard]] bool isOpenableAddress(const std::string& address);

}  // namespace marlowick::viewkit

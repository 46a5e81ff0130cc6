#pragma once
// The narrow panel that invites the user to get the maker's phone app: a QR code of the
// phone-app address, a title and a short text, the app's features, and the address as a
// link. `continueOnPhone` makes it speak as the next step after a finished operation
// rather than as a plain invitation. The QR code and the link open the same address in
// the user's browser.

#include <string>
#include <string_view>

#include <QAbstractButton>
#include <QImage>
#include <QWidget>

namespace marlowick {

class GetMobileAppView : public QWidget {
    Q_OBJECT
public:
    explicit GetMobileAppView(bool continueOnPhone, QWidget* parent = nullptr);

    [[nodiscard]] static std::string_view title(bool continueOnPhone);
    [[nodiscard]] static std::string_view body(bool continueOnPhone);
    [[nodiscard]] static std::string accessibilityLabel(bool continueOnPhone);
    // The address without its scheme: host and path.
    [[nodiscard]] static QString linkText();

    // The QR code of `text`: the styled picture (444 pixels, dark ink, blue eyes, `logo` in
    // the middle when it is not null), else the plain one (at least 296 pixels), else null.
    [[nodiscard]] static QImage qrImage(std::string_view text, const QImage& logo);
    // The brand mark in the accent colour, `pixels` on its longer side; null when the mark
    // cannot be loaded.
    [[nodiscard]] static QImage tintedMark(int pixels);
    // The phone-app address's QR code, built on first use and kept for the process.
    [[nodiscard]] static const QImage& appLinkQRCode();

    static constexpr int panelWidth = 248;
    static constexpr int codeSide = 148;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The QR code on its white plate, as a button that opens the phone-app address. With no
// picture it shows the "qrcode" symbol in black instead.
class QRCodeLinkButton : public QAbstractButton {
    Q_OBJECT
public:
    QRCodeLinkButton(QImage code, QWidget* parent = nullptr);
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] const QImage& code() const { return picture; }
    // Where the plate is drawn in the button.
    [[nodiscard]] QRect plateRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture;
};

}  // namespace marlowick

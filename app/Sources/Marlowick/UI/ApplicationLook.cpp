#include "UI/ApplicationLook.hpp"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QToolTip>

#include "Design/BrandStyle.hpp"
#include "UI/WheelGuard.hpp"

namespace marlowick::ui {
namespace {

// Fusion, with one change: Fusion draws a check box's frame in a shade of the window colour,
// about 1.7:1 on the light surface and 1.2:1 on the dark one, so an unticked box all but
// vanishes. An enabled box's frame is drawn again in the faintest text colour of its
// palette's appearance, which reads at 3:1 or more on every surface. A box with keyboard
// focus keeps Fusion's highlighted frame, a disabled one its faint frame.
class BrandLookStyle : public QProxyStyle {
public:
    BrandLookStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_IndicatorCheckBox || !option->state.testFlag(State_Enabled)) return;
        if (option->state.testFlag(State_HasFocus) && option->state.testFlag(State_KeyboardFocusChange)) return;
        const Appearance appearance = BrandStyle::appearanceOf(option->palette);
        // The frame's own geometry in Fusion: the rectangle less a pixel, on pixel centres.
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->translate(0.5, 0.5);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(BrandStyle::color(BrandColor::textSubtle, appearance)));
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

class AppearanceFollower : public QObject {
public:
    explicit AppearanceFollower(QApplication& application) : QObject(&application) {
        application.installEventFilter(this);
        apply();
    }

    // The brand palette of the appearance the application palette now tells.
    void apply() {
        if (applying) return;
        applying = true;
        const QPalette brand = BrandStyle::palette(BrandStyle::currentAppearance());
        QApplication::setPalette(brand);
        QToolTip::setPalette(brand);
        applying = false;
    }

    // A palette with no role of its own resolves to the platform's whole: set for a moment,
    // it tells the platform's appearance, and the brand palette of that one takes its place.
    void readPlatform() {
        QPalette platform;
        platform.setResolveMask(0);
        QApplication::setPalette(platform);
        apply();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange && watched == QCoreApplication::instance()) {
            // Someone else set the application palette (the platform, or a test standing in
            // for it): it tells the appearance, and the brand palette takes its place.
            apply();
        } else if (event->type() == QEvent::ThemeChange && !readQueued) {
            // Each window hears of it; the platform is read once, after the last.
            readQueued = true;
            QTimer::singleShot(0, this, [this] {
                readQueued = false;
                readPlatform();
            });
        }
        return false;
    }

private:
    bool applying = false;
    bool readQueued = false;
};

QPointer<AppearanceFollower> follower;

}  // namespace

void useApplicationLook(QApplication& application) {
    QApplication::setStyle(new BrandLookStyle);
    if (follower == nullptr) follower = new AppearanceFollower(application);
    installWheelGuard(application);
}

bool tellsOfAnotherAppearance(const QEvent& event, Appearance madeIn) {
    const bool paletteChange =
        event.type() == QEvent::PaletteChange || event.type() == QEvent::ApplicationPaletteChange;
    return paletteChange && BrandStyle::currentAppearance() != madeIn;
}

void refreshAppearance() {
    // Without MARLOWICK_APPEARANCE the platform decides; the palette in place is the brand's.
    if (follower != nullptr) follower->readPlatform();
}

}  // namespace marlowick::ui

#include "UI/ApplicationLook.hpp"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QStyle>
#include <QTimer>
#include <QToolTip>

#include "Design/BrandStyle.hpp"
#include "UI/WheelGuard.hpp"

namespace marlowick::ui {
namespace {

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
    QApplication::setStyle(QStringLiteral("Fusion"));
    if (follower == nullptr) follower = new AppearanceFollower(application);
    installWheelGuard(application);
}

void refreshAppearance() {
    // Without MARLOWICK_APPEARANCE the platform decides; the palette in place is the brand's.
    if (follower != nullptr) follower->readPlatform();
}

}  // namespace marlowick::ui

#include "AppSettings.hpp"

#include <memory>

#include <QSettings>

namespace marlowick::AppSettings {
namespace {

std::unique_ptr<QSettings> store() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Marlowick"),
                                       QStringLiteral("Marlowick"));
}

}  // namespace

Startup read(const QStringList& arguments) {
    const std::unique_ptr<QSettings> settings = store();
    Startup startup;
    const qsizetype option = arguments.indexOf(QStringLiteral("--uitest"));
    if (option > 0 && option + 1 < arguments.size()) {
        startup.uitest = arguments.at(option + 1).toStdString();
    } else if (const QVariant stored = settings->value(QString::fromLatin1(uitestKey));
               stored.isValid() && stored.typeId() == QMetaType::QString) {
        startup.uitest = stored.toString().toStdString();
    }
    startup.showNonUsbDisks = settings->value(QString::fromLatin1(showNonUsbDisksKey), false).toBool();
    startup.showFixedStorage = settings->value(QString::fromLatin1(showFixedStorageKey), false).toBool();
    startup.verifyCopiedImages = settings->value(QString::fromLatin1(verifyCopiedImagesKey), false).toBool();
    return startup;
}

bool flag(const char* key) { return store()->value(QString::fromLatin1(key), false).toBool(); }

void setFlag(const char* key, bool value) {
    const std::unique_ptr<QSettings> settings = store();
    settings->setValue(QString::fromLatin1(key), value);
    settings->sync();
}

std::optional<QSize> windowSize() {
    const QVariant stored = store()->value(QString::fromLatin1(windowSizeKey));
    if (!stored.isValid() || stored.typeId() != QMetaType::QSize) return std::nullopt;
    const QSize size = stored.toSize();
    if (size.width() <= 0 || size.height() <= 0) return std::nullopt;
    return size;
}

void setWindowSize(QSize size) {
    const std::unique_ptr<QSettings> settings = store();
    settings->setValue(QString::fromLatin1(windowSizeKey), size);
    settings->sync();
}

}  // namespace marlowick::AppSettings

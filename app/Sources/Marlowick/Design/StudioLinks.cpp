#include "Design/StudioLinks.hpp"

#include <QByteArray>
#include <QString>

#include "Text/PlatformWording.hpp"

namespace marlowick::StudioLinks {
namespace {

QString supportAddress() {
    const std::string subject =
        "Marlowick for " + std::string(PlatformWording::productPlatform) + " \xE2\x80\x94 Help";  // U+2014
    const QByteArray encoded = QUrl::toPercentEncoding(QString::fromStdString(subject));
    return QStringLiteral("mailto:support@quenmoorlabworks.com?subject=") + QString::fromLatin1(encoded);
}

}  // namespace

// Function-local statics: built once, on first use, safely from any thread.
const QUrl& getMobileApp() {
    static const QUrl value(QStringLiteral("https://quenmoorlabworks.com/get/marlowick"), QUrl::StrictMode);
    return value;
}

const QUrl& website() {
    static const QUrl value(QStringLiteral("https://quenmoorlabworks.com"), QUrl::StrictMode);
    return value;
}

const QUrl& marlowickHome() {
    static const QUrl value(QStringLiteral("https://marlowick.quenmoorlabworks.com"), QUrl::StrictMode);
    return value;
}

const QUrl& support() {
    static const QUrl value(supportAddress(), QUrl::StrictMode);
    return value;
}

}  // namespace marlowick::StudioLinks

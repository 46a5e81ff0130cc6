#include "MarlowickApp.hpp"

#include <QApplication>
#include <QString>

namespace marlowick::MarlowickApp {

void configure(QApplication& application) {
    QApplication::setApplicationName(QStringLiteral("Marlowick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Marlowick"));
    QApplication::setApplicationVersion(QStringLiteral(MARLOWICK_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quenmoor Labworks"));
    QApplication::setDesktopFileName(QString::fromLatin1(desktopFileName));
    (void)application;
}

}  // namespace marlowick::MarlowickApp

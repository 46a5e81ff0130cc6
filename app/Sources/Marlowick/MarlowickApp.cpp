#include "MarlowickApp.hpp"

#include <QApplication>
#include <QIcon>
#include <QString>

#include "Design/SymbolIcons.hpp"

namespace marlowick::MarlowickApp {

void configure(QApplication& application) {
    QApplication::setApplicationName(QStringLiteral("Marlowick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Marlowick"));
    QApplication::setApplicationVersion(QStringLiteral(MARLOWICK_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quenmoor Labworks"));
    QApplication::setDesktopFileName(QString::fromLatin1(desktopFileName));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Marlowick/marlowick.svg")));
    SymbolIcons::useIconTheme();
    (void)application;
}

}  // namespace marlowick::MarlowickApp

#include "Design/SymbolIcons.hpp"

#include <QPainter>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace marlowick::SymbolIcons {
namespace {

QString qtName(std::string_view name) {
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

void setUpIconTheme() {
    // Platforms without a desktop theme (offscreen, a bare X server) search only Qt's own
    // resources; the icon folders of the XDG data directories are where themes live.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                   QStandardPaths::LocateDirectory)) {
        if (!paths.contains(folder)) paths << folder;
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName(qtName(themeName));
    if (!QIcon::hasThemeIcon(qtName(table.front().themeIcon))) QIcon::setThemeName(qtName(themeName));
}

}  // namespace

std::string_view themeIconName(std::string_view symbol) {
    for (const Mapping& mapping : table) {
        if (mapping.symbol == symbol) return mapping.themeIcon;
    }
    return {};
}

void useIconTheme() {
    static const bool done = [] {
        setUpIconTheme();
        return true;
    }();
    (void)done;
}

QIcon icon(std::string_view symbol) {
    const std::string_view name = themeIconName(symbol);
    if (name.empty()) return {};
    useIconTheme();
    return QIcon::fromTheme(qtName(name));
}

QPixmap tinted(std::string_view symbol, int pixels, const QColor& color, double devicePixelRatio) {
    const QIcon source = icon(symbol);
    if (source.isNull() || pixels <= 0) return {};
    QPixmap pixmap = source.pixmap(QSize(pixels, pixels), devicePixelRatio);
    if (pixmap.isNull()) return {};
    // Symbolic icons are one colour: keep their shape, take the caller's colour.
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), color);
    return pixmap;
}

}  // namespace marlowick::SymbolIcons

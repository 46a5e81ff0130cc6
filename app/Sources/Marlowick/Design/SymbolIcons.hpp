#pragma once
// The symbols the views name, as icons of the freedesktop icon theme. A view names the
// symbol (for example "externaldrive.badge.plus"); this one table says which themed icon
// stands for it. The icons are the symbolic (one-colour) ones of the Adwaita theme, which
// the set-up script installs; views tint them with a brand colour.

#include <array>
#include <string_view>

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace marlowick::SymbolIcons {

struct Mapping {
    std::string_view symbol;
    std::string_view themeIcon;
};

inline constexpr std::string_view themeName = "Adwaita";

inline constexpr std::array<Mapping, 37> table{{
    {"arrow.clockwise", "view-refresh-symbolic"},
    {"arrow.down.circle", "folder-download-symbolic"},
    {"arrow.down.circle.fill", "folder-download-symbolic"},
    {"arrow.triangle.2.circlepath", "media-playlist-repeat-symbolic"},
    {"arrow.up.circle.fill", "software-update-available-symbolic"},
    {"bolt.horizontal.circle", "emblem-synchronizing-symbolic"},
    {"checkmark.circle.fill", "object-select-symbolic"},
    {"chevron.down", "pan-down-symbolic"},
    {"chevron.left", "go-previous-symbolic"},
    {"chevron.right", "go-next-symbolic"},
    {"doc", "x-office-document-symbolic"},
    {"doc.text", "text-x-generic-symbolic"},
    {"exclamationmark.circle.fill", "emblem-important-symbolic"},
    {"exclamationmark.triangle", "dialog-warning-symbolic"},
    {"exclamationmark.triangle.fill", "dialog-warning-symbolic"},
    {"externaldrive.badge.checkmark", "emblem-ok-symbolic"},
    {"externaldrive.badge.exclamationmark", "dialog-warning-symbolic"},
    {"externaldrive.badge.minus", "list-remove-symbolic"},
    {"externaldrive.badge.plus", "drive-removable-media-symbolic"},
    {"externaldrive.badge.questionmark", "dialog-question-symbolic"},
    {"externaldrive.badge.timemachine", "content-loading-symbolic"},
    {"externaldrive.badge.xmark", "dialog-error-symbolic"},
    {"externaldrive.fill", "drive-removable-media-symbolic"},
    {"externaldrive.fill.badge.plus", "list-add-symbolic"},
    {"folder", "folder-symbolic"},
    {"folder.fill", "folder-symbolic"},
    {"gearshape", "emblem-system-symbolic"},
    {"info.circle", "dialog-information-symbolic"},
    {"info.circle.fill", "dialog-information-symbolic"},
    {"opticaldisc", "media-optical-symbolic"},
    {"opticaldiscdrive", "drive-optical-symbolic"},
    {"power.circle.fill", "system-shutdown-symbolic"},
    {"qrcode", "image-x-generic-symbolic"},
    {"square.grid.2x2.fill", "view-grid-symbolic"},
    {"tray", "action-unavailable-symbolic"},
    {"xmark", "window-close-symbolic"},
    {"xmark.octagon.fill", "process-stop-symbolic"},
}};

// The themed icon standing for `symbol`; empty for a symbol the table lacks.
[[nodiscard]] std::string_view themeIconName(std::string_view symbol);

// Makes the theme of the table the one icons come from when the desktop names none that
// has them (as under the offscreen platform or a bare window manager).
void useIconTheme();

// The icon standing for `symbol`; a null icon for a symbol the table lacks.
[[nodiscard]] QIcon icon(std::string_view symbol);

// The symbol `pixels` square (logical), drawn in `color`; null when there is no icon.
[[nodiscard]] QPixmap tinted(std::string_view symbol, int pixels, const QColor& color, double devicePixelRatio = 1.0);

}  // namespace marlowick::SymbolIcons

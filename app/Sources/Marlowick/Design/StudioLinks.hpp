#pragma once
// The program's four fixed outbound addresses. Views and menus open them with the
// desktop's default handler (QDesktopServices); nothing here reaches the network.

#include <QUrl>

namespace marlowick::StudioLinks {

// The maker's page from which the phone app is obtained.
[[nodiscard]] const QUrl& getMobileApp();
// The maker's web site.
[[nodiscard]] const QUrl& website();
// The product's own home page, on a sub-domain of the maker's site.
[[nodiscard]] const QUrl& marlowickHome();
// A new mail to the maker's support mailbox with the subject "Marlowick for Linux — Help".
[[nodiscard]] const QUrl& support();

}  // namespace marlowick::StudioLinks

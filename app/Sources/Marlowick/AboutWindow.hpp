#pragma once
// The About window: the product mark, the version line, what the program does, the
// attribution of the Ventoy boot loader it installs (with its source), the maker, one
// button per legal document and the copyright line. One window per process, made on first
// demand and only brought forward afterwards.

#include <map>
#include <string>

#include <QWidget>

#include "Design/BrandColor.hpp"

namespace marlowick {

struct AboutInfo {
    std::string shortVersion;
    std::string build;
    std::string copyright;

    static constexpr const char* shortVersionKey = "ShortVersion";
    static constexpr const char* buildKey = "Build";
    static constexpr const char* copyrightKey = "Copyright";
    static constexpr const char* defaultCopyright = "Copyright © 2026 Quenmoor Labworks";

    // Missing keys take their defaults: "—" for the version, nothing for the build, the
    // maker's line for the copyright.
    [[nodiscard]] static AboutInfo from(const std::map<std::string, std::string>& values);
    // This program's own: its version, its build number when the build set one.
    [[nodiscard]] static AboutInfo ofThisProgram();

    // "Version 1.4 (27)", or "Version 1.4" when the build is empty or the same.
    [[nodiscard]] std::string versionLine() const;

    bool operator==(const AboutInfo&) const = default;
};

class AboutView : public QWidget {
    Q_OBJECT
public:
    explicit AboutView(const AboutInfo& info, QWidget* parent = nullptr);

protected:
    // The appearance changed: the brand colours are taken again.
    void changeEvent(QEvent* event) override;

private:
    void build();

    AboutInfo shown;
    Appearance builtIn = Appearance::light;
    bool rebuildQueued = false;
};

namespace AboutWindowPresenter {

// Opens the About window, or brings the one already made to the front. A window that
// opens (made, or shown again after it was closed) opens centred on `over`, the window it is
// asked from; without one, on the screen.
void show(const QWidget* over = nullptr);
// The window once made; null before.
[[nodiscard]] QWidget* window();

}  // namespace AboutWindowPresenter

}  // namespace marlowick

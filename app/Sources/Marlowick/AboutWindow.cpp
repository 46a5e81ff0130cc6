#include "AboutWindow.hpp"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "Assets/VentoyReleaseManifest.hpp"
#include "Design/BrandStyle.hpp"
#include "Design/StudioLinks.hpp"
#include "LegalWindowPresenter.hpp"
#include "UI/Accessibility.hpp"
#include "UI/ApplicationLook.hpp"
#include "UI/BrandHeader.hpp"
#include "UI/PlainText.hpp"
#include "UI/WindowPlacement.hpp"

namespace marlowick {
namespace {

std::string valueOr(const std::map<std::string, std::string>& values, const char* key, std::string fallback) {
    const auto found = values.find(key);
    return found == values.end() ? std::move(fallback) : found->second;
}

QLabel* text(std::string_view content, BrandFont font, BrandColor color) {
    QLabel* label = ui::plainTextLabel(content);
    BrandStyle::styleText(*label, font, color);
    return label;
}

// A link that opens in the desktop's browser, labelled with the address without its scheme.
QLabel* link(const QUrl& url, const char* identifier) {
    auto* label = new QLabel;
    QString shown = url.host() + url.path();
    if (shown.endsWith(QLatin1Char('/'))) shown.chop(1);
    label->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toString().toHtmlEscaped(), shown.toHtmlEscaped()));
    label->setTextFormat(Qt::RichText);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    BrandStyle::styleText(*label, BrandFont::callout, BrandColor::primary);
    ui::identify(*label, identifier, shown.toStdString());
    return label;
}

QWidget* block(std::initializer_list<QWidget*> lines) {
    auto* holder = new QWidget;
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    for (QWidget* line : lines) column->addWidget(line);
    return holder;
}

QWidget* aboutWindowValue = nullptr;

}  // namespace

AboutInfo AboutInfo::from(const std::map<std::string, std::string>& values) {
    return AboutInfo{valueOr(values, shortVersionKey, "—"), valueOr(values, buildKey, ""),
                     valueOr(values, copyrightKey, defaultCopyright)};
}

AboutInfo AboutInfo::ofThisProgram() {
    std::map<std::string, std::string> values{{shortVersionKey, MARLOWICK_VERSION}};
#ifdef MARLOWICK_BUILD_NUMBER
    values.emplace(buildKey, MARLOWICK_BUILD_NUMBER);
#endif
    return from(values);
}

std::string AboutInfo::versionLine() const {
    if (!build.empty() && build != shortVersion) return "Version " + shortVersion + " (" + build + ")";
    return "Version " + shortVersion;
}

AboutView::AboutView(const AboutInfo& info, QWidget* parent) : QWidget(parent), shown(info) {
    ui::identify(*this, "about.window");
    setAutoFillBackground(true);
    setFixedWidth(480);
    build();
}

void AboutView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (!ui::tellsOfAnotherAppearance(*event, builtIn) || rebuildQueued) return;
    // On the next turn: the change is still being sent to the children made before.
    rebuildQueued = true;
    QTimer::singleShot(0, this, [this] {
        rebuildQueued = false;
        delete layout();
        qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
        build();
    });
}

void AboutView::build() {
    builtIn = BrandStyle::currentAppearance();
    const AboutInfo& info = shown;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, BrandStyle::color(BrandColor::surface));
    setPalette(palette);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(18);

    auto* header = new QHBoxLayout;
    header->setSpacing(16);
    auto* mark = new BrandHeader(52);
    ui::hideFromAccessibility(*mark);
    header->addWidget(mark, 0, Qt::AlignVCenter);
    header->addStretch(1);
    QLabel* version = text(info.versionLine(), BrandFont::callout, BrandColor::textMuted);
    version->setWordWrap(false);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui::identify(*version, "about.version");
    header->addWidget(version, 0, Qt::AlignVCenter);
    column->addLayout(header);

    column->addWidget(text("Build & manage Ventoy multiboot USB drives.", BrandFont::body, BrandColor::text));

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setLineWidth(1);
    QPalette line = divider->palette();
    line.setColor(QPalette::WindowText, BrandStyle::color(BrandColor::border));
    divider->setPalette(line);
    column->addWidget(divider);

    QLabel* attribution = text("Installs Ventoy by longpanda and contributors, licensed under the GNU GPL v3.",
                               BrandFont::callout, BrandColor::textMuted);
    const QUrl source(QString::fromUtf8(VentoyReleaseManifest::projectSourceUrl.data(),
                                        static_cast<qsizetype>(VentoyReleaseManifest::projectSourceUrl.size())),
                      QUrl::StrictMode);
    if (source.isValid() && !source.host().isEmpty()) {
        column->addWidget(block({attribution, link(source, "about.ventoySource")}));
    } else {
        column->addWidget(attribution);
    }

    column->addWidget(block({text("Made by Quenmoor Labworks.", BrandFont::callout, BrandColor::textMuted),
                             link(StudioLinks::website(), "about.studio")}));

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    for (const LegalDocument document : allLegalDocuments) {
        auto* button = new QPushButton(ui::qtText(title(document)));
        ui::identify(*button, "about." + std::string(rawValue(document)));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, document] { LegalWindowPresenter::show(document, window()); });
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    column->addLayout(buttons);

    QLabel* copyright = text(info.copyright, BrandFont::caption, BrandColor::textSubtle);
    ui::identify(*copyright, "about.copyright");
    column->addWidget(copyright);
}

namespace AboutWindowPresenter {

void show(const QWidget* over) {
    if (aboutWindowValue == nullptr) {
        // Kept for the life of the process: closing only hides it.
        auto* view = new AboutView(AboutInfo::ofThisProgram());
        view->setWindowTitle(QStringLiteral("About Marlowick"));
        view->setAttribute(Qt::WA_QuitOnClose, false);
        view->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        view->adjustSize();
        view->setFixedSize(view->sizeHint());
        aboutWindowValue = view;
    }
    if (!aboutWindowValue->isVisible()) ui::centreOn(*aboutWindowValue, over);
    aboutWindowValue->show();
    aboutWindowValue->raise();
    aboutWindowValue->activateWindow();
}

QWidget* window() { return aboutWindowValue; }

}  // namespace AboutWindowPresenter

}  // namespace marlowick

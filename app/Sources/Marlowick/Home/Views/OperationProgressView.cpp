#include "Home/Views/OperationProgressView.hpp"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "Design/BrandCard.hpp"
#include "Design/BrandStyle.hpp"
#include "Home/HomeAccessibility.hpp"
#include "Home/Views/DriveContextViews.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Home/Views/ViewKit.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"

namespace marlowick {
namespace {

constexpr int barSteps = 1000;

long long roundHalfAway(double value) { return static_cast<long long>(std::round(value)); }

// A label that shows one line and shortens a long text in the middle.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent) : QLabel(parent) {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setMinimumWidth(40);
    }
    void setFullText(const QString& value) {
        full = value;
        setAccessibleName(value);
        setToolTip(value);
        elide();
    }
    [[nodiscard]] const QString& fullText() const { return full; }
    [[nodiscard]] QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(full), QLabel::sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { setText(fontMetrics().elidedText(full, Qt::ElideMiddle, std::max(width(), 40))); }
    QString full;
};

}  // namespace

std::string OperationProgressView::percentText(double fraction) {
    return std::to_string(HomeAccessibility::percent(fraction)) + "%";
}

std::optional<std::string> OperationProgressView::etaText(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) return std::nullopt;
    if (seconds < 10) return "almost done";
    if (seconds < 60) return "about " + std::to_string(roundHalfAway(seconds / 10) * 10) + " seconds remaining";
    const long long minutes = roundHalfAway(seconds / 60);
    if (minutes >= 31) return "over half an hour remaining";
    if (minutes <= 1) return "about a minute remaining";
    return "about " + std::to_string(minutes) + " minutes remaining";
}

std::string_view OperationProgressView::symbol(HomeOperationKind kind) {
    switch (kind) {
        case HomeOperationKind::prepare: return "externaldrive.badge.plus";
        case HomeOperationKind::reinstall: return "arrow.triangle.2.circlepath";
        case HomeOperationKind::update: return "arrow.down.circle";
        case HomeOperationKind::removeVentoy: return "externaldrive.badge.minus";
        case HomeOperationKind::addImage: return "opticaldisc";
        case HomeOperationKind::writeRawImage: return "externaldrive.badge.checkmark";
    }
    return "gearshape";
}

OperationProgressView::OperationProgressView(HomeOperationKind kind, HomeOperationProgress progress,
                                             const std::optional<std::string>& ventoyVersion,
                                             const VentoyReleaseCatalog& catalog, std::function<void()> onCancel,
                                             std::optional<Target> target, QWidget* parent)
    : QWidget(parent), runningKind(kind), cancel(std::move(onCancel)) {
    ui::identify(*this, "home.root");
    setMinimumSize(520, 400);

    QVBoxLayout* column = viewkit::screenColumn(*this);
    column->addWidget(views::symbolLabel(symbol(kind), 44, BrandColor::primary, this), 0, Qt::AlignHCenter);

    auto* card = new BrandCard(16, this);
    card->setObjectName(QStringLiteral("home.operation.card"));
    card->setMaximumWidth(360);
    card->setMinimumWidth(360);
    auto* cardColumn = new QVBoxLayout(card);
    cardColumn->setContentsMargins(24, 24, 24, 24);
    cardColumn->setSpacing(14);

    // The drive being written, named as the hero names it.
    if (target) {
        auto* drive = new QWidget(card);
        const std::string size = driveSizeText(target->capacityBytes);
        ui::identify(*drive, "home.operation.drive", target->name + ", " + size);
        auto* driveRow = new QHBoxLayout(drive);
        driveRow->setContentsMargins(0, 0, 0, 0);
        driveRow->setSpacing(8);
        driveRow->addWidget(views::symbolLabel("externaldrive.fill", 16, BrandColor::primary, drive), 0,
                            Qt::AlignVCenter);
        auto* name = new views::ElidedLabel(ui::qtText(target->name), BrandFont::callout, BrandColor::text, drive,
                                            Qt::ElideRight);
        name->setObjectName(QStringLiteral("home.operation.drive.name"));
        name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        driveRow->addWidget(name, 1);
        QLabel* capacity = views::styledLabel(size, BrandFont::caption, BrandColor::textMuted, drive);
        capacity->setWordWrap(false);
        capacity->setObjectName(QStringLiteral("home.operation.drive.size"));
        driveRow->addWidget(capacity, 0, Qt::AlignVCenter);
        for (QWidget* child : drive->findChildren<QWidget*>()) ui::hideFromAccessibility(*child);
        cardColumn->addWidget(drive);
    }

    auto* barColumn = new QVBoxLayout;
    barColumn->setSpacing(6);
    stageLabel = views::styledLabel("", BrandFont::cardTitle, BrandColor::textHeading, card);
    stageLabel->setObjectName(QStringLiteral("home.operation.stage"));
    stageLabel->setAlignment(Qt::AlignLeft);
    barColumn->addWidget(stageLabel);
    bar = views::flatBar(8, BrandColor::surfaceSunken, barSteps, card);
    bar->setObjectName(QStringLiteral("home.operation.progress"));
    barColumn->addWidget(bar);
    percentLabel = views::styledLabel("", BrandFont::readout, BrandColor::textMuted, card);
    percentLabel->setObjectName(QStringLiteral("home.operation.progress.percent"));
    ui::hideFromAccessibility(*percentLabel);
    barColumn->addWidget(percentLabel);

    detailRow = new QWidget(card);
    auto* detailLayout = new QHBoxLayout(detailRow);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->setSpacing(6);
    auto* elided = new ElidedLabel(detailRow);
    detailLabel = elided;
    detailLabel->setObjectName(QStringLiteral("home.operation.progress.detail"));
    detailLabel->setFont(BrandStyle::font(BrandFont::caption));
    views::setTextColor(*detailLabel, BrandColor::textMuted);
    separatorLabel = views::styledLabel("·", BrandFont::caption, BrandColor::textMuted, detailRow);
    separatorLabel->setWordWrap(false);
    separatorLabel->setObjectName(QStringLiteral("home.operation.progress.separator"));
    ui::hideFromAccessibility(*separatorLabel);
    etaLabel = views::styledLabel("", BrandFont::caption, BrandColor::textMuted, detailRow);
    etaLabel->setWordWrap(false);
    etaLabel->setObjectName(QStringLiteral("home.operation.progress.eta"));
    QFont digits = etaLabel->font();
    digits.setStyleHint(QFont::Monospace);
    etaLabel->setFont(digits);
    detailLayout->addWidget(detailLabel, 1);
    detailLayout->addWidget(separatorLabel);
    detailLayout->addWidget(etaLabel);
    detailLayout->addStretch(0);
    barColumn->addWidget(detailRow);
    cardColumn->addLayout(barColumn);

    auto* warning = new QWidget(card);
    warning->setObjectName(QStringLiteral("home.operation.warning"));
    warning->setAccessibleName(QStringLiteral("Don't disconnect the drive."));
    auto* warningRow = new QHBoxLayout(warning);
    warningRow->setContentsMargins(0, 0, 0, 0);
    warningRow->setSpacing(6);
    warningRow->addStretch(1);
    warningRow->addWidget(views::symbolLabel("bolt.horizontal.circle", 14, BrandColor::textMuted, warning));
    auto* warningText = views::styledLabel("Don't disconnect the drive.", BrandFont::callout, BrandColor::textMuted, warning);
    warningText->setWordWrap(false);
    warningRow->addWidget(warningText);
    warningRow->addStretch(1);
    cardColumn->addWidget(warning);
    viewkit::addCentred(*column, card);

    // The kinds that install Ventoy boot files name their release and licence.
    if (needsVentoyAssets(kind)) {
        const VentoyReleaseManifest manifest = catalog.manifest(ventoyVersion);
        auto* notice = new QWidget(this);
        const std::string sentence = "Ventoy " + manifest.version() +
                                     " boot files are downloaded from the Ventoy project and licensed under the GNU "
                                     "GPL v3.";
        ui::identify(*notice, "home.operation.gplNotice", sentence);
        notice->setFixedWidth(440);  // a fixed width lets the wrapped sentence take its full height
        auto* noticeColumn = new QVBoxLayout(notice);
        noticeColumn->setContentsMargins(0, 0, 0, 0);
        noticeColumn->setSpacing(4);
        auto* noticeText = views::styledLabel(sentence, BrandFont::caption, BrandColor::textMuted, notice);
        noticeText->setAlignment(Qt::AlignHCenter);
        noticeText->setObjectName(QStringLiteral("home.operation.gplNotice.text"));
        noticeColumn->addWidget(noticeText);
        if (QPushButton* link = viewkit::sourceLink(manifest.releaseSourceURLString(), BrandFont::caption, notice)) {
            link->setObjectName(QStringLiteral("home.operation.gplNotice.source"));
            noticeColumn->addWidget(link, 0, Qt::AlignHCenter);
        }
        viewkit::addCentred(*column, notice);
    }

    cancelButton = viewkit::borderedButton("Cancel", this);
    ui::identify(*cancelButton, "home.operation.cancel", "Cancel", "Stops the operation and returns to the start.");
    cancelButton->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        if (cancel) cancel();
    });
    column->addWidget(cancelButton, 0, Qt::AlignHCenter);

    render(progress);
}

void OperationProgressView::setProgress(const HomeOperationProgress& progress) { render(progress); }

void OperationProgressView::setStopping(bool stopping) { cancelButton->setEnabled(!stopping); }

void OperationProgressView::render(const HomeOperationProgress& progress) {
    // A report may come back lower (a stage restarting its count): the bar holds its place.
    const double fraction = std::isfinite(progress.fraction) ? std::clamp(progress.fraction, 0.0, 1.0) : 0.0;
    shown = std::max(shown, fraction);
    ui::setPlainText(*stageLabel, progress.stageLabel);
    bar->setValue(static_cast<int>(std::lround(shown * barSteps)));
    bar->setAccessibleName(ui::qtText(HomeAccessibility::progressLabel(runningKind, progress.stageLabel, shown)));
    ui::setPlainText(*percentLabel, percentText(shown));

    const bool hasDetail = progress.detail.has_value();
    const bool hasEta = progress.etaSeconds.has_value();
    const std::optional<std::string> eta = hasEta ? etaText(*progress.etaSeconds) : std::nullopt;
    detailRow->setVisible(hasDetail || hasEta);
    detailLabel->setVisible(hasDetail);
    if (hasDetail) static_cast<ElidedLabel*>(detailLabel)->setFullText(ui::qtText(*progress.detail));
    separatorLabel->setVisible(hasDetail && hasEta);
    etaLabel->setVisible(eta.has_value());
    if (eta) ui::setPlainText(*etaLabel, *eta);
}

}  // namespace marlowick

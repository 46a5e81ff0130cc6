#include "Home/Views/DriveInfoView.hpp"

#include <algorithm>
#include <cctype>

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Home/VentoyCatalogModel.hpp"
#include "Home/VentoyUpdatePresentation.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Image/ByteCountText.hpp"
#include "UI/Accessibility.hpp"

namespace marlowick {
namespace {

constexpr int usageScale = 1000;  // the bar's steps

}  // namespace

std::int64_t DriveInfoView::capacityBytes(const HelperVentoyLayout& layout) {
    std::int64_t bytes = 0;
    if (layout.diskSectorCount < 0 || layout.sectorSize < 0 ||
        __builtin_mul_overflow(layout.diskSectorCount, layout.sectorSize, &bytes)) {
        return -1;
    }
    return bytes;
}

std::string DriveInfoView::filesystemName(const std::optional<HelperDriveUsage>& usage) {
    return usage && usage->dataFilesystem() == DriveFilesystem::fat32 ? "FAT32" : "exFAT";
}

std::string DriveInfoView::partitionStyleName(const HelperVentoyLayout& layout) {
    std::string name = layout.partitionStyle;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

std::string DriveInfoView::versionText(const std::optional<std::string>& installedVersion) {
    return installedVersion ? "Ventoy " + *installedVersion : "Ventoy version unknown";
}

std::optional<DriveInfoView::UsageModel> DriveInfoView::usageModel(const std::optional<HelperDriveUsage>& usage) {
    if (!usage || usage->totalBytes < 1) return std::nullopt;
    // In floating point: a free count the helper got wrong (negative, or past the total)
    // must not overflow the subtraction; the clamp then gives a full or an empty bar.
    const double total = static_cast<double>(usage->totalBytes);
    const double used = std::clamp(total - static_cast<double>(usage->freeBytes), 0.0, total);
    return UsageModel{used / total,
                      ByteCountText::fileSize(usage->freeBytes) + " free of " + ByteCountText::fileSize(usage->totalBytes)};
}

DriveContextStatus DriveInfoView::status(const std::optional<std::string>& installedVersion,
                                         const std::string& recommendedVersion) {
    using Status = VentoyUpdatePresentation::Status;
    const VentoyUpdatePresentation update(installedVersion, recommendedVersion);
    switch (update.status) {
        case Status::versionUnknown: return {update.statusLabel(), "info.circle.fill", BrandColor::textMuted};
        case Status::updateAvailable: return {update.statusLabel(), "arrow.up.circle.fill", BrandColor::warningText};
        case Status::upToDate: break;
    }
    return {update.statusLabel(), "checkmark.circle.fill", BrandColor::successText};
}

std::string DriveInfoView::accessibilityLabel() const {
    std::string label = deviceName + ", " + driveSizeText(capacityBytes(layout)) + ", " + filesystemName(usage) + ", " +
                        partitionStyleName(layout) + ", " + versionText(installedVersion) + ", " + currentStatus.label;
    if (const auto model = usageModel(usage)) label += ", " + model->line;
    return label;
}

DriveInfoView::DriveInfoView(std::string name, HelperVentoyLayout driveLayout, std::optional<std::string> version,
                             std::optional<HelperDriveUsage> driveUsage, std::shared_ptr<VentoyCatalogModel> catalogModel,
                             QWidget* parent)
    : QWidget(parent),
      deviceName(std::move(name)),
      layout(std::move(driveLayout)),
      installedVersion(std::move(version)),
      usage(std::move(driveUsage)),
      catalog(std::move(catalogModel)),
      currentStatus(status(installedVersion, catalog ? catalog->recommended().version() : std::string())) {
    setObjectName(QStringLiteral("home.driveInfo"));
    auto* column = views::driveCardColumn(*this, 10);
    QWidget* card = column->parentWidget();

    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    header->addWidget(views::symbolLabel("externaldrive.fill", 20, BrandColor::primary, card), 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto* title = views::styledLabel(deviceName, BrandFont::cardTitle, BrandColor::textHeading, card);
    title->setObjectName(QStringLiteral("home.driveInfo.name"));
    title->setWordWrap(false);
    // One line: a long name is cut rather than widening the card.
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    title->setMinimumWidth(40);
    titles->addWidget(title);
    auto* facts = views::styledLabel(driveSizeText(capacityBytes(layout)) + std::string(views::middleDot) +
                                         filesystemName(usage) + std::string(views::middleDot) + partitionStyleName(layout),
                                     BrandFont::callout, BrandColor::textMuted, card);
    facts->setObjectName(QStringLiteral("home.driveInfo.facts"));
    titles->addWidget(facts);
    header->addLayout(titles, 1);
    column->addLayout(header);

    if (const auto model = usageModel(usage)) {
        auto* usageColumn = new QVBoxLayout;
        usageColumn->setSpacing(5);
        QProgressBar* bar = views::flatBar(6, BrandColor::border, usageScale, card);
        bar->setObjectName(QStringLiteral("home.driveInfo.usageBar"));
        bar->setValue(static_cast<int>(model->usedFraction * usageScale + 0.5));
        usageColumn->addWidget(bar);
        auto* line = views::styledLabel(model->line, BrandFont::caption, BrandColor::textMuted, card);
        line->setObjectName(QStringLiteral("home.driveInfo.usage"));
        usageColumn->addWidget(line);
        column->addLayout(usageColumn);
    }

    column->addWidget(views::divider(card));

    auto* factsRow = new QHBoxLayout;
    factsRow->setSpacing(8);
    auto* versionLabel = views::styledLabel(versionText(installedVersion), BrandFont::callout, BrandColor::text, card);
    versionLabel->setObjectName(QStringLiteral("home.driveInfo.version"));
    factsRow->addWidget(versionLabel, 1);
    chip = new StatusChip(currentStatus, card);
    chip->setObjectName(QStringLiteral("home.driveInfo.status"));
    factsRow->addWidget(chip, 0, Qt::AlignVCenter);
    column->addLayout(factsRow);

    // One element for assistive technology; its label says all the card shows.
    for (QWidget* child : findChildren<QWidget*>()) ui::hideFromAccessibility(*child);
    setAccessibleName(QString::fromStdString(accessibilityLabel()));

    if (catalog) {
        catalogSubscription = catalog->observers().subscribe([this](VentoyCatalogModel::Property property) {
            if (property == VentoyCatalogModel::Property::recommended) showRecommendation(catalog->recommended().version());
        });
    }
}

DriveInfoView::~DriveInfoView() {
    if (catalog) catalog->observers().unsubscribe(catalogSubscription);
}

void DriveInfoView::showRecommendation(const std::string& recommendedVersion) {
    currentStatus = status(installedVersion, recommendedVersion);
    chip->setStatus(currentStatus);
    setAccessibleName(QString::fromStdString(accessibilityLabel()));
}

}  // namespace marlowick

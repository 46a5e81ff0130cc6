#include "Home/Views/AdvancedOptionsSection.hpp"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Design/BrandCard.hpp"
#include "Design/BrandStyle.hpp"
#include "Home/Views/DriveContextViews.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Home/Views/ViewKit.hpp"
#include "Text/PlatformWording.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"
#include "UI/SegmentedControl.hpp"
#include "UI/TabOrder.hpp"

namespace marlowick {
namespace {

// The section is a recessed box; its notes stand on it.
constexpr TextBackground inBox{BrandColor::surfaceSunken};

constexpr const char* partitionHelp =
    "MBR boots the widest range of PCs; GPT suits UEFI-only machines and very large drives. Leave on MBR unless you "
    "know you need GPT.";
constexpr const char* formatHelp =
    "exFAT stores ISO files larger than 4 GB and is the right choice for almost everyone. FAT32 is for PCs or tools "
    "that can't read exFAT — but it can't hold any file over 4 GB, so large Windows and some Linux ISOs won't fit.";
constexpr const char* clusterHelp =
    "The allocation unit for the data partition. Larger clusters suit a few large files (disk images) with less "
    "overhead; smaller clusters waste less space with many small files. Leave on Automatic unless you know you need "
    "a specific size.";
constexpr const char* alignHelp =
    "Starts partitions on 4 KB boundaries to match modern flash drives, for best speed and lifespan. Leave on unless "
    "you need an exact legacy layout.";
constexpr const char* reserveHelp =
    "Leaves unallocated space at the end of the drive (for example to add another partition later).";
constexpr const char* versionHelp =
    "All listed releases are checksum-pinned by Marlowick and downloaded from Ventoy's official GitHub releases. "
    "Leave on Recommended if unsure.";

std::string volumeLabelHelp() {
    return "The name the drive shows in " + std::string(PlatformWording::fileManager) + ". Up to " +
           std::to_string(AdvancedInstallOptions::maximumLabelLength) +
           " characters; leave blank for the default (MARLOWICK).";
}

// The label cell: the row's title and its help button, 140 wide.
QWidget* rowLabel(const std::string& title, const std::string& help, QWidget* parent) {
    auto* cell = new QWidget(parent);
    cell->setFixedWidth(140);
    auto* row = new QHBoxLayout(cell);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    QLabel* text = views::styledLabel(title, BrandFont::callout, BrandColor::textMuted, cell);
    text->setWordWrap(false);
    row->addWidget(text);
    row->addWidget(new InfoHint(title, help, cell));
    row->addStretch(1);
    return cell;
}

void styleCheckBox(QCheckBox& box) {
    box.setFont(BrandStyle::font(BrandFont::callout));
    views::setTextColor(box, BrandColor::text);
}

void styleField(QWidget& field) {
    field.setFont(BrandStyle::font(BrandFont::callout));
    field.setStyleSheet(QStringLiteral("QLineEdit, QComboBox { background: %1; color: %2; border: 1px solid %3;"
                                       " border-radius: 6px; padding: 3px 6px; }"
                                       "QLineEdit:focus, QComboBox:focus { border: 2px solid %4; }")
                            .arg(BrandStyle::color(BrandColor::surface).name(),
                                 BrandStyle::color(BrandColor::text).name(),
                                 BrandStyle::color(BrandColor::border).name(),
                                 BrandStyle::color(BrandColor::primary).name()));
}

}  // namespace

std::string AdvancedOptionsSection::versionLabel(const VentoyReleaseManifest& manifest,
                                                 const std::string& recommendedVersion) {
    return manifest.version() == recommendedVersion ? manifest.version() + " (recommended)" : manifest.version();
}

AdvancedOptionsSection::AdvancedOptionsSection(HomeOperationKind operationKind,
                                               ui::Binding<AdvancedInstallOptions> boundOptions, std::int64_t capacity,
                                               std::shared_ptr<VentoyCatalogModel> catalogModel, QWidget* parent)
    : QWidget(parent), kind(operationKind), options(std::move(boundOptions)), capacityBytes(capacity),
      catalog(std::move(catalogModel)) {
    ui::identify(*this, "home.confirm.advanced.section");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(14);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(14);
    grid->setColumnStretch(1, 1);
    int row = 0;
    // A row's label, with its help button, is made after its control but read before it.
    const auto placeRow = [&](const std::string& title, const std::string& help, QWidget* control,
                              Qt::Alignment labelAlignment, Qt::Alignment controlAlignment) {
        QWidget* label = rowLabel(title, help, this);
        grid->addWidget(label, row, 0, labelAlignment);
        grid->addWidget(control, row, 1, controlAlignment);
        ui::orderTabStops({label, control});
        ++row;
    };
    const auto addRow = [&](const std::string& title, const std::string& help, QWidget* control, bool top) {
        const Qt::Alignment vertical = top ? Qt::AlignTop : Qt::AlignVCenter;
        placeRow(title, help, control, vertical, vertical | Qt::AlignLeft);
    };
    // A cell with a note under its control takes the row's whole width.
    const auto addCellRow = [&](const std::string& title, const std::string& help, QWidget* cell) {
        placeRow(title, help, cell, Qt::AlignTop, Qt::AlignTop);
    };

    partitionStyle = new ui::SegmentedControl(QStringLiteral("home.confirm.advanced.partitionStyle"), {"MBR", "GPT"}, this);
    partitionStyle->setAccessibleName(QStringLiteral("Partition scheme"));
    connect(partitionStyle, &ui::SegmentedControl::chosen, this, [this](int index) {
        write([index](AdvancedInstallOptions& value) {
            value.partitionStyle = index == 0 ? PartitionStyle::mbr : PartitionStyle::gpt;
        });
    });
    addRow("Partition scheme", partitionHelp, partitionStyle, false);

    if (installs()) {
        auto* formatCell = new QWidget(this);
        auto* formatColumn = new QVBoxLayout(formatCell);
        formatColumn->setContentsMargins(0, 0, 0, 0);
        formatColumn->setSpacing(6);
        filesystem = new ui::SegmentedControl(QStringLiteral("home.confirm.advanced.filesystem"), {"exFAT", "FAT32"},
                                              formatCell);
        filesystem->setAccessibleName(QStringLiteral("Format"));
        formatColumn->addWidget(filesystem, 0, Qt::AlignLeft);
        fat32Note = new viewkit::Note("home.confirm.advanced.fat32Note", "info.circle", BrandColor::warningText, inBox,
                                      formatCell);
        fat32Note->setText("FAT32 can't hold files over 4 GB — Marlowick will refuse larger images for this drive.");
        formatColumn->addWidget(fat32Note);
        connect(filesystem, &ui::SegmentedControl::chosen, this, [this](int index) {
            write([index](AdvancedInstallOptions& value) {
                value.filesystem = index == 0 ? DriveFilesystem::exfat : DriveFilesystem::fat32;
                const auto offered = value.clusterChoices();
                if (std::find(offered.begin(), offered.end(), value.clusterChoice) == offered.end()) {
                    value.clusterChoice = ClusterChoice::automatic;
                }
            });
        });
        formatCell->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        addCellRow("Format", formatHelp, formatCell);
    } else {
        QLabel* fixed = views::styledLabel("exFAT", BrandFont::callout, BrandColor::textMuted, this);
        fixed->setObjectName(QStringLiteral("home.confirm.advanced.filesystem"));
        addRow("Format", formatHelp, fixed, true);
    }

    cluster = new QComboBox(this);
    ui::identify(*cluster, "home.confirm.advanced.cluster", "Cluster size");
    styleField(*cluster);
    cluster->setMinimumWidth(160);
    connect(cluster, &QComboBox::activated, this, [this](int index) {
        const auto raw = cluster->itemData(index).toLongLong();
        write([raw](AdvancedInstallOptions& value) {
            value.clusterChoice = clusterChoiceFromRaw(raw).value_or(ClusterChoice::automatic);
        });
    });
    addRow("Cluster size", clusterHelp, cluster, false);

    volumeLabel = new QLineEdit(this);
    ui::identify(*volumeLabel, "home.confirm.advanced.label", "Volume label");
    volumeLabel->setPlaceholderText(QStringLiteral("MARLOWICK"));
    styleField(*volumeLabel);
    volumeLabel->setMinimumWidth(160);
    connect(volumeLabel, &QLineEdit::textEdited, this, [this](const QString& text) {
        const std::string typed = text.toStdString();
        write([&typed](AdvancedInstallOptions& value) { value.volumeLabel = typed; });
    });
    addRow("Volume label", volumeLabelHelp(), volumeLabel, false);

    if (installs()) {
        align = new QCheckBox(QStringLiteral("Align partitions to 4 KB"), this);
        ui::identify(*align, "home.confirm.advanced.align");
        styleCheckBox(*align);
        connect(align, &QCheckBox::clicked, this, [this](bool on) {
            write([on](AdvancedInstallOptions& value) { value.alignTo4K = on; });
        });
        addRow("Alignment", alignHelp, align, false);

        auto* reserveCell = new QWidget(this);
        auto* reserveColumn = new QVBoxLayout(reserveCell);
        reserveColumn->setContentsMargins(0, 0, 0, 0);
        reserveColumn->setSpacing(8);
        // Its caption is longer than the column is wide: it wraps beside the box.
        reserveToggle = new QCheckBox(reserveCell);
        reserveToggle->setObjectName(QStringLiteral("home.confirm.advanced.reserveToggle"));
        connect(reserveToggle, &QCheckBox::clicked, this, [this](bool on) {
            write([on](AdvancedInstallOptions& value) { value.reserveEnabled = on; });
        });
        reserveColumn->addLayout(viewkit::captionedCheckBox(*reserveToggle, "Leave free space at the end of the disk",
                                                            BrandFont::callout, BrandColor::text));
        reserveLine = new QWidget(reserveCell);
        auto* amountRow = new QHBoxLayout(reserveLine);
        amountRow->setContentsMargins(0, 0, 0, 0);
        amountRow->setSpacing(8);
        reserveAmount = new QLineEdit(reserveLine);
        ui::identify(*reserveAmount, "home.confirm.advanced.reserveAmount", "Reserve amount");
        reserveAmount->setPlaceholderText(QStringLiteral("0"));
        reserveAmount->setFixedWidth(80);
        styleField(*reserveAmount);
        connect(reserveAmount, &QLineEdit::textEdited, this, [this](const QString& text) {
            // Text that is not a whole number keeps the last amount that was one.
            bool ok = false;
            const qlonglong amount = QLocale().toLongLong(text.trimmed(), &ok);
            if (!ok) return;
            write([amount](AdvancedInstallOptions& value) { value.reserveAmount = amount; });
        });
        reserveUnit = new ui::SegmentedControl(QStringLiteral("home.confirm.advanced.reserveUnit"), {"MB", "GB"},
                                               reserveLine);
        reserveUnit->setAccessibleName(QStringLiteral("Reserve unit"));
        reserveUnit->setFixedWidth(96);
        connect(reserveUnit, &ui::SegmentedControl::chosen, this, [this](int index) {
            write([index](AdvancedInstallOptions& value) {
                value.reserveUnit = index == 0 ? ReserveUnit::megabytes : ReserveUnit::gigabytes;
            });
        });
        amountRow->addWidget(reserveAmount);
        amountRow->addWidget(reserveUnit);
        amountRow->addStretch(1);
        reserveColumn->addWidget(reserveLine);
        addCellRow("Reserve space", reserveHelp, reserveCell);

        auto* versionCell = new QWidget(this);
        auto* versionColumn = new QVBoxLayout(versionCell);
        versionColumn->setContentsMargins(0, 0, 0, 0);
        versionColumn->setSpacing(6);
        version = new QComboBox(versionCell);
        ui::identify(*version, "home.confirm.advanced.version", "Ventoy version");
        styleField(*version);
        version->setMinimumWidth(180);
        connect(version, &QComboBox::activated, this, [this](int index) {
            const std::string chosen = version->itemData(index).toString().toStdString();
            write([&chosen](AdvancedInstallOptions& value) { value.selectedVentoyVersion = chosen; });
        });
        versionColumn->addWidget(version, 0, Qt::AlignLeft);
        versionOlderNote = new viewkit::Note("home.confirm.advanced.versionOlderNote", "info.circle",
                                             BrandColor::warningText, inBox, versionCell);
        versionColumn->addWidget(versionOlderNote);
        addCellRow("Ventoy version", versionHelp, versionCell);
        fillVersions();
        // A refreshed catalog moves the "(recommended)" mark and the list.
        catalogSubscription = this->catalog->observers().subscribe([this](VentoyCatalogModel::Property) {
            fillVersions();
            sync();
        });
    }
    column->addLayout(grid);

    validation = new viewkit::Note("home.confirm.advanced.validation", "exclamationmark.triangle.fill",
                                   BrandColor::errorText, inBox, this);
    column->addWidget(validation);
    reset = viewkit::linkButton("Reset to proven defaults", BrandFont::caption, BrandColor::primary, this);
    ui::identify(*reset, "home.confirm.advanced.reset", "Reset to proven defaults");
    connect(reset, &QPushButton::clicked, this, [this] {
        this->options.set(AdvancedInstallOptions(*this->catalog->catalog()));
        sync();
        emit edited();
    });
    column->addWidget(reset, 0, Qt::AlignLeft);

    sync();
}

AdvancedOptionsSection::~AdvancedOptionsSection() {
    if (catalogSubscription != 0) catalog->observers().unsubscribe(catalogSubscription);
}

bool AdvancedOptionsSection::installs() const { return needsVentoyAssets(kind); }

void AdvancedOptionsSection::write(const std::function<void(AdvancedInstallOptions&)>& change) {
    AdvancedInstallOptions value = options.get();
    change(value);
    options.set(value);
    sync();
    emit edited();
}

void AdvancedOptionsSection::fillVersions() {
    if (version == nullptr) return;
    const QSignalBlocker blocker(version);
    version->clear();
    const std::string recommended = catalog->recommended().version();
    for (const VentoyReleaseManifest& manifest : catalog->available()) {
        version->addItem(ui::qtText(versionLabel(manifest, recommended)), ui::qtText(manifest.version()));
    }
}

void AdvancedOptionsSection::fillClusters(const AdvancedInstallOptions& value) {
    // Installing offers what the chosen file system can hold; removal always formats exFAT.
    std::vector<ClusterChoice> offered(allClusterChoices.begin(), allClusterChoices.end());
    if (installs()) offered = value.clusterChoices();
    const QSignalBlocker blocker(cluster);
    cluster->clear();
    for (ClusterChoice choice : offered) {
        cluster->addItem(ui::qtText(label(choice)), QVariant::fromValue<qlonglong>(rawValue(choice)));
    }
    cluster->setCurrentIndex(cluster->findData(QVariant::fromValue<qlonglong>(rawValue(value.clusterChoice))));
}

void AdvancedOptionsSection::sync() {
    const AdvancedInstallOptions value = options.get();
    partitionStyle->setCurrentIndex(value.partitionStyle == PartitionStyle::mbr ? 0 : 1);
    if (filesystem != nullptr) {
        filesystem->setCurrentIndex(value.filesystem == DriveFilesystem::exfat ? 0 : 1);
        fat32Note->setVisible(value.filesystem == DriveFilesystem::fat32);
    }
    fillClusters(value);
    if (volumeLabel->text().toStdString() != value.volumeLabel) volumeLabel->setText(ui::qtText(value.volumeLabel));
    if (align != nullptr) {
        align->setChecked(value.alignTo4K);
        reserveToggle->setChecked(value.reserveEnabled);
        reserveLine->setVisible(value.reserveEnabled);
        bool ok = false;
        const qlonglong shownAmount = QLocale().toLongLong(reserveAmount->text().trimmed(), &ok);
        if (!ok || shownAmount != value.reserveAmount) {
            reserveAmount->setText(QLocale().toString(static_cast<qlonglong>(value.reserveAmount)));
        }
        reserveUnit->setCurrentIndex(value.reserveUnit == ReserveUnit::megabytes ? 0 : 1);
        const QSignalBlocker blocker(version);
        const int index = version->findData(ui::qtText(value.selectedVentoyVersion));
        version->setCurrentIndex(index);
        const bool older = value.selectedVentoyVersion != catalog->catalog()->recommended().version();
        versionOlderNote->setVisible(older);
        if (older) {
            versionOlderNote->setText("Older than the recommended " + catalog->recommended().version() +
                                      ". Newer releases usually boot more machines — pick it only if you need this "
                                      "exact version.");
        }
    }
    const std::optional<std::string> error = value.validationError(capacityBytes);
    validation->setVisible(error.has_value());
    if (error) validation->setText(*error);
    reset->setVisible(!(value == AdvancedInstallOptions(*catalog->catalog())));
}

void AdvancedOptionsSection::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintRoundedBox(painter, rect(), 12, BrandStyle::color(BrandColor::surfaceSunken));
}

}  // namespace marlowick

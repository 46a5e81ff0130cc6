#include "Home/Views/DrivePickerView.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Home/Views/DriveContextViews.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Text/PlatformWording.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"

namespace marlowick {
namespace {

// One disk: symbol, name, detail line, the warning when there is one, and a chevron.
views::RowButton* driveRow(const DiscoveredDisk& disk, QWidget* parent) {
    auto* row = new views::RowButton(BrandColor::bg, 10, parent);
    ui::identify(*row, "home.picker.row." + disk.bsdName, DrivePickerView::accessibilityLabel(disk),
                 "Selects this drive as the target.");

    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(12, 12, 12, 12);
    line->setSpacing(12);
    line->addWidget(views::symbolLabel("externaldrive.fill", 22, BrandColor::primary, row), 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* name = views::styledLabel(disk.name, BrandFont::cardTitle, BrandColor::textHeading, row);
    name->setObjectName(QStringLiteral("home.picker.row.name"));
    texts->addWidget(name);
    auto* detail = views::styledLabel(DrivePickerView::detailText(disk), BrandFont::callout, BrandColor::textMuted, row);
    detail->setObjectName(QStringLiteral("home.picker.row.detail"));
    texts->addWidget(detail);
    if (const auto caution = DrivePickerView::cautionText(disk)) {
        auto* warning = new QHBoxLayout;
        warning->setContentsMargins(0, 3, 0, 0);
        warning->setSpacing(5);
        warning->addWidget(views::symbolLabel("exclamationmark.triangle.fill", 12, BrandColor::warningText, row), 0,
                           Qt::AlignTop);
        auto* text = views::styledLabel(*caution, BrandFont::caption, BrandColor::warningText, row, {BrandColor::bg});
        text->setObjectName(QStringLiteral("home.picker.row.caution"));
        warning->addWidget(text, 1);
        texts->addLayout(warning);
    }
    line->addLayout(texts, 1);
    line->addWidget(views::symbolLabel("chevron.right", 13, BrandColor::textSubtle, row), 0, Qt::AlignVCenter);

    // The row is one element: its label says everything the texts show.
    for (QWidget* child : row->findChildren<QWidget*>()) ui::hideFromAccessibility(*child);
    row->finishChildren();
    return row;
}

QWidget* emptyState(QWidget* parent) {
    auto* box = new QWidget(parent);
    box->setObjectName(QStringLiteral("home.picker.empty"));
    auto* line = new QHBoxLayout(box);
    line->setContentsMargins(0, 12, 0, 12);
    line->setSpacing(10);
    line->addWidget(views::symbolLabel("externaldrive.badge.questionmark", 18, BrandColor::textSubtle, box), 0,
                    Qt::AlignVCenter);
    line->addWidget(views::styledLabel("No removable drives found. Plug one in, then rescan.", BrandFont::body,
                                       BrandColor::textMuted, box),
                    1);
    return box;
}

}  // namespace

std::string DrivePickerView::detailText(const DiscoveredDisk& disk) {
    return driveSizeText(disk.geometry.capacityBytes) + std::string(views::middleDot) + disk.deviceProtocol.value_or("Disk") +
           std::string(views::middleDot) + disk.bsdName;
}

std::optional<std::string> DrivePickerView::cautionText(const DiscoveredDisk& disk) {
    const auto caution = disk.caution();
    if (!caution) return std::nullopt;
    switch (*caution) {
    case DriveCaution::unusuallyLarge:
        return "Unusually large for a flash drive. Check this is the right one \xE2\x80\x94 preparing it erases "
               "everything.";
    case DriveCaution::fixedDiskInEnclosure:
        return "Looks like a portable SSD or hard drive, not a flash drive. Check this is the right one \xE2\x80\x94 "
               "preparing it erases everything.";
    }
    return std::nullopt;
}

std::string DrivePickerView::accessibilityLabel(const DiscoveredDisk& disk) {
    std::string label = disk.name + ", " + driveSizeText(disk.geometry.capacityBytes) + ", " +
                        disk.deviceProtocol.value_or("Disk") + ", " + disk.bsdName;
    if (const auto caution = cautionText(disk)) label += ". Warning: " + *caution;
    return label;
}

DrivePickerView::DrivePickerView(QWidget& window, std::vector<DiscoveredDisk> disks, SelectAction select,
                                 Action onRescan, Action onCancel)
    : ui::Sheet(window, QStringLiteral("home.picker.sheet")), shown(std::move(disks)), onSelect(std::move(select)) {
    const views::SheetParts parts = views::sheetParts(*this, QStringLiteral("Choose a drive"), sheetWidth);
    content = parts.body;

    auto* header = new QVBoxLayout;
    header->setSpacing(6);
    auto* title = views::styledLabel("Choose a drive", BrandFont::sectionTitle, BrandColor::textHeading, this);
    title->setObjectName(QStringLiteral("home.picker.title"));
    header->addWidget(title);
    header->addWidget(views::styledLabel("Pick the USB drive to use. Only external, removable drives appear here "
                                         "\xE2\x80\x94 " + std::string(PlatformWording::ownSystemDisk) +
                                             " is never listed.",
                                         BrandFont::callout, BrandColor::textMuted, this));
    content->addLayout(header);

    QHBoxLayout* buttons = parts.footer;
    auto* rescan = rescanButton = new QPushButton(QStringLiteral("Rescan"), this);
    ui::identify(*rescan, "home.picker.rescan");
    views::applyButtonLook(*rescan, views::ButtonLook::bordered);
    auto* cancel = cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    ui::identify(*cancel, "home.picker.cancel");
    views::applyButtonLook(*cancel, views::ButtonLook::bordered);
    buttons->addWidget(rescan);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    rebuildList();

    // Neither button is pressed by Return: a row has the focus more often than not.
    for (QPushButton* button : {rescan, cancel}) button->setAutoDefault(false);
    connect(rescan, &QPushButton::clicked, this, [action = std::move(onRescan)] {
        if (action) action();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [action = std::move(onCancel)] {
        if (action) action();
    });
}

void DrivePickerView::setDisks(std::vector<DiscoveredDisk> disks) {
    shown = std::move(disks);
    rebuildList();
}

void DrivePickerView::rebuildList() {
    const int position = listArea == nullptr ? 1 : content->indexOf(listArea);  // below the header
    if (listArea != nullptr) {
        content->removeWidget(listArea);
        listArea->hide();
        // Out of the sheet at once, deleted once control is back in the event loop: the
        // click that led here may have come from one of its rows.
        listArea->setParent(nullptr);
        listArea->deleteLater();
    }
    if (shown.empty()) {
        listArea = emptyState(this);
    } else {
        auto* scroll = new views::BoundedScrollArea(listMaximumHeight, false, this);
        scroll->setObjectName(QStringLiteral("home.picker.list"));
        scroll->setFocusPolicy(Qt::NoFocus);
        auto* rows = new QWidget(scroll);
        rows->setAutoFillBackground(false);
        auto* column = new QVBoxLayout(rows);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(8);
        for (const DiscoveredDisk& disk : shown) {
            auto* row = driveRow(disk, rows);
            connect(row, &QAbstractButton::clicked, this, [this, disk] {
                if (onSelect) onSelect(disk);
            });
            column->addWidget(row);
        }
        column->addStretch(1);  // what the area has beyond the rows stays below them
        scroll->setContent(rows);
        scroll->setFixedWidth(sheetWidth - 48);
        listArea = scroll;
    }
    content->insertWidget(position, listArea);
    // A child made while the sheet shows stays hidden until told, and the height below
    // would leave it out.
    listArea->show();
    // Tab order follows the sheet from top to bottom: the rows, then Rescan and Cancel.
    if (rescanButton == nullptr) return;
    QWidget* previous = nullptr;
    for (QWidget* row : listArea->findChildren<views::RowButton*>()) {
        if (previous != nullptr) setTabOrder(previous, row);
        previous = row;
    }
    if (previous != nullptr) setTabOrder(previous, rescanButton);
    setTabOrder(rescanButton, cancelButton);
    // The buttons were made before the rows, so the sheet would open on Rescan: it opens on
    // the first drive, where reading starts. After a rescan the focus stays where it is.
    const QList<views::RowButton*> rows = listArea->findChildren<views::RowButton*>();
    if (!rows.isEmpty() && (!isVisible() || focusWidget() == nullptr)) rows.front()->setFocus(Qt::OtherFocusReason);
    fit();
}

}  // namespace marlowick

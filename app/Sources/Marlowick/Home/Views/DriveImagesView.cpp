#include "Home/Views/DriveImagesView.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Home/HomeAccessibility.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Image/ByteCountText.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"

namespace marlowick {
namespace {

QWidget* imageRow(const HelperImageEntry& entry, std::size_t position, QWidget* parent) {
    auto* row = new QWidget(parent);
    const std::string name = DriveImagesView::shownName(entry);
    const std::string size = ByteCountText::fileSize(entry.sizeBytes);
    ui::identify(*row, "home.driveImages.row." + std::to_string(position), name + ", " + size);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 7, 0, 7);
    line->setSpacing(10);
    line->addWidget(views::symbolLabel("opticaldisc", 15, BrandColor::primary, row), 0, Qt::AlignVCenter);
    auto* nameLabel = new views::ElidedLabel(ui::qtText(name), BrandFont::callout, BrandColor::text, row);
    nameLabel->setObjectName(QStringLiteral("home.driveImages.row.name"));
    line->addWidget(nameLabel, 1);
    line->addSpacing(8);
    auto* sizeLabel = views::styledLabel(size, BrandFont::caption, BrandColor::textMuted, row);
    sizeLabel->setObjectName(QStringLiteral("home.driveImages.row.size"));
    sizeLabel->setWordWrap(false);
    line->addWidget(sizeLabel, 0, Qt::AlignVCenter);
    for (QWidget* child : row->findChildren<QWidget*>()) ui::hideFromAccessibility(*child);
    return row;
}

}  // namespace

std::string DriveImagesView::shownName(const HelperImageEntry& entry) {
    std::string_view path = entry.path;
    if (path.starts_with('/')) path.remove_prefix(1);
    return path.empty() ? entry.name : std::string(path);
}

std::string DriveImagesView::totalSizeText(const std::vector<HelperImageEntry>& images) {
    std::int64_t total = 0;
    for (const HelperImageEntry& entry : images) {
        // A sum past 64 bits (never met on a real drive) stays at the largest count.
        if (__builtin_add_overflow(total, entry.sizeBytes, &total)) total = INT64_MAX;
    }
    return ByteCountText::fileSize(total);
}

std::string DriveImagesView::summaryText(const std::vector<HelperImageEntry>& images) {
    return std::to_string(images.size()) + std::string(views::middleDot) + totalSizeText(images);
}

DriveImagesView::DriveImagesView(std::vector<HelperImageEntry> images, Action onRefresh, Action onBrowse,
                                 QWidget* parent)
    : QWidget(parent) {
    ui::identify(*this, "home.driveImages", HomeAccessibility::driveImagesLabel(static_cast<long long>(images.size())));
    auto* column = views::driveCardColumn(*this, 8);
    QWidget* card = column->parentWidget();

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* title = views::styledLabel("Images on this drive", BrandFont::cardTitle, BrandColor::textHeading, card);
    title->setWordWrap(false);
    header->addWidget(title);
    header->addStretch(1);
    if (!images.empty()) {
        auto* summary = views::styledLabel(summaryText(images), BrandFont::caption, BrandColor::textMuted, card);
        summary->setObjectName(QStringLiteral("home.driveImages.summary"));
        summary->setWordWrap(false);
        header->addWidget(summary);
    }
    if (onBrowse) {
        auto* browse = new QPushButton(QStringLiteral("Browse"), card);
        const std::string_view hint = "Opens every folder on the drive, where you can delete images.";
        ui::identify(*browse, "home.driveImages.browse", "Browse", hint);
        browse->setToolTip(ui::qtText(hint));
        views::applyButtonLook(*browse, views::ButtonLook::plain, BrandFont::caption, BrandColor::primary, true);
        views::setSymbol(*browse, "folder", 12, BrandStyle::color(BrandColor::primary));
        connect(browse, &QPushButton::clicked, this, [action = std::move(onBrowse)] { action(); });
        header->addWidget(browse);
    }
    if (onRefresh) {
        auto* refresh = new QPushButton(card);
        ui::identify(*refresh, "home.driveImages.refresh", "Refresh images", HomeAccessibility::driveImagesRefreshHint);
        refresh->setToolTip(QStringLiteral("Refresh images"));
        views::applyButtonLook(*refresh, views::ButtonLook::plain, BrandFont::caption, BrandColor::primary);
        views::setSymbol(*refresh, "arrow.clockwise", 12, BrandStyle::color(BrandColor::primary));
        connect(refresh, &QPushButton::clicked, this, [action = std::move(onRefresh)] { action(); });
        header->addWidget(refresh);
    }
    column->addLayout(header);

    if (images.empty()) {
        auto* empty = new QHBoxLayout;
        empty->setContentsMargins(0, 4, 0, 4);
        empty->setSpacing(8);
        empty->addWidget(views::symbolLabel("tray", 14, BrandColor::textSubtle, card), 0, Qt::AlignVCenter);
        auto* text = views::styledLabel("No images yet \xE2\x80\x94 add one to boot from it.", BrandFont::callout,
                                        BrandColor::textMuted, card);
        text->setObjectName(QStringLiteral("home.driveImages.empty"));
        empty->addWidget(text, 1);
        column->addLayout(empty);
        return;
    }

    auto* scroll = new views::BoundedScrollArea(listMaximumHeight, false, card);
    scroll->setObjectName(QStringLiteral("home.driveImages.list"));
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* rows = new QWidget(scroll);
    auto* list = new QVBoxLayout(rows);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(0);
    for (std::size_t position = 0; position < images.size(); ++position) {
        if (position > 0) {
            auto* line = views::divider(rows);
            line->setObjectName(QStringLiteral("home.driveImages.divider"));
            list->addWidget(line);
        }
        list->addWidget(imageRow(images[position], position, rows));
    }
    list->addStretch(1);  // what the area has beyond the rows stays below them
    scroll->setContent(rows);
    column->addWidget(scroll);
}

}  // namespace marlowick

#pragma once
// The card of a ready Ventoy drive: its name and size, the data partition's file system and
// the partition style, how full the data partition is, which Ventoy version is installed
// and whether the recommended release is newer. It reads nothing of the home model: it is
// given the ready state's values and the drive's name, and follows the release catalog's
// recommendation while it shows.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QWidget>

#include "HelperWire/HelperDriveStatus.hpp"
#include "HelperWire/HelperVentoyLayout.hpp"
#include "Home/Views/DriveContextViews.hpp"

namespace marlowick {

class VentoyCatalogModel;

class DriveInfoView : public QWidget {
    Q_OBJECT
public:
    struct UsageModel {
        double usedFraction = 0;  // 0…1
        std::string line;         // "12 GB free of 32 GB"
        bool operator==(const UsageModel&) const = default;
    };

    // `catalog` may be null: then no recommendation is known.
    DriveInfoView(std::string deviceName, HelperVentoyLayout layout, std::optional<std::string> installedVersion,
                  std::optional<HelperDriveUsage> usage, std::shared_ptr<VentoyCatalogModel> catalog,
                  QWidget* parent = nullptr);
    ~DriveInfoView() override;

    // What the card says, derived from its values alone.
    // Sectors × sector size; -1 when that is not a byte count (negative or past 64 bits).
    [[nodiscard]] static std::int64_t capacityBytes(const HelperVentoyLayout& layout);
    [[nodiscard]] static std::string filesystemName(const std::optional<HelperDriveUsage>& usage);
    [[nodiscard]] static std::string partitionStyleName(const HelperVentoyLayout& layout);
    [[nodiscard]] static std::string versionText(const std::optional<std::string>& installedVersion);
    [[nodiscard]] static std::optional<UsageModel> usageModel(const std::optional<HelperDriveUsage>& usage);
    [[nodiscard]] static DriveContextStatus status(const std::optional<std::string>& installedVersion,
                                                   const std::string& recommendedVersion);

    [[nodiscard]] std::string accessibilityLabel() const;

private:
    void showRecommendation(const std::string& recommendedVersion);

    std::string deviceName;
    HelperVentoyLayout layout;
    std::optional<std::string> installedVersion;
    std::optional<HelperDriveUsage> usage;
    std::shared_ptr<VentoyCatalogModel> catalog;
    std::size_t catalogSubscription = 0;
    DriveContextStatus currentStatus;
    StatusChip* chip = nullptr;
};

}  // namespace marlowick

#pragma once
// The install and remove options inside the confirmation sheet's "Advanced options":
// partition scheme, file system, cluster size, volume label, 4 KB alignment, space reserved
// at the end of the drive and the Ventoy release. Prepare and reinstall show all seven
// rows; removing Ventoy shows the first four, with the file system fixed to exFAT. Below
// the rows: the first validation message, and a link back to the defaults while the
// options differ from them. Every control writes straight into the bound options (the
// model's); the rules, messages and defaults are AdvancedInstallOptions'.

#include <cstdint>
#include <functional>
#include <memory>

#include <QWidget>

#include "Home/AdvancedInstallOptions.hpp"
#include "Home/HomeOperationKind.hpp"
#include "Home/VentoyCatalogModel.hpp"
#include "UI/Binding.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace marlowick {

namespace ui {
class SegmentedControl;
}
namespace viewkit {
class Note;
}

class AdvancedOptionsSection : public QWidget {
    Q_OBJECT
public:
    AdvancedOptionsSection(HomeOperationKind kind, ui::Binding<AdvancedInstallOptions> options,
                           std::int64_t capacityBytes, std::shared_ptr<VentoyCatalogModel> catalog,
                           QWidget* parent = nullptr);
    ~AdvancedOptionsSection() override;

    // Shows the bound options as they are now.
    void sync();

    // "1.1.17 (recommended)" for the recommended release, else the version alone.
    [[nodiscard]] static std::string versionLabel(const VentoyReleaseManifest& manifest,
                                                  const std::string& recommendedVersion);

signals:
    // The user changed an option (already written through the binding).
    void edited();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] bool installs() const;
    void write(const std::function<void(AdvancedInstallOptions&)>& change);
    void fillVersions();
    void fillClusters(const AdvancedInstallOptions& options);

    HomeOperationKind kind;
    ui::Binding<AdvancedInstallOptions> options;
    std::int64_t capacityBytes;
    std::shared_ptr<VentoyCatalogModel> catalog;
    std::size_t catalogSubscription = 0;

    ui::SegmentedControl* partitionStyle = nullptr;
    ui::SegmentedControl* filesystem = nullptr;
    viewkit::Note* fat32Note = nullptr;
    QComboBox* cluster = nullptr;
    QLineEdit* volumeLabel = nullptr;
    QCheckBox* align = nullptr;
    QCheckBox* reserveToggle = nullptr;
    QWidget* reserveLine = nullptr;
    QLineEdit* reserveAmount = nullptr;
    ui::SegmentedControl* reserveUnit = nullptr;
    QComboBox* version = nullptr;
    viewkit::Note* versionOlderNote = nullptr;
    viewkit::Note* validation = nullptr;
    QPushButton* reset = nullptr;
};

}  // namespace marlowick

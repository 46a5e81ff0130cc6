#include "Install/VentoyInstallOptions.hpp"

#include "Text/CaseDescription.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

void fail(VentoyInstallOptionsError::Case error) { throw VentoyInstallOptionsError(std::move(error)); }

void checkClusterBytes(std::int64_t size, DriveFilesystem filesystem) {
    if (size < 1 || (size & (size - 1)) != 0) fail(VentoyInstallOptionsError::ClusterNotPowerOfTwo{size});
    if (size < VentoyInstallOptions::minClusterBytes || size > marlowick::maxClusterBytes(filesystem)) {
        fail(VentoyInstallOptionsError::ClusterOutOfRange{size});
    }
}

// Counted in UTF-16 code units, untrimmed: the exFAT and FAT32 formatters refuse a label
// of 12 or more units, and a refusal found only at format time would leave a drive with
// a fresh partition table and no file system.
void checkVolumeLabel(const std::string& label) {
    if (isBlank(label)) fail(VentoyInstallOptionsError::BlankVolumeLabel{});
    const std::int64_t length = utf16Length(label);
    if (length > VentoyInstallOptions::maxLabelLength) fail(VentoyInstallOptionsError::VolumeLabelTooLong{length});
}

}  // namespace

VentoyInstallOptions::VentoyInstallOptions(DriveFilesystem dataFilesystem, PartitionStyle partitionStyle,
                                           std::int64_t reserveBytesAtEnd, bool alignTo4K,
                                           std::optional<std::string> ventoyVersion,
                                           std::optional<std::int64_t> dataClusterBytes,
                                           std::optional<std::string> volumeLabel)
    : dataFilesystemValue(dataFilesystem),
      partitionStyleValue(partitionStyle),
      reserveBytesValue(reserveBytesAtEnd),
      alignTo4KValue(alignTo4K),
      ventoyVersionValue(std::move(ventoyVersion)),
      dataClusterBytesValue(dataClusterBytes),
      volumeLabelValue(std::move(volumeLabel)) {
    if (reserveBytesValue < 0) fail(VentoyInstallOptionsError::NegativeReserveBytes{reserveBytesValue});
    if (dataClusterBytesValue) checkClusterBytes(*dataClusterBytesValue, dataFilesystemValue);
    if (volumeLabelValue) checkVolumeLabel(*volumeLabelValue);
}

const VentoyInstallOptions& VentoyInstallOptions::defaultOptions() {
    static const VentoyInstallOptions shared;
    return shared;
}

void PrintTo(const VentoyInstallOptions& options, std::ostream* os) {
    *os << CaseDescription("VentoyInstallOptions")
               .rawField("dataFilesystem", rawValue(options.dataFilesystem()))
               .rawField("partitionStyle", rawValue(options.partitionStyle()))
               .field("reserveBytesAtEnd", options.reserveBytesAtEnd())
               .field("alignTo4K", options.alignTo4K())
               .field("ventoyVersion", options.ventoyVersion())
               .field("dataClusterBytes", options.dataClusterBytes())
               .field("volumeLabel", options.volumeLabel())
               .str();
}

}  // namespace marlowick

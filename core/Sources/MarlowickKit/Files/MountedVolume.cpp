#include "Files/MountedVolume.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

std::string optionalText(const std::optional<std::string>& text) {
    return text ? "Optional(" + CaseDescription::quoted(*text) + ")" : "nil";
}

struct Renderer {
    std::string operator()(const MountedVolumeRefusal::Target& c) const {
        return CaseDescription("target").rawValue(render(c.verdict)).str();
    }
    std::string operator()(const MountedVolumeRefusal::DataPartitionNotFound& c) const {
        return CaseDescription("dataPartitionNotFound").field("wholeDiskBSDName", c.wholeDiskBSDName).str();
    }
    std::string operator()(const MountedVolumeRefusal::NotExfat& c) const {
        return CaseDescription("notExfat")
            .field("partitionBSDName", c.partitionBSDName)
            .rawField("volumeKind", optionalText(c.volumeKind))
            .str();
    }
    std::string operator()(const MountedVolumeRefusal::ReadOnly& c) const {
        return CaseDescription("readOnly").field("partitionBSDName", c.partitionBSDName).str();
    }
    std::string operator()(const MountedVolumeRefusal::MountFailed& c) const {
        return CaseDescription("mountFailed").field("partitionBSDName", c.partitionBSDName).field("detail", c.detail).str();
    }
    std::string operator()(const MountedVolumeRefusal::NotMounted& c) const {
        return CaseDescription("notMounted").field("partitionBSDName", c.partitionBSDName).str();
    }
    std::string operator()(const MountedVolumeRefusal::MountPointMismatch& c) const {
        return CaseDescription("mountPointMismatch")
            .field("partitionBSDName", c.partitionBSDName)
            .rawField("observedDeviceNode", optionalText(c.observedDeviceNode))
            .str();
    }
};

}  // namespace

std::string render(const MountedVolumeRefusal& refusal) { return std::visit(Renderer{}, refusal.value); }

void PrintTo(const MountedVolumeRefusal& refusal, std::ostream* os) { *os << render(refusal); }

void PrintTo(const MountedVolume& volume, std::ostream* os) {
    *os << volume.partitionBSDName << " of " << volume.wholeDiskBSDName << " at " << volume.mountPoint.string();
}

void PrintTo(const MountedVolumeResolution& resolution, std::ostream* os) {
    if (const auto* volume = std::get_if<MountedVolume>(&resolution.value)) {
        *os << "mounted(";
        PrintTo(*volume, os);
        *os << ")";
    } else {
        *os << "refused(" << render(std::get<MountedVolumeResolution::Refused>(resolution.value).refusal) << ")";
    }
}

}  // namespace marlowick

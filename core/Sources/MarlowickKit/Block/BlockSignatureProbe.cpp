#include "Block/BlockSignatureProbe.hpp"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "Block/UdevDeviceData.hpp"

namespace marlowick {
namespace {

std::optional<std::string> lookup(blkid_probe probe, const char* name) {
    const char* value = nullptr;
    if (blkid_probe_lookup_value(probe, name, &value, nullptr) != 0 || value == nullptr) return std::nullopt;
    return std::string(value);
}

std::optional<BlockSignature> blkidSignature(const std::string& deviceNode) {
    blkid_probe probe = blkid_new_probe_from_filename(deviceNode.c_str());
    if (probe == nullptr) return std::nullopt;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID);
    std::optional<BlockSignature> signature;
    // 0: one signature, 1: none; below 0 an error or two signatures that contradict each other.
    if (const int found = blkid_do_safeprobe(probe); found == 0) {
        signature = BlockSignature{lookup(probe, "TYPE").value_or(""), lookup(probe, "LABEL"), lookup(probe, "UUID")};
    } else if (found == 1) {
        signature = BlockSignature{};
    }
    blkid_free_probe(probe);
    return signature;
}

std::optional<BlockSignature> udevSignature(const std::string& udevDataRoot, DeviceNumber number) {
    const UdevDeviceData record = UdevDeviceData::read(udevDataRoot, number);
    if (record.empty()) return std::nullopt;
    return BlockSignature{record.value("ID_FS_TYPE").value_or(""), record.text("ID_FS_LABEL"),
                          record.value("ID_FS_UUID")};
}

}  // namespace

void PrintTo(const BlockSignature& signature, std::ostream* os) {
    const auto text = [](const std::optional<std::string>& value) { return value ? "\"" + *value + "\"" : "none"; };
    *os << "{\"" << signature.type << "\", label: " << text(signature.label) << ", uuid: " << text(signature.uuid) << "}";
}

std::optional<BlockSignature> probeBlockSignature(const std::string& deviceNode, std::optional<DeviceNumber> number,
                                                  const std::string& udevDataRoot) {
    if (auto signature = blkidSignature(deviceNode)) return signature;
    if (!number) {
        struct stat node {};
        if (::stat(deviceNode.c_str(), &node) != 0 || !S_ISBLK(node.st_mode)) return std::nullopt;
        number = DeviceNumber{::major(node.st_rdev), ::minor(node.st_rdev)};
    }
    return udevSignature(udevDataRoot, *number);
}

BlockSignatureProbe blkidSignatureProbe(const SystemRoots& roots) {
    return [roots](const std::string& name) -> std::optional<BlockSignature> {
        if (!SysfsBlockTree::isKernelName(name)) return std::nullopt;
        return probeBlockSignature(roots.dev + "/" + name, SysfsBlockTree(roots.sys).deviceNumber(name), roots.udevData);
    };
}

}  // namespace marlowick

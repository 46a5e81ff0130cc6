#include "Assets/ReleaseArchive.hpp"

#include <algorithm>
#include <random>
#include <stdexcept>

#include "Bytes/Sha256.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {
namespace {

constexpr std::size_t bootImgBytes = 512;
constexpr std::size_t coreImgBytes = 1048064;
constexpr std::size_t ventoyDiskImgBytes = 2 * 1024 * 1024;

void run(const std::string& command) {
    const CommandOutput result = runCommand(command);
    if (result.exitCode != 0) throw std::runtime_error(command + " failed: " + result.output);
}

// Random where compression cannot shrink it, zeros where it can: a realistic mix.
std::vector<std::uint8_t> content(std::size_t size, std::size_t randomBytes, std::mt19937& random) {
    std::vector<std::uint8_t> bytes(size, 0);
    for (std::size_t i = 0; i < std::min(size, randomBytes); ++i) bytes[i] = static_cast<std::uint8_t>(random());
    return bytes;
}

}  // namespace

bool canMakeReleaseArchive() { return hasTool("tar") && hasTool("xz") && hasTool("gzip"); }

ReleaseArchive ReleaseArchive::make(const std::string& version, unsigned seed) {
    std::mt19937 random(seed);
    std::map<VentoyAsset, std::vector<std::uint8_t>> files;
    files[VentoyAsset::bootImg] = content(bootImgBytes, bootImgBytes, random);
    files[VentoyAsset::coreImg] = content(coreImgBytes, coreImgBytes / 2, random);
    files[VentoyAsset::ventoyDiskImg] = content(ventoyDiskImgBytes, 64 * 1024, random);
    return pack(version, std::move(files));
}

ReleaseArchive ReleaseArchive::pack(const std::string& version, std::map<VentoyAsset, std::vector<std::uint8_t>> files) {
    ReleaseArchive release;
    release.version = version;
    release.files = std::move(files);

    const TempDir folder;
    const std::string top = "ventoy-" + version;
    std::filesystem::create_directories(folder.path() / top / "boot");
    std::filesystem::create_directories(folder.path() / top / "ventoy");
    const std::filesystem::path bootDir = folder.path() / top / "boot";
    writeFile(bootDir / "boot.img", release.files[VentoyAsset::bootImg]);
    writeFile(bootDir / "core.img", release.files[VentoyAsset::coreImg]);
    writeFile(folder.path() / top / "ventoy" / "ventoy.disk.img", release.files[VentoyAsset::ventoyDiskImg]);
    run("cd '" + folder.path().string() + "' && xz -z " + top + "/boot/core.img " + top +
        "/ventoy/ventoy.disk.img && tar -czf archive.tar.gz " + top);
    release.archive = readFile(folder.file("archive.tar.gz"));
    release.members[VentoyAsset::bootImg] = release.files[VentoyAsset::bootImg];
    release.members[VentoyAsset::coreImg] = readFile(bootDir / "core.img.xz");
    release.members[VentoyAsset::ventoyDiskImg] = readFile(folder.path() / top / "ventoy" / "ventoy.disk.img.xz");
    return release;
}

VentoyReleaseManifest ReleaseArchive::manifest(const std::string& downloadBaseUrl) const {
    std::map<VentoyAsset, VentoyReleaseManifest::AssetChecksum> assets;
    for (const VentoyAsset asset : allVentoyAssets) {
        const std::vector<std::uint8_t>& member = members.at(asset);
        const std::vector<std::uint8_t>& file = files.at(asset);
        assets.emplace(asset, VentoyReleaseManifest::AssetChecksum(
                                  "ventoy-" + version + "/" + std::string(memberPathSuffix(asset)), Sha256::hex(member),
                                  static_cast<std::int64_t>(member.size()), Sha256::hex(file),
                                  static_cast<std::int64_t>(file.size())));
    }
    return VentoyReleaseManifest(version, archiveName(), Sha256::hex(archive),
                                 static_cast<std::int64_t>(archive.size()), std::move(assets), 1, downloadBaseUrl);
}

}  // namespace marlowick::test

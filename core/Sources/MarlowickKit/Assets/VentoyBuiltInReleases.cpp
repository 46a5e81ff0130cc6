#include "Assets/VentoyReleaseManifest.hpp"

#include <map>
#include <string>

// The releases compiled into the library. Each row passes the validating constructors;
// a row that did not would throw on first use, which the built-in table tests catch.

namespace marlowick {
namespace {

constexpr std::int64_t bootImgBytes = 512;
constexpr std::int64_t coreImgBytes = VentoyReleaseManifest::coreImgSectors * 512;
constexpr std::int64_t ventoyDiskImgBytes = VentoyReleaseManifest::ventoyDiskImgSectors * 512;

struct Archive {
    const char* version;
    const char* name;
    std::int64_t sizeBytes;
    const char* sha256;
};
// boot.img is stored uncompressed: one digest and one size serve both columns.
struct StoredFile {
    const char* sha256;
};
struct XzFile {
    std::int64_t compressedSizeBytes;
    const char* compressedSha256;
    const char* decompressedSha256;
};

VentoyReleaseManifest release(const Archive& archive, const StoredFile& boot, const XzFile& core, const XzFile& disk) {
    // Member paths sit below the archive's top folder, "ventoy-<version>".
    const std::string folder = std::string("ventoy-") + archive.version + "/";
    const auto member = [&](VentoyAsset asset) { return folder + std::string(memberPathSuffix(asset)); };
    using Checksum = VentoyReleaseManifest::AssetChecksum;
    std::map<VentoyAsset, Checksum> assets;
    assets.emplace(VentoyAsset::bootImg,
                   Checksum(member(VentoyAsset::bootImg), boot.sha256, bootImgBytes, boot.sha256, bootImgBytes));
    assets.emplace(VentoyAsset::coreImg, Checksum(member(VentoyAsset::coreImg), core.compressedSha256,
                                                  core.compressedSizeBytes, core.decompressedSha256, coreImgBytes));
    assets.emplace(VentoyAsset::ventoyDiskImg,
                   Checksum(member(VentoyAsset::ventoyDiskImg), disk.compressedSha256, disk.compressedSizeBytes,
                            disk.decompressedSha256, ventoyDiskImgBytes));
    return VentoyReleaseManifest(archive.version, archive.name, archive.sha256, archive.sizeBytes, std::move(assets),
                                 1, std::string(VentoyReleaseManifest::defaultDownloadBaseUrl));
}

}  // namespace

const std::vector<VentoyReleaseManifest>& VentoyReleaseManifest::available() {
    // A function-local static: built once, on first use, safely from any thread.
    static const std::vector<VentoyReleaseManifest> builtIn{
        release({"1.1.17", "ventoy-1.1.17-linux.tar.gz", 20291141,
                 "7fb4ed08cef6a6b4d39dd19260d8c80291a78dfdf9af7d461571e23cbbc43805"},
                {"f37cbea83596aef9812f4d984d344b5103913505dfee40dc0025742ea54a6113"},
                {455192, "2d231a54a1065b77ce6cd284531b382e13fe33c1534f020ae496c3680c15a909",
                 "b6581090947e7cacbd3cee23dfe2216aee9ab368c6508c2c5f3490621e969b84"},
                {13405224, "d5effe4e0302bb3e573d5d51d770478cd0a122f02669a785c86dcbe5a9b935f3",
                 "871f313d60d865a8ee307bc97c961e6cb619143288b4faf811efe9844ca1a003"}),
        release({"1.1.16", "ventoy-1.1.16-linux.tar.gz", 20292474,
                 "a9ffd7bd5e26df486cafff924b8dbcb6caae20cbe2b179a009fe59ae740c7572"},
                {"f97fc398940e9d2cc796c38aaca614e7dae194e1aaef378280db7c1890e10df9"},
                {455176, "5b4a1f585396606e9dbd4233db912b61ccd49930ceb14e1654df521f135823b3",
                 "756864e4cd1de559dc868f6c0037544cdc480e3fcc9cea9a2b5a5aaad07dbbaa"},
                {13406072, "95f21d49b9fc94621bd6374f850ecccb0ef0c58b7959fa9ade4ae66071cd8b76",
                 "9dba923d53fc3ef658d0a0419dd6778198547d61341ccea58ebe23027bd6f2e7"}),
        release({"1.1.15", "ventoy-1.1.15-linux.tar.gz", 20279418,
                 "dfed601b689fa4f552bc4c44dc0a45ef893226630fb11f43ca3ab618ff429279"},
                {"ba51923ef3f3e00034182ef1e7d3fca73fd776dbd7a116a19321ae95eb1f45a0"},
                {455172, "ab2d46adcd0e8f2fd564ffdf375a9f3b35149f50a8986b1d6e11a43737d0b94c",
                 "30b7b0137880bfcc2945b0aa56ad2d236fd09a75292d7bf74ac686be4148e2c9"},
                {13392700, "742ef7edbd4e36474eb11dad6c6f23b690643ef7d52d1247725769d095ccc4c8",
                 "20933b0edc696efd45370ae681ef8f298f50b55c48790c63531c26b5ceab8ad9"}),
        release({"1.1.14", "ventoy-1.1.14-linux.tar.gz", 20278592,
                 "96add45625f7634726bc64633ddaf93851f183e00beabf556c5ab7f1b080a81a"},
                {"614654dedfcf2a40fa153a7337d140ece5a6ed3a66633cbe8015e300a3d7e98c"},
                {455172, "ab2d46adcd0e8f2fd564ffdf375a9f3b35149f50a8986b1d6e11a43737d0b94c",
                 "30b7b0137880bfcc2945b0aa56ad2d236fd09a75292d7bf74ac686be4148e2c9"},
                {13392684, "72397d27d1523d6752a231afe1ff6c2880ef28e0ff1a9831d26e1246e2160ee3",
                 "381b83b081a88f03869db20656f15834b6ad35526f9b35b1eb65541f12fae31e"}),
    };
    return builtIn;
}

const VentoyReleaseManifest& VentoyReleaseManifest::pinned() { return available()[0]; }
const VentoyReleaseManifest& VentoyReleaseManifest::recommended() { return pinned(); }
const VentoyReleaseManifest& VentoyReleaseManifest::v1_1_16() { return available()[1]; }
const VentoyReleaseManifest& VentoyReleaseManifest::v1_1_15() { return available()[2]; }
const VentoyReleaseManifest& VentoyReleaseManifest::v1_1_14() { return available()[3]; }

}  // namespace marlowick

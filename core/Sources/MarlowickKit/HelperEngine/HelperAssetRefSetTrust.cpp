// The helper's reading of a wire asset set: which release vouches for it and where its
// files are. Apart from the wire coding, so that the wire decoders (and their fuzzers)
// do not pull in the registry parser and OpenSSL.

#include "Assets/VentoyTrust.hpp"
#include "HelperWire/HelperAssetRefSet.hpp"

namespace marlowick {

VentoyAssetSet HelperAssetRefSet::assetSet() const {
    return VentoyTrust::assetSet(version, bootImgPath, coreImgPath, ventoyDiskImgPath);
}

std::optional<VentoyReleaseManifest> HelperAssetRefSet::trustedManifest(std::span<const VentoyReleaseManifest> builtIn,
                                                                        std::string_view publicKeyBase64) const {
    std::optional<VentoyTrust::SignedRegistryBytes> signedBytes;
    if (registry) signedBytes = VentoyTrust::SignedRegistryBytes{registry->payload, registry->signature};
    return VentoyTrust::trustedManifest(version, signedBytes, builtIn, publicKeyBase64);
}

}  // namespace marlowick

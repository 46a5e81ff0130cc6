#include "HelperWire/HelperAssetRefSet.hpp"

#include "Text/CaseDescription.hpp"

namespace marlowick {

HelperAssetRefSet::HelperAssetRefSet(std::string releaseVersion, std::string bootImg, std::string coreImg,
                                     std::string ventoyDiskImg, std::optional<HelperSignedRegistry> signedRegistry)
    : version(std::move(releaseVersion)),
      bootImgPath(std::move(bootImg)),
      coreImgPath(std::move(coreImg)),
      ventoyDiskImgPath(std::move(ventoyDiskImg)),
      registry(std::move(signedRegistry)) {}

HelperAssetRefSet::HelperAssetRefSet(const VentoyAssetSet& assets, std::optional<HelperSignedRegistry> signedRegistry)
    : HelperAssetRefSet(assets.version, assets.url(VentoyAsset::bootImg).string(),
                        assets.url(VentoyAsset::coreImg).string(), assets.url(VentoyAsset::ventoyDiskImg).string(),
                        std::move(signedRegistry)) {}

void PrintTo(const HelperAssetRefSet& assets, std::ostream* os) {
    *os << CaseDescription("HelperAssetRefSet")
               .field("version", assets.version)
               .field("bootImgPath", assets.bootImgPath)
               .field("coreImgPath", assets.coreImgPath)
               .field("ventoyDiskImgPath", assets.ventoyDiskImgPath)
               .rawField("registry", assets.registry ? std::to_string(assets.registry->payload.size()) +
                                                           "-byte payload, " +
                                                           std::to_string(assets.registry->signature.size()) +
                                                           "-byte signature"
                                                     : "nil")
               .str();
}

nlohmann::json JsonCoding<HelperSignedRegistry>::encode(const HelperSignedRegistry& registry) {
    return JsonObjectWriter().putBytes("payload", registry.payload).putBytes("signature", registry.signature).json();
}

HelperSignedRegistry JsonCoding<HelperSignedRegistry>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader object(json, path);
    return HelperSignedRegistry{object.requiredBytes("payload"), object.requiredBytes("signature")};
}

nlohmann::json JsonCoding<HelperAssetRefSet>::encode(const HelperAssetRefSet& assets) {
    return JsonObjectWriter()
        .put("version", assets.version)
        .put("bootImgPath", assets.bootImgPath)
        .put("coreImgPath", assets.coreImgPath)
        .put("ventoyDiskImgPath", assets.ventoyDiskImgPath)
        .putOptional("registry", assets.registry)
        .json();
}

HelperAssetRefSet JsonCoding<HelperAssetRefSet>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader object(json, path);
    return HelperAssetRefSet(object.required<std::string>("version"), object.requiredPathText("bootImgPath"),
                             object.requiredPathText("coreImgPath"), object.requiredPathText("ventoyDiskImgPath"),
                             object.optional<HelperSignedRegistry>("registry"));
}

}  // namespace marlowick

#include "Assets/RegistrySigning.hpp"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "Support/TestSupport.hpp"

namespace marlowick::test {
namespace {

const std::filesystem::path fixtures = std::filesystem::path(MARLOWICK_TEST_SOURCE_DIR) / "Assets" / "Fixtures";

std::string run(const std::string& command) {
    const CommandOutput result = runCommand(command);
    if (result.exitCode != 0) throw std::runtime_error(command + " failed: " + result.output);
    return result.output;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

std::filesystem::path registryTestPrivateKey() { return fixtures / "registry-test-key.pem"; }

std::string registryTestPublicKeyBase64() {
    std::ifstream file(fixtures / "registry-test-key.pub.b64");
    return std::string(std::istreambuf_iterator<char>(file), {});
}

Bytes opensslSign(const Bytes& payload, const std::filesystem::path& privateKeyPem) {
    const TempDir folder;
    writeFile(folder.file("payload"), payload);
    run("openssl dgst -sha256 -sign " + quoted(privateKeyPem) + " -out " + quoted(folder.file("signature")) + " " +
        quoted(folder.file("payload")) + " 2>&1");
    return readFile(folder.file("signature"));
}

std::filesystem::path opensslGenerateKey(const std::filesystem::path& folder, const std::string& options) {
    const std::filesystem::path key = folder / "generated-key.pem";
    run("openssl genpkey " + options + " -out " + quoted(key) + " 2>&1");
    return key;
}

std::string opensslPublicKeyBase64(const std::filesystem::path& privateKeyPem) {
    std::string text = run("openssl pkey -in " + quoted(privateKeyPem) + " -pubout -outform DER | base64 -w0");
    return text;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

nlohmann::json soundReleaseRecord(const std::string& version) {
    const auto asset = [](const std::string& member, std::int64_t compressed, std::int64_t decompressed) {
        return nlohmann::json{{"memberPath", "ventoy-" + member},
                              {"compressedSha256", std::string(64, 'c')},
                              {"compressedSizeBytes", compressed},
                              {"decompressedSha256", std::string(64, 'd')},
                              {"decompressedSizeBytes", decompressed}};
    };
    return nlohmann::json{
        {"version", version},
        {"enabled", true},
        {"current", true},
        {"visible", true},
        {"verifiedOn", "2026-11-30"},
        {"minimumAppVersion", 3},
        {"archiveName", "ventoy-" + version + "-linux.tar.gz"},
        {"archiveSha256", std::string(64, 'a')},
        {"archiveSizeBytes", 20291141},
        {"downloadBaseUrl", "https://github.com/ventoy/Ventoy/releases/download"},
        {"assets",
         {{"BOOT_IMG", asset("boot/boot.img", 512, 512)},
          {"CORE_IMG", asset("boot/core.img.xz", 400000, 1048064)},
          {"VENTOY_DISK_IMG", asset("ventoy/ventoy.disk.img.xz", 15000000, 33554432)}}},
    };
}

Bytes registryDocument(const std::vector<nlohmann::json>& records) {
    const nlohmann::json document{{"schemaVersion", 1}, {"releases", records}};
    return bytesOf(document.dump());
}

}  // namespace marlowick::test

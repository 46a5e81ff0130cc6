#include "Assets/VentoyRegistryCache.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "Assets/RegistrySigning.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using test::Bytes;

unsigned permissionBits(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return 07777;
    return status.st_mode & 07777;
}

class VentoyRegistryCacheTest : public ::testing::Test {
protected:
    void SetUp() override { MARLOWICK_REQUIRE_TOOL("openssl"); }

    static Bytes sign(const Bytes& payload) { return test::opensslSign(payload, test::registryTestPrivateKey()); }

    const std::string key = test::registryTestPublicKeyBase64();
    const Bytes document = test::registryDocument({test::soundReleaseRecord("1.1.18"), test::soundReleaseRecord("1.1.19")});
    test::TempDir folder;
};

TEST_F(VentoyRegistryCacheTest, ReadsBackOnlyAPairThatVerifiesNow) {
    const Bytes otherDocument = test::registryDocument({test::soundReleaseRecord("1.1.20")});
    const Bytes notJson = test::bytesOf("not json");
    struct Case {
        const char* name;
        Bytes payload;
        Bytes signature;
        std::string key;
        bool pair;
        std::optional<std::size_t> releases;
    };
    const Case cases[] = {
        {"signedDocument", document, sign(document), key, true, 2},
        {"signatureOfAnotherDocument", document, sign(otherDocument), key, false, std::nullopt},
        {"signedButNotJson", notJson, sign(notJson), key, true, std::nullopt},
        {"checkedWithAnotherKey", document, sign(document), std::string(test::releaseKeyBase64), false, std::nullopt},
        {"emptySignature", document, {}, key, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const VentoyRegistryCache cache(folder.path() / c.name / "ventoy-registry");
        ASSERT_EQ(cache.store(c.payload, c.signature), std::nullopt);
        EXPECT_EQ(test::readFile(cache.directory() / "ventoy.v1.json"), c.payload);
        EXPECT_EQ(test::readFile(cache.directory() / "ventoy.v1.json.sig"), c.signature);
        // The cache is this user's own: a private folder of private files.
        EXPECT_EQ(permissionBits(cache.directory()), 0700U);
        EXPECT_EQ(permissionBits(cache.directory() / "ventoy.v1.json"), 0600U);
        EXPECT_EQ(permissionBits(cache.directory() / "ventoy.v1.json.sig"), 0600U);
        const std::optional<VentoyRegistrySignedBytes> pair = cache.signedBytes(c.key);
        EXPECT_EQ(pair.has_value(), c.pair);
        if (pair) {
            EXPECT_EQ(pair->payload, c.payload);
        }
        const std::optional<VentoyVersionRegistry> registry = cache.load(c.key);
        EXPECT_EQ(registry ? std::optional(registry->releases.size()) : std::nullopt, c.releases);
    }
}

TEST_F(VentoyRegistryCacheTest, MissingFilesAreNoRegistry) {
    const VentoyRegistryCache absent(folder.path() / "absent");
    EXPECT_EQ(absent.signedBytes(key), std::nullopt);
    EXPECT_EQ(absent.load(key), std::nullopt);

    const VentoyRegistryCache cache(folder.path() / "registry");
    ASSERT_EQ(cache.store(document, sign(document)), std::nullopt);
    std::filesystem::remove(cache.directory() / "ventoy.v1.json.sig");
    EXPECT_EQ(cache.signedBytes(key), std::nullopt);
    // A directory in the document's place is no document either.
    ASSERT_EQ(cache.store(document, sign(document)), std::nullopt);
    std::filesystem::remove(cache.directory() / "ventoy.v1.json");
    std::filesystem::create_directory(cache.directory() / "ventoy.v1.json");
    EXPECT_EQ(cache.load(key), std::nullopt);
}

TEST_F(VentoyRegistryCacheTest, AStoreThatCannotWriteSaysWhyAndLeavesNoTemporaryFile) {
    test::writeFile(folder.file("plain-file"), {1});
    const VentoyRegistryCache underAFile(folder.path() / "plain-file" / "ventoy-registry");
    const std::optional<std::string> failed = underAFile.store(document, sign(document));
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(*failed, "mkdir " + folder.file("plain-file").string() + ": errno 17 (File exists)");

    // A directory in the document's place: the signature is replaced, the document is not.
    const VentoyRegistryCache cache(folder.path() / "registry");
    std::filesystem::create_directories(cache.directory() / "ventoy.v1.json" / "inside");
    const std::optional<std::string> blocked = cache.store(document, sign(document));
    ASSERT_TRUE(blocked.has_value());
    EXPECT_TRUE(blocked->starts_with("rename " + (cache.directory() / ".ventoy.v1.json.").string())) << *blocked;
    EXPECT_NE(blocked->find(" to " + (cache.directory() / "ventoy.v1.json").string() + ": errno "), std::string::npos)
        << *blocked;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(cache.directory())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ventoy.v1.json", "ventoy.v1.json.sig"}));
}

// A refresh stores while the application reads the pair for the helper program: every
// read sees one whole pair, never one document with the other's signature.
TEST_F(VentoyRegistryCacheTest, ReadsNeverMixTwoStoredPairs) {
    const Bytes otherDocument = test::registryDocument({test::soundReleaseRecord("1.1.20")});
    const VentoyRegistrySignedBytes first{document, sign(document)};
    const VentoyRegistrySignedBytes second{otherDocument, sign(otherDocument)};
    const VentoyRegistryCache cache(folder.path() / "registry");
    ASSERT_EQ(cache.store(first.payload, first.signature), std::nullopt);

    std::atomic<bool> writing = true;
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) {
            const VentoyRegistrySignedBytes& next = i % 2 == 0 ? second : first;
            EXPECT_EQ(VentoyRegistryCache(cache.directory()).store(next.payload, next.signature), std::nullopt);
        }
        writing = false;
    });
    int reads = 0;
    int mixed = 0;
    while (writing) {
        const std::optional<VentoyRegistrySignedBytes> pair = cache.signedBytes(key);
        ++reads;
        if (!pair || (*pair != first && *pair != second)) ++mixed;
    }
    writer.join();
    EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
}

}  // namespace
}  // namespace marlowick

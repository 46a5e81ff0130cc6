#include "Bytes/Sha256.hpp"

#include <gtest/gtest.h>

#include <string_view>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Vector {
    const char* name;
    const char* message;
    const char* digest;
};

class Sha256Vectors : public ::testing::TestWithParam<Vector> {};

TEST_P(Sha256Vectors, MatchOneShotAndByteByByte) {
    const Vector& v = GetParam();
    EXPECT_EQ(Sha256::hex(bytesOf(v.message)), v.digest);
    Sha256::Hasher hasher;
    for (const char c : std::string_view(v.message)) hasher.update(bytesOf(std::string_view(&c, 1)));
    EXPECT_EQ(hasher.finalHex(), v.digest);
}

INSTANTIATE_TEST_SUITE_P(
    Assets, Sha256Vectors,
    ::testing::Values(
        Vector{"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        Vector{"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        Vector{"twoBlocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
               "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"}),
    test::CaseName{});

TEST(Sha256, HashesAMillionAsIncrementallyAndStartsOverAfterTheResult) {
    Sha256::Hasher hasher;
    const std::string thousand(1000, 'a');
    for (int i = 0; i < 1000; ++i) hasher.update(bytesOf(thousand));
    const Sha256::Digest digest = hasher.finalDigest();
    EXPECT_EQ(Sha256::hex(digest), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // The finished hasher is fresh again.
    hasher.update(bytesOf("abc"));
    EXPECT_EQ(hasher.finalHex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    Sha256::Hasher moved = std::move(hasher);
    EXPECT_EQ(moved.finalHex(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(Sha256, RendersADigestAsTwoLowerCaseCharactersPerByte) {
    Sha256::Digest digest{};
    digest[0] = 0x0a;
    digest[1] = 0xf0;
    digest[31] = 0xAB;
    const std::string text = Sha256::hex(digest);
    EXPECT_EQ(text, "0af0" + std::string(58, '0') + "ab");
    EXPECT_EQ(text.size(), 64U);
}

TEST(Sha256, AgreesWithOpensslOnAFile) {
    MARLOWICK_REQUIRE_TOOL("openssl");
    test::TempDir dir;
    std::vector<std::uint8_t> bytes(100000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
    test::writeFile(dir.file("data"), bytes);
    const auto output = test::runCommand("openssl dgst -sha256 -r '" + dir.file("data").string() + "'");
    ASSERT_EQ(output.exitCode, 0) << output.output;
    EXPECT_EQ(output.output.substr(0, 64), Sha256::hex(bytes));
}

}  // namespace
}  // namespace marlowick

#include "Bytes/Sha256.hpp"

#include <openssl/evp.h>

#include <new>

#include "Bytes/HexText.hpp"

namespace marlowick::Sha256 {
namespace {

// EVP fails here only when it cannot allocate.
void require(int ok) {
    if (ok != 1) throw std::bad_alloc();
}

}  // namespace

struct Hasher::Context {
    Context() : evp(EVP_MD_CTX_new()) {
        if (evp == nullptr) throw std::bad_alloc();
        restart();
    }
    ~Context() { EVP_MD_CTX_free(evp); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    void restart() { require(EVP_DigestInit_ex(evp, EVP_sha256(), nullptr)); }

    EVP_MD_CTX* evp;
};

Hasher::Hasher() : context(std::make_unique<Context>()) {}
Hasher::~Hasher() = default;
Hasher::Hasher(Hasher&&) noexcept = default;
Hasher& Hasher::operator=(Hasher&&) noexcept = default;

void Hasher::update(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    require(EVP_DigestUpdate(context->evp, bytes.data(), bytes.size()));
}

Digest Hasher::finalDigest() {
    Digest digest{};
    unsigned int length = 0;
    require(EVP_DigestFinal_ex(context->evp, digest.data(), &length));
    context->restart();
    return digest;
}

std::string hex(std::span<const std::uint8_t> bytes) {
    Hasher hasher;
    hasher.update(bytes);
    return hasher.finalHex();
}

std::string hex(const Digest& digest) { return lowerHex(digest); }

}  // namespace marlowick::Sha256

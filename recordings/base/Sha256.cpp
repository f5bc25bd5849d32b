#include "Sha256.h"

#include <openssl/evp.h>

namespace quello {

struct Sha256::Context {
    EVP_MD_CTX* hash = EVP_MD_CTX_new();
    bool ok = false;
    ~Context() { EVP_MD_CTX_free(hash); }
};

Sha256::Sha256() : m(std::make_unique<Context>()) {
    Reset();
}

Sha256::~Sha256() = default;

void Sha256::Reset() {
    m->ok = m->hash && EVP_DigestInit_ex(m->hash, EVP_sha256(), nullptr) == 1;
}

bool Sha256::Update(const void* data, std::size_t size) {
    m->ok = m->ok && EVP_DigestUpdate(m->hash, data, size) == 1;
    return m->ok;
}

std::string Sha256::FinalHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!m->ok || EVP_DigestFinal_ex(m->hash, digest, &size) != 1) {
        m->ok = false;
        return {};
    }
    m->ok = false;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

} // namespace quello

#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace quello {

// SHA-256 of a stream of bytes, fed in pieces (OpenSSL's implementation, which uses the
// processor's SHA instructions where it has them). Owns its hashing state; one thread at a time.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when the hashing library failed; the hash is then unusable.
    bool Update(const void* data, std::size_t size);
    // The digest in lower-case hex (64 characters), "" when any step failed. Ends the stream:
    // Reset() before hashing another.
    std::string FinalHex();
    void Reset();

private:
    struct Context;
    std::unique_ptr<Context> m;
};

} // namespace quello

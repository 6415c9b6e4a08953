// libsodium (a locked diary), opened at its first call: see lazy_library.h.
// Without it, sodium_init fails and every cipher, hash and key derivation
// fails (-1) with nothing left in its output; the lock's entry points ask
// first (lock::Crypto_ready) and tell the user. Random bytes and the wiping
// of memory come from the kernel and the C library then, which do the same.

#include "platform/lazy_library.h"

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <sodium.h>
#include <sys/random.h>

namespace {

// clang-format off
#define SORANE_SODIUM_FUNCTIONS(X) \
    X(crypto_aead_xchacha20poly1305_ietf_decrypt) \
    X(crypto_aead_xchacha20poly1305_ietf_encrypt) \
    X(crypto_aead_xchacha20poly1305_ietf_keygen) \
    X(crypto_generichash) \
    X(crypto_pwhash) \
    X(randombytes_buf) \
    X(sodium_free) \
    X(sodium_init) \
    X(sodium_malloc) \
    X(sodium_memzero)
// clang-format on

enum Function {
#define SORANE_ENUM(name) At_##name,
    SORANE_SODIUM_FUNCTIONS(SORANE_ENUM)
#undef SORANE_ENUM
    Function_count
};
const char* const names[] = {
#define SORANE_NAME(name) #name,
    SORANE_SODIUM_FUNCTIONS(SORANE_NAME)
#undef SORANE_NAME
};
void* addresses[Function_count];
constinit Lazy_library sodium("libsodium.so.23", names, addresses, Function_count);

#define SORANE_CALL(name, ...)                                                                     \
    reinterpret_cast<decltype(&::name)>(addresses[At_##name])(__VA_ARGS__)

// The kernel's random bytes, as libsodium itself takes them on Linux.
void Kernel_random(void* buffer, size_t size)
{
    auto* p = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::getrandom(p, size, 0);
        if (n > 0) {
            p += n;
            size -= size_t(n);
        } else if (n < 0 && errno != EINTR) {
            // No random bytes at all: nothing made from these is usable,
            // and the lock cannot run without the library anyway.
            std::memset(p, 0, size);
            return;
        }
    }
}

}  // namespace

extern "C" {

int sodium_init() { return sodium.Loaded() ? SORANE_CALL(sodium_init) : Library_missing(-1); }

void randombytes_buf(void* const buffer, const size_t size)
{
    if (sodium.Loaded())
        SORANE_CALL(randombytes_buf, buffer, size);
    else
        Kernel_random(buffer, size);
}

void crypto_aead_xchacha20poly1305_ietf_keygen(
    unsigned char key[crypto_aead_xchacha20poly1305_ietf_KEYBYTES])
{
    if (sodium.Loaded())
        SORANE_CALL(crypto_aead_xchacha20poly1305_ietf_keygen, key);
    else
        Kernel_random(key, crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
}

void* sodium_malloc(const size_t size)
{
    return sodium.Loaded() ? SORANE_CALL(sodium_malloc, size) : std::calloc(1, size ? size : 1);
}

void sodium_free(void* memory)
{
    if (sodium.Loaded()) {
        SORANE_CALL(sodium_free, memory);
    } else if (memory) {
        ::explicit_bzero(memory, ::malloc_usable_size(memory));
        std::free(memory);
    }
}

void sodium_memzero(void* const memory, const size_t size)
{
    if (sodium.Loaded())
        SORANE_CALL(sodium_memzero, memory, size);
    else
        ::explicit_bzero(memory, size);
}

int crypto_aead_xchacha20poly1305_ietf_encrypt(unsigned char* c, unsigned long long* clen_p,
                                               const unsigned char* m, unsigned long long mlen,
                                               const unsigned char* ad, unsigned long long adlen,
                                               const unsigned char* nsec, const unsigned char* npub,
                                               const unsigned char* k)
{
    if (sodium.Loaded())
        return SORANE_CALL(crypto_aead_xchacha20poly1305_ietf_encrypt, c, clen_p, m, mlen, ad,
                           adlen, nsec, npub, k);
    // Never the plain text, nor what the memory held before.
    std::memset(c, 0, size_t(mlen) + crypto_aead_xchacha20poly1305_ietf_ABYTES);
    if (clen_p)
        *clen_p = 0;
    return Library_missing(-1);
}

int crypto_aead_xchacha20poly1305_ietf_decrypt(unsigned char* m, unsigned long long* mlen_p,
                                               unsigned char* nsec, const unsigned char* c,
                                               unsigned long long clen, const unsigned char* ad,
                                               unsigned long long adlen, const unsigned char* npub,
                                               const unsigned char* k)
{
    if (sodium.Loaded())
        return SORANE_CALL(crypto_aead_xchacha20poly1305_ietf_decrypt, m, mlen_p, nsec, c, clen, ad,
                           adlen, npub, k);
    if (mlen_p)
        *mlen_p = 0;
    return Library_missing(-1);
}

int crypto_generichash(unsigned char* out, size_t outlen, const unsigned char* in,
                       unsigned long long inlen, const unsigned char* key, size_t keylen)
{
    if (sodium.Loaded())
        return SORANE_CALL(crypto_generichash, out, outlen, in, inlen, key, keylen);
    std::memset(out, 0, outlen);
    return Library_missing(-1);
}

int crypto_pwhash(unsigned char* const out, unsigned long long outlen, const char* const password,
                  unsigned long long password_length, const unsigned char* const salt,
                  unsigned long long opslimit, size_t memlimit, int algorithm)
{
    if (sodium.Loaded())
        return SORANE_CALL(crypto_pwhash, out, outlen, password, password_length, salt, opslimit,
                           memlimit, algorithm);
    std::memset(out, 0, size_t(outlen));
    return Library_missing(-1);
}

}  // extern "C"

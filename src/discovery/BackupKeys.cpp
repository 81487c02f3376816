#include "BackupKeys.h"

#include "platform/FileMoves.h"

#include <cerrno>
#include <memory>
#include <openssl/evp.h>
#include <unistd.h>

namespace quarrow {

namespace {

constexpr std::size_t kKeySize = 32;       // AES-256
constexpr std::size_t kWrapOverhead = 8;   // RFC 3394 integrity block
constexpr std::size_t kClassPrefix = 4;    // protection class, little-endian
constexpr std::size_t kBlock = 16;         // AES block
constexpr std::size_t kChunk = 1u << 20;   // bytes read per step
constexpr std::uint32_t kWrapPasscode = 2; // WRAP bit: wrapped with the password key

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

} // namespace

std::optional<Secret> derivePasswordKey(const BackupKeyBag& bag, const Secret& password) {
    if (bag.salt.empty() || bag.iterations == 0 || bag.iterations > kMaxKeyBagIterations) {
        return std::nullopt;
    }
    Secret first;
    const Secret* input = &password;
    if (bag.dpsl) {
        if (bag.dpic == 0 || bag.dpic > kMaxKeyBagIterations) {
            return std::nullopt;
        }
        first = Secret(kKeySize);
        if (PKCS5_PBKDF2_HMAC(password.chars(), static_cast<int>(password.size()),
                              reinterpret_cast<const unsigned char*>(bag.dpsl->data()),
                              static_cast<int>(bag.dpsl->size()), static_cast<int>(bag.dpic), EVP_sha256(),
                              static_cast<int>(first.size()), first.data()) != 1) {
            return std::nullopt;
        }
        input = &first;
    }
    Secret key(kKeySize);
    if (PKCS5_PBKDF2_HMAC(input->chars(), static_cast<int>(input->size()),
                          reinterpret_cast<const unsigned char*>(bag.salt.data()), static_cast<int>(bag.salt.size()),
                          static_cast<int>(bag.iterations), EVP_sha1(), static_cast<int>(key.size()),
                          key.data()) != 1) {
        return std::nullopt;
    }
    return key;
}

std::optional<Secret> unwrapKey(const Secret& kek, std::string_view wrapped) {
    if (kek.size() != kKeySize || wrapped.size() != kKeySize + kWrapOverhead) {
        return std::nullopt;
    }
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx) {
        return std::nullopt;
    }
    // The wrap modes are refused by EVP unless asked for explicitly.
    EVP_CIPHER_CTX_set_flags(ctx.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    Secret key(kKeySize);
    int length = 0;
    int last = 0;
    if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_wrap(), nullptr, kek.data(), nullptr) != 1 ||
        EVP_DecryptUpdate(ctx.get(), key.data(), &length, reinterpret_cast<const unsigned char*>(wrapped.data()),
                          static_cast<int>(wrapped.size())) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), key.data() + length, &last) != 1 ||
        length + last != static_cast<int>(kKeySize)) {
        return std::nullopt;
    }
    return key;
}

BackupKeys::Unlock BackupKeys::unlock(const BackupKeyBag& bag, const Secret& password, std::optional<BackupKeys>& out) {
    out.reset();
    bool any = false;
    for (const KeyBagClass& c : bag.classes) {
        any = any || (c.wrap & kWrapPasscode);
    }
    if (!any) {
        return Unlock::NoProtectedKey;
    }
    const std::optional<Secret> passwordKey = derivePasswordKey(bag, password);
    if (!passwordKey) {
        return Unlock::NoProtectedKey;
    }
    BackupKeys keys;
    for (const KeyBagClass& c : bag.classes) {
        if (!(c.wrap & kWrapPasscode)) {
            continue; // protected by the device alone: of no use away from it
        }
        std::optional<Secret> key = unwrapKey(*passwordKey, c.wrappedKey);
        if (!key) {
            return Unlock::WrongPassword;
        }
        keys.classKeys_.insert_or_assign(c.protectionClass, std::move(*key));
    }
    out = std::move(keys);
    return Unlock::Unlocked;
}

std::optional<Secret> BackupKeys::fileKey(std::string_view classAndWrappedKey, std::string& problem) const {
    if (classAndWrappedKey.size() != kClassPrefix + kKeySize + kWrapOverhead) {
        problem = "wrapped key has " + std::to_string(classAndWrappedKey.size()) + " bytes, not " +
                  std::to_string(kClassPrefix + kKeySize + kWrapOverhead);
        return std::nullopt;
    }
    std::uint32_t protectionClass = 0;
    for (std::size_t i = kClassPrefix; i-- > 0;) {
        protectionClass = protectionClass << 8 | static_cast<unsigned char>(classAndWrappedKey[i]);
    }
    const auto classKey = classKeys_.find(protectionClass);
    if (classKey == classKeys_.end()) {
        problem = "no class key for protection class " + std::to_string(protectionClass);
        return std::nullopt;
    }
    std::optional<Secret> key = unwrapKey(classKey->second, classAndWrappedKey.substr(kClassPrefix));
    if (!key) {
        problem = "key of protection class " + std::to_string(protectionClass) + " does not unwrap";
    }
    return key;
}

DecryptResult BackupKeys::decryptFile(const Secret& key, int inFd, int outFd, std::optional<std::uint64_t> size) {
    return decryptFile(
        key, inFd, [outFd](const unsigned char* data, std::size_t n) { return writeAll(outFd, data, n); }, size);
}

std::optional<Secret> BackupKeys::decryptFirstBlock(const Secret& key, int inFd) {
    CipherContext ctx(EVP_CIPHER_CTX_new());
    const unsigned char zeroIv[kBlock] = {};
    if (key.size() != kKeySize || !ctx ||
        EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), zeroIv) != 1) {
        return std::nullopt;
    }
    // One block alone carries no padding: the cipher must not look for any.
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    unsigned char in[kBlock];
    std::size_t got = 0;
    while (got < kBlock) {
        const ssize_t n = ::pread(inFd, in + got, kBlock - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        got += static_cast<std::size_t>(n);
    }
    Secret out(kBlock * 2);
    int produced = 0;
    if (EVP_DecryptUpdate(ctx.get(), out.data(), &produced, in, static_cast<int>(kBlock)) != 1 ||
        produced != static_cast<int>(kBlock)) {
        return std::nullopt;
    }
    out.shrink(kBlock);
    return out;
}

DecryptResult BackupKeys::decryptFile(const Secret& key, int inFd, const Sink& sink,
                                      std::optional<std::uint64_t> size) {
    DecryptResult result;
    const auto fail = [&result](DecryptStatus status, std::string problem) {
        result.status = status;
        result.problem = std::move(problem);
        return result;
    };
    if (key.size() != kKeySize) {
        return fail(DecryptStatus::NoKey, "key has " + std::to_string(key.size()) + " bytes");
    }
    CipherContext ctx(EVP_CIPHER_CTX_new());
    const unsigned char zeroIv[kBlock] = {};
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), zeroIv) != 1) {
        return fail(DecryptStatus::NoKey, "cipher cannot be set up");
    }
    // Plaintext passes through these buffers; they are cleared when made and when done. A file whose
    // size is known needs no more than its whole ciphertext: a picture of 100 KB would otherwise cost
    // more in clearing 2 MiB than in its decryption.
    const std::size_t chunk = size && *size < kChunk ? static_cast<std::size_t>((*size / kBlock + 1) * kBlock) : kChunk;
    Secret in(chunk);
    Secret out(chunk + kBlock);
    std::uint64_t readTotal = 0;
    const auto emit = [&](const unsigned char* data, std::size_t n) {
        if (size && result.written + n > *size) {
            n = static_cast<std::size_t>(*size - result.written); // the padding and anything past the size
        }
        if (n && !sink(data, n)) {
            return false;
        }
        result.written += n;
        return true;
    };
    for (;;) {
        const ssize_t n = ::read(inFd, in.data(), in.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return fail(DecryptStatus::ReadFailed, "read failed after byte " + std::to_string(readTotal));
        }
        if (n == 0) {
            break;
        }
        readTotal += static_cast<std::uint64_t>(n);
        int produced = 0;
        if (EVP_DecryptUpdate(ctx.get(), out.data(), &produced, in.data(), static_cast<int>(n)) != 1) {
            return fail(DecryptStatus::BadPadding, "cipher failed at byte " + std::to_string(readTotal));
        }
        if (!emit(out.data(), static_cast<std::size_t>(produced))) {
            return fail(DecryptStatus::WriteFailed, "write failed");
        }
    }
    // Ciphertext is always longer than its plaintext: a file shorter than its size was cut.
    if (size && readTotal < *size) {
        return fail(DecryptStatus::Truncated,
                    std::to_string(readTotal) + " bytes cannot hold the " + std::to_string(*size) + " it should");
    }
    if (readTotal == 0 && size == std::uint64_t{0}) {
        return result; // an empty file may be stored as no bytes at all
    }
    if (readTotal == 0 || readTotal % kBlock != 0) {
        return fail(DecryptStatus::Truncated,
                    std::to_string(readTotal) + " bytes are not a whole number of cipher blocks");
    }
    int produced = 0;
    if (EVP_DecryptFinal_ex(ctx.get(), out.data(), &produced) != 1) {
        return fail(DecryptStatus::BadPadding, "padding of the last block is wrong");
    }
    if (!emit(out.data(), static_cast<std::size_t>(produced))) {
        return fail(DecryptStatus::WriteFailed, "write failed");
    }
    if (size && result.written < *size) {
        return fail(DecryptStatus::Truncated,
                    "decrypted " + std::to_string(result.written) + " bytes of " + std::to_string(*size));
    }
    return result;
}

} // namespace quarrow

#include "CodeSignature.h"

#include <sys/stat.h>

#include <array>
#include <fstream>
#include <memory>
#include <stdexcept>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include "Pellora/Updates/FolderListing.h"
#include "Pellora/Updates/UpdateError.h"
#include "Pellora/Updates/UpdateInstaller.h"
#include "PelloraCore/FileContents.h"

namespace pellora::CodeSignature {
namespace {

namespace fs = std::filesystem;

const fs::path signatureFolder = fs::path("Contents") / "_CodeSignature";
const char* const manifestName = "Manifest.json";
const char* const signatureName = "Signature";
const char* const publicKeyName = "PublicKey.pem";
const char* const format = "pellora-signature-1";
constexpr std::size_t signatureSize = 64;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Bio = std::unique_ptr<BIO, BioFree>;
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

Bio memoryBio(const std::string& text) { return Bio(BIO_new_mem_buf(text.data(), int(text.size()))); }

std::string bioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return std::string(data, std::size_t(size));
}

// Reads a private key, or failing that a public one; only Ed25519 keys count.
Key readKey(const std::string& pem) {
    Key key(PEM_read_bio_PrivateKey(memoryBio(pem).get(), nullptr, nullptr, nullptr));
    if (!key)
        key.reset(PEM_read_bio_PUBKEY(memoryBio(pem).get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519)
        return nullptr;
    return key;
}

std::string publicPem(EVP_PKEY* key) {
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PUBKEY(bio.get(), key) != 1)
        throw std::runtime_error("cannot write the public key");
    return bioText(bio.get());
}

std::string teamOf(EVP_PKEY* key) {
    std::array<unsigned char, 32> raw{};
    std::size_t rawSize = raw.size();
    if (EVP_PKEY_get_raw_public_key(key, raw.data(), &rawSize) != 1 || rawSize != raw.size())
        throw std::runtime_error("cannot read the public key");
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int digestSize = 0;
    if (EVP_Digest(raw.data(), raw.size(), digest.data(), &digestSize, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("cannot hash the public key");
    // Base32 (RFC 4648), first ten characters: the first 50 bits of the digest.
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    std::string team;
    for (int index = 0; index < 10; ++index) {
        const int bit = index * 5;
        const unsigned pair = (unsigned(digest[bit / 8]) << 8) | digest[bit / 8 + 1];
        team += alphabet[(pair >> (11 - bit % 8)) & 31];
    }
    return team;
}

bool isSignatureFile(const fs::path& relative) {
    auto part = relative.begin();
    for (const auto& expected : signatureFolder) {
        if (part == relative.end() || *part != expected)
            return false;
        ++part;
    }
    return true;
}

// What the application holds, as the manifest lists it. Throws std::runtime_error for an
// entry that a manifest cannot describe.
nlohmann::json describe(const fs::path& application) {
    nlohmann::json entries = nlohmann::json::array();
    for (const auto& relative : FolderListing::sorted(application)) {
        if (isSignatureFile(relative))
            continue;
        const fs::path path = application / relative;
        const auto status = fs::symlink_status(path);
        nlohmann::json entry{{"path", relative.generic_string()}};
        if (fs::is_symlink(status)) {
            entry["type"] = "link";
            entry["target"] = fs::read_symlink(path).string();
        } else if (fs::is_directory(status)) {
            entry["type"] = "folder";
        } else if (fs::is_regular_file(status)) {
            const bool executable = (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
            entry["type"] = "file";
            entry["mode"] = executable ? "755" : "644";
            entry["sha256"] = UpdateInstaller::sha256(path);
        } else {
            throw std::runtime_error("cannot sign " + relative.string() + ": not a file, folder or link");
        }
        entries.push_back(std::move(entry));
    }
    return {{"format", format}, {"entries", std::move(entries)}};
}

std::string readFile(const fs::path& file) {
    auto contents = FileContents::read(file);
    if (!contents)
        throw std::runtime_error("cannot read " + file.string());
    return std::move(*contents);
}

void writeFile(const fs::path& file, const std::string& contents) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << contents;
    stream.close();
    if (!stream)
        throw std::runtime_error("cannot write " + file.string());
}

bool verifies(EVP_PKEY* key, const std::string& signature, const std::string& message) {
    Context context(EVP_MD_CTX_new());
    return context && signature.size() == signatureSize &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key) == 1 &&
           EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                            signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}

std::string checkedTeam(const fs::path& application) {
    const fs::path folder = application / signatureFolder;
    if (!fs::is_directory(fs::symlink_status(application)) || !fs::is_directory(fs::symlink_status(folder)))
        throw UpdateError::invalidSignature();
    // The signature folder holds its three files and nothing else.
    const std::vector<fs::path> expected{manifestName, publicKeyName, signatureName};
    const auto present = FolderListing::sorted(folder);
    if (present != expected)
        throw UpdateError::invalidSignature();
    for (const auto& name : expected)
        if (!fs::is_regular_file(fs::symlink_status(folder / name)))
            throw UpdateError::invalidSignature();

    const std::string manifest = readFile(folder / manifestName);
    const Key key(PEM_read_bio_PUBKEY(memoryBio(readFile(folder / publicKeyName)).get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519 ||
        !verifies(key.get(), readFile(folder / signatureName), manifest))
        throw UpdateError::invalidSignature();
    if (nlohmann::json::parse(manifest) != describe(application))
        throw UpdateError::invalidSignature();
    return teamOf(key.get());
}

} // namespace

std::string generateKey() {
    Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
    Bio bio(BIO_new(BIO_s_mem()));
    if (!key || !bio || PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw std::runtime_error("cannot generate a key");
    return bioText(bio.get());
}

std::string teamIdentifier(const std::string& keyPem) {
    const Key key = readKey(keyPem);
    if (!key)
        throw std::runtime_error("not an Ed25519 key");
    return teamOf(key.get());
}

std::string sign(const fs::path& application, const std::string& privateKeyPem) {
    Key key(PEM_read_bio_PrivateKey(memoryBio(privateKeyPem).get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519)
        throw std::runtime_error("not an Ed25519 private key");
    const fs::path folder = application / signatureFolder;
    fs::remove_all(folder);
    const std::string manifest = describe(application).dump() + "\n";

    std::array<unsigned char, signatureSize> signature{};
    std::size_t size = signature.size();
    Context context(EVP_MD_CTX_new());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &size,
                       reinterpret_cast<const unsigned char*>(manifest.data()), manifest.size()) != 1)
        throw std::runtime_error("cannot sign the manifest");

    fs::create_directories(folder);
    writeFile(folder / manifestName, manifest);
    writeFile(folder / signatureName, std::string(reinterpret_cast<const char*>(signature.data()), size));
    writeFile(folder / publicKeyName, publicPem(key.get()));
    return teamOf(key.get());
}

std::string team(const fs::path& application) {
    try {
        return checkedTeam(application);
    } catch (const UpdateError&) {
        throw;
    } catch (const std::exception&) {
        // Unreadable files, a manifest that is not JSON, entries it cannot describe.
        throw UpdateError::invalidSignature();
    }
}

} // namespace pellora::CodeSignature

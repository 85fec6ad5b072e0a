// A signature whose manifest says anything: the input is the manifest, signed with the
// publisher's key, over a small application folder. Only a manifest that describes the
// folder exactly may pass, and a refusal is always the invalid-signature error.
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include "Fuzz/FuzzTarget.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Updates/CodeSignature.h"
#include "Pellora/Updates/UpdateError.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

// Ed25519 over `message` with the PEM private key.
std::string signature(const std::string& keyPem, const std::string& message) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(keyPem.data(), int(keyPem.size())), BIO_free);
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    std::array<unsigned char, 64> bytes{};
    std::size_t size = bytes.size();
    FUZZ_CHECK(key && context && EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1);
    FUZZ_CHECK(EVP_DigestSign(context.get(), bytes.data(), &size,
                              reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1);
    return std::string(reinterpret_cast<const char*>(bytes.data()), size);
}

} // namespace

PELLORA_FUZZ_TARGET(SignatureManifest) {
    using namespace pellora;
    // The manifest, then after a NUL byte the application binary's contents.
    const auto parts = fuzz::pieces(input, '\0');
    const std::string manifest(parts[0]);
    const std::string binary = parts.size() > 1 ? std::string(parts[1]) : "#!/bin/sh\n";

    static const std::string key = CodeSignature::generateKey();
    static const std::string team = CodeSignature::teamIdentifier(key);
    const fs::path application = UserFolders::temporary() / "pellora-fuzz-signature" / "Tovrin.app";
    fs::remove_all(application.parent_path());
    fs::create_directories(application / "Contents" / "MacOS");
    std::ofstream(application / "Contents" / "Info.plist") << "<plist version=\"1.0\"><dict/></plist>\n";
    std::ofstream(application / "Contents" / "MacOS" / "Tovrin", std::ios::binary) << binary;
    fs::create_symlink("MacOS", application / "Contents" / "Current");

    FUZZ_CHECK(CodeSignature::sign(application, key) == team);
    const fs::path folder = application / "Contents" / "_CodeSignature";
    const std::string genuine = contents(folder / "Manifest.json");
    std::ofstream(folder / "Manifest.json", std::ios::binary | std::ios::trunc) << manifest;
    std::ofstream(folder / "Signature", std::ios::binary | std::ios::trunc) << signature(key, manifest);

    bool accepted = false;
    try {
        accepted = CodeSignature::team(application) == team;
    } catch (const UpdateError& error) {
        FUZZ_CHECK(error.kind() == UpdateError::Kind::invalidSignature);
    }
    const bool describesTheFolder =
        nlohmann::json::accept(manifest) && nlohmann::json::parse(manifest) == nlohmann::json::parse(genuine);
    FUZZ_CHECK(accepted == describesTheFolder);
    fs::remove_all(application.parent_path());
}

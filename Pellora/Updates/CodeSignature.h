#pragma once

#include <filesystem>
#include <string>

// The publisher's signature of an application folder outside macOS. Contents/_CodeSignature
// holds Manifest.json (every folder, file and link below the application apart from this
// folder, sorted by path: a file's executable mode and SHA-256, a link's target), Signature
// (Ed25519 over the manifest's bytes) and PublicKey.pem (the signer's key). The team
// identifier is the first ten characters of the base32 form of the SHA-256 of the raw
// public key.
namespace pellora::CodeSignature {

// A new Ed25519 private key, PEM-encoded.
std::string generateKey();

// The team identifier of a PEM private or public key. Throws std::runtime_error when the
// text is not an Ed25519 key.
std::string teamIdentifier(const std::string& keyPem);

// Signs the application folder with the PEM private key, replacing any earlier signature,
// and returns the team identifier. Throws std::runtime_error or filesystem_error.
std::string sign(const std::filesystem::path& application, const std::string& privateKeyPem);

// The team identifier of the application's signature when the signature is valid: it
// verifies, and the folder holds exactly what the manifest lists, unchanged. Throws
// UpdateError::invalidSignature otherwise, also when there is no signature.
std::string team(const std::filesystem::path& application);

} // namespace pellora::CodeSignature

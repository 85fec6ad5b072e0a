// Signs a release: makes the publisher's key, signs Tovrin.app with it and packs the update
// image whose SHA-256 the check-in server announces.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Pellora/Updates/CodeSignature.h"
#include "Pellora/Updates/ImageArchive.h"
#include "Pellora/Updates/UpdateError.h"
#include "Pellora/Updates/UpdateInstaller.h"
#include "PelloraCore/FileContents.h"
#include "PelloraCore/FileDescriptor.h"

using namespace pellora;
namespace fs = std::filesystem;

namespace {

const char* const usage =
    "usage: pellora-sign keygen KEY        write a new Ed25519 key to the file KEY\n"
    "       pellora-sign team KEY          print the key's team identifier\n"
    "       pellora-sign sign KEY APP      sign the application folder APP\n"
    "       pellora-sign verify APP        check APP's signature, print its team\n"
    "       pellora-sign pack APP IMAGE    pack APP into the update image IMAGE, print its SHA-256\n";

std::string readKey(const fs::path& file) {
    auto text = FileContents::read(file);
    if (!text)
        throw std::runtime_error("cannot read the key " + file.string());
    return std::move(*text);
}

// Only the owner may read a private key; an existing file is never replaced.
void writeKey(const fs::path& file, const std::string& pem) {
    const FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.isOpen())
        throw std::system_error(errno, std::generic_category(), "cannot create " + file.string());
    if (::write(fd.get(), pem.data(), pem.size()) != ssize_t(pem.size()))
        throw std::system_error(errno, std::generic_category(), "cannot write " + file.string());
}

int perform(const std::vector<std::string>& arguments) {
    const auto command = arguments.empty() ? std::string() : arguments[0];
    if (command == "keygen" && arguments.size() == 2) {
        const std::string key = CodeSignature::generateKey();
        writeKey(arguments[1], key);
        std::cout << CodeSignature::teamIdentifier(key) << "\n";
    } else if (command == "team" && arguments.size() == 2) {
        std::cout << CodeSignature::teamIdentifier(readKey(arguments[1])) << "\n";
    } else if (command == "sign" && arguments.size() == 3) {
        std::cout << CodeSignature::sign(arguments[2], readKey(arguments[1])) << "\n";
    } else if (command == "verify" && arguments.size() == 2) {
        try {
            std::cout << CodeSignature::team(arguments[1]) << "\n";
        } catch (const UpdateError&) {
            std::cerr << "pellora-sign: " << arguments[1] << ": the signature is not valid\n";
            return 1;
        }
    } else if (command == "pack" && arguments.size() == 3) {
        ImageArchive::pack(arguments[1], arguments[2]);
        std::cout << UpdateInstaller::sha256(arguments[2]) << "\n";
    } else {
        std::cerr << usage;
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return perform(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UserError& error) {
        std::cerr << "pellora-sign: " << error.description() << "\n";
    } catch (const std::exception& error) {
        std::cerr << "pellora-sign: " << error.what() << "\n";
    }
    return 1;
}

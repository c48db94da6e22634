#include "support/PdfSigner.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "support/PdfFixtures.h"

namespace quillet::testing {

namespace {

// The words of `text`, split at spaces.
std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

bool installed(const std::string& tool) {
    return runCommand({"sh", "-c", "command -v " + tool}).status == 0;
}

}  // namespace

bool PdfSigner::available() {
    static const bool all = qpdfAvailable() && installed("pdfsig") && installed("certutil");
    return all;
}

PdfSigner::PdfSigner(const TempDir& dir) : dir_(dir), database_("sql:" + dir.file("nss").string()) {
    std::filesystem::create_directory(dir.file("nss"));
    writeFile(dir.file("noise"), std::string(64, 'x') + std::to_string(getpid()));
    if (runCommand({"certutil", "-N", "-d", database_, "--empty-password"}).status != 0) return;
    std::vector<std::string> args =
        words("certutil -S -d " + database_ + " -n signer -x -t CT,C,C -k rsa -g 2048 -v 12 -z " +
              dir.file("noise").string() + " --keyUsage digitalSignature,nonRepudiation");
    args.insert(args.end(), {"-s", "CN=Signer Test"});
    const CommandResult cert = runCommand(args);
    if (cert.status != 0) std::fprintf(stderr, "certutil: %s\n", cert.err.c_str());
    ready_ = cert.status == 0;
}

bool PdfSigner::sign(const std::filesystem::path& plain, const std::filesystem::path& signedFile) const {
    const std::filesystem::path normalized = dir_.file("normalized-for-signing.pdf");
    if (!ready_ || runQpdf({plain.string(), normalized.string()}).status != 0) return false;
    const CommandResult signing = runCommand({"pdfsig", "-add-signature", "-nssdir", database_, "-nick",
                                              "signer", normalized.string(), signedFile.string()});
    if (signing.status != 0) std::fprintf(stderr, "pdfsig: %s\n", signing.err.c_str());
    return signing.status == 0 && verifies(signedFile);
}

bool PdfSigner::verifies(const std::filesystem::path& file) const {
    return runCommand({"pdfsig", "-nssdir", database_, file.string()}).out.find("Signature is Valid.") !=
           std::string::npos;
}

}  // namespace quillet::testing

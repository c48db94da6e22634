#include "support/PdfFixtures.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "core/pdf/Flate.h"
#include "core/pdf/PDFWriter.h"
#include "support/TempDir.h"

namespace quillet::testing {

namespace {

std::string padded(int64_t value, int width) {
    std::string digits = std::to_string(value);
    return std::string(static_cast<size_t>(std::max<int>(0, width - static_cast<int>(digits.size()))), '0') +
           digits;
}

void putBigEndian(Bytes& out, uint64_t value, int width) {
    for (int k = width - 1; k >= 0; --k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
}

}  // namespace

PdfBuilder::PdfBuilder(std::string_view version) {
    bytes_ = "%PDF-" + std::string(version) + "\n%\xE2\xE3\xCF\xD3\n";
}

PdfBuilder PdfBuilder::appendingTo(Bytes existing) {
    PdfBuilder builder;
    builder.bytes_ = std::move(existing);
    if (!builder.bytes_.empty() && builder.bytes_.back() != '\n') builder.bytes_ += '\n';
    builder.firstSection_ = false;
    return builder;
}

void PdfBuilder::add(int64_t num, const PDFValue& value, int64_t gen) {
    recordInFile(num, length(), gen);
    PDFWriter::writeObject(num, gen, value, bytes_);
}

void PdfBuilder::addStream(int64_t num, PDFDictionary dict, std::string_view data, int64_t gen) {
    recordInFile(num, length(), gen);
    PDFWriter::writeStream(num, gen, std::move(dict), data, bytes_);
}

void PdfBuilder::addRaw(int64_t num, std::string_view body, int64_t gen) {
    recordInFile(num, length(), gen);
    bytes_ += std::to_string(num) + " " + std::to_string(gen) + " obj\n";
    bytes_ += body;
    bytes_ += "\nendobj\n";
}

void PdfBuilder::addObjectStream(int64_t num, const std::vector<std::pair<int64_t, PDFValue>>& objects) {
    Bytes header;
    Bytes body;
    for (size_t i = 0; i < objects.size(); ++i) {
        header += std::to_string(objects[i].first) + " " + std::to_string(body.size()) + " ";
        PDFWriter::write(objects[i].second, body);
        body += "\n";
        recordCompressed(objects[i].first, num, static_cast<int64_t>(i));
    }
    PDFDictionary dict{{"Type", PDFValue::name("ObjStm")},
                       {"N", PDFValue::integer(static_cast<int64_t>(objects.size()))},
                       {"First", PDFValue::integer(static_cast<int64_t>(header.size()))},
                       {"Filter", PDFValue::name("FlateDecode")}};
    addStream(num, std::move(dict), Flate::deflate(header + body, 6));
}

void PdfBuilder::recordInFile(int64_t num, int64_t offset, int64_t gen) {
    pending_[num] = {1, offset, gen};
}

void PdfBuilder::recordCompressed(int64_t num, int64_t stream, int64_t index) {
    pending_[num] = {2, stream, index};
}

void PdfBuilder::append(std::string_view raw) {
    bytes_ += raw;
}

int64_t PdfBuilder::offsetOf(int64_t num) const {
    auto it = pending_.find(num);
    if (it == pending_.end() || it->second.type != 1) throw std::logic_error("no offset recorded");
    return it->second.a;
}

int64_t PdfBuilder::appendTable(const PDFDictionary& trailer) {
    std::map<int64_t, Entry> entries = pending_;
    if (firstSection_) entries.emplace(0, Entry{0, 0, 65535});
    const int64_t at = length();
    bytes_ += "xref\n";
    for (auto it = entries.begin(); it != entries.end();) {
        auto end = it;
        int64_t next = it->first;
        while (end != entries.end() && end->first == next) ++end, ++next;
        bytes_ += std::to_string(it->first) + " " + std::to_string(next - it->first) + "\n";
        for (; it != end; ++it) {
            const Entry& e = it->second;
            if (e.type == 1)
                bytes_ += padded(e.a, 10) + " " + padded(e.b, 5) + " n\r\n";
            else
                bytes_ += "0000000000 65535 f\r\n";
        }
    }
    bytes_ += "trailer\n";
    PDFWriter::writeDictionary(trailer, bytes_);
    bytes_ += "\n";
    pending_.clear();
    firstSection_ = false;
    return at;
}

void PdfBuilder::appendStartXref(int64_t offset) {
    bytes_ += "startxref\n" + std::to_string(offset) + "\n%%EOF\n";
}

int64_t PdfBuilder::finishWithTable(const PDFDictionary& trailer) {
    int64_t at = appendTable(trailer);
    appendStartXref(at);
    return at;
}

int64_t PdfBuilder::finishWithXRefStream(int64_t num, const PDFDictionary& extra, bool withStartXref) {
    const int64_t at = length();
    std::map<int64_t, Entry> entries = pending_;
    entries[num] = {1, at, 0};
    if (firstSection_) entries.emplace(0, Entry{0, 0, 65535});
    Bytes rows;
    PDFArray index;
    for (auto it = entries.begin(); it != entries.end();) {
        auto end = it;
        int64_t next = it->first;
        while (end != entries.end() && end->first == next) ++end, ++next;
        index.push_back(PDFValue::integer(it->first));
        index.push_back(PDFValue::integer(next - it->first));
        for (; it != end; ++it) {
            const Entry& e = it->second;
            putBigEndian(rows, static_cast<uint64_t>(e.type), 1);
            putBigEndian(rows, static_cast<uint64_t>(e.a), 4);
            putBigEndian(rows, static_cast<uint64_t>(e.b), 2);
        }
    }
    PDFDictionary dict{
        {"Type", PDFValue::name("XRef")},
        {"W", PDFValue::array({PDFValue::integer(1), PDFValue::integer(4), PDFValue::integer(2)})},
        {"Index", PDFValue::array(std::move(index))}};
    for (const auto& [key, value] : extra.entries()) dict.set(key, value);
    PDFWriter::writeStream(num, 0, std::move(dict), rows, bytes_);
    pending_.clear();
    firstSection_ = false;
    if (withStartXref) appendStartXref(at);
    return at;
}

void PdfBuilder::writeTo(const std::filesystem::path& path) const {
    writeFile(path, bytes_);
}

std::string simpleDocumentContent(int page) {
    return "BT /F1 24 Tf 72 720 Td (page " + std::to_string(page + 1) + ") Tj ET\n";
}

Bytes mixedSizeDocument(int pages) {
    PdfBuilder builder;
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        kids += std::to_string(10 + i) + " 0 R ";
        const int width = i % 10 == 9 ? 1224 : 612;
        builder.addRaw(10 + i,
                       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + " 792] >>");
    }
    builder.addRaw(1, "<< /Type /Catalog /Pages 2 0 R >>");
    builder.addRaw(2, "<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids + "] >>");
    builder.finishWithTable(
        PDFDictionary{{"Size", PDFValue::integer(10 + pages)}, {"Root", PDFValue::ref(1, 0)}});
    return builder.bytes();
}

Bytes simpleDocument(int pages, std::string_view title) {
    PdfBuilder builder;
    PDFArray kids;
    for (int i = 0; i < pages; ++i) kids.push_back(PDFValue::ref(4 + 2 * i, 0));
    builder.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    PDFDictionary font{{"Type", PDFValue::name("Font")},
                       {"Subtype", PDFValue::name("Type1")},
                       {"BaseFont", PDFValue::name("Helvetica")}};
    builder.add(
        2, PDFValue::dict(
               {{"Type", PDFValue::name("Pages")},
                {"Kids", PDFValue::array(std::move(kids))},
                {"Count", PDFValue::integer(pages)},
                {"MediaBox", PDFValue::array({PDFValue::integer(0), PDFValue::integer(0),
                                              PDFValue::integer(612), PDFValue::integer(792)})},
                {"Resources", PDFValue::dict({{"Font", PDFValue::dict({{"F1", PDFValue::dict(font)}})}})}}));
    builder.add(
        3, PDFValue::dict({{"Title", PDFValue::text(title)}, {"Producer", PDFValue::string("fixture")}}));
    for (int i = 0; i < pages; ++i) {
        builder.add(4 + 2 * i, PDFValue::dict({{"Type", PDFValue::name("Page")},
                                               {"Parent", PDFValue::ref(2, 0)},
                                               {"Contents", PDFValue::ref(5 + 2 * i, 0)}}));
        builder.addStream(5 + 2 * i, PDFDictionary{{"Filter", PDFValue::name("FlateDecode")}},
                          Flate::deflate(simpleDocumentContent(i), 6));
    }
    builder.finishWithTable(PDFDictionary{{"Size", PDFValue::integer(4 + 2 * pages)},
                                          {"Root", PDFValue::ref(1, 0)},
                                          {"Info", PDFValue::ref(3, 0)},
                                          {"ID", PDFValue::array({PDFValue::string("0123456789abcdef"),
                                                                  PDFValue::string("0123456789abcdef")})}});
    return builder.bytes();
}

CommandResult runCommand(const std::vector<std::string>& argv) {
    CommandResult result;
    if (argv.empty()) return result;
    TempDir dir;
    const std::string outPath = dir.file("out").string();
    const std::string errPath = dir.file("err").string();
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return result;
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

CommandResult runQpdf(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"qpdf"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv);
}

bool qpdfAvailable() {
    static const bool available = runQpdf({"--version"}).status == 0;
    return available;
}

}  // namespace quillet::testing

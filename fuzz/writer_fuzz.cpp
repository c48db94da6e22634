// Arbitrary bytes as the source of an incremental update with a fixed page
// map. Every failure must be one of the typed errors; a reported success
// must have left the source's bytes followed by exactly the reported append.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/pdf/CoreError.h"
#include "core/pdf/FileAccessError.h"
#include "core/pdf/PDFFileReader.h"
#include "core/save/IncrementalWriter.h"

namespace {

using namespace quillet;

std::filesystem::path scratch(const char* name) {
    std::filesystem::path dir =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return dir / ("writer_fuzz_" + std::to_string(getpid()) + "_" + name);
}

std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

AnnotationItem item(uint8_t n, Shape shape) {
    UUID::ByteArray bytes{};
    bytes[6] = 0x40;
    bytes[8] = 0x80;
    bytes[15] = n;
    return AnnotationItem(UUID(bytes), std::move(shape), RGBA(1, 0, 0, 1), 2, 0,
                          std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000}});
}

// Items on the first and the last page, a note among them for the pop-up path.
PageItemMap pageMap(int64_t pageCount) {
    const std::vector<AnnotationItem> items = {
        item(1, InkShape{InkKind::pen, {{{10, 10}, {50, 80}}}}),
        item(2, NoteShape{{100, 100}, {130, 70}, TextSpec{"note", 12, {}, false}}),
        item(3, ArrowShape{{10, 10}, {90, 40}, TextSpec{"label", 10, {}, false}}),
    };
    PageItemMap map{{0, items}};
    if (pageCount > 1) map[pageCount - 1] = {items[0]};
    return map;
}

// The page count as the writer will find it; the writer reports a mismatch
// itself, so a failing walk just gives 1.
int64_t pageCount(const std::filesystem::path& source) {
    try {
        PDFFileReader reader(source, std::string("user"));
        return static_cast<int64_t>(reader.pageRefs().size());
    } catch (const CoreError&) {
        return 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path source = scratch("in.pdf");
    static const std::filesystem::path destination = scratch("out.pdf");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::error_code ignored;
    std::filesystem::remove(destination, ignored);
    try {
        IncrementalWriteResult result =
            IncrementalWriter::appendUpdate(source, destination,
                                            {.expectedPageCount = pageCount(source),
                                             .pages = pageMap(pageCount(source)),
                                             .password = std::string("user"),
                                             .expandNotes = size % 2 == 1});
        const std::string written = contents(destination);
        if (written.size() != bytes.size() + static_cast<size_t>(result.bytesAppended)) __builtin_trap();
        if (written.compare(0, bytes.size(), bytes) != 0) __builtin_trap();
        if (result.bytesAppended > 0 && !written.ends_with("%%EOF\n")) __builtin_trap();
    } catch (const IncrementalWriterError&) {
    } catch (const FileAccessError&) {
    } catch (const PDFReaderError&) {
    } catch (const PDFParseError&) {
    } catch (const FlateError&) {
    } catch (const PDFSecurityError&) {
    }
    return 0;
}

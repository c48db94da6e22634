// Arbitrary bytes opened as a PDF file: index it, walk the page tree and
// resolve every object, under a time budget per input.
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/pdf/FileAccessError.h"
#include "core/pdf/PDFFileReader.h"

namespace {

constexpr auto kBudget = std::chrono::seconds(2);

const std::filesystem::path& scratchFile() {
    static const std::filesystem::path path = [] {
        std::filesystem::path dir =
            std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        return dir / ("reader_fuzz_" + std::to_string(getpid()) + ".pdf");
    }();
    return path;
}

void exercise(quillet::PDFFileReader& reader) {
    const auto deadline = std::chrono::steady_clock::now() + kBudget;
    try {
        reader.pageRefs();
    } catch (const quillet::PDFReaderError&) {
    } catch (const quillet::PDFParseError&) {
    } catch (const quillet::FlateError&) {
    }
    for (int64_t num = 0; num < reader.entries().size() && std::chrono::steady_clock::now() < deadline;
         ++num) {
        try {
            std::optional<quillet::PDFObject> object = reader.object(num);
            reader.resolve(quillet::PDFValue::ref(num, 0));
            if (object && object->isStream())
                reader.decodeStream(object->stream()->dict, object->stream()->data);
        } catch (const quillet::PDFReaderError&) {
        } catch (const quillet::PDFParseError&) {
        } catch (const quillet::FlateError&) {
        }
        if (reader.nesting() != 0) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream out(scratchFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        quillet::PDFFileReader reader(scratchFile(), std::string("user"));
        exercise(reader);
    } catch (const quillet::FileAccessError&) {
    } catch (const quillet::PDFReaderError&) {
    } catch (const quillet::PDFParseError&) {
    } catch (const quillet::FlateError&) {
    }
    return 0;
}

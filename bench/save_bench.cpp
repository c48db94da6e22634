// One save in place of one new item, as the application makes it: the save
// engine writes the update into a hidden file beside TARGET, verifies it with
// qpdf, flushes it and renames it over TARGET. Like the application, it
// gives the replaced version's space back only after the save is done; with
// TIMES it appends "SAVED_S RELEASE_S" to that file: the time from the start
// of main to the save's outcome, and the time the release took after it.
//   save_bench SOURCE TARGET PAGES [TIMES]  save (SOURCE: the working copy)
//   save_bench --verify TARGET PAGES        only the verification of TARGET
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "app/document/SaveEngine.h"
#include "core/markup/AnnotationItem.h"
#include "core/markup/UUID.h"

using namespace quillet;

namespace {

SaveJob jobFor(const std::string& source, const std::string& target, int pages) {
    SaveJob job;
    job.source = source;
    job.documentPath = target;
    job.pageCount = pages;
    UUID::ByteArray id{};
    id[6] = 0x40;
    id[8] = 0x80;
    id[15] = 7;
    job.pages[0] = {AnnotationItem(UUID(id), InkShape{InkKind::pen, {{{100, 100}, {200, 180}, {300, 120}}}},
                                   RGBA{1, 0, 0, 1}, 3, 0,
                                   std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000}})};
    return job;
}

}  // namespace

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: save_bench SOURCE TARGET PAGES [TIMES] | save_bench --verify TARGET PAGES\n");
        return 2;
    }
    const std::string first = argv[1], target = argv[2];
    const int pages = std::atoi(argv[3]);
    try {
        if (first == "--verify") {
            SaveEngine::verify(target, jobFor(target, target, pages));
        } else {
            SaveOutcome outcome = SaveEngine().saveInPlace(jobFor(first, target, pages), target);
            const auto saved = std::chrono::steady_clock::now();
            outcome.replacedVersion.reset();
            const auto released = std::chrono::steady_clock::now();
            if (argc == 5) {
                FILE* times = std::fopen(argv[4], "a");
                if (!times) throw std::runtime_error(std::string("cannot open ") + argv[4]);
                std::fprintf(times, "%.6f %.6f\n", std::chrono::duration<double>(saved - start).count(),
                             std::chrono::duration<double>(released - saved).count());
                std::fclose(times);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "save_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}

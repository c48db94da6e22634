// A page source the store tests control: pages that read as given, pages
// that cannot be read, and a count of reads.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/document/PageItemSource.h"

namespace quillet::testing {

class FakePageSource final : public PageItemSource {
  public:
    std::optional<std::vector<StoredAnnotation>> readPage(int pageIndex) override {
        ++reads[pageIndex];
        if (unreadable.contains(pageIndex)) return std::nullopt;
        auto page = pages.find(pageIndex);
        return page == pages.end() ? std::vector<StoredAnnotation>{} : page->second;
    }
    std::string failureText() const override { return "page damaged"; }

    void add(int page, AnnotationItem item, std::optional<std::string> contents = {}) {
        AnnotationKey key{item.id.text(), "Ink", {10, 10, 20, 20}};
        pages[page].push_back({std::move(item), std::move(contents), key});
    }

    std::map<int, std::vector<StoredAnnotation>> pages;
    std::map<int, bool> unreadable;
    std::map<int, int> reads;
};

}  // namespace quillet::testing

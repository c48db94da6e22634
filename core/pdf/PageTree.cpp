// The page-tree walk of PDFFileReader: the leaves of the tree under the
// catalog's /Pages, in document order. Damaged trees are read the way other
// readers read them, with a warning for each fault: a kid that is missing or
// not a dictionary is skipped, a direct dictionary is read as an object of
// its own (see DirectKid), a node that is its own ancestor is skipped, a node
// reached twice counts twice (up to a bound), a node without /Type is a page
// unless it has /Kids. A root /Count smaller than the pages found cuts the
// list, as viewers show no more; a larger one is not trusted, as there are no
// pages to show.
#include <algorithm>
#include <string>
#include <unordered_set>

#include "core/pdf/PDFFileReader.h"

namespace quillet {

namespace {

std::string nodeName(const PDFRef& ref) {
    return "page-tree node " + std::to_string(ref.num);
}

}  // namespace

// A node being walked: its kids and the next one to visit.
struct PDFFileReader::PageTreeFrame {
    PDFRef ref;
    PDFArray kids;
    size_t next = 0;
};

std::vector<PDFRef> PDFFileReader::pageRefs() {
    PDFValue catalog = resolve(trailer_.get("Root").value_or(PDFValue()));
    const PDFDictionary* catalogDict = catalog.dictValue();
    if (!catalogDict) throw PDFReaderError::badPageTree("catalog is not a dictionary");
    const PDFValue* pages = catalogDict->find("Pages");
    std::optional<PDFRef> root = pages ? pages->refValue() : std::nullopt;
    if (!root) throw PDFReaderError::badPageTree("/Pages is not a reference");

    // An explicit stack and the set of the nodes on it: hostile trees can
    // be deep or loop back on themselves.
    std::vector<PageTreeFrame> stack;
    std::unordered_set<int64_t> ancestors;
    std::unordered_set<int64_t> seen;
    size_t repeats = 0;
    std::vector<PDFRef> result;
    size_t visits = 0;
    std::optional<int64_t> count;
    bool rootRead = false;

    auto visit = [&](const PDFRef& ref, const std::string& where) {
        const std::string n = std::to_string(ref.num);
        if (++visits > kMaxPageTreeNodes)
            throw PDFReaderError::badPageTree("more than " + std::to_string(kMaxPageTreeNodes) + " nodes");
        if (ancestors.count(ref.num)) {
            warnings_.add(where + " leads back to its ancestor " + n + ", skipped");
            return;
        }
        // A node reached again is read again, as other readers do; every
        // visit is a first one or one of a bounded number of repeats, which
        // keeps trees that fan out onto shared nodes from exploding.
        const bool repeated = !seen.insert(ref.num).second;
        if (repeated && ++repeats > kMaxRepeatedPageTreeVisits) {
            warnings_.add(where + ": node " + n + " reached too often, skipped");
            return;
        }
        std::optional<PDFObject> loaded = object(ref.num);
        const PDFDictionary* node = loaded ? loaded->dictionary() : nullptr;
        if (!node) {
            if (!rootRead) throw PDFReaderError::badPageTree("node " + n + " missing");
            warnings_.add(where + ": object " + n + " is missing or not a dictionary, skipped");
            return;
        }
        const PDFValue* type = node->find("Type");
        const bool typed = type && (type->isName("Pages") || type->isName("Page"));
        const bool inner = typed ? type->isName("Pages") : node->contains("Kids");
        if (!typed) warnings_.add(nodeName(ref) + " has no /Type, read as " + (inner ? "/Pages" : "/Page"));
        if (!rootRead) {
            rootRead = true;
            if (const PDFValue* c = node->find("Count")) count = c->intValue();
        }
        if (!inner) {
            if (repeated) warnings_.add("page " + n + " reached more than once, counted each time");
            result.push_back(ref);
            return;
        }
        PDFValue kids = resolve(node->get("Kids").value_or(PDFValue()));
        const PDFArray* items = kids.arrayValue();
        if (!items) {
            warnings_.add(nodeName(ref) + " has no /Kids array, skipped");
            return;
        }
        if (repeated) warnings_.add(nodeName(ref) + " reached more than once, its pages counted each time");
        stack.push_back({ref, *items});
        ancestors.insert(ref.num);
    };

    visit(*root, "catalog");
    while (!stack.empty()) {
        PageTreeFrame& frame = stack.back();
        if (frame.next == frame.kids.size()) {
            ancestors.erase(frame.ref.num);
            stack.pop_back();
            continue;
        }
        const PDFValue& kid = frame.kids[frame.next++];
        const std::string where = "kid " + std::to_string(frame.next - 1) + " of " + nodeName(frame.ref);
        std::optional<PDFRef> kidRef = kid.refValue();
        if (!kidRef && kid.dictValue()) {
            kidRef = adoptDirectKid(frame.ref, frame.next - 1, *kid.dictValue());
            warnings_.add(where + " is a direct dictionary, read as object " + std::to_string(kidRef->num));
        } else if (!kidRef) {
            warnings_.add(where + " is not a reference, skipped");
            continue;
        }
        // visit() may grow the stack: `frame` is not used after it.
        visit(*kidRef, where);
    }
    if (count && *count != static_cast<int64_t>(result.size())) {
        const bool cut = *count > 0 && *count < static_cast<int64_t>(result.size());
        warnings_.add("page tree /Count " + std::to_string(*count) + ", " + std::to_string(result.size()) +
                      " pages found" + (cut ? ", the first " + std::to_string(*count) + " taken" : ""));
        if (cut) result.resize(static_cast<size_t>(*count));
    }
    return result;
}

// The same kid met again (its node reached twice, or another walk) keeps its
// number, so that the page list names one page by one number.
PDFRef PDFFileReader::adoptDirectKid(const PDFRef& parent, size_t index, const PDFDictionary& dict) {
    auto [at, added] = directKidIndex_.try_emplace({parent.num, index}, directKids_.size());
    if (!added) return directKids_[at->second].ref;
    const int64_t num = directKids_.empty() ? size_ : directKids_.back().ref.num + 1;
    PDFDictionary adopted = dict;
    // Inherited attributes are looked up through /Parent.
    adopted.set("Parent", PDFValue::ref(parent.num, parent.gen));
    directKids_.push_back({{num, 0}, parent, index, std::move(adopted)});
    return directKids_.back().ref;
}

}  // namespace quillet

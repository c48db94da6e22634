// The page-tree walk of PDFFileReader: the leaves of the tree under the
// catalog's /Pages, in document order.
#include <algorithm>
#include <string>
#include <unordered_set>

#include "core/pdf/PDFFileReader.h"

namespace quillet {

namespace {

bool isInnerNode(const PDFDictionary& node) {
    const PDFValue* type = node.find("Type");
    if (type && type->isName("Pages")) return true;
    if (type && type->isName("Page")) return false;
    return node.contains("Kids");
}

}  // namespace

std::vector<PDFRef> PDFFileReader::pageRefs() {
    PDFValue catalog = resolve(trailer_.get("Root").value_or(PDFValue()));
    const PDFDictionary* catalogDict = catalog.dictValue();
    if (!catalogDict) throw PDFReaderError::badPageTree("catalog is not a dictionary");
    const PDFValue* pages = catalogDict->find("Pages");
    std::optional<PDFRef> root = pages ? pages->refValue() : std::nullopt;
    if (!root) throw PDFReaderError::badPageTree("/Pages is not a reference");

    // An explicit stack and a visited set: hostile trees can be deep or
    // loop back on themselves.
    std::vector<PDFRef> stack{*root};
    std::unordered_set<int64_t> visited;
    std::vector<PDFRef> result;
    while (!stack.empty()) {
        const PDFRef ref = stack.back();
        stack.pop_back();
        const std::string n = std::to_string(ref.num);
        if (!visited.insert(ref.num).second) throw PDFReaderError::badPageTree("object " + n + " visited twice");
        if (visited.size() > kMaxPageTreeNodes) throw PDFReaderError::badPageTree("node " + n + " missing");

        std::optional<PDFObject> loaded = object(ref.num);
        const PDFDictionary* node = loaded ? loaded->dictionary() : nullptr;
        if (!node) throw PDFReaderError::badPageTree("node " + n + " missing");
        if (!isInnerNode(*node)) {
            result.push_back(ref);
            continue;
        }
        PDFValue kids = resolve(node->get("Kids").value_or(PDFValue()));
        const PDFArray* items = kids.arrayValue();
        if (!items) throw PDFReaderError::badPageTree("node " + n + " has no /Kids");
        const size_t base = stack.size();
        for (const PDFValue& kid : *items) {
            std::optional<PDFRef> kidRef = kid.refValue();
            if (!kidRef) throw PDFReaderError::badPageTree("direct kid in node " + n);
            stack.push_back(*kidRef);
        }
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(base), stack.end());
    }
    return result;
}

}  // namespace quillet

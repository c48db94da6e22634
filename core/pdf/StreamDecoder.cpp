#include "core/pdf/StreamDecoder.h"

#include <optional>
#include <string>
#include <vector>

#include "core/pdf/Flate.h"
#include "core/pdf/PDFReaderError.h"
#include "core/pdf/Predictor.h"

namespace quillet {

namespace {

// Real files chain at most a few filters; a longer chain is refused so a
// hostile stream cannot make the reader inflate the same bytes over and over.
constexpr size_t kMaxFilterChain = 16;

struct FilterStep {
    std::string name;
    std::optional<PDFDictionary> parms;
};

PDFValue resolvedEntry(const PDFDictionary& dict, std::string_view key, const PDFResolve& resolve) {
    const PDFValue* v = dict.find(key);
    return v ? resolve(*v) : PDFValue::null();
}

std::optional<PDFDictionary> asDictionary(const PDFValue& v) {
    if (const PDFDictionary* d = v.dictValue()) return *d;
    return std::nullopt;
}

std::vector<FilterStep> filterChain(const PDFDictionary& dict, const PDFResolve& resolve) {
    const PDFValue filter = resolvedEntry(dict, "Filter", resolve);
    std::vector<FilterStep> steps;
    if (const std::string* name = filter.nameValue()) {
        steps.push_back({*name, asDictionary(resolvedEntry(dict, "DecodeParms", resolve))});
        return steps;
    }
    const PDFArray* filters = filter.arrayValue();
    if (filters == nullptr) return steps;
    for (const PDFValue& element : *filters) {
        const PDFValue resolved = resolve(element);
        if (const std::string* name = resolved.nameValue()) {
            if (steps.size() == kMaxFilterChain) {
                throw PDFReaderError::unsupportedFilter("chain longer than " +
                                                        std::to_string(kMaxFilterChain));
            }
            steps.push_back({*name, std::nullopt});
        }
    }
    const PDFValue parms = resolvedEntry(dict, "DecodeParms", resolve);
    if (const PDFArray* list = parms.arrayValue()) {
        for (size_t i = 0; i < steps.size() && i < list->size(); ++i) {
            steps[i].parms = asDictionary(resolve((*list)[i]));
        }
    } else if (steps.size() == 1) {
        // Writers commonly pair a one-element filter array with a bare
        // parameter dictionary; dropping it would hand back row-filtered data.
        steps[0].parms = asDictionary(parms);
    }
    return steps;
}

// A /Crypt filter naming the Identity crypt filter (or none, which means
// Identity) leaves the data as it is; the reader has already skipped
// decryption for such streams.
bool isIdentityCrypt(const std::optional<PDFDictionary>& parms) {
    if (!parms) return true;
    const PDFValue* name = parms->find("Name");
    return name == nullptr || name->isName("Identity");
}

}  // namespace

Bytes decodeStream(const PDFDictionary& dict, std::string_view data, const PDFResolve& resolve) {
    const std::vector<FilterStep> steps = filterChain(dict, resolve);
    Bytes out(data);
    for (const FilterStep& step : steps) {
        if (step.name == "Crypt" && isIdentityCrypt(step.parms)) continue;
        if (step.name != "FlateDecode" && step.name != "Fl")
            throw PDFReaderError::unsupportedFilter(step.name);
        out = Flate::inflate(out, Flate::kStreamDataLimit);
        if (step.parms) out = applyPredictor(out, *step.parms);
    }
    return out;
}

}  // namespace quillet

#include "core/pdf/Flate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace quillet::Flate {

namespace {

// zlib counts input and output in 32-bit fields; larger buffers are refused
// rather than silently truncated.
constexpr size_t kMaxZlibBuffer = UINT_MAX;
// Inflation produces at most this much per step; memory stays within the
// caller's limit plus one step.
constexpr size_t kInflateStep = 65'536;
constexpr size_t kMinReserve = 1'024;

Bytef* inputPointer(std::string_view bytes) {
    // zlib's API is not const-correct; it never writes through next_in.
    return reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
}

struct InflateStream {
    z_stream zs{};
    bool open = false;
    ~InflateStream() {
        if (open) inflateEnd(&zs);
    }
};

}  // namespace

Bytes deflate(std::string_view bytes, int level) {
    if (bytes.size() >= kMaxZlibBuffer) return {};
    z_stream zs{};
    if (deflateInit(&zs, level) != Z_OK) return {};
    const uLong bound = std::max<uLong>(deflateBound(&zs, static_cast<uLong>(bytes.size())), 64);
    Bytes out(bound, '\0');
    zs.next_in = inputPointer(bytes);
    zs.avail_in = static_cast<uInt>(bytes.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(std::min<uLong>(bound, kMaxZlibBuffer));
    const int status = ::deflate(&zs, Z_FINISH);
    const size_t produced = zs.total_out;
    deflateEnd(&zs);
    if (status != Z_STREAM_END) return {};
    out.resize(produced);
    return out;
}

Bytes inflate(std::string_view bytes, size_t limit) {
    if (bytes.empty()) return {};
    if (bytes.size() >= kMaxZlibBuffer) throw FlateError(FlateError::Code::corrupt);
    InflateStream stream;
    z_stream& zs = stream.zs;
    if (inflateInit(&zs) != Z_OK) throw FlateError(FlateError::Code::initFailed);
    stream.open = true;

    Bytes out;
    out.reserve(std::min(std::max(4 * bytes.size(), kMinReserve), limit));
    auto scratch = std::make_unique<Bytef[]>(kInflateStep);
    zs.next_in = inputPointer(bytes);
    zs.avail_in = static_cast<uInt>(bytes.size());
    for (;;) {
        const uInt inputBefore = zs.avail_in;
        zs.next_out = scratch.get();
        zs.avail_out = kInflateStep;
        const int status = ::inflate(&zs, Z_NO_FLUSH);
        const size_t produced = kInflateStep - zs.avail_out;
        // Checked before appending so the buffer never grows past the limit.
        if (produced > limit - out.size()) throw FlateError(FlateError::Code::tooLarge);
        out.append(reinterpret_cast<const char*>(scratch.get()), produced);

        if (status == Z_STREAM_END) return out;
        if (status == Z_DATA_ERROR || status == Z_BUF_ERROR) {
            if (out.empty()) throw FlateError(FlateError::Code::corrupt);
            return out;  // the good prefix of a damaged or truncated stream
        }
        if (status != Z_OK) throw FlateError(FlateError::Code::corrupt);
        if (produced > 0) continue;
        if (zs.avail_in == 0) return out;  // no end marker: accepted
        // zlib reports a stall as Z_BUF_ERROR; this guards the loop anyway.
        if (zs.avail_in == inputBefore) {
            if (out.empty()) throw FlateError(FlateError::Code::corrupt);
            return out;
        }
    }
}

Bytes inflate(const char* start, const char* end, size_t limit) {
    if (start == nullptr || end <= start) return {};
    return inflate(std::string_view(start, static_cast<size_t>(end - start)), limit);
}

}  // namespace quillet::Flate

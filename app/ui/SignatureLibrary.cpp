#include "app/ui/SignatureLibrary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "app/platform/AppPaths.h"
#include "app/platform/NotificationCenter.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/QtConversions.h"
#include "core/markup/StrokePath.h"

namespace quillet {

namespace {

// Files larger than this are not a signature library; only their start is read.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

// Where each complete element of a top-level JSON array ends: the offsets of
// its elements' texts, as far as the text is a well-formed array prefix.
std::vector<std::string_view> arrayElements(std::string_view text) {
    std::vector<std::string_view> elements;
    size_t i = text.find_first_not_of(" \t\r\n");
    if (i == std::string_view::npos || text[i] != '[') return elements;
    ++i;
    size_t start = i;
    int depth = 0;
    bool inString = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"')
            inString = true;
        else if (c == '[' || c == '{')
            ++depth;
        else if (c == ']' || c == '}') {
            if (depth == 0) {
                if (c == ']') {
                    if (text.substr(start, i - start).find_first_not_of(" \t\r\n") != std::string_view::npos)
                        elements.push_back(text.substr(start, i - start));
                }
                return elements;
            }
            --depth;
        } else if (c == ',' && depth == 0) {
            elements.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return elements;  // truncated: the unfinished last element is left out
}

std::string errnoText() {
    return std::strerror(errno);
}

// Writes bytes to path so that the file is always the old or the whole new
// version: a 0600 temporary file beside it, flushed, renamed over, the
// folder flushed. Throws std::runtime_error with the reason.
void writeAtomically(const std::string& path, const std::string& bytes) {
    const QFileInfo info(QString::fromStdString(path));
    const std::string temporary =
        (info.absolutePath() + "/." + info.fileName()).toStdString() + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw std::runtime_error("cannot create " + temporary + ": " + errnoText());
    auto fail = [&](const std::string& what) {
        const std::string reason = what + ": " + errnoText();
        ::close(fd);
        ::unlink(temporary.c_str());
        throw std::runtime_error(reason);
    };
    if (::fchmod(fd, 0600) != 0) fail("cannot restrict " + temporary);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("cannot write " + temporary);
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) fail("cannot flush " + temporary);
    if (::close(fd) != 0) {
        ::unlink(temporary.c_str());
        throw std::runtime_error("cannot close " + temporary + ": " + errnoText());
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = "cannot replace " + path + ": " + errnoText();
        ::unlink(temporary.c_str());
        throw std::runtime_error(reason);
    }
    const std::string folder = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace

SignatureLibrary& SignatureLibrary::shared() {
    static SignatureLibrary instance(AppPaths::applicationDataPath(QStringLiteral("signatures.json")));
    return instance;
}

SignatureLibrary::SignatureLibrary(QString file) : file_(std::move(file)) {
    if (file_.isEmpty()) return;
    QFile in(file_);
    if (!in.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = in.read(kMaxFileBytes);
    signatures_ = decode(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

const SavedSignature* SignatureLibrary::find(const UUID& id) const {
    for (const SavedSignature& s : signatures_)
        if (s.id == id) return &s;
    return nullptr;
}

void SignatureLibrary::add(SavedSignature signature) {
    signatures_.insert(signatures_.begin(), std::move(signature));
    if (signatures_.size() > capacity) signatures_.resize(capacity);
    save();
}

void SignatureLibrary::remove(const UUID& id) {
    std::erase_if(signatures_, [&id](const SavedSignature& s) { return s.id == id; });
    save();
}

std::vector<SavedSignature> SignatureLibrary::decode(std::string_view text) {
    std::vector<SavedSignature> out;
    for (std::string_view element : arrayElements(text)) {
        if (out.size() == capacity) break;
        const nlohmann::json object = nlohmann::json::parse(element, nullptr, false);
        if (std::optional<SavedSignature> s = SavedSignature::fromJSON(object)) out.push_back(std::move(*s));
    }
    return out;
}

std::string SignatureLibrary::encode(const std::vector<SavedSignature>& signatures) {
    nlohmann::json list = nlohmann::json::array();
    for (const SavedSignature& s : signatures) list.push_back(s.toJSON());
    return list.dump();
}

void SignatureLibrary::save() {
    if (file_.isEmpty()) return;
    try {
        if (!AppPaths::ensureFolder(QFileInfo(file_).absolutePath()))
            throw std::runtime_error("cannot create the folder " +
                                     QFileInfo(file_).absolutePath().toStdString());
        writeAtomically(file_.toStdString(), encode(signatures_));
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception& e) {
        logLine(std::string("cannot save signatures: ") + e.what());
    }
    NotificationCenter::shared().post(QString::fromLatin1(NotificationName::signaturesDidChange));
}

QImage SignatureLibrary::thumbnail(const SavedSignature& signature, const QColor& color, qreal pixelRatio) {
    constexpr double kScale = 34, kMargin = 4, kHeight = 42;
    const double width = std::max(signature.aspect * kScale, kScale) + 2 * kMargin;
    QImage image(QSizeF(width * pixelRatio, kHeight * pixelRatio).toSize(),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Signature space is y up; the image is y down.
    painter.translate(kMargin, kHeight - kMargin);
    painter.scale(kScale, -kScale);
    QPen pen(color, std::max(kScale / 30, 1.0) / kScale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(toQPainterPath(StrokePath::path(signature.strokes)));
    return image;
}

}  // namespace quillet

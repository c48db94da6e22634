// The saved signatures, newest first, at most six, shared by all windows and
// kept in "Quillet/signatures.json" under the application-data folder (a JSON
// array, owner-only 0600). Reading never writes: a damaged file is read as
// far as it is valid and stays as it is until the user changes the library.
// Every save posts "QuilletSignaturesDidChange", also after a failure.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "app/ui/SavedSignature.h"

namespace quillet {

class SignatureLibrary {
  public:
    static constexpr size_t capacity = 6;

    // The instance of the run, over AppPaths::applicationDataPath("signatures.json"),
    // loaded on first use. Main thread only.
    static SignatureLibrary& shared();

    // Loads `file`; an empty path keeps the library in memory only.
    explicit SignatureLibrary(QString file);

    const std::vector<SavedSignature>& signatures() const { return signatures_; }
    // nullptr when no signature has that id.
    const SavedSignature* find(const UUID& id) const;

    // Puts the signature first, drops the oldest beyond six, saves.
    void add(SavedSignature signature);
    // Removes every signature with the id and saves.
    void remove(const UUID& id);

    // The file's signatures as far as they read: every complete, valid entry
    // of the top-level array up to the first unreadable byte, at most six;
    // nothing when the text is not an array.
    static std::vector<SavedSignature> decode(std::string_view text);
    static std::string encode(const std::vector<SavedSignature>& signatures);

    // The menu image: 42 high (in device-independent pixels), the strokes at
    // 34 per unit inside a margin of 4, in `color`.
    static QImage thumbnail(const SavedSignature& signature, const QColor& color, qreal pixelRatio = 1);

  private:
    void save();

    QString file_;
    std::vector<SavedSignature> signatures_;
};

}  // namespace quillet

// "Export with Flattened Markup…": a copy of the document whose markup is
// part of the page content, for recipients whose viewer hides annotations.
// The save engine writes the job to a private temporary file, qpdf draws
// every annotation into its page and drops it, and the result replaces the
// chosen file only once it is complete (QSaveFile), so a failed or cancelled
// export leaves whatever was there untouched. An encrypted document exports
// encrypted with its password.
#pragma once

#include <QString>
#include <atomic>

#include "app/document/SaveEngine.h"
#include "app/document/SaveJob.h"
#include "app/platform/InterfaceLanguage.h"

namespace quillet::FlattenedExport {

inline constexpr LocalizedString nameSuffix{" (with markup).pdf", " (с пометками).pdf"};
inline constexpr LocalizedString failedMessage{"The document could not be exported",
                                               "Не удалось экспортировать документ"};
inline constexpr LocalizedString doneNotice{"A copy with flattened markup was saved",
                                            "Копия с вшитыми пометками сохранена"};

// "Report.pdf" -> "Report (with markup).pdf": the display name without its
// extension, then the suffix in `language`.
QString proposedName(const QString& displayName, Language language);

// Thrown when `cancelled` was set while exporting; nothing was written.
struct Cancelled {};

// Writes the flattened copy of `job` to `destination`. Any thread; checks
// `cancelled` between its steps. Throws SaveEngineError (the engine's own, or
// writeFailed for the flattening and the final write) or Cancelled; the
// temporary files are removed in every case.
void run(const SaveJob& job, const QString& destination, const SaveEngine& engine = SaveEngine(),
         const std::atomic<bool>* cancelled = nullptr);

}  // namespace quillet::FlattenedExport

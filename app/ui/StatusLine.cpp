#include "app/ui/StatusLine.h"

#include <QStringList>

#include "app/ui/Strings.h"
#include "app/ui/WindowStrings.h"

namespace quillet {

QString statusLineText(int currentPage, int pageCount, const DocumentStatus& status, Language language) {
    QStringList parts;
    if (pageCount > 0) {
        const int shown = currentPage < 0 ? 1 : currentPage + 1;
        parts.append(Strings::pagePrefix.in(language) + QString::number(shown) +
                     Strings::pageOf.in(language) + QString::number(pageCount));
    }
    if (!status.notice.isEmpty()) {
        parts.append(status.notice);
    } else if (status.saving) {
        parts.append(WindowStrings::saving.in(language));
    } else if (!status.lastSaveError.isEmpty() && status.hasUnsavedChanges) {
        parts.append(WindowStrings::notSavedPrefix.in(language) + status.lastSaveError);
    }
    return parts.join(WindowStrings::partSeparator.in(language));
}

}  // namespace quillet

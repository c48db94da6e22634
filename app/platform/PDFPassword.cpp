#include "app/platform/PDFPassword.h"

namespace quillet {

std::vector<QByteArray> passwordCandidates(const QString& password)
{
    std::vector<QByteArray> candidates{password.toUtf8()};
    bool latin1 = true;
    for (const QChar c : password) {
        latin1 = latin1 && c.unicode() <= 0xFF;
    }
    if (latin1) {
        QByteArray form = password.toLatin1();
        if (form != candidates.front()) {
            candidates.push_back(std::move(form));
        }
    }
    return candidates;
}

}  // namespace quillet

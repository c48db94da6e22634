#include "app/platform/PDFPassword.h"

#include "core/pdf/PasswordForms.h"

namespace quillet {

std::vector<QByteArray> passwordCandidates(const QString& password) {
    std::vector<QByteArray> candidates;
    for (const Bytes& form : passwordForms(password.toStdString())) {
        candidates.emplace_back(form.data(), static_cast<qsizetype>(form.size()));
    }
    return candidates;
}

}  // namespace quillet

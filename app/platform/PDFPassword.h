// A typed password as the byte strings to try, in order: the core's
// passwordForms, so that Poppler, qpdf and our reader try the same ones.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace quillet {

std::vector<QByteArray> passwordCandidates(const QString& password);

}  // namespace quillet

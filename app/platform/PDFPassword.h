// A typed password as the byte strings to try, in order: the UTF-8 form (what
// AES-256 files expect), then the Latin-1 form (what older files made with a
// single-byte encoding expect) when the text has one and it differs.
#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

namespace quillet {

std::vector<QByteArray> passwordCandidates(const QString& password);

}  // namespace quillet

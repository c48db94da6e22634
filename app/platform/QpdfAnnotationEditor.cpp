#include "app/platform/QpdfAnnotationEditor.h"

#include "app/platform/QpdfModule.h"

namespace quillet {

QpdfAnnotationEditor QpdfAnnotationEditor::open(const QString& source,
                                                const std::vector<QByteArray>& passwords) {
    return QpdfAnnotationEditor(QpdfModule::engine().openEditor(source, passwords));
}

}  // namespace quillet

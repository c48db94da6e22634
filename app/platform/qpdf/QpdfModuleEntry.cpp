// The entry point of libverda-qpdf.so (see QpdfEngine.h): the one symbol the
// module exports.
#include "app/platform/QpdfEngine.h"
#include "app/platform/qpdf/QpdfEditor.h"
#include "app/platform/qpdf/QpdfWriting.h"

namespace quillet {
namespace {

class ModuleEngine final : public QpdfEngine {
  public:
    std::unique_ptr<Editor> openEditor(const QString& source,
                                       const std::vector<QByteArray>& passwords) override {
        return QpdfEditor::open(source, passwords);
    }
    std::vector<std::string> writeDocument(const QString& source, const std::vector<QByteArray>& passwords,
                                           const QString& destination, PDFWriteOptions options) override {
        return QpdfWriting::write(source, passwords, destination, options);
    }
};

}  // namespace
}  // namespace quillet

extern "C" __attribute__((visibility("default"))) quillet::QpdfEngine* quillet_qpdf_engine() {
    static quillet::ModuleEngine engine;
    return &engine;
}

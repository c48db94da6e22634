#include "app/platform/qpdf/QpdfWriting.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>
#include <new>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "app/platform/PlatformLog.h"
#include "app/platform/SelfTestHook.h"

namespace quillet::QpdfWriting {

std::unique_ptr<QPDF> read(const QString& source, const std::vector<QByteArray>& givenPasswords) {
    if (!QFileInfo(source).isFile()) {
        throw PDFEngineError(PDFEngineError::Code::fileNotFound, source.toStdString());
    }
    std::vector<QByteArray> passwords = givenPasswords;
    if (passwords.empty()) {
        passwords.emplace_back();
    }
    const QByteArray path = QFile::encodeName(source);
    for (const QByteArray& password : passwords) {
        auto pdf = std::make_unique<QPDF>();
        // Not lost: qpdf keeps every warning for getWarnings(), and the
        // writer logs them in our own format instead of qpdf's stderr lines.
        pdf->setSuppressWarnings(true);
        try {
            pdf->processFile(path.constData(), password.constData());
            return pdf;
        } catch (const QPDFExc& e) {
            if (e.getErrorCode() != qpdf_e_password) {
                throw PDFEngineError(PDFEngineError::Code::writeFailed, e.what());
            }
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            throw PDFEngineError(PDFEngineError::Code::writeFailed, e.what());
        }
    }
    throw PDFEngineError(PDFEngineError::Code::locked);
}

namespace {

// Streams qpdf's output into a QSaveFile, which replaces the destination in
// one rename when complete and leaves it untouched otherwise.
class SaveFilePipeline : public Pipeline {
  public:
    explicit SaveFilePipeline(QSaveFile& file) : Pipeline("save file", nullptr), file_(file) {}

    void write(unsigned char const* data, size_t len) override {
        const auto size = static_cast<qint64>(len);
        if (file_.write(reinterpret_cast<const char*>(data), size) != size) {
            throw PDFEngineError(PDFEngineError::Code::writeFailed, file_.errorString().toStdString());
        }
        if (!written_) {
            written_ = true;
            file_.flush();
            SelfTestHook::reach("rewrite.writing");
        }
    }

    void finish() override {}

  private:
    QSaveFile& file_;
    bool written_ = false;
};

// Takes (and clears) the warnings qpdf collected, logging each.
std::vector<std::string> takeWarnings(QPDF& pdf) {
    std::vector<std::string> warnings;
    for (const QPDFExc& warning : pdf.getWarnings()) {
        warnings.emplace_back(warning.what());
        logLine("qpdf: " + warnings.back());
    }
    return warnings;
}

}  // namespace

std::vector<std::string> writeReplacing(QPDF& pdf, const QString& destination) {
    QSaveFile file(destination);
    if (!file.open(QIODevice::WriteOnly)) {
        throw PDFEngineError(PDFEngineError::Code::writeFailed, file.errorString().toStdString());
    }
    SaveFilePipeline pipeline(file);
    asWriteFailure([&] {
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&pipeline);
        // The same document always gives the same bytes; qpdf refuses this
        // for encrypted output, whose keys it derives from a fresh /ID.
        writer.setDeterministicID(!pdf.isEncrypted());
        writer.write();
    });
    if (!file.commit()) {
        throw PDFEngineError(PDFEngineError::Code::writeFailed, file.errorString().toStdString());
    }
    return takeWarnings(pdf);
}

std::vector<std::string> write(const QString& source, const std::vector<QByteArray>& passwords,
                               const QString& destination, PDFWriteOptions options) {
    std::unique_ptr<QPDF> pdf = read(source, passwords);
    return asWriteFailure([&] {
        if (options.burnInAnnotations) {
            QPDFPageDocumentHelper(*pdf).flattenAnnotations();
        }
        return writeReplacing(*pdf, destination);
    });
}

}  // namespace quillet::QpdfWriting

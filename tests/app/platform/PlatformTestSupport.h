// Shared by the platform tests: one Qt application object per test process,
// an event-loop pump, and a generated PDF whose pages, words, annotations and
// rotations the tests know exactly.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRectF>

#include "support/PdfFixtures.h"

namespace quillet::testing {

inline QCoreApplication& testApplication()
{
    static int argc = 1;
    static char name[] = "platform-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

// Runs the event loop until `done` holds or `limit` passes; returns `done()`.
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    testApplication();
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

inline void pumpFor(std::chrono::milliseconds span)
{
    pumpUntil([] { return false; }, span);
}

// The markup fixture. Page 0 (300 x 400): the words "Alpha beta" at (50, 300),
// 18 pt; a red square annotation "red-one" at markupRed, a blue one "blue-two"
// at markupBlue, and a green one "file-hidden" at markupGreen that the file
// itself hides (/F 2); "blue-two" carries a "QuilletItem" payload and a
// pop-up listed after it. Page 1: "Caf\u00e9 au lait". Page 2: "beta gamma Beta".
// Pages 3, 4, 5: /Rotate 90, 180, -90 with the crop box rotatedCrop inside a
// larger media box and a green square at rotatedGreen.
inline const QRectF markupRed{50, 50, 50, 50};
inline const QRectF markupBlue{150, 50, 50, 50};
inline const QRectF markupGreen{50, 150, 50, 50};
inline const QRectF rotatedCrop{10, 20, 200, 300};
inline const QRectF rotatedGreen{30, 40, 30, 30};

namespace fixturedetail {

inline std::string rectArray(const QRectF& r)
{
    auto n = [](double v) { return std::to_string(static_cast<int>(v)); };
    return "[" + n(r.left()) + " " + n(r.top()) + " " + n(r.right()) + " " + n(r.bottom()) + "]";
}

inline std::string squareAnnotation(const QRectF& rect, const std::string& name, int flags, int appearance,
                                    const std::string& extra = "")
{
    return "<< /Type /Annot /Subtype /Square /Rect " + rectArray(rect) + " /NM (" + name + ") /F " +
           std::to_string(flags) + " /AP << /N " + std::to_string(appearance) + " 0 R >> " + extra + " >>";
}

inline void addFill(PdfBuilder& b, int64_t num, const QRectF& rect, const std::string& colour)
{
    const std::string size = std::to_string(static_cast<int>(rect.width())) + " " +
                             std::to_string(static_cast<int>(rect.height()));
    b.addStream(num,
                PDFDictionary{{"Type", PDFValue::name("XObject")},
                              {"Subtype", PDFValue::name("Form")},
                              {"BBox", PDFValue::array({PDFValue::integer(0), PDFValue::integer(0),
                                                        PDFValue::integer(static_cast<int>(rect.width())),
                                                        PDFValue::integer(static_cast<int>(rect.height()))})}},
                colour + " rg 0 0 " + size + " re f\n");
}

inline void addTextPage(PdfBuilder& b, int64_t page, int64_t content, const std::string& text,
                        const std::string& extra = "")
{
    b.addRaw(page, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(content) + " 0 R " + extra + " >>");
    b.addStream(content, PDFDictionary{}, "BT /F1 18 Tf 50 300 Td (" + text + ") Tj ET\n");
}

}  // namespace fixturedetail

inline Bytes markupFixture()
{
    using namespace fixturedetail;
    PdfBuilder b;
    b.addRaw(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.addRaw(2, "<< /Type /Pages /Count 6 /Kids [10 0 R 20 0 R 30 0 R 40 0 R 50 0 R 60 0 R] "
                "/MediaBox [0 0 300 400] /Resources << /Font << /F1 3 0 R >> >> >>");
    b.addRaw(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    addTextPage(b, 10, 11, "Alpha beta", "/Annots [12 0 R 13 0 R 18 0 R 14 0 R]");
    b.addRaw(12, squareAnnotation(markupRed, "red-one", 4, 15));
    b.addRaw(13, squareAnnotation(markupBlue, "blue-two", 4, 16, "/QuilletItem (QLT1:blue) /Popup 18 0 R"));
    b.addRaw(18, "<< /Type /Annot /Subtype /Popup /Rect [200 100 260 140] /Parent 13 0 R >>");
    b.addRaw(14, squareAnnotation(markupGreen, "file-hidden", 2, 17));
    addFill(b, 15, markupRed, "1 0 0");
    addFill(b, 16, markupBlue, "0 0 1");
    addFill(b, 17, markupGreen, "0 1 0");
    addTextPage(b, 20, 21, "Caf\xE9 au lait");
    addTextPage(b, 30, 31, "beta gamma Beta");
    const int rotations[] = {90, 180, -90};
    for (int i = 0; i < 3; ++i) {
        const int64_t page = 40 + 10 * i;
        addTextPage(b, page, page + 1, "turned",
                    "/Rotate " + std::to_string(rotations[i]) + " /CropBox " + rectArray(rotatedCrop) +
                        " /Annots [" + std::to_string(page + 2) + " 0 R]");
        b.addRaw(page + 2, squareAnnotation(rotatedGreen, "turned-" + std::to_string(i), 4, page + 3));
        addFill(b, page + 3, rotatedGreen, "0 1 0");
    }
    b.finishWithTable(PDFDictionary{{"Size", PDFValue::integer(64)}, {"Root", PDFValue::ref(1, 0)}});
    return b.bytes();
}

}  // namespace quillet::testing

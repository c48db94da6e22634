// Editing annotations for a full rewrite: listing with the payload key,
// removing with pop-ups, adding with an appearance, and what a renderer and a
// second reading see afterwards.
#include "app/platform/QpdfAnnotationEditor.h"

#include <gtest/gtest.h>

#include <QColor>

#include "app/platform/PDFDocument.h"
#include "support/TempDir.h"
#include "tests/app/platform/PlatformTestSupport.h"

namespace quillet {
namespace {

using testing::TempDir;

QString qpath(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

std::vector<std::string> namesOf(const std::vector<QpdfAnnotationEditor::Annotation>& list)
{
    std::vector<std::string> names;
    for (const auto& a : list) {
        names.push_back(a.name.value_or(a.subtype));
    }
    return names;
}

class QpdfAnnotationEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::testApplication();
        testing::writeFile(dir.file("markup.pdf"), testing::markupFixture());
    }

    static QColor colourAt(PDFDocument& doc, QPointF pagePoint, const QSet<QString>& hidden = {})
    {
        const PDFPageGeometry geometry = *doc.pageGeometry(0);
        const QPointF p = geometry.toDisplay(pagePoint);
        return doc.renderPage(0, 1, hidden).pixelColor(int(p.x()), int(p.y()));
    }

    TempDir dir;
};

TEST_F(QpdfAnnotationEditorTest, ListsAnnotationsInDrawingOrderWithTheirPayloadText)
{
    auto editor = QpdfAnnotationEditor::open(qpath(dir.file("markup.pdf")));
    EXPECT_FALSE(editor.isEncrypted());
    EXPECT_EQ(editor.pageCount(), 6);
    const auto list = editor.annotations(0);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"red-one", "blue-two", "Popup", "file-hidden"}));
    EXPECT_EQ(list[1].quilletItem, "QLT1:blue");
    EXPECT_TRUE(list[1].hasPopup);
    EXPECT_FALSE(list[0].quilletItem);
    EXPECT_TRUE(editor.annotations(1).empty());
    EXPECT_TRUE(editor.annotations(99).empty());
}

TEST_F(QpdfAnnotationEditorTest, RemovedAndAddedAnnotationsSurviveTheWrite)
{
    auto editor = QpdfAnnotationEditor::open(qpath(dir.file("markup.pdf")));
    editor.removeAnnotations(0, {1, 42});
    QpdfAnnotationEditor::NewAnnotation added;
    added.dictionary = PDFDictionary{{"Type", PDFValue::name("Annot")},
                                     {"Subtype", PDFValue::name("Square")},
                                     {"Rect", PDFValue::array({PDFValue::integer(150), PDFValue::integer(250),
                                                               PDFValue::integer(200), PDFValue::integer(300)})},
                                     {"NM", PDFValue::text("added")},
                                     {"QuilletItem", PDFValue::text("QLT1:added \xC3\xA4")},
                                     {"F", PDFValue::integer(4)}};
    added.normalAppearance = PDFStream{
        PDFDictionary{{"Type", PDFValue::name("XObject")},
                      {"Subtype", PDFValue::name("Form")},
                      {"BBox", PDFValue::array({PDFValue::integer(0), PDFValue::integer(0), PDFValue::integer(50),
                                                PDFValue::integer(50)})}},
        "0 0 0 rg 0 0 50 50 re f\n"};
    added.popup = PDFDictionary{{"Type", PDFValue::name("Annot")}, {"Subtype", PDFValue::name("Popup")}};
    editor.addAnnotation(0, added);
    EXPECT_THROW(editor.addAnnotation(6, added), PDFEngineError);
    const auto copy = dir.file("rewritten.pdf");
    editor.write(qpath(copy));

    const auto list = QpdfAnnotationEditor::open(qpath(copy)).annotations(0);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"red-one", "file-hidden", "added", "Popup"}));
    EXPECT_EQ(list[2].quilletItem, "QLT1:added \xC3\xA4");
    EXPECT_TRUE(list[2].hasPopup);

    auto rendered = openPDFDocument(qpath(copy));
    EXPECT_GT(colourAt(*rendered, testing::markupBlue.center()).blue(), 240);  // paper now
    EXPECT_GT(colourAt(*rendered, testing::markupBlue.center()).red(), 240);
    EXPECT_GT(colourAt(*rendered, testing::markupRed.center()).red(), 200);
    const QColor black = colourAt(*rendered, QPointF(175, 275));
    EXPECT_LT(black.red() + black.green() + black.blue(), 60);
    // Still an annotation of its own, found by its /NM.
    EXPECT_GT(colourAt(*rendered, QPointF(175, 275), {QStringLiteral("added")}).red(), 240);
}

TEST_F(QpdfAnnotationEditorTest, OpeningFailuresAreEngineErrors)
{
    testing::writeFile(dir.file("junk.pdf"), "junk");
    EXPECT_THROW(QpdfAnnotationEditor::open(qpath(dir.file("missing.pdf"))), PDFEngineError);
    EXPECT_THROW(QpdfAnnotationEditor::open(qpath(dir.file("junk.pdf"))), PDFEngineError);
}

}  // namespace
}  // namespace quillet

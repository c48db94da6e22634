// Listing, removing and adding annotations for a full rewrite.
#include "app/platform/QpdfAnnotationEditor.h"

#include <gtest/gtest.h>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace testing;

std::vector<std::string> namesOf(const std::vector<QpdfAnnotationEditor::Annotation>& list)
{
    std::vector<std::string> names;
    for (const auto& a : list) {
        names.push_back(a.name.value_or(a.subtype));
    }
    return names;
}

PDFValue box(int left, int bottom, int right, int top)
{
    return PDFValue::array(
        {PDFValue::integer(left), PDFValue::integer(bottom), PDFValue::integer(right), PDFValue::integer(top)});
}

TEST(QpdfAnnotationEditorTest, ListsRemovesAndAddsAnnotationsThatSurviveTheWrite)
{
    testApplication();
    TempDir dir;
    writeFile(dir.file("markup.pdf"), markupFixture());
    writeFile(dir.file("junk.pdf"), "junk");
    EXPECT_THROW(QpdfAnnotationEditor::open(qpath(dir.file("missing.pdf"))), PDFEngineError);
    EXPECT_THROW(QpdfAnnotationEditor::open(qpath(dir.file("junk.pdf"))), PDFEngineError);

    auto editor = QpdfAnnotationEditor::open(qpath(dir.file("markup.pdf")));
    EXPECT_FALSE(editor.isEncrypted());
    EXPECT_EQ(editor.pageCount(), 6);
    const auto list = editor.annotations(0);
    // In drawing order, with the payload text.
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"red-one", "blue-two", "Popup", "file-hidden"}));
    EXPECT_EQ(list[1].quilletItem, "QLT1:blue");
    EXPECT_TRUE(list[1].hasPopup);
    EXPECT_FALSE(list[0].quilletItem);
    EXPECT_TRUE(editor.annotations(1).empty());
    EXPECT_TRUE(editor.annotations(99).empty());

    editor.removeAnnotations(0, {1, 42});
    QpdfAnnotationEditor::NewAnnotation added;
    added.dictionary = PDFDictionary{{"Type", PDFValue::name("Annot")},      {"Subtype", PDFValue::name("Square")},
                                     {"Rect", box(150, 250, 200, 300)},      {"NM", PDFValue::text("added")},
                                     {"QuilletItem", PDFValue::text("QLT1:added \xC3\xA4")}, {"F", PDFValue::integer(4)}};
    added.normalAppearance = PDFStream{PDFDictionary{{"Type", PDFValue::name("XObject")},
                                                     {"Subtype", PDFValue::name("Form")},
                                                     {"BBox", box(0, 0, 50, 50)}},
                                       "0 0 0 rg 0 0 50 50 re f\n"};
    added.popup = PDFDictionary{{"Type", PDFValue::name("Annot")}, {"Subtype", PDFValue::name("Popup")}};
    editor.addAnnotation(0, added);
    EXPECT_THROW(editor.addAnnotation(6, added), PDFEngineError);
    const auto copy = dir.file("rewritten.pdf");
    editor.write(qpath(copy));

    const auto reread = QpdfAnnotationEditor::open(qpath(copy)).annotations(0);
    EXPECT_EQ(namesOf(reread), (std::vector<std::string>{"red-one", "file-hidden", "added", "Popup"}));
    EXPECT_EQ(reread[2].quilletItem, "QLT1:added \xC3\xA4");
    EXPECT_TRUE(reread[2].hasPopup);

    auto rendered = openPDFDocument(qpath(copy));
    EXPECT_TRUE(isWhite(colourAt(*rendered, 0, markupBlue.center())));  // paper now
    EXPECT_TRUE(isRed(colourAt(*rendered, 0, markupRed.center())));
    const QColor black = colourAt(*rendered, 0, QPointF(175, 275));
    EXPECT_LT(black.red() + black.green() + black.blue(), 60);
    // Still an annotation of its own, found by its /NM.
    EXPECT_TRUE(isWhite(colourAt(*rendered, 0, QPointF(175, 275), 1, {QStringLiteral("added")})));
}

}  // namespace
}  // namespace quillet

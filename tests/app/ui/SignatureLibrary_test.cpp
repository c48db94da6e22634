#include "app/ui/SignatureLibrary.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QMouseEvent>
#include <QPushButton>

#include "app/platform/NotificationCenter.h"
#include "app/ui/SignatureMenu.h"
#include "app/ui/SignaturePadDialog.h"
#include "app/ui/SignaturePadView.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

SavedSignature line(double width) {
    return *SavedSignature::make({{{10, 10}, {10 + width, 20}}});
}

class SignatureLibraryTest : public ::testing::Test {
  protected:
    SignatureLibraryTest() { testing::testApplication(); }
    QString file() const { return testing::qpath(dir.file("Quillet/signatures.json")); }
    std::string bytes() const { return testing::readFile(dir.file("Quillet/signatures.json")); }
    void store(const std::string& text) {
        std::filesystem::create_directories(dir.file("Quillet"));
        testing::writeFile(dir.file("Quillet/signatures.json"), text);
    }
    testing::TempDir dir;
};

TEST_F(SignatureLibraryTest, NormalisationScalesToUnitHeightAndRefusesTaps) {
    const auto flat = SavedSignature::make({{{50, 100}, {150, 100}, {250, 100}}});
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->aspect, 200);
    EXPECT_EQ(flat->strokes, (std::vector<Stroke>{{{0, 0}, {100, 0}, {200, 0}}}));

    const auto tall = SavedSignature::make({{{10, 10}, {40, 40}}, {}, {{13, 30.0004}}});
    ASSERT_TRUE(tall);
    EXPECT_EQ(tall->aspect, 1);
    EXPECT_EQ(tall->strokes, (std::vector<Stroke>{{{0, 0}, {1, 1}}, {}, {{0.1, 0.667}}}))
        << "empty strokes stay, coordinates in thousandths";

    EXPECT_FALSE(SavedSignature::make({{{0, 0}, {3, 4}}})) << "a 3 by 4 box is a tap";
    EXPECT_FALSE(SavedSignature::make({{}, {}}));
    EXPECT_TRUE(SavedSignature::make({{{0, 0}, {4.5, 0}}}));
    EXPECT_NE(SavedSignature::make({{{0, 0}, {9, 9}}})->id, SavedSignature::make({{{0, 0}, {9, 9}}})->id);
}

TEST_F(SignatureLibraryTest, KeepsSixNewestFirstAcrossRestartsInAnOwnerOnlyFile) {
    std::vector<SavedSignature> made;
    {
        SignatureLibrary library(file());
        for (int i = 0; i < 7; ++i) {
            made.push_back(line(10 + i));
            library.add(made.back());
        }
        ASSERT_EQ(library.signatures().size(), 6u);
        EXPECT_EQ(library.signatures().front(), made[6]);
        EXPECT_FALSE(library.find(made[0].id)) << "the oldest was dropped";
    }
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("Quillet/signatures.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    SignatureLibrary reopened(file());
    ASSERT_EQ(reopened.signatures().size(), 6u);
    EXPECT_EQ(reopened.signatures().front(), made[6]);
    EXPECT_EQ(reopened.signatures().back(), made[1]);
    reopened.remove(made[6].id);
    EXPECT_EQ(SignatureLibrary(file()).signatures().front(), made[5]);
}

TEST_F(SignatureLibraryTest, DamagedFileReadsAsFarAsValidAndIsNotRewrittenByReading) {
    const SavedSignature a = line(10), b = line(20);
    const std::string good = SignatureLibrary::encode({a, b});
    const std::string nanEntry =
        R"({"id":"5B3E1F2A-1111-4C3B-9C1D-0123456789AB","strokes":[[[0,NaN]]],"aspect":1})";
    const std::string infEntry =
        R"({"id":"5B3E1F2A-1111-4C3B-9C1D-0123456789AB","strokes":[[[0,1e999]]],"aspect":1})";
    struct Case {
        std::string text;
        std::vector<SavedSignature> expected;
    } cases[] = {
        {good.substr(0, good.size() - 9), {a}},
        {"[" + a.toJSON().dump() + "," + nanEntry + "," + b.toJSON().dump() + "]", {a, b}},
        {"[" + infEntry + "," + b.toJSON().dump() + "]", {b}},
        {"[" + a.toJSON().dump() + R"(, {"id": "not a uuid", "strokes": [], "aspect": 1}, 7, "x"])", {a}},
        {"garbage", {}},
        {"{\"id\": 1}", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        store(c.text);
        SignatureLibrary library(file());
        EXPECT_EQ(library.signatures(), c.expected) << c.text;
        EXPECT_EQ(bytes(), c.text) << "reading never rewrites";
    }

    std::vector<SavedSignature> many;
    for (int i = 0; i < 9; ++i) many.push_back(line(10 + i));
    store(SignatureLibrary::encode(many));
    EXPECT_EQ(SignatureLibrary(file()).signatures(),
              std::vector<SavedSignature>(many.begin(), many.begin() + 6));

    store("garbage");
    SignatureLibrary library(file());
    library.add(a);
    EXPECT_EQ(SignatureLibrary::decode(bytes()), std::vector<SavedSignature>{a})
        << "the next save replaces garbage";
}

TEST_F(SignatureLibraryTest, FailedSaveKeepsTheChangeInMemoryAndStillNotifies) {
    testing::writeFile(dir.file("Quillet"), "a file where the folder should be");
    SignatureLibrary library(file());
    QObject context;
    int posts = 0;
    NotificationCenter::shared().observe(QString::fromLatin1(NotificationName::signaturesDidChange), &context,
                                         [&posts](const QVariant&) { ++posts; });
    library.add(line(10));
    EXPECT_EQ(library.signatures().size(), 1u);
    EXPECT_EQ(posts, 1);
}

void drag(QWidget& pad, std::vector<QPointF> points) {
    auto send = [&pad](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, pad.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&pad, &event);
    };
    send(QEvent::MouseButtonPress, points.front(), Qt::LeftButton);
    for (size_t i = 1; i < points.size(); ++i) send(QEvent::MouseMove, points[i], Qt::LeftButton);
    send(QEvent::MouseButtonRelease, points.back(), Qt::NoButton);
}

TEST_F(SignatureLibraryTest, PadDialogStoresADrawnSignatureAndRefusesATap) {
    SignatureLibrary library(file());
    QWidget window;
    SignaturePadDialog dialog(library, &window);
    std::vector<std::optional<SavedSignature>> results;
    auto completion = [&results](std::optional<SavedSignature> s) { results.push_back(std::move(s)); };

    dialog.present(completion);
    EXPECT_FALSE(dialog.saveButton()->isEnabled());
    drag(*dialog.pad(), {{20, 150}, {120, 60}, {220, 140}, {320, 70}});
    EXPECT_TRUE(dialog.saveButton()->isEnabled());
    ASSERT_EQ(dialog.pad()->strokes().size(), 1u);
    EXPECT_EQ(dialog.pad()->strokes()[0].front(), (Point{20, dialog.pad()->height() - 150.0})) << "y up";
    dialog.clearPad();
    EXPECT_FALSE(dialog.saveButton()->isEnabled());
    drag(*dialog.pad(), {{20, 150}, {120, 60}, {220, 140}});
    dialog.saveButton()->click();
    dialog.save();  // a second save of the same presentation reaches nobody
    ASSERT_EQ(results.size(), 1u);
    ASSERT_TRUE(results[0]);
    EXPECT_EQ(library.signatures().front(), *results[0]);

    dialog.present(completion);
    drag(*dialog.pad(), {{20, 20}, {23, 24}});
    dialog.save();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_FALSE(results[1]) << "a tap is not a signature";
    EXPECT_EQ(library.signatures().size(), 1u);

    dialog.present(completion);
    dialog.reject();
    EXPECT_EQ(results.size(), 3u);
    EXPECT_FALSE(results[2]);
}

TEST_F(SignatureLibraryTest, MenuListsSignaturesAndDeletingTheCurrentPicksTheNewest) {
    SignatureLibrary library(file());
    const SavedSignature older = line(10), newer = line(30);
    library.add(older);
    library.add(newer);
    QMenu menu;
    std::optional<UUID> picked, removed;
    bool created = false;
    SignatureMenu::build(menu, library, older.id,
                         {[&](const UUID& id) { picked = id; }, [&](const UUID& id) { removed = id; },
                          [&] { created = true; }});
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 5);  // two signatures, separator, delete submenu, create
    EXPECT_FALSE(actions[0]->isChecked());
    EXPECT_TRUE(actions[1]->isChecked());
    actions[0]->trigger();
    EXPECT_EQ(picked, newer.id);
    actions[3]->menu()->actions()[1]->trigger();
    EXPECT_EQ(removed, older.id);
    actions[4]->trigger();
    EXPECT_TRUE(created);

    library.remove(older.id);
    EXPECT_EQ(SignatureMenu::currentAfterRemoval(library, older.id, older.id), newer.id);
    EXPECT_EQ(SignatureMenu::currentAfterRemoval(library, newer.id, older.id), newer.id);
    library.remove(newer.id);
    EXPECT_EQ(SignatureMenu::currentAfterRemoval(library, newer.id, newer.id), std::nullopt);

    const QImage thumb = SignatureLibrary::thumbnail(line(20), Qt::black);
    EXPECT_EQ(thumb.height(), 42);
    EXPECT_EQ(thumb.width(), 76);  // aspect 2: 2 × 34 + 8
}

}  // namespace
}  // namespace quillet

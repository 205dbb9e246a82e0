#include "app/frmAbout.h"
#include "tests/support/qt_app.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace sornafex {
namespace {

class AboutBoxTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        QPixmap icon(64, 64);
        icon.fill(QColor(10, 200, 30));
        QGuiApplication::setWindowIcon(QIcon(icon));
        about = std::make_unique<TfmAbout>(bridge);
    }
    void TearDown() override {
        about.reset();
        QGuiApplication::setWindowIcon(QIcon());
    }

    QWidget* Child(const char* name) const {
        auto* child = about->findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QLabel* Label(const char* name) const { return qobject_cast<QLabel*>(Child(name)); }
    QLabel* Block() const { return Label("ScrollTextBlock"); }

    // Waits until the timer thread hands over a step, then lets the UI side run it.
    void RunOneStep() {
        while (bridge.Pending() == 0)
            std::this_thread::yield();
        bridge.ProcessMessages();
    }

    // A mouse event on the text block at a point given in the frame's coordinates.
    void Mouse(QEvent::Type type, int frameY) {
        QLabel* block = Block();
        const QPointF local(5, frameY - block->y());
        QMouseEvent event(type, local, block->mapToGlobal(local), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(block, &event);
    }

    TQueuedUiBridge bridge;
    std::unique_ptr<TfmAbout> about;
};

TEST_F(AboutBoxTest, IsAFixedBoxWithItsCaption) {
    EXPECT_EQ(about->windowTitle(), QStringLiteral("A propos..."));
    EXPECT_EQ(about->size(), QSize(305, 193));
    EXPECT_EQ(about->minimumSize(), about->maximumSize());
    EXPECT_FALSE(about->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(about->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(about->font().pixelSize(), 11);
    EXPECT_EQ(about->font().family(), QStringLiteral("Arial"));
}

TEST_F(AboutBoxTest, EveryElementStandsAtItsPlace) {
    struct Row {
        const char* name;
        int x, y, width, height; // -1: sized by its text
    } const rows[] = {
        {"ProgramIcon", 16, 16, 32, 32},  {"Bevel2", 16, 56, 273, -1}, {"Image1", 16, 72, 12, 12},
        {"Image2", 16, 88, 12, 12},       {"Image3", 16, 104, 12, 12}, {"Version", 32, 72, -1, -1},
        {"Label4", 112, 72, -1, -1},      {"Author", 32, 88, -1, -1},  {"Label5", 112, 88, -1, -1},
        {"Comments", 32, 104, -1, -1},    {"Bevel1", 8, 136, 289, -1}, {"Label7", 8, 144, -1, -1},
        {"ScrollText1", 8, 160, 201, 25}, {"btnOK", 216, 160, 81, 25},
    };
    for (const Row& row : rows) {
        const QWidget* w = Child(row.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->pos(), QPoint(row.x, row.y)) << row.name;
        if (row.width >= 0) {
            EXPECT_EQ(w->width(), row.width) << row.name;
        }
        if (row.height >= 0) {
            EXPECT_EQ(w->height(), row.height) << row.name;
        }
    }
}

TEST_F(AboutBoxTest, TheNameIsInTwoColouredHalvesEndingAtX288) {
    QLabel* first = Label("Label1");
    QLabel* second = Label("Label3");
    EXPECT_EQ(first->text(), QStringLiteral("Sorna"));
    EXPECT_EQ(second->text(), QStringLiteral("fex"));
    EXPECT_EQ(second->x() + second->width(), 288);
    EXPECT_EQ(first->x() + first->width(), second->x());
    for (QLabel* half : {first, second}) {
        EXPECT_EQ(half->y(), 8);
        EXPECT_EQ(half->height(), 29);
        EXPECT_TRUE(half->font().bold());
        EXPECT_EQ(half->font().pixelSize(), 24);
        EXPECT_EQ(half->width(), QFontMetrics(half->font()).horizontalAdvance(half->text()));
    }
    EXPECT_EQ(first->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(second->palette().color(QPalette::WindowText), QColor(Qt::red));

    QLabel* subtitle = Label("Label2");
    EXPECT_EQ(subtitle->text(), QStringLiteral("Ruderuzoz id azaderuvi"));
    EXPECT_EQ(subtitle->x() + subtitle->width(), 289);
    EXPECT_EQ(subtitle->y(), 40);
    EXPECT_EQ(subtitle->height(), 14);
    EXPECT_TRUE(subtitle->alignment() & Qt::AlignRight);
}

TEST_F(AboutBoxTest, InformationLinesAndTheirColours) {
    EXPECT_EQ(Label("Version")->text(), QStringLiteral("Version :"));
    EXPECT_EQ(Label("Label4")->text(), QStringLiteral("1.0.0.2"));
    EXPECT_EQ(Label("Comments")->text(), QStringLiteral("Commentaires :"));
    EXPECT_EQ(Label("Label7")->text(), QStringLiteral("Remerciements"));
    EXPECT_FALSE(Label("Author")->text().isEmpty());
    for (const char* value : {"Label4", "Label5"})
        EXPECT_EQ(Label(value)->palette().color(QPalette::WindowText), QColor(0, 128, 0)) << value;
    for (const char* bullet : {"Image1", "Image2", "Image3"}) {
        const QImage image = Label(bullet)->pixmap().toImage();
        ASSERT_FALSE(image.isNull());
        const QColor centre = image.pixelColor(6, 6);
        EXPECT_GT(centre.red(), 150) << bullet;
        EXPECT_LT(centre.green(), centre.red()) << bullet;
    }
}

TEST_F(AboutBoxTest, ShowsTheApplicationIcon) {
    const QImage icon = Label("ProgramIcon")->pixmap().toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(icon.width() / 2, icon.height() / 2), QColor(10, 200, 30));
    EXPECT_TRUE(Label("ProgramIcon")->hasScaledContents());
}

TEST_F(AboutBoxTest, EnterClosesWithOkAndEscapeDoesNothing) {
    auto* ok = qobject_cast<QPushButton*>(Child("btnOK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    about->show();
    QTest::keyClick(about.get(), Qt::Key_Escape);
    EXPECT_TRUE(about->isVisible()) << "no cancel button: Escape does nothing";
    EXPECT_TRUE(about->ScrollText()->Stepping());
    QTest::keyClick(about.get(), Qt::Key_Return);
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(about->result(), QDialog::Accepted);
    EXPECT_FALSE(about->ScrollText()->Stepping());
}

TEST_F(AboutBoxTest, TheOkButtonAndTheCloseBoxCloseAndStopTheScrolling) {
    about->show();
    QTest::mouseClick(Child("btnOK"), Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(about->result(), QDialog::Accepted);
    EXPECT_FALSE(about->ScrollText()->Active());

    about = std::make_unique<TfmAbout>(bridge);
    about->show();
    EXPECT_TRUE(about->close());
    EXPECT_FALSE(about->isVisible());
    EXPECT_FALSE(about->ScrollText()->Stepping());
}

TEST_F(AboutBoxTest, TheThanksHaveTwoLinesInBlueAndAnEstimatedHeight) {
    TScrollText* scroll = about->ScrollText();
    EXPECT_EQ(scroll->Items(),
              (QStringList{QStringLiteral("aux développeurs des bibliothèques libres"),
                           QStringLiteral("aux utilisateurs et testeurs du capteur")}));
    EXPECT_EQ(scroll->Delay(), std::chrono::milliseconds(200));
    EXPECT_EQ(scroll->ScrollPixels(), 1);
    EXPECT_TRUE(scroll->Active());
    EXPECT_TRUE(scroll->Stepping());
    EXPECT_EQ(Block()->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(scroll->palette().color(QPalette::Window), about->palette().color(QPalette::Button));
    EXPECT_EQ(Block()->font().pixelSize(), 11);

    const QFontMetrics metrics(Block()->font());
    std::vector<int> widths;
    for (const QString& item : scroll->Items())
        widths.push_back(metrics.horizontalAdvance(item));
    const int expected = EstimateBlockHeight(widths, metrics.height(), 201, 25);
    EXPECT_EQ(scroll->BlockHeight(), expected);
    EXPECT_EQ(Block()->height(), expected);
    EXPECT_EQ(Block()->width(), 201);
    EXPECT_EQ(Block()->y(), 0) << "the text stands at the top when the box opens";
}

TEST_F(AboutBoxTest, TheTextLeavesAtTheTopThenClimbsFromTheBottom) {
    TScrollText* scroll = about->ScrollText();
    const int blockHeight = scroll->BlockHeight();
    RunOneStep();
    EXPECT_EQ(Block()->y(), -blockHeight - 1);
    RunOneStep();
    EXPECT_EQ(Block()->y(), 25);
    RunOneStep();
    EXPECT_EQ(Block()->y(), 24);
}

TEST_F(AboutBoxTest, DraggingMovesTheTextAndReleasingResumesTheScroll) {
    RunOneStep();
    RunOneStep();
    RunOneStep(); // at 24
    Mouse(QEvent::MouseButtonPress, 30);
    Mouse(QEvent::MouseMove, 20);
    EXPECT_EQ(Block()->y(), 14);
    RunOneStep();
    EXPECT_EQ(Block()->y(), 14) << "the steps wait while the button is held";
    Mouse(QEvent::MouseMove, 23);
    EXPECT_EQ(Block()->y(), 17);
    Mouse(QEvent::MouseButtonRelease, 23);
    RunOneStep();
    EXPECT_EQ(Block()->y(), 16);
}

TEST_F(AboutBoxTest, NoStepArrivesAfterTheBoxCloses) {
    RunOneStep();
    RunOneStep();
    // The thread is now waiting for the UI side with its next step, or about to.
    about->accept();
    EXPECT_FALSE(about->ScrollText()->Stepping());
    const int top = Block()->y();
    EXPECT_EQ(bridge.Pending(), 0u);
    bridge.ProcessMessages();
    EXPECT_EQ(Block()->y(), top);
}

// Stopping the scrolling processes messages: a second Enter already waiting must not close the
// box a second time from inside the first close.
TEST_F(AboutBoxTest, ASecondEnterQueuedWhileClosingClosesOnce) {
    about->show();
    int finished = 0;
    QObject::connect(about.get(), &QDialog::finished, about.get(), [&] { ++finished; });
    while (bridge.Pending() == 0) // the timer thread waits with its step: stopping must pump
        std::this_thread::yield();
    bridge.Post([&] { QTest::keyClick(about.get(), Qt::Key_Return); });
    QTest::keyClick(about.get(), Qt::Key_Return);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(about->result(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, DestroyingAnOpenBoxEndsItsTimer) {
    about->show();
    while (bridge.Pending() == 0)
        std::this_thread::yield();
    about.reset(); // must not hang on the step the thread is handing over
    EXPECT_EQ(bridge.Pending(), 0u);
}

} // namespace
} // namespace sornafex

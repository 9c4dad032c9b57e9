// The desktop application on a real X server with two screens (see
// with-two-screens), its engines on fakes: windows, placement, menus,
// alerts and the diagnostics command, checked through Qt and through what
// the X server reports.

#include "app/AppDelegate.h"
#include "display/CaptionWindows.h"
#include "platform/QtDispatcher.h"

#include "gui/XWindowInfo.h"
#include "support/Fakes.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace sv;
using namespace sv::test;

namespace {

QAction *findAction(QMenu *menu, const QString &title)
{
    for (QAction *a : menu->actions()) {
        if (a->text() == title)
            return a;
        if (a->menu()) {
            if (QAction *inner = findAction(a->menu(), title))
                return inner;
        }
    }
    return nullptr;
}

QMenu *findMenu(QMenu *menu, const QString &title)
{
    for (QAction *a : menu->actions()) {
        if (!a->menu())
            continue;
        if (a->text() == title)
            return a->menu();
        if (QMenu *inner = findMenu(a->menu(), title))
            return inner;
    }
    return nullptr;
}

class AppGui : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::screens().size(), 2) << "run through tests/gui/with-two-screens";
        QCursor::setPos(QGuiApplication::screens()[0]->geometry().center());
        services.dispatcher = &dispatcher;
        services.capture = &capture;
        services.engines = &engines;
        services.debugLogPath = home.filePath("Downloads/sv-whisper-debug.log");
        services.downloadsFolder = home.filePath("Downloads");
        app = std::make_unique<AppDelegate>(&services);
        app->applicationDidFinishLaunching();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(app->bar()));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(app->mainWindow()));
    }
    void TearDown() override { app.reset(); }

    QAction *action(const QString &title) { return findAction(app->statusMenu(), title); }
    void trigger(const QString &title)
    {
        QAction *a = action(title);
        ASSERT_TRUE(a) << title.toStdString();
        a->trigger();
    }
    QRect barOnX() { return xGeometry(app->bar()->winId()); }
    QString winText() { return app->mainWindow()->findChild<QTextEdit *>()->toPlainText(); }

    QTemporaryDir home;
    QtDispatcher dispatcher{qApp};
    FakeCapture capture;
    FakeEngineFactory engines;
    AppServices services;
    std::unique_ptr<AppDelegate> app;
};

TEST_F(AppGui, StartsWithBothSurfacesOnTheFirstScreen)
{
    MainWindow *window = app->mainWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Sonivane — Captions"));
    EXPECT_EQ(window->size(), QSize(760, 440));
    EXPECT_EQ(window->minimumSize(), QSize(380, 160));
    EXPECT_EQ(app->bar()->minimumSize(), QSize(320, 90));
    // 0.6 of 1440 is 864, centred: x 288; 8 below the top edge.
    EXPECT_EQ(barOnX(), QRect(288, 8, 864, 220));
    EXPECT_EQ(app->chosenScreen(), QGuiApplication::screens()[0]);

    const Qt::WindowFlags flags = app->bar()->windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    const QString state = xProperty(app->bar()->winId(), "_NET_WM_STATE");
    EXPECT_TRUE(state.contains("_NET_WM_STATE_STICKY") && state.contains("_NET_WM_STATE_SKIP_TASKBAR") &&
                state.contains("_NET_WM_STATE_ABOVE"))
        << state.toStdString();
    EXPECT_TRUE(xProperty(app->bar()->winId(), "_NET_WM_DESKTOP").endsWith("4294967295"));

    // With no tray on this desktop the status menu is in the menu bar.
    QStringList bar;
    for (QAction *a : window->menuBar()->actions())
        bar << a->text();
    EXPECT_EQ(bar, QStringList({"Sonivane", "Edit", "Captions"}));

    // The captioner's statuses reach both surfaces.
    EXPECT_TRUE(QTest::qWaitFor([&] { return winText() == "Listening… speak in any language."; }, 5000))
        << winText().toStdString();

    // For a person to look at: SONIVANE_SCREENSHOT=<file.png> keeps a picture.
    app->handleText("Hello, this line is committed.", true);
    app->handleText("and this one is still live", false);
    trigger("Doorbell (normal)");
    QTest::qWait(1600); // after the flash
    if (qEnvironmentVariableIsSet("SONIVANE_SCREENSHOT"))
        QGuiApplication::primaryScreen()->grabWindow(0).save(qEnvironmentVariable("SONIVANE_SCREENSHOT"));
}

TEST_F(AppGui, BarMovesToTheChosenDisplayAndEdge)
{
    QMenu *displays = findMenu(app->statusMenu(), "Show on display");
    ASSERT_TRUE(displays);
    app->menuNeedsUpdate(displays);
    ASSERT_EQ(displays->actions().size(), 2);
    EXPECT_TRUE(displays->actions()[0]->text().startsWith("Display 1 — "));
    EXPECT_TRUE(displays->actions()[0]->isChecked());
    EXPECT_FALSE(displays->actions()[1]->isChecked());

    displays->actions()[1]->trigger();
    EXPECT_EQ(app->chosenScreen(), QGuiApplication::screens()[1]);
    // 0.6 of 1280 is 768, centred on the right screen at 1440.
    EXPECT_TRUE(QTest::qWaitFor([&] { return barOnX() == QRect(1696, 8, 768, 220); }, 3000)) << barOnX().x();
    app->menuNeedsUpdate(displays);
    EXPECT_TRUE(displays->actions()[1]->isChecked());

    trigger("Bottom");
    EXPECT_TRUE(QTest::qWaitFor([&] { return barOnX() == QRect(1696, 800 - 220 - 8, 768, 220); }, 3000));
    trigger("Full width");
    trigger("Tall");
    EXPECT_TRUE(QTest::qWaitFor([&] { return barOnX() == QRect(1440, 800 - 360 - 8, 1280, 360); }, 3000));
    EXPECT_FALSE(action("Full width")->isChecked());

    // Recenter takes it to the pointer's screen.
    QCursor::setPos(200, 200);
    trigger("Recenter to my screen");
    EXPECT_TRUE(QTest::qWaitFor([&] { return barOnX() == QRect(0, 900 - 360 - 8, 1440, 360); }, 3000));
}

TEST_F(AppGui, FollowModeMovesTheBarWithThePointer)
{
    trigger("Follow my active screen");
    EXPECT_TRUE(action("Follow my active screen")->isChecked());
    QCursor::setPos(2000, 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->chosenScreen() == QGuiApplication::screens()[1]; }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return barOnX() == QRect(1696, 8, 768, 220); }, 3000));
    trigger("Follow my active screen");
    QCursor::setPos(100, 100);
    QTest::qWait(900);
    EXPECT_EQ(app->chosenScreen(), QGuiApplication::screens()[1]) << "still following after switching off";
}

TEST_F(AppGui, LockedBarLetsClicksThrough)
{
    trigger("Lock bar (click-through)");
    EXPECT_TRUE(action("Lock bar (click-through)")->isChecked());
    EXPECT_TRUE(app->bar()->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(app->bar()->isVisible());
    EXPECT_EQ(barOnX(), QRect(288, 8, 864, 220));
    trigger("Lock bar (click-through)");
    EXPECT_FALSE(action("Lock bar (click-through)")->isChecked());
    EXPECT_FALSE(app->bar()->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(app->bar()->isVisible());
}

TEST_F(AppGui, ClosingTheMainWindowOnlyHidesIt)
{
    app->handleText("first line", true);
    app->mainWindow()->close();
    EXPECT_FALSE(app->mainWindow()->isVisible());
    trigger("Show main window");
    EXPECT_TRUE(app->mainWindow()->isVisible());
    EXPECT_TRUE(winText().startsWith("first line"));

    trigger("Show / hide floating bar");
    EXPECT_FALSE(app->bar()->isVisible());
    trigger("Show / hide floating bar");
    EXPECT_TRUE(app->bar()->isVisible());
}

TEST_F(AppGui, PauseAndRestartKeepTheFirstItemTruthful)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return capture.starts == 1; }, 5000));
    trigger("Pause listening");
    QAction *first = app->statusMenu()->actions().first();
    EXPECT_EQ(first->text(), "Resume listening");
    EXPECT_TRUE(first->isChecked());
    EXPECT_EQ(winText(), "⏸ Paused — Resume from the menu to caption again.");
    EXPECT_FALSE(capture.isRunning());

    trigger("Restart listening (unstick)");
    EXPECT_TRUE(QTest::qWaitFor([&] { return capture.starts == 2; }, 5000));
    EXPECT_EQ(first->text(), "Pause listening");
    EXPECT_FALSE(first->isChecked());
    first->trigger();
    EXPECT_EQ(first->text(), "Resume listening");
    EXPECT_FALSE(capture.isRunning());
}

TEST_F(AppGui, AlertsShowABannerAndFlashTheRightScreens)
{
    trigger("Alarm (high — flash screen)");
    ASSERT_TRUE(app->banner());
    EXPECT_EQ(xGeometry(app->banner()->winId()), QRect(720 - 280, 450 - 55, 560, 110));
    EXPECT_EQ(app->flashes().size(), 2);
    ASSERT_FALSE(app->alerts().entries().isEmpty());
    EXPECT_EQ(app->alerts().entries().last().text, QStringLiteral("\U0001F6A8 alarm"));

    // A second alert replaces the banner and restarts the flash, on the bar's screen only.
    QPointer<QWidget> first = app->banner();
    trigger("Doorbell (normal)");
    EXPECT_NE(app->banner(), first.data());
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000));
    EXPECT_EQ(app->flashes().size(), 1);
    EXPECT_EQ(app->alerts().entries().last().text, QStringLiteral("\U0001F514 doorbell"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->flashes().isEmpty(); }, 3000));

    // Switching sound alerts off does not stop the test alerts.
    trigger("Sound alerts");
    EXPECT_FALSE(action("Sound alerts")->isChecked());
    trigger("Doorbell (normal)");
    EXPECT_EQ(app->alerts().entries().size(), 3);
}

TEST_F(AppGui, AppearanceCommandsRestyleBothSurfaces)
{
    app->handleText("a committed line", true);
    trigger("Black on white");
    EXPECT_TRUE(action("Black on white")->isChecked());
    EXPECT_FALSE(action("Yellow on black (high contrast)")->isChecked());
    for (QTextEdit *view : {app->mainWindow()->findChild<QTextEdit *>(), app->bar()->findChild<QTextEdit *>()}) {
        QTextCursor c(view->document());
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        EXPECT_EQ(c.charFormat().foreground().color().rgb(), QColor(Qt::black).rgb()) << "text not recoloured";
    }
    trigger("Extra large");
    QTextCursor first(app->bar()->findChild<QTextEdit *>()->document());
    first.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    EXPECT_EQ(first.charFormat().font().pixelSize(), 52);

    trigger("Clear transcript");
    EXPECT_TRUE(app->transcript().history.isEmpty());
    EXPECT_TRUE(winText().isEmpty());

    trigger("Bottom");
    trigger("Top");
    EXPECT_TRUE(QTest::qWaitFor([&] { return barOnX() == QRect(288, 8, 864, 220); }, 3000));
}

TEST_F(AppGui, DiagnosticsAreSavedAndConfirmedTruthfully)
{
    app->handleText("Hello there.", true);
    app->handleText("still speaking", false);
    trigger("Doorbell (normal)");
    trigger("Save diagnostics to Downloads");
    const QString path = app->lastDiagnosticsPath();
    ASSERT_FALSE(path.isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString report = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(report.contains("Hello there.")) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("\U0001F514 doorbell"))) << report.toStdString();
    auto *box = app->mainWindow()->findChild<QMessageBox *>("diagnosticsConfirmation");
    ASSERT_TRUE(box);
    EXPECT_TRUE((box->windowTitle() + box->text()).contains("Saved diagnostics"));
    box->close();
}

TEST(AppGuiFailure, AFailedDiagnosticsWriteIsNotCalledASuccess)
{
    QTemporaryDir home;
    QFile blocker(home.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QtDispatcher dispatcher{qApp};
    FakeCapture capture;
    FakeEngineFactory engines;
    AppServices services;
    services.dispatcher = &dispatcher;
    services.capture = &capture;
    services.engines = &engines;
    services.downloadsFolder = home.filePath("not-a-folder/Downloads");
    AppDelegate app(&services);
    app.applicationDidFinishLaunching();
    app.saveDiagnostics();
    auto *box = app.mainWindow()->findChild<QMessageBox *>("diagnosticsConfirmation");
    ASSERT_TRUE(box);
    const QString shown = box->windowTitle() + "\n" + box->text();
    EXPECT_TRUE(shown.contains("Could not save diagnostics")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("Saved diagnostics"));
    EXPECT_TRUE(shown.contains("not a folder")) << shown.toStdString();
}

} // namespace

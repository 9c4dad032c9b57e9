#pragma once

#include "captioning/WhisperCaptioner.h"
#include "display/BarPlacement.h"
#include "display/Appearance.h"
#include "display/Theme.h"
#include "display/TranscriptPresenter.h"
#include "soundsense/AlertLog.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <atomic>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QSystemTrayIcon;
class QTextEdit;
class QTimer;

namespace sv {

struct MenuItem;
class DragView;
class FloatingBar;
class MainWindow;
class SoundSense;
class TranscriptRenderer;

// The services the engines run on; the defaults are the real ones (PortAudio,
// whisper.cpp with the model store, the Qt main queue). Tests pass fakes.
struct AppServices {
    Dispatcher *dispatcher = nullptr;
    AudioCapture *capture = nullptr;
    SpeechEngineFactory *engines = nullptr;
    QString debugLogPath;
    QString downloadsFolder; // where the diagnostics report goes
};

// Owns all application state for the life of the process: both engines, the
// windows, the menus, the transcript, the alert log and every setting. All
// of it lives on the main thread, except that the audio-buffer callback runs
// on the capture thread and reads only `soundAlertsOn`.
//
// Its operations are implemented beside the subsystem each belongs to:
// app/ (start-up, listening, menus), display/ (transcript, surfaces,
// appearance), soundsense/ (visual alerts), diagnostics/ (the report).
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // With no services given, the real ones are made and owned here.
    explicit AppDelegate(const AppServices *services = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();

    // Application shell.
    void toggleListening(QAction *item);
    void restartListening();
    void buildMainMenu();
    void buildStatusMenu();
    void menuNeedsUpdate(QMenu *menu);

    // Transcript.
    void handleText(const QString &text, bool isFinal);
    void setLiveBoth(const QString &text);
    void rebuildBoth();
    void clearTranscript();

    // Surfaces.
    struct Surface {
        DragView *background;
        QTextEdit *text;
    };
    Surface makeTranscript(bool drag);
    void place();
    QScreen *mouseScreen() const;
    void showWindow();
    void toggleBar();
    void moveTop();
    void moveBottom();
    void recenter();
    void toggleInteractive(QAction *item);
    void selectDisplay(QAction *item);
    void toggleFollow(QAction *item);
    bool windowShouldClose();
    bool applicationShouldHandleReopen();

    // Appearance.
    void applyTheme();
    void applyAppearanceEffect(AppearanceEffect effect);
    void setThemeFromMenu(QAction *item);
    void setFontFromMenu(QAction *item);
    void setWidthFromMenu(QAction *item);
    void setHeightFromMenu(QAction *item);

    // Visual alerts.
    void showAlert(const QString &label, bool high);
    void showBanner(const QString &text, bool high);
    void flash(const QColor &color, int pulses, bool allScreens);
    void toggleSoundAlerts(QAction *item);
    void testNormalAlert();
    void testHighAlert();

    // Diagnostics.
    void saveDiagnostics();

    // Read access for tests and the report.
    const TranscriptModel &transcript() const { return presenter.model(); }
    const AlertLog &alerts() const { return alertLog; }
    FloatingBar *bar() const { return panel; }
    MainWindow *mainWindow() const { return window; }
    QScreen *chosenScreen() const { return barScreen; }
    QMenu *statusMenu() const { return m_statusMenu; }
    QWidget *banner() const { return bannerWindow; }
    const QList<QPointer<QWidget>> &flashes() const { return flashWindows; }
    WhisperCaptioner &captionerForTest() { return *captioner; }
    QString lastDiagnosticsPath() const { return m_lastDiagnostics; }

private:
    void showStatus(const WhisperCaptioner::Status &status);
    void followTick();
    QScreen *alertScreen() const;
    void fillMenu(QMenu *menu, const std::vector<MenuItem> &items);

    // Fields, in the order of the application's data model.
    TranscriptPresenter presenter; // the model (history, current, maxLines) and both renderers
    MainWindow *window = nullptr;
    QTextEdit *winText = nullptr;
    DragView *winBG = nullptr;
    std::unique_ptr<TranscriptRenderer> winRenderer;
    FloatingBar *panel = nullptr;
    QTextEdit *barText = nullptr;
    DragView *barBG = nullptr;
    std::unique_ptr<TranscriptRenderer> barRenderer;
    bool listening = true;
    QSystemTrayIcon *statusItem = nullptr;
    std::unique_ptr<WhisperCaptioner> captioner;
    std::unique_ptr<SoundSense> soundSense;
    QList<QPointer<QWidget>> flashWindows;
    QPointer<QWidget> bannerWindow;
    std::atomic<bool> soundAlertsOn{true};
    AlertLog alertLog;
    // widthFraction, barHeight, fontSize and themeIndex, with their menu rules.
    Appearance appearance;
    BarPosition currentPos = BarPosition::top;
    QPointer<QScreen> barScreen;
    bool followMouse = false;
    QTimer *followTimer = nullptr;
    bool interactive = true;
    const std::vector<Theme> themes = builtInThemes();
    QMenu *displaySubmenu = nullptr;

    QMenuBar *m_menuBar = nullptr; // the application menu, owned by the main window once it exists
    QMenu *m_statusMenu = nullptr;
    QAction *m_pauseItem = nullptr;
    QAction *m_quitItem = nullptr;
    QString m_lastDiagnostics; // path of the last report saved

    // Owned services when none were given.
    struct OwnedServices;
    std::unique_ptr<OwnedServices> m_owned;
    AppServices m_services;
};

} // namespace sv

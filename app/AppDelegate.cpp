#include "AppDelegate.h"

#include "app/StatusText.h"
#include "display/CaptionWindows.h"
#include "display/DragView.h"
#include "display/TranscriptRenderer.h"
#include "platform/ModelStore.h"
#include "platform/PortAudioCapture.h"
#include "platform/QtDispatcher.h"
#include "platform/WhisperEngine.h"
#include "soundsense/SoundSense.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>

namespace sv {

struct AppDelegate::OwnedServices {
    QtDispatcher dispatcher{qApp};
    PortAudioCapture capture;
    WhisperEngineFactory engines{ModelStore(ModelStore::defaultRepositoryUrl(), ModelStore::defaultCacheDir()),
                                 WhisperRuntime::tuned()};
};

AppDelegate::AppDelegate(const AppServices *services)
{
    if (services) {
        m_services = *services;
    } else {
        m_owned = std::make_unique<OwnedServices>();
        m_services.dispatcher = &m_owned->dispatcher;
        m_services.capture = &m_owned->capture;
        m_services.engines = &m_owned->engines;
        m_services.debugLogPath = DebugLog::defaultPath();
        m_services.downloadsFolder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    }
    CaptionerServices cs;
    cs.dispatcher = m_services.dispatcher;
    cs.capture = m_services.capture;
    cs.engines = m_services.engines;
    cs.makeConverter = [](const AudioFormat &format) {
        return makeSampleRateConverter(format, WhisperCaptioner::sampleRate);
    };
    cs.debugLogPath = m_services.debugLogPath;
    captioner = std::make_unique<WhisperCaptioner>(std::move(cs));
    soundSense = std::make_unique<SoundSense>(*m_services.dispatcher);
}

AppDelegate::~AppDelegate()
{
    // The engines join their threads before the services they use go.
    captioner.reset();
    soundSense.reset();
    delete statusItem;
    delete panel;
    delete window;
}

void AppDelegate::applicationDidFinishLaunching()
{
    buildMainMenu();

    window = new MainWindow;
    window->setWindowTitle(mainWindowTitle);
    window->resize(760, 440);
    window->setMinimumSize(380, 160);
    window->shouldClose = [this] { return windowShouldClose(); };
    window->setMenuBar(m_menuBar);
    const Surface main = makeTranscript(false);
    winBG = main.background;
    winText = main.text;
    winRenderer = std::make_unique<TranscriptRenderer>(winText, themes[size_t(appearance.themeIndex)], appearance.fontSize);
    window->setCentralWidget(winBG);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
    window->show();
    window->activateWindow();

    panel = new FloatingBar;
    panel->resize(900, int(appearance.barHeight));
    const Surface bar = makeTranscript(true);
    barBG = bar.background;
    barText = bar.text;
    barRenderer = std::make_unique<TranscriptRenderer>(barText, themes[size_t(appearance.themeIndex)], appearance.fontSize);
    panel->setContentWidget(barBG);
    const QList<QScreen *> screens = QGuiApplication::screens();
    barScreen = screens.isEmpty() ? nullptr : screens.first();
    place();
    panel->showRegardless();

    presenter.setRenderers({winRenderer.get(), barRenderer.get()});
    applyTheme();
    setLiveBoth(startupPlaceholder);
    buildStatusMenu();

    QPointer<AppDelegate> self(this);
    captioner->onText = [self](const QString &text, bool isFinal) {
        if (self)
            self->handleText(text, isFinal);
    };
    captioner->onStatus = [self](const WhisperCaptioner::Status &status) {
        if (self)
            self->showStatus(status);
    };
    // Capture thread. The delegate outlives the captioner it owns, so `this`
    // is safe here; only the atomic flag is read.
    captioner->onAudioBuffer = [this](const AudioBuffer &buffer, AudioTime time) {
        if (soundAlertsOn.load())
            soundSense->analyze(buffer, time);
    };
    soundSense->onAlert = [self](const QString &label, double, bool high) {
        if (self)
            self->showAlert(label, high);
    };
    captioner->start();
}

void AppDelegate::showStatus(const WhisperCaptioner::Status &status)
{
    if (const std::optional<QString> line = statusLine(status, presenter.model().history.isEmpty()))
        setLiveBoth(*line);
}

void AppDelegate::toggleListening(QAction *item)
{
    const bool was = listening;
    listening = !was;
    if (item) {
        item->setChecked(was);
        item->setText(listening ? pauseTitle : resumeTitle);
    }
    if (listening)
        captioner->start();
    else
        captioner->stop();
    setLiveBoth(listening ? resumedText : pausedText);
}

void AppDelegate::restartListening()
{
    captioner->stop();
    QPointer<AppDelegate> self(this);
    QTimer::singleShot(300, this, [self] {
        if (!self)
            return;
        self->listening = true;
        // Listening is on again, so the first item must not go on offering
        // to resume it.
        if (self->m_pauseItem) {
            self->m_pauseItem->setChecked(false);
            self->m_pauseItem->setText(pauseTitle);
        }
        self->captioner->start();
        self->setLiveBoth(resumedText);
    });
}

} // namespace sv

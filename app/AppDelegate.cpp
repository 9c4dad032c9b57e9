#include "AppDelegate.h"

#include "app/StatusText.h"
#include "platform/ModelStore.h"
#include "platform/PortAudioCapture.h"
#include "platform/QtDispatcher.h"
#include "platform/WhisperEngine.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>

namespace sv {

AppDelegate::AppDelegate()
    : m_dispatcher(std::make_unique<QtDispatcher>(qApp))
    , m_capture(std::make_unique<PortAudioCapture>())
    , m_engines(std::make_unique<WhisperEngineFactory>(
          ModelStore(ModelStore::defaultRepositoryUrl(), ModelStore::defaultCacheDir())))
{
    CaptionerServices services;
    services.dispatcher = m_dispatcher.get();
    services.capture = m_capture.get();
    services.engines = m_engines.get();
    services.makeConverter = [](const AudioFormat &format) {
        return makeSampleRateConverter(format, WhisperCaptioner::sampleRate);
    };
    services.debugLogPath = DebugLog::defaultPath();
    captioner = std::make_unique<WhisperCaptioner>(std::move(services));
}

AppDelegate::~AppDelegate()
{
    // The captioner joins its threads; it goes before the services it uses.
    captioner.reset();
    delete window;
}

void AppDelegate::applicationDidFinishLaunching()
{
    window = new QMainWindow;
    window->setWindowTitle(mainWindowTitle);
    window->resize(760, 440);
    window->setMinimumSize(380, 160);
    winText = new QTextEdit(window);
    winText->setReadOnly(true);
    QFont font = winText->font();
    font.setPointSizeF(20);
    font.setWeight(QFont::DemiBold);
    winText->setFont(font);
    window->setCentralWidget(winText);
    buildMenus();
    window->show();

    setLiveBoth(startupPlaceholder);

    QPointer<AppDelegate> self(this);
    captioner->onText = [self](const QString &text, bool isFinal) {
        if (self)
            self->handleText(text, isFinal);
    };
    captioner->onStatus = [self](const WhisperCaptioner::Status &status) {
        if (self)
            self->showStatus(status);
    };
    // Capture thread: only the atomic flag is read here. Sound awareness
    // takes these buffers once it exists.
    captioner->onAudioBuffer = [this](const AudioBuffer &, AudioTime) {
        if (!soundAlertsOn.load())
            return;
    };
    captioner->start();
}

void AppDelegate::buildMenus()
{
    QMenu *captions = window->menuBar()->addMenu(QStringLiteral("Captions"));
    QAction *pause = captions->addAction(pauseTitle);
    pause->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    pause->setCheckable(true);
    pause->setChecked(false);
    connect(pause, &QAction::triggered, this, [this, pause] { toggleListening(pause); });
    QAction *restart = captions->addAction(QStringLiteral("Restart listening (unstick)"));
    restart->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    connect(restart, &QAction::triggered, this, [this, pause] {
        restartListening();
        // Listening is on again after a restart, so the item must say so.
        pause->setChecked(false);
        pause->setText(pauseTitle);
    });
    captions->addSeparator();
    QAction *quit = captions->addAction(QStringLiteral("Quit Sonivane"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);
}

void AppDelegate::toggleListening(QAction *item)
{
    const bool was = listening;
    listening = !was;
    item->setChecked(was);
    item->setText(listening ? pauseTitle : resumeTitle);
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
        self->captioner->start();
        self->setLiveBoth(resumedText);
    });
}

void AppDelegate::handleText(const QString &text, bool isFinal)
{
    m_transcript.applyText(text, isFinal);
    render();
}

void AppDelegate::showStatus(const WhisperCaptioner::Status &status)
{
    if (const std::optional<QString> line = statusLine(status, m_transcript.history.isEmpty()))
        setLiveBoth(*line);
}

void AppDelegate::setLiveBoth(const QString &text)
{
    m_transcript.current = text;
    render();
}

void AppDelegate::render()
{
    if (!winText)
        return;
    QStringList lines = m_transcript.history;
    if (!m_transcript.current.isEmpty())
        lines.append(m_transcript.current);
    winText->setPlainText(lines.join(QLatin1Char('\n')));
    winText->verticalScrollBar()->setValue(winText->verticalScrollBar()->maximum());
}

} // namespace sv

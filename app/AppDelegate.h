#pragma once

#include "captioning/WhisperCaptioner.h"
#include "display/TranscriptModel.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QMainWindow;
class QTextEdit;

namespace sv {

class PortAudioCapture;
class QtDispatcher;
class WhisperEngineFactory;

// Owns all application state for the life of the process: the engines, the
// windows and the transcript. Everything here runs on the main thread except
// the audio-buffer callback, which the captioner calls on the capture thread.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    // The start-up sequence; call once, after the application object exists.
    void applicationDidFinishLaunching();

    void toggleListening(QAction *item);
    void restartListening();

    const TranscriptModel &transcript() const { return m_transcript; }

private:
    void handleText(const QString &text, bool isFinal);
    void showStatus(const WhisperCaptioner::Status &status);
    void setLiveBoth(const QString &text);
    void render();
    void buildMenus();

    TranscriptModel m_transcript;
    bool listening = true;
    std::atomic<bool> soundAlertsOn{true};

    std::unique_ptr<QtDispatcher> m_dispatcher;
    std::unique_ptr<PortAudioCapture> m_capture;
    std::unique_ptr<WhisperEngineFactory> m_engines;
    std::unique_ptr<WhisperCaptioner> captioner;

    QMainWindow *window = nullptr;
    QTextEdit *winText = nullptr;
};

} // namespace sv

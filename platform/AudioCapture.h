#pragma once

#include "AudioBuffer.h"

#include <functional>
#include <string>

namespace sv {

// The microphone. checkAccess() may block (device enumeration) and is called
// on a worker thread; inputFormat(), start() and stop() are called on the main
// thread. The capture callback runs on the capture thread, one buffer at a
// time, between start() and the return of stop(). At most one stream is open.
class AudioCapture {
public:
    using Callback = std::function<void(const AudioBuffer &, AudioTime)>;

    virtual ~AudioCapture() = default;

    // Granted when a default input device exists and a stream in its format
    // can be opened.
    virtual bool checkAccess() = 0;
    // The default input device's native format; rate 0 when there is none.
    virtual AudioFormat inputFormat() = 0;
    // Opens and starts a stream that delivers 4096-frame buffers. On failure
    // nothing stays open and `error` holds a description a person can read.
    virtual bool start(Callback callback, std::string &error) = 0;
    // Stops and closes the stream; after it returns no callback runs.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

} // namespace sv

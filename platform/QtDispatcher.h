#pragma once

#include "Dispatcher.h"

class QObject;

namespace sv {

// Posts tasks to the thread of `context` (the main thread's application
// object) through Qt's event queue, which keeps them in posting order.
class QtDispatcher final : public Dispatcher {
public:
    explicit QtDispatcher(QObject *context);
    void post(std::function<void()> task) override;

private:
    QObject *m_context;
};

} // namespace sv

#include "QtDispatcher.h"

#include <QMetaObject>
#include <QObject>

namespace sv {

QtDispatcher::QtDispatcher(QObject *context)
    : m_context(context)
{
}

void QtDispatcher::post(std::function<void()> task)
{
    QMetaObject::invokeMethod(m_context, std::move(task), Qt::QueuedConnection);
}

} // namespace sv

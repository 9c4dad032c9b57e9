#include "AlertSound.h"

#include <QApplication>

#include <canberra.h>

namespace sv {

namespace {
ca_context *context()
{
    static ca_context *ctx = [] {
        ca_context *c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS)
            return static_cast<ca_context *>(nullptr);
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "Sonivane", CA_PROP_APPLICATION_ID, "sonivane",
                                nullptr);
        return c;
    }();
    return ctx;
}
} // namespace

void playAlertSound()
{
    ca_context *c = context();
    const int rc = c ? ca_context_play(c, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                                       "Sonivane alert", nullptr)
                     : CA_ERROR_NOTAVAILABLE;
    if (rc != CA_SUCCESS)
        QApplication::beep();
}

} // namespace sv

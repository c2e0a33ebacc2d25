#pragma once

#include "app/Events.h"
#include "core/Karvath.h"

// Routes each wired event to its handler. Every other event has none.
class Dispatcher : public EventSink {
public:
    explicit Dispatcher(Karvath& k) : k_(k) {}

    void created() override;
    bool closeRequested() override;
    void trayEvent(int action) override;
    void menuSelected(Control item) override;
    void clicked(Control c) override;
    void itemSelected(Control c) override;
    void mousePressed(Control c) override;
    void tick(Control timer) override;

private:
    Karvath& k_;
};

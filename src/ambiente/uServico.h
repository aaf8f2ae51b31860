#pragma once

#include <string>

namespace ljsn {

// The service manager's notification protocol, for a headless shop box run
// as a systemd unit: one datagram to $NOTIFY_SOCKET per state. Without that
// variable (not started by systemd) nothing is sent.
bool NotificarServico(const std::string& AEstado);

// How often the watchdog wants to hear from us, in milliseconds: half of
// $WATCHDOG_USEC when it is meant for this process, else 0.
int IntervaloWatchdogMs();

}  // namespace ljsn

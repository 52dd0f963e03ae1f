#pragma once

// The TCP/IP service provider's dialog: asks for the session host's address when a DirectPlay
// object is bound to TCP/IP without one. Cancel is the failure the Connection window expects.

namespace platform {

void InstallAddressDialog();

}  // namespace platform

// The service host's stop, timed: CNTService's Execute runs a socket server
// until its stop event, with peers connected that close when asked (the
// GUI's client) or that never read nor close.
#pragma once

#include "sockets/SocketServer.h"

// Prints how long Execute took from the stop event to its return with
// `clients` CSmartHandler clients connected.
void MeasureStopWithClients(const CSocketServer::Dispatcher& dispatcher, int clients);
// The same with `peers` registered peers that never read nor close.
void MeasureStopWithSilentPeers(const CSocketServer::Dispatcher& dispatcher, int peers);

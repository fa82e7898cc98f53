// The service host's stop, timed: CNTService's Execute runs a socket server
// until its stop event, with clients connected that close when asked (the
// GUI's client). SentrakStop.h times the whole service's stop.
#pragma once

#include "sockets/SocketServer.h"

// Prints how long Execute took from the stop event to its return with
// `clients` CSmartHandler clients connected.
void MeasureStopWithClients(const CSocketServer::Dispatcher& dispatcher, int clients);

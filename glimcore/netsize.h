// The size of the network and of every activation vector, for the units that
// produce or store vectors without running the network.
#pragma once

constexpr int NETSIZE = 256; // units of the network, values of an activation vector

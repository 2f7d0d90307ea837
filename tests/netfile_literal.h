// The network file written as its format states it: one fprintf call per
// header and per value, whose results feed the line rule. The fast writer in
// glimcore/netfile.cpp is checked and measured against it.
#pragma once

#include <string>

// The file's text for the current network.
std::string literal_net_text();

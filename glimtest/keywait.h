// Waiting for one key press at the controlling terminal.
#pragma once

// Reads one key from the controlling terminal without echo and without waiting
// for Enter, and restores the terminal afterwards (also when a signal such as
// Ctrl-C ends the process during the wait). Returns at once without a terminal.
void key_wait();

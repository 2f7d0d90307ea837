// Waiting for one key press at the controlling terminal.
#pragma once

// Sets the signal handlers that keep the terminal sound around a wait; called
// once, at the start of the program, after the handlers set for the same
// signals elsewhere (save_init's): those still run, after the terminal is
// restored. Until a wait begins the handlers act as the signals' usual
// actions do.
void key_wait_setup();

// Reads one key from the controlling terminal without echo and without waiting
// for Enter, with the line "press a key to go on" on the terminal meanwhile,
// and restores the terminal afterwards, also when a signal ends or stops the
// process during the wait. Returns at once without a terminal.
void key_wait();

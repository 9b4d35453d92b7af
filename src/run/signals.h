// What each signal does to the run: the handlers, the watchdog of a stopped run, and the
// switch of SIGINT, SIGTERM and SIGQUIT between stopping the run and ending the process.
#pragma once

#include <csignal>

// SIGHUP and SIGXFSZ ignored; SIGINT, SIGTERM and SIGQUIT recorded, to stop the run at its
// next check; every other signal that ends a process ends it by itself once the signal
// cleanup has run. A signal ignored on entry stays ignored.
void install_signal_handlers();
// SIGINT, SIGTERM and SIGQUIT are recorded, and stop the run at its next check: an output
// is being written, and status 3 will say that it was not put in place.
void stop_run_on_stopping_signals();
// SIGINT, SIGTERM and SIGQUIT end the process by themselves, without the notice, as the other
// ending signals do: every output of the run is in place.
void end_process_on_stopping_signals();
// The stopping signal recorded, or 0.
int caught_stopping_signal();
// " <program>: caught signal N, exiting." with write(2) alone, so that a handler may print it.
void write_notice(int signal_number);
// The one function that a handler runs before it ends the process, with async-signal-safe
// calls alone (removing what the run made); nullptr for none.
void set_signal_cleanup(void (*discard)());
// Every signal waits until restore_signals, so that a step of several calls is never cut.
sigset_t block_signals();
void restore_signals(const sigset_t& old);

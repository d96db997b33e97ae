// CPU time of the application's own work: every thread of the process except
// the board runtime's processing units (the simulator runs the networks on
// threads named "vrax-unit"), so that the figure says what the host spends
// around the boards, whether they are real or simulated.
#pragma once

// Seconds of CPU (user and system) used so far by the process, ended threads
// included, less what the runtime's units have used (read from /proc, in
// nanoseconds where the kernel keeps them, else in clock ticks). The units live as long as their session: take differences
// over a span in which the sessions stay open.
double hostCpuSeconds();

// Seconds of CPU used so far by the whole process, the units included: what
// a frame costs the host when the board is the simulator.
double wholeProcessCpuSeconds();

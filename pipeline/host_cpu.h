// CPU time of the application's own work: every thread of the process except
// the board runtime's processing units (the simulator runs the networks on
// threads named "vrax-unit"), so that the figure says what the host spends
// around the boards, whether they are real or simulated.
#pragma once

// Seconds of CPU (user and system) used so far by the process's threads
// other than the runtime's units, read from /proc; 0 where it is missing.
// The threads that have ended are not counted: take differences over a
// span in which the application's threads live throughout.
double hostCpuSeconds();

// Clocks of the benchmark programs, in milliseconds: wall time, the CPU time of the calling thread
// and of the whole process, and the time the calling thread waited for a processor.
#pragma once

namespace bench {

double WallMs();       // monotonic
double ThreadCpuMs();  // CPU time of the calling thread
double ProcessCpuMs(); // CPU time of every thread of the process
// Time the calling thread spent ready to run but waiting for a processor (the scheduler's run-queue
// wait): on a shared machine, the part of the wall time that other processes took.
double ThreadRunQueueWaitMs();

// Wall time, CPU time and run-queue wait of the calling thread from construction to each reading.
class Stopwatch {
  public:
    Stopwatch() : fWall(WallMs()), fCpu(ThreadCpuMs()), fWaiting(ThreadRunQueueWaitMs()) {}
    double Wall() const { return WallMs() - fWall; }
    double Cpu() const { return ThreadCpuMs() - fCpu; }
    double Waiting() const { return ThreadRunQueueWaitMs() - fWaiting; }

  private:
    double fWall;
    double fCpu;
    double fWaiting;
};

} // namespace bench

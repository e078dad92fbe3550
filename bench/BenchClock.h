// Clocks of the benchmark programs: wall time, the CPU time of the calling thread and of the whole
// process, in milliseconds.
#pragma once

namespace bench {

double WallMs();       // monotonic
double ThreadCpuMs();  // CPU time of the calling thread
double ProcessCpuMs(); // CPU time of every thread of the process

// Wall and CPU time of the calling thread from construction to each reading.
class Stopwatch {
  public:
    Stopwatch() : fWall(WallMs()), fCpu(ThreadCpuMs()), fProcessCpu(ProcessCpuMs()) {}
    double Wall() const { return WallMs() - fWall; }
    double Cpu() const { return ThreadCpuMs() - fCpu; }
    double ProcessCpu() const { return ProcessCpuMs() - fProcessCpu; }

  private:
    double fWall;
    double fCpu;
    double fProcessCpu;
};

} // namespace bench

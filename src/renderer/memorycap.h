#ifndef MEMORYCAP_H
#define MEMORYCAP_H

// The memory a renderer's scripts may use: half of this computer's memory, shared between the
// processes of one render, and never more than the limit this process was started with. A
// renderer that runs out of it exits with RenderProtocol::outOfMemoryExitCode.
namespace MemoryCap {

// Done once, before the scripts run: the first engine of a process reserves address space of
// its own, from which the cap counts, and running out of memory is made to exit as such.
void prepare();

// The cap for one of processes processes sharing the memory; may be called again.
void shareAmong(int processes);

} // namespace MemoryCap

#endif // MEMORYCAP_H

#pragma once
// Counts the heap allocations of the whole program, on any thread, while a counter lives. The
// global operator new and delete it replaces also serve the shared libraries and plug-ins the
// program loads.

class AllocationCounter
{
public:
    AllocationCounter();  // starts counting from zero
    ~AllocationCounter(); // stops counting
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    int Count() const;
    // Counts one allocation while a counter lives: for a program's own malloc replacements.
    static void Note();
};

#pragma once
// Counts the heap allocations a test program makes while a counter lives, on any thread.
//
// A program that links the counter has its global operator new and delete replaced. They are
// defined in the same object file as the counter, so a program that counts cannot do so with
// the standard allocator in place, and the file is linked into each such program once, like
// any other. Every C++ allocation of the program then goes through the count, including those
// of the shared libraries and plug-ins it loads, which bind to the program's operator new.

class AllocationCounter
{
public:
    AllocationCounter();  // starts counting from zero
    ~AllocationCounter(); // stops counting
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    // Allocations since construction.
    int Count() const;

    // Counts one allocation while a counter lives: for a program's own replacements of further
    // allocation functions (the malloc family).
    static void Note();
};

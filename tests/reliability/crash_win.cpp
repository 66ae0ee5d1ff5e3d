// A program that crashes on purpose (an access violation through a pointer it computes at run
// time), for the test that every Wine prefix of the project lets a crashing program end at
// once instead of holding it in a debugger's dialog.
#include <cstdint>
#include <cstdio>

int main(int argc, char**)
{
    std::puts("crashing on purpose");
    std::fflush(stdout);
    volatile int* nowhere = reinterpret_cast<volatile int*>(static_cast<uintptr_t>(argc - 1) * 8);
    return *nowhere;
}

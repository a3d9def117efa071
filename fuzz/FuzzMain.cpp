// libFuzzer's entry points for one target, chosen when the program is built.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::ensureApp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzz::VADIZEDE_FUZZ_ENTRY(data, size);
}

#ifndef FUZZTARGETS_H
#define FUZZTARGETS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// The entry of every fuzz target. Each one is also run on the saved finds by the normal test
// suite, so a fixed crash stays fixed without a fuzzing compiler.
namespace fuzz {

using Entry = int (*)(const uint8_t* data, size_t size);

struct Target
{
    const char* name;
    Entry entry;
};

int fuzzStream(const uint8_t* data, size_t size);
int fuzzHandshake(const uint8_t* data, size_t size);
int fuzzDeviceMsg(const uint8_t* data, size_t size);
int fuzzAdbOutput(const uint8_t* data, size_t size);
int fuzzAdbRunner(const uint8_t* data, size_t size);
int fuzzConfig(const uint8_t* data, size_t size);
int fuzzControlMsg(const uint8_t* data, size_t size);
int fuzzKeyMap(const uint8_t* data, size_t size);

const std::vector<Target>& allTargets();

} // namespace fuzz

#endif // FUZZTARGETS_H

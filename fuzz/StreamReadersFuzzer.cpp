// Runs the readers that take a length from the stream over the input, a reader chosen by each
// step's first byte, until one fails or the input ends. A reader that fails must not have moved
// the marker past the end or allocated anything it kept.
#include <cstdint>

#include "core/streams/THandleStream.h"
#include "platform/Carbon/MacMemory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    THandleStream stream;
    stream.WriteBlock(data, static_cast<SInt32>(size));
    stream.SetMarker(0, kStreamFromStart);
    unsigned char ptext[256];
    char ctext[64];
    for (int step = 0; step < 64; ++step) {
        unsigned char choice = 0;
        if (stream.ReadData(&choice, 1) != 1) break;
        SInt64 before = stream.GetMarker();
        try {
            switch (choice & 0x3) {
                case 0: {
                    Ptr block = nullptr;
                    SInt32 read = stream.ReadPtr(block);
                    if (block && GetPtrSize(block) != read - 4) __builtin_trap();
                    DisposePtr(block);
                    break;
                }
                case 1: {
                    Handle handle = nullptr;
                    SInt32 read = stream.ReadHandle(handle);
                    if (handle && GetHandleSize(handle) != read - 4) __builtin_trap();
                    if (handle) DisposeHandle(handle);
                    break;
                }
                case 2:
                    stream.ReadCString(ctext, 1 + (choice >> 2));
                    break;
                case 3:
                    stream.ReadPString(ptext);
                    break;
            }
        } catch (int) {
            if (stream.GetMarker() > stream.GetLength()) __builtin_trap();
            if (size - static_cast<size_t>(before) >= 4 && (choice & 0x3) != 3 &&
                stream.GetMarker() != before)
                __builtin_trap();
            break;
        }
    }
    return 0;
}

// The first byte gives the size of the pieces (1 to 64) that the rest arrives in. The rest is
// parsed as a whole MIME message and piece by piece, and read as a dot-terminated reply. Each
// parsed message must write a body as long as it counts, and a piece-by-piece parse must keep
// every byte it has not placed.
#include <cstdint>
#include <string>

#include "core/TDynamicBuffer.h"
#include "network/TDotReader.h"
#include "network/TMIMEMessage.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckSizes(TMIMEMessage& message) {
    auto body = message.GetMessageBody();
    Check(body->GetBufferStream()->GetLength() == message.GetMessageBodySize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = 1 + (data[0] & 0x3F);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    TMIMEMessage whole(text.data(), text.size());
    CheckSizes(whole);

    TMIMEMessage received;
    TDynamicBuffer pending;
    for (size_t at = 0; at < text.size(); at += piece) {
        const size_t count = std::min(piece, text.size() - at);
        pending.ConcatenateBuffer(text.data() + at, static_cast<SInt32>(count));
        received.SetPartialMessage(pending);
    }
    CheckSizes(received);
    // Without a complete header nothing is taken and every byte waits in the buffer.
    if (!received.HasCustomHeader())
        Check(pending.GetBufferStream()->GetLength() == static_cast<SInt64>(text.size()));

    TDotReader reader(true);
    for (size_t at = 0; at < text.size() && !reader.IsComplete(); at += piece) {
        reader.Receive(text.data() + at, std::min(piece, text.size() - at));
    }
    return 0;
}

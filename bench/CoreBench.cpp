// Throughput in MB/s of TDynamicBuffer appends (in memory and spilled to a temporary file) and
// of the text encoder over a 1 MB file.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/CTextEncoder.h"
#include "core/TDynamicBuffer.h"
#include "platform/Carbon/FileReference.h"

namespace {

constexpr SInt32 kChunk = 4096;

// Appends 256 KiB in chunks: the whole buffer stays in memory.
void AppendInMemory(benchmark::State& state) {
    std::vector<char> chunk(kChunk, 'm');
    for (auto _ : state) {
        TDynamicBuffer buffer;
        for (SInt32 done = 0; done < TDynamicBuffer::kDefaultLimit; done += kChunk)
            buffer.ConcatenateBuffer(chunk.data(), kChunk);
        benchmark::DoNotOptimize(buffer.GetHandleStream());
    }
    state.SetBytesProcessed(state.iterations() * TDynamicBuffer::kDefaultLimit);
}
BENCHMARK(AppendInMemory);

// Appends 4 MiB in chunks: the buffer moves to a temporary file at 256 KiB.
void AppendSpilled(benchmark::State& state) {
    constexpr SInt64 kTotal = 4 << 20;
    std::vector<char> chunk(kChunk, 's');
    for (auto _ : state) {
        TDynamicBuffer buffer;
        for (SInt64 done = 0; done < kTotal; done += kChunk) buffer.ConcatenateBuffer(chunk.data(), kChunk);
        benchmark::DoNotOptimize(buffer.GetTempFileStream());
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
}
BENCHMARK(AppendSpilled);

// Encodes 1 MB of text with lines of words, as utf-8 (setting 0) or quoted-printable (setting 2).
void EncodeText(benchmark::State& state) {
    constexpr size_t kSize = 1000000;
    std::string text;
    while (text.size() < kSize)
        text += "The quick brown fox jumps over the lazy dog = caf\xC3\xA9 \xC3\xA9t\xC3\xA9.\r\n";
    text.resize(kSize);
    std::string path = "/tmp/core_bench-XXXXXX";
    int fd = ::mkstemp(path.data());
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        state.SkipWithError("cannot write the input file");
        return;
    }
    ::close(fd);
    const std::string url = FileURLFromPath(path);
    std::vector<char> out;
    for (auto _ : state) {
        CTextEncoder encoder(url);
        encoder.SetTextEncoding(static_cast<SInt16>(state.range(0)));
        encoder.PreEncode();
        out.resize(static_cast<size_t>(encoder.GetEncodedSize()));
        benchmark::DoNotOptimize(encoder.Encode(out.data(), static_cast<SInt32>(out.size())));
        encoder.PostEncode();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
    ::unlink(path.c_str());
}
BENCHMARK(EncodeText)->Arg(0)->Arg(2);

}  // namespace

BENCHMARK_MAIN();

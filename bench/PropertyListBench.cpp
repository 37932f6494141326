// Reading and writing a dictionary of 10,000 and 100,000 string keys, in XML and binary; the
// time per key should stay flat from one size to the next.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/Foundation/PropertyListSerialization.h"

namespace {

PropertyList dictionaryOf(int64_t keys) {
    PropertyList::Dictionary dictionary;
    for (int64_t i = 0; i < keys; ++i)
        dictionary.emplace("key-" + std::to_string(i), PropertyList(int64_t{i}));
    return PropertyList(std::move(dictionary));
}

void Read(benchmark::State& state, PropertyListFormat format) {
    const PropertyList::Data bytes =
        PropertyListSerialization::dataWithPropertyList(dictionaryOf(state.range(0)), format).value();
    for (auto _ : state) {
        auto read = PropertyListSerialization::propertyListWithData(bytes);
        if (!read) state.SkipWithError(read.error().c_str());
        benchmark::DoNotOptimize(read);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Write(benchmark::State& state, PropertyListFormat format) {
    const PropertyList plist = dictionaryOf(state.range(0));
    for (auto _ : state) {
        auto bytes = PropertyListSerialization::dataWithPropertyList(plist, format);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ReadXML(benchmark::State& state) {
    Read(state, PropertyListFormat::XML);
}
void ReadBinary(benchmark::State& state) {
    Read(state, PropertyListFormat::Binary);
}
void WriteXML(benchmark::State& state) {
    Write(state, PropertyListFormat::XML);
}
void WriteBinary(benchmark::State& state) {
    Write(state, PropertyListFormat::Binary);
}

BENCHMARK(ReadXML)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBinary)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteXML)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteBinary)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

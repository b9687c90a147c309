// Encoding and decoding a large synchronisation script in each file encoding: the script writer
// and the script runner pass every byte of a script through these.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "sqlexec/text_encoder.h"

namespace {

// About 1 MB of INSERT statements with Latin-1 text, as a typical script holds.
std::wstring MakeScript()
{
    std::wstring script;
    for (int i = 0; script.size() < 1'000'000; ++i) {
        script += L"INSERT INTO [Customers] ([ID], [Name], [City]) VALUES (" + std::to_wstring(i) +
                  L", 'M\x00FCller & S\x00F6hne', 'K\x00F6ln');\r\n";
    }
    return script;
}

template <class Encoder>
void BM_Encode(benchmark::State& state)
{
    const std::wstring script = MakeScript();
    Encoder encoder;
    size_t length = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(encoder.Encode(script, length));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(length));
}

template <class Encoder>
void BM_Decode(benchmark::State& state)
{
    Encoder encoder;
    size_t length = 0;
    const std::uint8_t* encoded = encoder.Encode(MakeScript(), length);
    const std::basic_string<std::uint8_t> bytes(encoded, length);
    std::wstring text;
    for (auto _ : state) {
        encoder.Decode(bytes.data(), bytes.size(), text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

BENCHMARK_TEMPLATE(BM_Encode, TextEncoderASCII);
BENCHMARK_TEMPLATE(BM_Encode, TextEncoderUTF8);
BENCHMARK_TEMPLATE(BM_Encode, TextEncoderUTF16);
BENCHMARK_TEMPLATE(BM_Decode, TextEncoderASCII);
BENCHMARK_TEMPLATE(BM_Decode, TextEncoderUTF8);
BENCHMARK_TEMPLATE(BM_Decode, TextEncoderUTF16);

}  // namespace

BENCHMARK_MAIN();

// libFuzzer target: DoubleArray and IntArray rebuilt from arbitrary bytes.
//
// A buffer is valid when it holds a 4-byte little-endian count n >= 0 and at
// least n elements after it. A valid buffer must give n elements that
// serialise back to the same bytes; anything else must raise error 3 and give
// one zero element. Nothing may be read outside the buffer and every host
// heap block must be released.
#include <climits>
#include <cstdint>
#include <cstring>

#include "containers/Arrays.h"
#include "runtime/VeskRuntime.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

template <class Array>
void RoundTrip(const char* data, int size, size_t elementSize) {
    vrt::ClearErrors();
    std::int64_t count = -1;
    if (size >= 4) {
        std::uint32_t u = 0;
        for (int k = 0; k < 4; ++k) u |= std::uint32_t(static_cast<unsigned char>(data[k])) << (8 * k);
        count = static_cast<std::int32_t>(u);
    }
    const bool valid = count >= 0 && static_cast<std::uint64_t>(count) * elementSize <= static_cast<std::uint64_t>(size) - 4;

    Array a(data, size);
    if (valid) {
        Check(vrt::Errors().empty());
        Check(a.Len() == count);
        Variable out;
        a.Serialize(out);
        Check(out.GetDim() == 4 + static_cast<int>(count * static_cast<std::int64_t>(elementSize)));
        Check(std::memcmp(static_cast<char*>(out), data, static_cast<size_t>(out.GetDim())) == 0);
    } else {
        Check(vrt::Errors().size() == 1 && vrt::Errors()[0].code == 3);
        Check(a.Len() == 1 && a[0] == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, size_t size) {
    const long blocks = vrt::LiveHeapBlocks();
    const char* data = reinterpret_cast<const char*>(bytes);
    const int n = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    RoundTrip<DoubleArray>(data, n, sizeof(double));
    RoundTrip<IntArray>(data, n, sizeof(int));
    // The size argument may also understate the bytes at hand.
    RoundTrip<DoubleArray>(data, n / 2, sizeof(double));
    RoundTrip<IntArray>(data, n / 2, sizeof(int));
    Check(vrt::LiveHeapBlocks() == blocks);
    return 0;
}

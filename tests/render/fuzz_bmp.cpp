// libFuzzer target for the ".bmp" loader: any bytes either fail to load or give a picture that every surface operation,
// and a whole composition with it as the skin, handles without reading or writing outside memory. Pictures stay small
// (at most 40 x 30 built, 4 KiB taken), so thousands of inputs run each second.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include "render/Composition.h"
#include "render/DibSurface.h"

namespace {
void Put32(std::string& out, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) out[at + i] = char(v >> (8 * i)); }

// Inputs whose first byte is even are taken as they are ("BM" is); the others steer a file that
// is mostly well formed (size, orientation, offsets and header fields from the input, the rest
// pixels), so that pictures of every odd size, and what is done with them, are reached too.
std::string FileFrom(const uint8_t* data, size_t size) {
    if (size < 8 || (data[0] & 1) == 0) return std::string(reinterpret_cast<const char*>(data), size);
    const uint32_t width = 1 + data[1] % 40, height = 1 + data[2] % 30, gap = data[5] >> 1;
    const uint32_t infoSize = (data[6] & 4) ? 124 : 40, rowBytes = (width * 3 + 3) & ~3u;
    std::string out = "BM" + std::string(12 + infoSize + gap, '\0');
    Put32(out, 10, 14 + infoSize + gap);
    Put32(out, 14, infoSize);
    Put32(out, 18, width);
    Put32(out, 22, (data[5] & 1) ? uint32_t(-int32_t(height)) : height);
    out[26] = 1;
    out[28] = 24;
    Put32(out, 34, (data[6] & 1) ? data[7] : rowBytes * height);  // the size field may lie
    out.append(reinterpret_cast<const char*>(data + 8), size - 8);
    if (data[6] & 2) out.resize(14 + infoSize + gap + size_t(rowBytes) * height, '\x7f');
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string file = FileFrom(data, size);
    CDibSurface s;
    if (!s.CreateFromBmp({reinterpret_cast<const uint8_t*>(file.data()), file.size()})) {
        if (!s.IsEmpty() || s.TopRow() != nullptr) std::abort();
        return 0;
    }
    if (s.Width() < 1 || s.Height() < 1 || s.RowBytes() < s.Width() * 3) std::abort();
    // One input in eight is also the skin source of a whole composition (slow next to the
    // loader): every copy clips to it.
    static CDibSurface work;  // made once: only what is copied into it matters
    if (work.IsEmpty()) work.Create(640, 400);
    PlayerState state{.closed = 1, .paused = 1, .timeDisplayMode = TimeDisplayMode(size % 3), .activeApp = 0};
    for (int& c : state.buttonCounters) c = 1;
    state.trackPending = int(size % 2);
    state.titleWidth[1] = int(size % 700) - 10;
    state.marqueeOffset = int(size % 300) - 150;
    const Settings settings{.shuffle = 1, .repeat = 1};
    if (size % 8 == 0) ComposeFrame(work, s, state, settings, FrameInputs{int(size), 5, 2});
    (void)MeasureLine(s, 230);
    s.FadeInto(work, -3, -3, 0, 0, s.Width() + 6, s.Height() + 6, 3);
    ClearTextStrip(s, 220);
    // Written out and read back, it is the same picture, every pixel of it.
    CDibSurface again;
    const std::string written = s.EncodeBmp();
    if (!again.CreateFromBmp({reinterpret_cast<const uint8_t*>(written.data()), written.size()})) std::abort();
    for (int i = 0; i < s.Width() * s.Height(); ++i)
        if (!(again.Pixel(i % s.Width(), i / s.Width()) == s.Pixel(i % s.Width(), i / s.Width()))) std::abort();
    return 0;
}

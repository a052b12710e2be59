#include "render/DibSurface.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr size_t kHeadBytes = kFileHeaderBytes + kInfoHeaderBytes;

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t ReadLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
void PutLe16(std::string& out, uint16_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}

int RowBytesFor(int width) { return (width * 3 + 3) & ~3; }

// Reads exactly `size` bytes at `offset`; false on any shortfall.
bool ReadAt(int fd, uint8_t* out, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        size -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

// Turns bottom-up file rows into top-down storage in place.
void FlipRows(std::vector<uint8_t>& bits, size_t rowBytes, int height) {
    std::vector<uint8_t> tmp(rowBytes);
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = bits.data() + size_t(top) * rowBytes;
        uint8_t* b = bits.data() + size_t(bottom) * rowBytes;
        std::memcpy(tmp.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, tmp.data(), rowBytes);
    }
}

}  // namespace

bool ParseBmpHeaders(std::span<const uint8_t> head, uint64_t fileSize, BmpLayout& out) {
    if (head.size() < kHeadBytes || fileSize < kHeadBytes) return false;
    const uint8_t* p = head.data();
    if (p[0] != 'B' || p[1] != 'M') return false;

    const uint32_t pixelOffset = ReadLe32(p + 10);
    const uint32_t infoSize = ReadLe32(p + 14);
    const int32_t width = int32_t(ReadLe32(p + 18));
    const int32_t height = int32_t(ReadLe32(p + 22));
    const uint16_t bitCount = ReadLe16(p + 28);
    const uint32_t compression = ReadLe32(p + 30);

    // Only the first 40 bytes of the info header are read; larger versions pass because the
    // pixels are found through the pixel offset, which must lie past the whole header.
    if (infoSize < kInfoHeaderBytes) return false;
    if (bitCount != 24 || compression != 0) return false;
    if (width < 1 || width > CDibSurface::kMaxSide) return false;
    const int64_t rows = height < 0 ? -int64_t(height) : int64_t(height);
    if (rows < 1 || rows > CDibSurface::kMaxSide) return false;

    const uint64_t rowBytes = uint64_t(RowBytesFor(width));
    const uint64_t imageBytes = rowBytes * uint64_t(rows);
    if (uint64_t(pixelOffset) < kFileHeaderBytes + uint64_t(infoSize)) return false;
    if (uint64_t(pixelOffset) + imageBytes > fileSize) return false;

    out.width = width;
    out.height = int(rows);
    out.bottomUp = height > 0;
    out.pixelOffset = pixelOffset;
    out.rowBytes = size_t(rowBytes);
    out.imageBytes = size_t(imageBytes);
    return true;
}

bool CDibSurface::Create(int width, int height, Bgr fill) {
    Destroy();
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
    m_width = width;
    m_height = height;
    m_rowBytes = RowBytesFor(width);
    m_bits.assign(size_t(m_rowBytes) * size_t(height), 0);
    Fill(0, 0, width, height, fill);
    return true;
}

bool CDibSurface::CreateFromBmp(std::span<const uint8_t> bytes) {
    Destroy();
    BmpLayout layout;
    if (!ParseBmpHeaders(bytes, bytes.size(), layout)) return false;
    const uint8_t* pixels = bytes.data() + layout.pixelOffset;
    m_bits.assign(pixels, pixels + layout.imageBytes);
    m_width = layout.width;
    m_height = layout.height;
    m_rowBytes = int(layout.rowBytes);
    if (layout.bottomUp) FlipRows(m_bits, layout.rowBytes, m_height);
    return true;
}

bool CDibSurface::CreateFromFile(const std::string& path, int maxWidth, int maxHeight) {
    Destroy();
    // Regular files only, opened without blocking: a pipe or a device in the bg folder must
    // never hold the tick.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    uint8_t head[kHeadBytes];
    BmpLayout layout;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAt(fd, head, kHeadBytes, 0) &&
              ParseBmpHeaders(head, uint64_t(st.st_size), layout);
    const int width = std::clamp(maxWidth, 1, layout.width > 0 ? layout.width : 1);
    const int height = std::clamp(maxHeight, 1, layout.height > 0 ? layout.height : 1);
    const size_t rowBytes = size_t(RowBytesFor(width));
    std::vector<uint8_t> bits(ok ? rowBytes * size_t(height) : 0);
    for (int y = 0; ok && y < height; ++y) {
        const size_t fileRow = size_t(layout.bottomUp ? layout.height - 1 - y : y);
        ok = ReadAt(fd, bits.data() + size_t(y) * rowBytes, size_t(width) * 3,
                    uint64_t(layout.pixelOffset) + fileRow * layout.rowBytes);
    }
    ::close(fd);
    if (!ok) return false;  // also when the file shrank between the size check and the read
    m_bits = std::move(bits);
    m_width = width;
    m_height = height;
    m_rowBytes = int(rowBytes);
    return true;
}

void CDibSurface::Destroy() {
    m_bits.clear();
    m_bits.shrink_to_fit();
    m_width = m_height = m_rowBytes = 0;
}

Bgr CDibSurface::Pixel(int x, int y) const {
    if (m_bits.empty() || x < 0 || y < 0 || x >= m_width || y >= m_height) return {};
    const uint8_t* p = m_bits.data() + size_t(y) * size_t(m_rowBytes) + size_t(x) * 3;
    return {p[0], p[1], p[2]};
}

void CDibSurface::SetPixel(int x, int y, Bgr colour) {
    if (m_bits.empty() || x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    uint8_t* p = m_bits.data() + size_t(y) * size_t(m_rowBytes) + size_t(x) * 3;
    p[0] = colour.b;
    p[1] = colour.g;
    p[2] = colour.r;
}

void CDibSurface::Fill(int x, int y, int width, int rows, Bgr colour) {
    if (m_bits.empty()) return;
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = int(std::min<int64_t>(int64_t(x) + width, m_width));
    const int y1 = int(std::min<int64_t>(int64_t(y) + rows, m_height));
    for (int yy = y0; yy < y1; ++yy) {
        uint8_t* p = m_bits.data() + size_t(yy) * size_t(m_rowBytes) + size_t(x0) * 3;
        for (int xx = x0; xx < x1; ++xx, p += 3) {
            p[0] = colour.b;
            p[1] = colour.g;
            p[2] = colour.r;
        }
    }
}

bool CDibSurface::Clip(const CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows,
                       Clipped& out) const {
    if (m_bits.empty() || dst.m_bits.empty()) return false;
    // 64-bit so that no argument, however wild, overflows while being cut.
    int64_t dx = dstX, dy = dstY, sx = srcX, sy = srcY, w = width, h = rows;
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    if (dx < 0) {
        sx -= dx;
        w += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        h += dy;
        dy = 0;
    }
    w = std::min({w, int64_t(m_width) - sx, int64_t(dst.m_width) - dx});
    h = std::min({h, int64_t(m_height) - sy, int64_t(dst.m_height) - dy});
    if (w <= 0 || h <= 0) return false;
    out = {int(dx), int(dy), int(sx), int(sy), int(w), int(h)};
    return true;
}

namespace {

// Walks a clipped copy row by row, in the order that keeps an overlapping copy inside one
// surface correct (as if the whole source were read first): bottom row first when moving
// down, and the row's pixels right to left when moving right within the same rows.
// `row(dst, src, pixels, backward)` handles one row.
template <typename RowOp>
void WalkRows(uint8_t* dstTop, int dstRowBytes, const uint8_t* srcTop, int srcRowBytes, int rows, int width,
              bool backwardRows, bool backwardPixels, RowOp row) {
    for (int i = 0; i < rows; ++i) {
        const int r = backwardRows ? rows - 1 - i : i;
        row(dstTop + ptrdiff_t(r) * dstRowBytes, srcTop + ptrdiff_t(r) * srcRowBytes, width, backwardPixels);
    }
}

}  // namespace

#define VELKAF_CLIPPED_WALK(ROWOP)                                                                    \
    Clipped c;                                                                                        \
    if (!Clip(dst, dstX, dstY, srcX, srcY, width, rows, c)) return;                                   \
    const bool same = &dst == this;                                                                   \
    const bool backwardRows = same && c.dstY > c.srcY;                                                \
    const bool backwardPixels = same && c.dstY == c.srcY && c.dstX > c.srcX;                          \
    uint8_t* dTop = dst.m_bits.data() + size_t(c.dstY) * size_t(dst.m_rowBytes) + size_t(c.dstX) * 3; \
    const uint8_t* sTop = m_bits.data() + size_t(c.srcY) * size_t(m_rowBytes) + size_t(c.srcX) * 3;   \
    WalkRows(dTop, dst.m_rowBytes, sTop, m_rowBytes, c.rows, c.width, backwardRows, backwardPixels, ROWOP)

void CDibSurface::CopyTo(CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows) const {
    VELKAF_CLIPPED_WALK([](uint8_t* d, const uint8_t* s, int n, bool) { std::memmove(d, s, size_t(n) * 3); });
}

namespace {

template <typename Keep>
auto MaskedRow(Keep keepDestination) {
    return [keepDestination](uint8_t* d, const uint8_t* s, int n, bool backward) {
        for (int i = 0; i < n; ++i) {
            const int k = backward ? n - 1 - i : i;
            const uint8_t* sp = s + k * 3;
            if (keepDestination(sp[0] + sp[1] + sp[2])) continue;
            uint8_t* dp = d + k * 3;
            dp[0] = sp[0];
            dp[1] = sp[1];
            dp[2] = sp[2];
        }
    };
}

uint8_t FadeByte(int s, int d, int bias) {
    if (s == d) return uint8_t(s);
    const int64_t t = int64_t(s) + bias;
    int64_t n;
    if (s > d) {
        n = d + (t - d) / 2;
        n = std::clamp<int64_t>(n, d, s);
    } else {
        n = s + (d - t) / 2;
        n = std::clamp<int64_t>(n, s, d);
    }
    return uint8_t(n);
}

}  // namespace

void CDibSurface::CopyNonWhiteTo(CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows) const {
    VELKAF_CLIPPED_WALK(MaskedRow([](int sum) { return sum == 765; }));
}

void CDibSurface::CopyNonBlackTo(CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows) const {
    VELKAF_CLIPPED_WALK(MaskedRow([](int sum) { return sum == 0; }));
}

void CDibSurface::FadeInto(CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows,
                           int bias) const {
    VELKAF_CLIPPED_WALK(([bias](uint8_t* d, const uint8_t* s, int n, bool backward) {
        const int bytes = n * 3;
        for (int i = 0; i < bytes; ++i) {
            const int k = backward ? bytes - 1 - i : i;
            d[k] = FadeByte(s[k], d[k], bias);
        }
    }));
}

#undef VELKAF_CLIPPED_WALK

std::string CDibSurface::EncodeBmp() const {
    if (m_bits.empty()) return {};
    const uint32_t image = uint32_t(m_rowBytes) * uint32_t(m_height);
    std::string out;
    out.reserve(kHeadBytes + image);
    out += "BM";
    PutLe32(out, uint32_t(kHeadBytes) + image);
    PutLe32(out, 0);                     // reserved
    PutLe32(out, uint32_t(kHeadBytes));  // pixel offset
    PutLe32(out, uint32_t(kInfoHeaderBytes));
    PutLe32(out, uint32_t(m_width));
    PutLe32(out, uint32_t(m_height));  // positive: bottom-up
    PutLe16(out, 1);                   // planes
    PutLe16(out, 24);
    PutLe32(out, 0);  // uncompressed
    PutLe32(out, image);
    PutLe32(out, 2835);  // 72 dpi
    PutLe32(out, 2835);
    PutLe32(out, 0);
    PutLe32(out, 0);
    for (int y = m_height - 1; y >= 0; --y)
        out.append(reinterpret_cast<const char*>(m_bits.data()) + size_t(y) * size_t(m_rowBytes), size_t(m_rowBytes));
    return out;
}

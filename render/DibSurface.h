#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One pixel as it lies in memory: blue, green, red.
struct Bgr {
    uint8_t b = 0, g = 0, r = 0;
    friend bool operator==(const Bgr&, const Bgr&) = default;
};

// A 24-bit picture in memory: 3 bytes per pixel (blue, green, red), rows padded to a
// multiple of 4 bytes, stored top row first. All addressing is (x, y) with y counted from
// the top, whatever order the file that filled it used.
//
// Standard library only: presenting to a window and the built-in skin live in
// render/SkinSource.h (Qt).
//
// The copy family moves a rectangle of this surface into `dst` (another surface or this
// one). Every copy is clipped first: the destination rectangle is cut to the destination's
// size and the source rectangle to this surface's size, each cut removing the same columns
// or rows from the other side, so no copy ever reads or writes outside either picture.
// Copies never allocate.
class CDibSurface {
public:
    CDibSurface() = default;
    ~CDibSurface() = default;
    CDibSurface(const CDibSurface&) = delete;
    CDibSurface& operator=(const CDibSurface&) = delete;
    CDibSurface(CDibSurface&&) noexcept = default;
    CDibSurface& operator=(CDibSurface&&) noexcept = default;

    // A blank picture of the given size filled with `fill`. False (and empty) for a size
    // of 0, a negative size or one beyond kMaxSide.
    bool Create(int width, int height, Bgr fill = {255, 255, 255});

    // From the bytes of a whole ".bmp" file (14-byte file header, then the info header).
    // Accepts uncompressed 24-bit pictures of 1..kMaxSide pixels a side, bottom-up or
    // top-down, with any info header of 40 bytes or more, and only when every pixel row
    // lies inside `bytes`. Anything else gives false and an empty surface.
    bool CreateFromBmp(std::span<const uint8_t> bytes);

    // As CreateFromBmp, reading a regular file (opened without blocking), but keeping only
    // the top-left maxWidth x maxHeight pixels (both at least 1) of a larger picture: only
    // those rows and columns are read. The headers are checked against the file's size
    // first, so a lying header never makes it allocate more than the file's own size.
    bool CreateFromFile(const std::string& path, int maxWidth = kMaxSide, int maxHeight = kMaxSide);

    // Releases the pixels; the surface is empty. Safe to call twice.
    void Destroy();

    bool IsEmpty() const { return m_bits.empty(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Bytes from one row to the next: width x 3 rounded up to a multiple of 4.
    int RowBytes() const { return m_rowBytes; }

    // First byte of the top row; nullptr when empty. Rows follow RowBytes() apart. Invalid
    // after the next create or Destroy.
    uint8_t* TopRow() { return m_bits.empty() ? nullptr : m_bits.data(); }
    const uint8_t* TopRow() const { return m_bits.empty() ? nullptr : m_bits.data(); }

    // The pixel at (x, y); black outside the picture.
    Bgr Pixel(int x, int y) const;
    // Sets one pixel; nothing outside the picture.
    void SetPixel(int x, int y, Bgr colour);
    // Fills a rectangle, clipped to the picture.
    void Fill(int x, int y, int width, int rows, Bgr colour);

    // Opaque copy of (srcX, srcY, width, rows) to (dstX, dstY) of `dst`.
    void CopyTo(CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows) const;
    // As CopyTo, but a source pixel of pure white (255, 255, 255) leaves the destination.
    void CopyNonWhiteTo(CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows) const;
    // As CopyTo, but a source pixel of pure black (0, 0, 0) leaves the destination.
    void CopyNonBlackTo(CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows) const;
    // Moves every destination byte d part of the way toward its source byte s, with
    // t = s + bias: toward a brighter source d + (t - d) / 2, toward a darker one
    // s + (d - t) / 2, kept between d and s. Bias 0 goes half the way per call and stops one
    // short (halves truncate toward zero); a positive bias goes further in both directions
    // and reaches the source, a negative one holds back. Never passes s, never moves away.
    void FadeInto(CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows, int bias) const;

    // The picture as a 24-bit bottom-up ".bmp" file (54-byte headers, no colour table);
    // empty when the surface is empty.
    std::string EncodeBmp() const;

    // Largest width or height accepted: far above any skin, and it bounds the memory a
    // header can ask for.
    static constexpr int kMaxSide = 16384;

private:
    struct Clipped {
        int dstX, dstY, srcX, srcY, width, rows;
    };
    // Cuts a copy to both pictures; false when nothing is left.
    bool Clip(const CDibSurface& dst, int dstX, int dstY, int srcX, int srcY, int width, int rows, Clipped& out) const;

    std::vector<uint8_t> m_bits;
    int m_width = 0;
    int m_height = 0;
    int m_rowBytes = 0;
};

// What the headers of a ".bmp" file say, once checked.
struct BmpLayout {
    int width = 0;
    int height = 0;        // always positive
    bool bottomUp = true;  // rows stored bottom row first
    uint32_t pixelOffset = 0;
    size_t rowBytes = 0;
    size_t imageBytes = 0;  // rowBytes x height: what the picture needs, whatever the header's
                            // own image size field claims
};

// Checks the first 54 bytes (or more) of a ".bmp" file against a file of `fileSize` bytes.
// False for anything CreateFromBmp refuses.
bool ParseBmpHeaders(std::span<const uint8_t> head, uint64_t fileSize, BmpLayout& out);

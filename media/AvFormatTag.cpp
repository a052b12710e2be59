#include "media/AvFormatTag.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cstdio>
#include <cstring>

#include "media/TagLibTag.h"
#include "media/TagSource.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace {

// libavformat's read buffer; it reads ahead by this much at most.
constexpr int kAvioBufferSize = 32 * 1024;

// The demuxer's reads and seeks, through the source and its budget.
struct Reader {
    TagSource& source;
    int64_t position = 0;
};

int ReadPacket(void* opaque, uint8_t* to, int size) {
    Reader& r = *static_cast<Reader*>(opaque);
    if (size <= 0) return AVERROR_EOF;
    const size_t got = r.source.Read(reinterpret_cast<char*>(to), static_cast<size_t>(size), r.position);
    if (got == 0) return AVERROR_EOF;
    r.position += static_cast<int64_t>(got);
    return static_cast<int>(got);
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
    Reader& r = *static_cast<Reader*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return r.source.Length();
    const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? r.position : r.source.Length();
    int64_t to = 0;
    if ((whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) || __builtin_add_overflow(base, offset, &to) ||
        to < 0)
        return AVERROR(EINVAL);
    r.position = to;
    return to;
}

// Polled by libavformat inside its loops: a spent budget ends the read there too.
int Interrupted(void* opaque) { return static_cast<Reader*>(opaque)->source.Spent() ? 1 : 0; }

std::string Field(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);  // any case
    return entry == nullptr ? std::string() : CutTagField(OutsideTextToUtf8(entry->value));
}

// The file's own title and artist; for Ogg, a stream's comments fill what is missing, the
// sound's first. (A Matroska track's own title names the track, not the file.)
TrackTag PickFields(const AVFormatContext& context, AvContainer container) {
    TrackTag tag{.title = Field(context.metadata, "title"), .artist = Field(context.metadata, "artist")};
    for (const bool audio : {true, false}) {
        for (unsigned i = 0; container == AvContainer::Ogg && i < context.nb_streams; ++i) {
            const AVStream& stream = *context.streams[i];
            if ((stream.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) != audio) continue;
            if (tag.title.empty()) tag.title = Field(stream.metadata, "title");
            if (tag.artist.empty()) tag.artist = Field(stream.metadata, "artist");
        }
    }
    tag.present = !tag.title.empty() || !tag.artist.empty();
    return tag;
}

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

AvContainer AvTagContainer(TagSource& source) {
    char magic[4] = {};
    if (source.Length() < 4 || source.ReadAt(magic, 4, 0) != 4) return AvContainer::None;
    if (std::memcmp(magic, "\x1A\x45\xDF\xA3", 4) == 0) return AvContainer::Matroska;
    if (std::memcmp(magic, "OggS", 4) == 0) return AvContainer::Ogg;
    return AvContainer::None;
}

TrackTag ReadAvFormatTag(TagSource& source, AvContainer container) {
    if (container == AvContainer::None) return {};
    const char* const name = container == AvContainer::Matroska ? "matroska" : "ogg";
    const AVInputFormat* const format = av_find_input_format(name);
    if (format == nullptr) {
        LogLine(std::string("tag of ") + source.Name() + " not read: libavformat has no " + name + " demuxer");
        return {};
    }
    Reader reader{source};
    auto* buffer = static_cast<unsigned char*>(av_malloc(kAvioBufferSize));
    AVIOContext* io = buffer == nullptr
                          ? nullptr
                          : avio_alloc_context(buffer, kAvioBufferSize, 0, &reader, ReadPacket, nullptr, Seek);
    AVFormatContext* context = io == nullptr ? nullptr : avformat_alloc_context();
    TrackTag tag;
    if (context == nullptr) {
        LogLine("tag of " + source.Name() + " not read: out of memory");
    } else {
        context->pb = io;
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
        context->interrupt_callback = {Interrupted, &reader};
        // On failure the context is freed here; the custom reader stays ours.
        const int result = avformat_open_input(&context, source.Name().c_str(), format, nullptr);
        if (result < 0) {
            LogLine("tag of " + source.Name() + " not read: " + name + " header: " + AvError(result));
        } else {
            tag = PickFields(*context, container);
            avformat_close_input(&context);
        }
    }
    if (io != nullptr) av_freep(&io->buffer);  // libavformat may have replaced the buffer
    else av_free(buffer);
    avio_context_free(&io);
    return tag;
}

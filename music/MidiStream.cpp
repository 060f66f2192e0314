#include "music/MidiStream.h"

#include "base/Ascii.h"

#include <mpv/client.h>
#include <mpv/stream_cb.h>

#include <algorithm>
#include <cstring>

namespace lmvo {

namespace {

constexpr std::size_t BytesPerFrame = MidiRenderer::Channels * sizeof(std::int16_t);

constexpr const char* MidiExtensions[] = {".mid", ".midi", ".kar", ".rmi"};

void putLittleEndian(char* at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// The canonical 44-byte header of a PCM WAV file:
//   0 "RIFF", 4 size of the rest, 8 "WAVE",
//   12 "fmt ", 16 16 (size of the format), 20 1 (PCM), 22 channels, 24 frames a second,
//   28 bytes a second, 32 bytes a frame, 34 bits a sample,
//   36 "data", 40 size of the samples.
std::array<char, MidiWavStream::HeaderBytes> wavHeader(std::uint64_t dataBytes)
{
    std::array<char, MidiWavStream::HeaderBytes> h{};
    const auto data = static_cast<std::uint32_t>(dataBytes);
    std::memcpy(h.data(), "RIFF", 4);
    putLittleEndian(h.data() + 4, 36 + data, 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    putLittleEndian(h.data() + 16, 16, 4);
    putLittleEndian(h.data() + 20, 1, 2);
    putLittleEndian(h.data() + 22, MidiRenderer::Channels, 2);
    putLittleEndian(h.data() + 24, MidiRenderer::SampleRate, 4);
    putLittleEndian(h.data() + 28, MidiRenderer::SampleRate * BytesPerFrame, 4);
    putLittleEndian(h.data() + 32, BytesPerFrame, 2);
    putLittleEndian(h.data() + 34, 16, 2);
    std::memcpy(h.data() + 36, "data", 4);
    putLittleEndian(h.data() + 40, data, 4);
    return h;
}

MidiWavStream* stream(void* cookie) { return static_cast<MidiWavStream*>(cookie); }

// libmpv's callbacks run on its own threads and must not let an exception through.
int64_t readStream(void* cookie, char* buffer, uint64_t bytes)
{
    try {
        return static_cast<int64_t>(stream(cookie)->read(buffer, static_cast<std::size_t>(bytes)));
    } catch (...) {
        return -1;
    }
}

int64_t seekStream(void* cookie, int64_t offset)
{
    if (offset < 0 || offset > stream(cookie)->size())
        return MPV_ERROR_GENERIC;
    return stream(cookie)->seek(offset);
}

int64_t streamSize(void* cookie) { return stream(cookie)->size(); }

void closeStream(void* cookie) { delete stream(cookie); }

int openStream(void* streams, char* uri, mpv_stream_cb_info* info)
{
    std::unique_ptr<MidiWavStream> prepared = static_cast<MidiStreams*>(streams)->take(uri);
    if (!prepared)
        return MPV_ERROR_LOADING_FAILED;
    info->cookie = prepared.release();
    info->read_fn = readStream;
    info->seek_fn = seekStream;
    info->size_fn = streamSize;
    info->close_fn = closeStream;
    return 0;
}

} // namespace

MidiWavStream::MidiWavStream(std::unique_ptr<MidiRenderer> renderer)
    : renderer_(std::move(renderer)), block_(BlockFrames * MidiRenderer::Channels)
{
    const std::uint64_t dataBytes = renderer_->frames() * BytesPerFrame;
    header_ = wavHeader(dataBytes);
    size_ = static_cast<std::int64_t>(HeaderBytes + dataBytes);
}

std::int64_t MidiWavStream::seek(std::int64_t offset)
{
    pos_ = std::clamp<std::int64_t>(offset, 0, size_);
    return pos_;
}

void MidiWavStream::fillBlock(std::uint64_t frame)
{
    if (renderer_->position() != frame)
        renderer_->seek(frame);
    blockStart_ = frame;
    blockFrames_ = renderer_->render(block_.data(), BlockFrames);
}

std::size_t MidiWavStream::read(char* out, std::size_t count)
{
    std::size_t done = 0;
    while (done < count && pos_ < size_) {
        const auto at = static_cast<std::uint64_t>(pos_);
        std::size_t n = 0;
        if (at < HeaderBytes) {
            n = std::min(count - done, HeaderBytes - at);
            std::memcpy(out + done, header_.data() + at, n);
        } else {
            const std::uint64_t frame = (at - HeaderBytes) / BytesPerFrame;
            if (frame < blockStart_ || frame >= blockStart_ + blockFrames_)
                fillBlock(frame);
            if (blockFrames_ == 0)
                break;
            const std::uint64_t from = at - HeaderBytes - blockStart_ * BytesPerFrame;
            n = std::min<std::uint64_t>(count - done, blockFrames_ * BytesPerFrame - from);
            std::memcpy(out + done, reinterpret_cast<const char*>(block_.data()) + from, n);
        }
        done += n;
        pos_ += static_cast<std::int64_t>(n);
    }
    return done;
}

MidiStreams::MidiStreams() : pool_(SynthPool::create()) {}

MidiStreams::~MidiStreams() = default;

int MidiStreams::registerWith(mpv_handle* mpv)
{
    return mpv_stream_cb_add_ro(mpv, Protocol, this, openStream);
}

bool MidiStreams::isMidi(const std::string& path)
{
    const std::string lower = asciiLower(path);
    return std::any_of(std::begin(MidiExtensions), std::end(MidiExtensions), [&](std::string_view ext) {
        return lower.size() > ext.size() && lower.ends_with(ext);
    });
}

std::string MidiStreams::prepare(const std::string& path, bool synthNow)
{
    {
        // A song prepared but never opened (replaced in the queue, or its load failed) gives its
        // synthesiser back before the next takes one.
        const std::lock_guard lock(mutex_);
        prepared_.clear();
    }
    auto song = std::make_shared<const MidiSong>(readMidiFile(path));
    auto renderer = std::make_unique<MidiRenderer>(std::move(song), pool_);
    if (synthNow)
        renderer->takeSynth();
    else
        (void)findSoundFont(); // a missing font is known now, not on libmpv's thread
    auto prepared = std::make_unique<MidiWavStream>(std::move(renderer));
    const std::lock_guard lock(mutex_);
    std::string url = std::string(Protocol) + "://" + std::to_string(++serial_);
    prepared_[url] = std::move(prepared);
    return url;
}

std::unique_ptr<MidiWavStream> MidiStreams::take(const std::string& url)
{
    const std::lock_guard lock(mutex_);
    const auto it = prepared_.find(url);
    if (it == prepared_.end())
        return nullptr;
    auto prepared = std::move(it->second);
    prepared_.erase(it);
    return prepared;
}

} // namespace lmvo

#pragma once

// The messages between the program and its decoder process, over a SOCK_SEQPACKET socket pair:
// one request message carrying the open picture file as SCM_RIGHTS, one reply message carrying
// the pixels as a sealed memfd when the picture was decoded. Both sides are built from the same
// source, so the layout is plain structures; the parent still trusts nothing in a reply that it
// has not checked (ReplyParser.h).

#include <cstddef>
#include <cstdint>

namespace lmvo::decoder {

constexpr std::uint32_t kRequestMagic = 0x4C4D5251; // "LMRQ"
constexpr std::uint32_t kReplyMagic = 0x4C4D5250;   // "LMRP"
constexpr std::size_t kExtensionBytes = 16;
constexpr std::size_t kFormatBytes = 16;
constexpr std::size_t kMaxDetailBytes = 2048;

// The descriptor the child receives its requests on and answers through.
constexpr int kSocketFd = 3;

struct Request {
    std::uint32_t magic = kRequestMagic;
    std::int32_t width = 0;  // the size it is shown at; 0 x 0 asks for the full size
    std::int32_t height = 0;
    std::uint8_t fit = 0;    // FitMode
    char extension[kExtensionBytes] = {}; // without the dot, NUL-terminated
};

enum class ReplyStatus : std::uint8_t { Picture = 1, Failure = 2 };

// Followed in the same message by `detailBytes` bytes of the failure's detail (no NUL).
struct ReplyHeader {
    std::uint32_t magic = kReplyMagic;
    ReplyStatus status = ReplyStatus::Failure;
    std::uint8_t problem = 0;  // PictureProblem, for a failure
    std::int32_t width = 0;    // of the picture, for a picture
    std::int32_t height = 0;
    std::uint32_t detailBytes = 0;
    char format[kFormatBytes] = {}; // the format a damaged file should have been in, NUL-terminated
    std::uint8_t unfiltered = 0;    // 1: the process runs without its system-call filter
};

constexpr std::size_t kMaxReplyBytes = sizeof(ReplyHeader) + kMaxDetailBytes;

} // namespace lmvo::decoder

// Writes the reply fuzzer's seeds: a picture answer with its sealed pixels, a failure with its
// detail, and a picture answer without pixels.
//   lmvo_decoder_reply_seeds DIR decoder_reply   writes DIR/decoder_reply/NN-name
#include "decoder/Protocol.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace lmvo::decoder;

std::string seed(std::uint8_t flags, std::uint32_t memfdBytes, const ReplyHeader& header, const std::string& detail = {})
{
    std::string out(1, char(flags));
    out.append(reinterpret_cast<const char*>(&memfdBytes), 4);
    out.append(reinterpret_cast<const char*>(&header), sizeof header);
    return out + detail;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const std::filesystem::path dir = std::filesystem::path(argv[1]) / argv[2];
    std::filesystem::create_directories(dir);
    ReplyHeader picture;
    picture.status = ReplyStatus::Picture;
    picture.width = 37;
    picture.height = 23;
    ReplyHeader failure;
    failure.problem = 0;
    failure.detailBytes = 14;
    std::strcpy(failure.format, "PNG");
    const std::pair<const char*, std::string> seeds[] = {
        {"01-picture", seed(3, 37 * 23 * 4, picture)},
        {"02-failure", seed(0, 0, failure, "broken chunks!")},
        {"03-picture-without-pixels", seed(0, 0, picture)},
    };
    for (const auto& [name, bytes] : seeds)
        std::ofstream(dir / name, std::ios::binary) << bytes;
    return 0;
}

#include "platform/media/MovieIntegrity.h"

#include "platform/media/MediaInput.h"
#include "platform/media/StreamEnd.h"

namespace tintreel {
using namespace media;

Status checkMovieComplete(const std::filesystem::path& movie) {
    InputContextPtr input;
    if (openInput(movie, input) < 0) return {};
    StreamEnd end(*input);
    PacketPtr packet = makePacket();
    while (true) {
        const int status = av_read_frame(input.get(), packet.get());
        if (status == AVERROR_EOF) break;
        if (status < 0) return Error{errorText(status)};
        if (Status whole = checkPacketWhole(*input, *packet); !whole) return whole;
        end.saw(*packet);
        av_packet_unref(packet.get());
    }
    return end.checkReachedEnd();
}

}  // namespace tintreel

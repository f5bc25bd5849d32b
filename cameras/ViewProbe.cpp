#include "cameras/ViewProbe.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cmath>

namespace quello {

ViewFacts ProbeView(const std::string& moviePath) {
    ViewFacts facts;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, moviePath.c_str(), nullptr, nullptr) < 0)
        return facts;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        const AVCodecParameters* codec = stream->codecpar;
        if (codec->codec_type != AVMEDIA_TYPE_VIDEO || codec->width <= 0 || codec->height <= 0 ||
            (stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        const AVRational aspect = codec->sample_aspect_ratio;
        const double width = aspect.num > 0 && aspect.den > 0
                                 ? std::round(double(codec->width) * aspect.num / aspect.den)
                                 : double(codec->width);
        facts.source = {int(width), codec->height};
        if (stream->duration > 0 && stream->time_base.den > 0)
            facts.seconds = double(stream->duration) * av_q2d(stream->time_base);
        else if (format->duration > 0)
            facts.seconds = double(format->duration) / AV_TIME_BASE;
        break;
    }
    avformat_close_input(&format);
    return facts;
}

} // namespace quello

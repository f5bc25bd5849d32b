#include "playback/VideoFit.h"

#include <algorithm>

namespace quello {

QRect VideoFit(int videoWidth, int videoHeight, int clientWidth, int clientHeight) {
    if (videoWidth < 1 || videoHeight < 1)
        return QRect(0, 0, clientWidth, clientHeight);

    const double aspect = double(videoWidth) / double(videoHeight);
    int fitWidth = int(aspect * clientHeight);
    int fitHeight = clientHeight;
    if (fitWidth > clientWidth) {
        fitWidth = clientWidth;
        fitHeight = std::min(int(clientWidth / aspect), clientHeight);
    }
    const int left = (clientWidth - fitWidth) / 2;
    const int top = (clientHeight - fitHeight) / 2;
    return QRect(left, top, fitWidth, fitHeight);
}

} // namespace quello

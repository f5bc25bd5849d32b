#pragma once

#include <string>

namespace quello::bench {

// libmpv used directly with the engine's options and software rendering into a 730 x 410
// surface, without the engine around it: the baseline for open, seek and step times.
// One thread; every call blocks until the new frame has been rendered.
class BareMpv {
public:
    BareMpv();
    ~BareMpv();
    BareMpv(const BareMpv&) = delete;
    BareMpv& operator=(const BareMpv&) = delete;

    bool Open(const std::string& path); // until the first frame is rendered
    bool Seek(double seconds);          // exact, until the frame is rendered
    bool Step();                        // one frame, until it is rendered
    void Close();

private:
    struct Impl;
    Impl* d;
};

} // namespace quello::bench

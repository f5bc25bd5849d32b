#include "BareMpv.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace quello::bench {

struct BareMpv::Impl {
    mpv_handle* mpv = nullptr;
    mpv_render_context* render = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    bool signalled = false;
    int width = 730, height = 410;
    std::size_t stride = (730 * 4 + 63) / 64 * 64;
    unsigned char* pixels = static_cast<unsigned char*>(std::aligned_alloc(64, stride * 410));

    static void OnSignal(void* context) {
        auto* self = static_cast<Impl*>(context);
        {
            std::lock_guard lock(self->mutex);
            self->signalled = true;
        }
        self->wake.notify_one();
    }

    // Renders the next new frame; false when the file ends or nothing comes within 20 s.
    bool WaitForFrame(std::nullptr_t) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            while (const mpv_event* event = mpv_wait_event(mpv, 0)) {
                if (event->event_id == MPV_EVENT_NONE)
                    break;
                if (event->event_id == MPV_EVENT_END_FILE)
                    return false;
            }
            if (mpv_render_context_update(render) & MPV_RENDER_UPDATE_FRAME) {
                int size[2] = {width, height};
                char format[] = "bgr0";
                int block = 0;
                mpv_render_param params[] = {
                    {MPV_RENDER_PARAM_SW_SIZE, size},
                    {MPV_RENDER_PARAM_SW_FORMAT, format},
                    {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                    {MPV_RENDER_PARAM_SW_POINTER, pixels},
                    {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                    {MPV_RENDER_PARAM_INVALID, nullptr},
                };
                mpv_render_context_render(render, params);
                return true;
            }
            std::unique_lock lock(mutex);
            wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return signalled; });
            signalled = false;
        }
        return false;
    }
};

BareMpv::BareMpv() : d(new Impl) {}

BareMpv::~BareMpv() {
    Close();
    std::free(d->pixels);
    delete d;
}

bool BareMpv::Open(const std::string& path) {
    Close();
    d->mpv = mpv_create();
    const char* options[][2] = {{"config", "no"},
                                {"vo", "libmpv"},
                                {"idle", "yes"},
                                {"keep-open", "yes"},
                                {"hr-seek", "yes"},
                                {"pause", "yes"},
                                {"hwdec", "auto-copy"},
                                {"sws-allow-zimg", "no"},
                                {"sws-scaler", "area"},
                                {"sws-fast", "yes"},
                                {"audio-pitch-correction", "no"},
                                {"ao", "null"}};
    for (const auto& option : options)
        mpv_set_option_string(d->mpv, option[0], option[1]);
    mpv_initialize(d->mpv);
    char api[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, api},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&d->render, d->mpv, params) < 0)
        return false;
    mpv_render_context_set_update_callback(d->render, &Impl::OnSignal, d);
    mpv_set_wakeup_callback(d->mpv, &Impl::OnSignal, d);
    const char* load[] = {"loadfile", path.c_str(), nullptr};
    mpv_command(d->mpv, load);
    return d->WaitForFrame(nullptr);
}

bool BareMpv::Seek(double seconds) {
    const std::string target = std::to_string(seconds);
    const char* args[] = {"seek", target.c_str(), "absolute+exact", nullptr};
    mpv_command(d->mpv, args);
    return d->WaitForFrame(nullptr);
}

bool BareMpv::Step() {
    const char* args[] = {"frame-step", nullptr};
    mpv_command(d->mpv, args);
    return d->WaitForFrame(nullptr);
}

void BareMpv::Close() {
    if (!d->mpv)
        return;
    mpv_set_wakeup_callback(d->mpv, nullptr, nullptr);
    mpv_render_context_free(d->render);
    d->render = nullptr;
    mpv_terminate_destroy(d->mpv);
    d->mpv = nullptr;
}

} // namespace quello::bench

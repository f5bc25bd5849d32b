// Plays every camera of one moment composed through CMediaGraph into a 730x546 video host, as the
// window does, and checks the frame lock from the pictures themselves: each view of a
// tools/make-teslacam drive burns its frame number into its picture as a band of blocks.
//  1. At 1x for SECONDS: CPU %, frames rendered and dropped, and every 100 ms the numbers of all
//     views on screen, which must all be the same.
//  2. 50 random exact seeks and one-frame steps both ways (seeded): after each, every view
//     must show the frame at the position the engine reports.
// Run once per arrangement (main view with the others beside it, grid).
// Usage: multiview_bench FRONT_MOVIE [SECONDS]   (default 60)
#include "EngineDrain.h"
#include "cameras/CameraGroups.h"
#include "cameras/ViewLayout.h"
#include "cameras/ViewProbe.h"
#include "playback/CMediaGraph.h"
#include "playback/CVideoHost.h"
#include "tests/support/FrameCode.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <sys/resource.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using namespace quello;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

using bench::EngineDrain;
using bench::Pump;

// The numbers the views show on the host, main view first; -1 for one that can't be read.
std::vector<int> Codes(const CVideoHost& host, const ViewLayout& layout) {
    std::vector<int> codes{test::FrameCode(host.frame(), layout, layout.main())};
    for (int v = 0; v < int(layout.viewSlots().size()); ++v)
        if (v != layout.main() && !layout.viewSlots()[v].empty())
            codes.push_back(test::FrameCode(host.frame(), layout, v));
    return codes;
}

bool AllEqual(const std::vector<int>& codes, int expected) {
    for (int code : codes)
        if (code != expected)
            return false;
    return true;
}

int Run(const std::string& front, double seconds, ViewArrangement arrangement) {
    const auto group = CameraGroupOf(front);
    if (!group || group->cameras.size() < 2) {
        std::fprintf(stderr, "%s has no other cameras beside it\n", front.c_str());
        return 1;
    }
    std::vector<ViewSource> sources;
    std::vector<QString> others;
    std::vector<int> tracks;
    double fps = 30;
    for (const CameraFile& camera : group->cameras) {
        const ViewFacts facts = ProbeView(camera.path);
        sources.push_back(facts.source);
        if (&camera != &group->cameras.front())
            others.push_back(QFile::decodeName(camera.path.c_str()));
        tracks.push_back(int(tracks.size()) + 1);
    }
    const ViewLayout layout = ViewLayout::Arrange(arrangement, sources, 0, 1280);

    CMediaGraph graph;
    graph.SetAudioOutput("null");
    EngineDrain drain(graph);
    CVideoHost host;
    host.resize(730, 546);
    host.show();
    graph.SetViews(others, QString::fromStdString(layout.FilterGraph(tracks)),
                   QFile::decodeName(front.c_str()));
    if (graph.OpenMovie(QFile::decodeName(front.c_str()), &host, &drain) != 0) {
        std::fprintf(stderr, "the moment does not open\n");
        return 1;
    }
    const double length = std::min(seconds + 1.5, graph.GetDurationSeconds() - 0.5);
    std::printf("%zu views %dx%d, composed %dx%d (%s), %.0f s at 1x\n", sources.size(),
                sources[0].width, sources[0].height, layout.width(), layout.height(),
                arrangement == ViewArrangement::Grid ? "grid" : "main view and others",
                length - 1.0);

    graph.TogglePlayPause();
    Pump(1.0);
    const EngineStatistics before = graph.GetStatistics();
    const double cpuBefore = CpuSeconds();
    int samples = 0, unlocked = 0, unread = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const std::vector<int> codes = Codes(host, layout);
        ++samples;
        if (codes[0] < 0)
            ++unread;
        else if (!AllEqual(codes, codes[0]))
            ++unlocked;
    });
    sampler.start(100);
    Pump(length - 1.0);
    sampler.stop();
    const double cpu = 100.0 * (CpuSeconds() - cpuBefore) / (length - 1.0);
    const EngineStatistics after = graph.GetStatistics();
    std::printf("  1x: CPU %.1f %% of a core, %lld frames rendered, %lld dropped; %d samples, "
                "%d with views on different frames, %d unreadable\n",
                cpu, static_cast<long long>(after.framesRendered - before.framesRendered),
                static_cast<long long>(after.framesDropped - before.framesDropped), samples,
                unlocked, unread);

    graph.Pause();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> where(0.0, graph.GetDurationSeconds() - 0.5);
    int wrong = 0;
    for (int i = 0; i < 50; ++i) {
        const int kind = int(random() % 3);
        if (kind == 0)
            graph.SetPositionSeconds(where(random));
        else
            graph.StepFrameExact(kind == 1 ? +1 : -1);
        Pump(0.1);
        // Until the main view shows the frame of the position (a seek far from a key frame
        // can take a while on a busy machine), then every view must show it too. An exact seek
        // between two frames shows the later one.
        const int expected = int(std::ceil(graph.GetPositionSeconds() * fps - 0.01));
        for (int wait = 0; wait < 100 && Codes(host, layout)[0] != expected; ++wait)
            Pump(0.05);
        const std::vector<int> codes = Codes(host, layout);
        if (!AllEqual(codes, expected)) {
            ++wrong;
            std::printf("  move %d (%s) at %.3f s: frame %d expected, views show", i,
                        kind == 0   ? "seek"
                        : kind == 1 ? "step"
                                    : "step back",
                        graph.GetPositionSeconds(), expected);
            for (int code : codes)
                std::printf(" %d", code);
            std::printf("\n");
        }
    }
    std::printf("  50 seeks and steps: %d with a view off the main view's frame\n", wrong);
    return unlocked == 0 && wrong == 0 ? 0 : 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: multiview_bench FRONT_MOVIE [SECONDS]\n");
        return 1;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    int rc = 0;
    for (ViewArrangement arrangement : {ViewArrangement::Main, ViewArrangement::Grid})
        rc = std::max(rc, Run(argv[1], seconds, arrangement));
    return rc;
}
